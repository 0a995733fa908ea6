#include "engine/word_calls.h"

#include <cctype>

#include "automation/client.h"
#include "engine/word_connection.h"
#include "util/text.h"

namespace quillon::engine {
namespace {

using automation::Args;
using automation::CallObjectWithoutWaiting;
using automation::GetObjectWithoutWaiting;
using automation::NamedArg;
using automation::PutWithoutAnswer;
using automation::Variant;

struct DialogWatchHooks {
  DialogWatchStart start;
  DialogWatchStop stop;
};

DialogWatchHooks& Hooks() {
  static DialogWatchHooks hooks;
  return hooks;
}

// Save formats and open format of the object model.
constexpr std::int32_t kFormatRtf = 6;
constexpr std::int32_t kFormatUnicodeText = 7;
constexpr std::int32_t kOpenFormatAnyType = 20;

Args OpenArgs(const std::string& path, bool read_only, const std::string& password) {
  Args args;
  args.named.push_back(NamedArg{"FileName", Variant(path)});
  args.named.push_back(NamedArg{"ReadOnly", Variant(read_only)});
  args.named.push_back(NamedArg{"PasswordDocument", Variant(password)});
  return args;
}

// Objects reached on the way to the call that matters are not waited for: a
// failure to get them is the failure of that call.
ObjectPtr Open(Object& application, const Args& args) {
  ObjectPtr documents = GetObjectWithoutWaiting(application, "Documents");
  return documents->Call("Open", args).AsObject();
}

bool IsUnicodeEncoding(int code_page) {
  return code_page == 1200 || code_page == 1201 || code_page == 65000 || code_page == 65001;
}

int CodePageOfFarEastLanguage(int language, int open_encoding) {
  switch (language) {
    case 0x0404:
    case 0x0C04:
    case 0x1004:
    case 0x1404:
      return 950;
    case 0x0804:
      return 936;
    default:
      return open_encoding;
  }
}

}  // namespace

std::string WordVersion(Object& application) {
  return application.Get("Version").ToText();
}

int WordMajorVersion(const std::string& version_text) {
  std::size_t i = 0;
  while (i < version_text.size() && !std::isdigit(static_cast<unsigned char>(version_text[i]))) {
    ++i;
  }
  if (i == version_text.size())
    return -1;
  long long value = 0;
  for (; i < version_text.size() && std::isdigit(static_cast<unsigned char>(version_text[i]));
       ++i) {
    // A run too long for an integer is no version the threshold tests care
    // about; it saturates instead of overflowing.
    if (value < 100000000)
      value = value * 10 + (version_text[i] - '0');
  }
  return static_cast<int>(value);
}

// Puts whose errors are ignored do not wait for their answer either.
void SetWordAlerts(Object& application, bool on) {
  PutWithoutAnswer(application, "DisplayAlerts", on);
}

void SetWordVisible(Object& application, bool visible) {
  PutWithoutAnswer(application, "Visible", visible);
}

void QuitWord(Object& application) {
  application.Call("Quit");
}

void SetDialogWatchHooks(DialogWatchStart start, DialogWatchStop stop) {
  Hooks() = DialogWatchHooks{std::move(start), std::move(stop)};
}

bool DialogWatchInstalled() {
  return static_cast<bool>(Hooks().start);
}

ObjectPtr OpenDocument(Object& application, const std::string& path, bool read_only,
                       const std::string& password, bool recover_any_type) {
  SetWordAlerts(application, false);
  const DialogWatchHooks hooks = Hooks();
  if (hooks.start)
    hooks.start(DialogWatchRequest{});
  // Stops the watcher on every way out of the open call.
  struct StopWatch {
    const DialogWatchStop& stop;
    ~StopWatch() {
      if (stop)
        stop();
    }
  } stop_watch{hooks.stop};
  Args args = OpenArgs(path, read_only, password);
  if (recover_any_type)
    args.named.push_back(NamedArg{"Format", Variant(kOpenFormatAnyType)});
  return Open(application, args);
}

ObjectPtr OpenDocumentPlain(Object& application, const std::string& path, bool read_only,
                            const std::string& password) {
  return Open(application, OpenArgs(path, read_only, password));
}

void UnprotectDocument(Object& document, const std::string& password) {
  Args args;
  args.positional.push_back(Variant(password));
  document.Call("UnProtect", args);
}

void SetTitleIfEmpty(Object& document, const std::string& source_path, bool keep_saved_state) {
  try {
    Args title;
    title.positional.push_back(Variant("title"));
    const Variant value =
        GetObjectWithoutWaiting(document, "BuiltInDocumentProperties", title)->Get("value");
    if (value.ToText().empty()) {
      // The title is filled in for the conversion's output; it is no change
      // of the user's document, so a document that was saved stays saved
      // (a later Save of an untouched document then leaves its file alone).
      const bool was_saved = keep_saved_state && document.Get("Saved").ToBool();
      PutWithoutAnswer(*GetObjectWithoutWaiting(document, "BuiltInDocumentProperties", title),
                       "value", Variant(NamePart(source_path)));
      if (was_saved)
        PutWithoutAnswer(document, "Saved", Variant(true));
    }
  } catch (const std::exception&) {
  }
}

int SourceCodePage(Object& document) {
  int code_page = 0;
  try {
    const int count = GetObjectWithoutWaiting(document, "Characters")->Get("Count").ToInt();
    if (count <= 0) {
      code_page = document.Get("OpenEncoding").ToInt();
    } else {
      const int open_encoding = document.Get("OpenEncoding").ToInt();
      if (IsUnicodeEncoding(open_encoding)) {
        code_page = open_encoding;
      } else {
        Args first;
        first.positional.push_back(Variant(std::int32_t{1}));
        const ObjectPtr character = CallObjectWithoutWaiting(
            *GetObjectWithoutWaiting(document, "Characters"), "Item", first);
        const int language = character->Get("LanguageIDFarEast").ToInt();
        code_page = CodePageOfFarEastLanguage(language, open_encoding);
      }
    }
  } catch (const std::exception&) {
    // Whatever was found so far is what the document is saved with.
  }
  return code_page;
}

void SaveWithSourceCharacterSet(Object& document, const std::string& destination,
                                int major_version) {
  const int code_page = SourceCodePage(document);
  if (major_version >= 10) {
    SaveDocumentAsEncoded(document, destination, kFormatUnicodeText, code_page);
  } else {
    document.Put("SaveEncoding", Variant(static_cast<std::int32_t>(code_page)));
    SaveDocumentAs(document, destination, kFormatUnicodeText);
  }
}

void SaveDocumentAs(Object& document, const std::string& path, std::int32_t file_format) {
  Args args;
  args.named.push_back(NamedArg{"FileName", Variant(path)});
  args.named.push_back(NamedArg{"FileFormat", Variant(file_format)});
  document.Call("SaveAs", args);
}

void SaveDocumentAsEncoded(Object& document, const std::string& path, std::int32_t file_format,
                           std::int32_t encoding) {
  Args args;
  args.named.push_back(NamedArg{"FileName", Variant(path)});
  args.named.push_back(NamedArg{"FileFormat", Variant(file_format)});
  args.named.push_back(NamedArg{"Encoding", Variant(encoding)});
  document.Call("SaveAs", args);
}

void SaveAsText(Object& document, const std::string& destination, std::int32_t format_code) {
  SaveDocumentAs(document, destination, format_code);
}

void SaveDocument(Object& document) {
  document.Call("Save");
}

void CloseDocument(Object& document) {
  Args args;
  args.named.push_back(NamedArg{"SaveChanges", Variant(std::int32_t{0})});
  document.Call("Close", args);
}

bool ReopenThroughRtf(ObjectPtr& document, const std::string& rtf_path, bool read_only,
                      const std::string& password, std::string& error_text) {
  SaveDocumentAs(*document, rtf_path, kFormatRtf);
  CloseDocument(*document);
  if (!EnsureWord(error_text))
    return false;
  document = OpenDocumentPlain(*WordApplication(), rtf_path, read_only, password);
  return true;
}

void RunWordMacro(Object& application, const std::string& macro_name) {
  Args args;
  args.positional.push_back(Variant(macro_name));
  application.Call("Run", args);
}

ObjectPtr ImportMacroModule(Object& document, const std::string& module_path) {
  Args args;
  args.positional.push_back(Variant(module_path));
  ObjectPtr project = GetObjectWithoutWaiting(document, "VBProject");
  return GetObjectWithoutWaiting(*project, "VBComponents")->Call("Import", args).AsObject();
}

void RemoveMacroModule(Object& application, const ObjectPtr& component) {
  Args args;
  args.positional.push_back(Variant(component));
  ObjectPtr editor = GetObjectWithoutWaiting(application, "VBE");
  ObjectPtr project = GetObjectWithoutWaiting(*editor, "ActiveVBProject");
  GetObjectWithoutWaiting(*project, "VBComponents")->Call("remove", args);
}

}  // namespace quillon::engine
