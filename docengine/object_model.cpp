#include "docengine/object_model.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <new>
#include <optional>
#include <vector>

#include "charset/code_page.h"
#include "docengine/document_objects.h"
#include "docengine/document_state.h"
#include "docengine/docx_reader.h"
#include "docengine/html_reader.h"
#include "docengine/macro_project.h"
#include "docengine/rtf_read_back.h"
#include "docengine/text_writer.h"

namespace quillon::docengine {
namespace {

using automation::Args;
using automation::AutomationError;
using automation::CallKind;
using automation::NameEquals;
using automation::Object;
using automation::Variant;

constexpr int kRecoverTextFormat = 20;
// Save formats beyond the text and RTF ones of text_writer.h.
constexpr int kSaveFormatHtml = 8;
constexpr int kSaveFormatDocx = 12;
constexpr int kSaveFormatDocxDefault = 16;
constexpr int kNoProtection = -1;
constexpr const char* kOutOfMemoryMessage =
    "There is not enough memory to open or save this document.";

[[noreturn]] void UnknownName(const char* object, std::string_view name) {
  throw AutomationError(std::string("The ") + object +
                        " object has no property or method named \"" + std::string(name) + "\".");
}

// The argument given by name, else at its usual position, else null.
const Variant* Argument(const Args& args, std::string_view name, std::size_t position) {
  if (const Variant* named = args.Named(name))
    return named;
  const Variant* value = args.At(position);
  return value != nullptr && !value->is_empty() ? value : nullptr;
}

// The value of a put: the last positional argument.
const Variant& PutValue(const Args& args, std::string_view name) {
  if (args.positional.empty())
    throw AutomationError("No value was given for \"" + std::string(name) + "\".");
  return args.positional.back();
}

std::string FileNameOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FolderOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// Writes the model in any format SaveAs accepts; false with a message
// naming the format when this engine has no writer for it.
bool WriteDocument(const Document& doc, const std::string& path, int format, int encoding,
                   std::string& error) {
  if (format == kSaveFormatHtml)
    return SaveAsHtml(doc, path, error);
  if (format == kSaveFormatDocx || format == kSaveFormatDocxDefault)
    return SaveAsDocx(doc, path, error);
  if (format == kSaveFormatRtf || IsTextSaveFormat(format))
    return SaveDocument(doc, path, format, encoding, error);
  error = "This engine cannot save in the file format " + std::to_string(format) +
          "; it writes text (2, 3, 4, 5, 7), RTF (6), HTML (8) and Word (12, 16).";
  return false;
}

// A file as the system last saw it. Writing the file again or putting
// another file in its place changes at least one of these.
struct FileStamp {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = -1;
  timespec modified{};
  timespec changed{};

  bool operator==(const FileStamp& o) const {
    return device == o.device && inode == o.inode && size == o.size &&
           modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec &&
           changed.tv_sec == o.changed.tv_sec && changed.tv_nsec == o.changed.tv_nsec;
  }
};

bool StampOf(const std::string& path, FileStamp& stamp) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
    return false;
  stamp.device = info.st_dev;
  stamp.inode = info.st_ino;
  stamp.size = info.st_size;
  stamp.modified = info.st_mtim;
  stamp.changed = info.st_ctim;
  return true;
}

std::size_t HashBytes(std::string_view bytes) {
  return std::hash<std::string_view>()(bytes);
}

// The whole file, at most `limit` bytes; nothing when it is larger or
// cannot be read.
std::optional<std::string> ReadSmallFile(const std::string& path, std::size_t limit) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr)
    return std::nullopt;
  std::string data;
  char buffer[65536];
  std::size_t got = 0;
  bool fits = true;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    if (data.size() + got > limit) {
      fits = false;
      break;
    }
    data.append(buffer, got);
  }
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed || !fits)
    return std::nullopt;
  return data;
}

// An RTF file this engine wrote from a document: where, what the file
// looked like right after, and a hash of the bytes.
struct WrittenRtf {
  std::string path;
  FileStamp stamp;
  std::size_t hash = 0;
};

const char* FormatName(SourceFormat format) {
  switch (format) {
    case SourceFormat::kDocx:
      return "Word (DOCX)";
    case SourceFormat::kDoc:
      return "Word 97-2003";
    case SourceFormat::kHtml:
      return "HTML";
    case SourceFormat::kWordPerfect:
      return "WordPerfect";
    case SourceFormat::kRecovered:
      return "recovered text";
    default:
      return "unknown";
  }
}

std::size_t CountCodePoints(const std::string& text) {
  std::size_t count = 0;
  for (char c : text) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
      ++count;
  }
  return count;
}

std::size_t CountBlocks(const std::vector<Block>& blocks, int depth) {
  std::size_t count = 0;
  if (depth > 512)
    return 0;
  for (const Block& block : blocks) {
    if (block.is_table()) {
      for (const TableRow& row : block.table->rows) {
        for (const TableCell& cell : row.cells)
          count += CountBlocks(cell.blocks, depth + 1) + 1;
        ++count;  // the row end
      }
    } else {
      for (const Run& run : block.paragraph.runs)
        count += CountCodePoints(run.text);
      ++count;  // the paragraph mark
    }
  }
  return count;
}

// The first run with text in reading order, or null.
const Run* FirstRun(const std::vector<Block>& blocks, int depth) {
  if (depth > 512)
    return nullptr;
  for (const Block& block : blocks) {
    if (block.is_table()) {
      for (const TableRow& row : block.table->rows) {
        for (const TableCell& cell : row.cells) {
          if (const Run* run = FirstRun(cell.blocks, depth + 1))
            return run;
        }
      }
    } else {
      for (const Run& run : block.paragraph.runs) {
        if (!run.text.empty())
          return &run;
      }
    }
  }
  return nullptr;
}

std::string* PropertyField(Properties& p, const Variant& index) {
  if (index.kind() == Variant::Kind::kInt) {
    switch (index.AsInt()) {
      case 1:
        return &p.title;
      case 2:
        return &p.subject;
      case 3:
        return &p.author;
      case 4:
        return &p.keywords;
      case 5:
        return &p.comments;
      default:
        return nullptr;
    }
  }
  const std::string name = index.ToText();
  if (NameEquals(name, "title"))
    return &p.title;
  if (NameEquals(name, "subject"))
    return &p.subject;
  if (NameEquals(name, "author"))
    return &p.author;
  if (NameEquals(name, "keywords"))
    return &p.keywords;
  if (NameEquals(name, "comments"))
    return &p.comments;
  return nullptr;
}

class PropertyObject : public Object {
 public:
  PropertyObject(std::shared_ptr<DocumentState> state, std::string name, std::string* field)
      : state_(std::move(state)), name_(std::move(name)), field_(field) {}

  Variant Invoke(CallKind kind, std::string_view name, const Args& args) override {
    state_->CheckOpen();
    if (NameEquals(name, "Value") || name.empty()) {
      if (kind == CallKind::kPut) {
        *field_ = PutValue(args, name).ToText();
        state_->MarkChanged();
        return {};
      }
      return Variant(*field_);
    }
    if (NameEquals(name, "Name") && kind != CallKind::kPut)
      return Variant(name_);
    UnknownName("DocumentProperty", name);
  }

 private:
  std::shared_ptr<DocumentState> state_;
  std::string name_;
  std::string* field_;
};

class CharacterObject : public Object {
 public:
  CharacterObject(std::shared_ptr<DocumentState> state, std::string text, std::uint16_t lang,
                  std::uint16_t lang_fe)
      : state_(std::move(state)), text_(std::move(text)), lang_(lang), lang_fe_(lang_fe) {}

  Variant Invoke(CallKind kind, std::string_view name, const Args&) override {
    state_->CheckOpen();
    if (kind != CallKind::kPut) {
      if (NameEquals(name, "LanguageIDFarEast"))
        return Variant(static_cast<std::int32_t>(lang_fe_));
      if (NameEquals(name, "LanguageID"))
        return Variant(static_cast<std::int32_t>(lang_));
      if (NameEquals(name, "Text"))
        return Variant(text_);
    }
    UnknownName("Range", name);
  }

 private:
  std::shared_ptr<DocumentState> state_;
  std::string text_;
  std::uint16_t lang_;
  std::uint16_t lang_fe_;
};

class CharactersObject : public Object {
 public:
  explicit CharactersObject(std::shared_ptr<DocumentState> state) : state_(std::move(state)) {}

  Variant Invoke(CallKind kind, std::string_view name, const Args& args) override {
    state_->CheckOpen();
    if (kind != CallKind::kPut && NameEquals(name, "Count")) {
      return Variant(static_cast<std::int32_t>(CountStoryCharacters(state_->doc)));
    }
    if (kind != CallKind::kPut && (NameEquals(name, "Item") || NameEquals(name, "First"))) {
      int index = 1;
      if (NameEquals(name, "Item")) {
        const Variant* at = args.At(0);
        if (at == nullptr)
          throw AutomationError("Characters.Item needs an index.");
        index = at->ToInt();
      }
      return Item(index);
    }
    UnknownName("Characters", name);
  }

 private:
  Variant Item(int index) {
    const Document& doc = state_->doc;
    const int count = CountStoryCharacters(doc);
    if (index < 1 || index > count) {
      throw AutomationError("The requested member of the collection does not exist.");
    }
    // Only the first character's language is asked for in practice; any
    // other index answers with the run that holds the first text, which
    // is where a document's language is decided.
    const Run* run = FirstRun(doc.body, 0);
    std::string text;
    std::uint16_t lang = doc.default_lang;
    std::uint16_t lang_fe = doc.default_lang_fe;
    if (run != nullptr) {
      std::size_t pos = 0;
      AppendUtf8(text, NextUtf8(run->text, pos));
      if (run->lang != 0)
        lang = run->lang;
      if (run->lang_fe != 0)
        lang_fe = run->lang_fe;
    }
    return Variant(std::static_pointer_cast<Object>(
        std::make_shared<CharacterObject>(state_, std::move(text), lang, lang_fe)));
  }

  std::shared_ptr<DocumentState> state_;
};

class DocumentsObject;

class DocumentObject : public Object {
 public:
  DocumentObject(std::shared_ptr<DocumentState> state, DocumentsObject* owner)
      : state_(std::move(state)), owner_(owner) {}

  Variant Invoke(CallKind kind, std::string_view name, const Args& args) override;

  const std::shared_ptr<DocumentState>& state() const { return state_; }
  void Detach() { owner_ = nullptr; }

 private:
  void SaveAs(const Args& args) {
    const Variant* file_name = Argument(args, "FileName", 0);
    if (file_name == nullptr || file_name->ToText().empty()) {
      throw AutomationError("SaveAs needs a file name.");
    }
    const Variant* format_arg = Argument(args, "FileFormat", 1);
    const int format = format_arg != nullptr ? format_arg->ToInt() : kSaveFormatRtf;
    const Variant* encoding_arg = Argument(args, "Encoding", 11);
    int encoding = encoding_arg != nullptr ? encoding_arg->ToInt() : state_->save_encoding;
    std::string error;
    bool saved = false;
    try {
      saved = Write(file_name->ToText(), format, encoding, error);
    } catch (const std::bad_alloc&) {
      throw AutomationError(kOutOfMemoryMessage);
    }
    if (!saved) {
      throw AutomationError(error);
    }
    // The document now lives under the new name and format.
    state_->path = file_name->ToText();
    state_->save_format = format;
    state_->save_encoding = encoding;
    state_->read_only = false;
    state_->changed = false;
    state_->saved = true;
  }

  void Save() {
    if (state_->read_only) {
      throw AutomationError("The document " + FileNameOf(state_->path) +
                            " was opened read-only; save it under another name with SaveAs.");
    }
    // Nothing changed since the document was opened or last saved (or the
    // macro declared it saved): the file on disk already is the document.
    if (state_->saved)
      return;
    int format = state_->save_format;
    int encoding = state_->save_encoding;
    if (format < 0) {
      switch (state_->doc.format) {
        case SourceFormat::kText:
          format = kSaveFormatUnicodeText;
          if (encoding == 0)
            encoding = state_->doc.open_encoding;
          break;
        case SourceFormat::kRtf:
          format = kSaveFormatRtf;
          break;
        case SourceFormat::kDocx:
        case SourceFormat::kHtml:
        case SourceFormat::kWordPerfect:
          // The writers keep only what the model holds (no styles, pictures,
          // headers), and none writes WordPerfect; writing over the source
          // would strip the user's file. Unchanged, the file on disk already
          // is the document.
          if (!state_->changed)
            return;
          throw AutomationError("The document " + FileNameOf(state_->path) +
                                " has changed, and this engine cannot write it back in its " +
                                FormatName(state_->doc.format) +
                                " format without losing content; save it under another name "
                                "with SaveAs.");
        default:
          throw AutomationError(std::string("This engine cannot write the document back in its ") +
                                FormatName(state_->doc.format) +
                                " format; save it as text or RTF with SaveAs.");
      }
    }
    std::string error;
    bool saved = false;
    try {
      saved = Write(state_->path, format, encoding, error);
    } catch (const std::bad_alloc&) {
      throw AutomationError(kOutOfMemoryMessage);
    }
    if (!saved) {
      throw AutomationError(error);
    }
    state_->changed = false;
    state_->saved = true;
  }

  // Writes the document; an RTF file is remembered, so that opening it
  // again right after this document closes can take the model instead of
  // reading the file.
  bool Write(const std::string& path, int format, int encoding, std::string& error) {
    written_rtf_.reset();
    if (format != kSaveFormatRtf)
      return WriteDocument(state_->doc, path, format, encoding, error);
    std::string bytes;
    if (!RenderDocument(state_->doc, format, encoding, bytes, error) ||
        !WriteFileReplacing(path, bytes, error)) {
      return false;
    }
    WrittenRtf written;
    written.path = path;
    written.hash = HashBytes(bytes);
    if (StampOf(path, written.stamp))
      written_rtf_ = std::move(written);
    return true;
  }

  void Close(const Args& args);

  std::shared_ptr<DocumentState> state_;
  DocumentsObject* owner_;
  std::optional<WrittenRtf> written_rtf_;
};

class DocumentsObject : public Object {
 public:
  explicit DocumentsObject(const EngineOptions& options) : options_(options) {}
  ~DocumentsObject() override {
    for (auto& doc : open_)
      doc->Detach();
  }

  Variant Invoke(CallKind kind, std::string_view name, const Args& args) override {
    if (kind != CallKind::kPut) {
      if (NameEquals(name, "Open"))
        return Open(args);
      if (NameEquals(name, "Count"))
        return Variant(static_cast<std::int32_t>(open_.size()));
      if (NameEquals(name, "Item")) {
        const Variant* at = args.At(0);
        int index = at != nullptr ? at->ToInt() : 0;
        if (index < 1 || index > static_cast<int>(open_.size())) {
          throw AutomationError("The requested member of the collection does not exist.");
        }
        return Variant(
            std::static_pointer_cast<Object>(open_[static_cast<std::size_t>(index - 1)]));
      }
    }
    UnknownName("Documents", name);
  }

  // A document closed right after it was saved as RTF, unchanged since:
  // kept until the next Open, which takes it when it opens that file as
  // it was written.
  void KeepWritten(WrittenRtf file, Document doc) {
    written_.reset();
    written_.emplace(Written{std::move(file), std::move(doc)});
  }

  void Remove(const DocumentObject* doc) {
    open_.erase(
        std::remove_if(open_.begin(), open_.end(), [doc](const auto& d) { return d.get() == doc; }),
        open_.end());
  }

  // The document opened last: the one macros work on.
  Variant Active() const {
    if (open_.empty())
      throw AutomationError("This command is not available because no document is open.");
    return Variant(std::static_pointer_cast<Object>(open_.back()));
  }
  std::shared_ptr<DocumentState> ActiveState() const {
    return open_.empty() ? nullptr : open_.back()->state();
  }

  void CloseAll() {
    for (auto& doc : open_) {
      doc->state()->closed = true;
      doc->state()->doc = Document();
      doc->Detach();
    }
    open_.clear();
    written_.reset();
  }

 private:
  Variant Open(const Args& args) {
    const Variant* file_name = Argument(args, "FileName", 0);
    if (file_name == nullptr || file_name->ToText().empty()) {
      throw AutomationError("Open needs a file name.");
    }
    OpenOptions options;
    options.path = file_name->ToText();
    options.limits = options_.limits;
    if (const Variant* read_only = Argument(args, "ReadOnly", 2)) {
      options.read_only = read_only->ToBool();
    } else {
      options.read_only = false;
    }
    if (const Variant* password = Argument(args, "PasswordDocument", 4)) {
      options.password = password->ToText();
    }
    if (const Variant* format = Argument(args, "Format", 9)) {
      options.recover_any = format->ToInt() == kRecoverTextFormat;
    }
    auto state = std::make_shared<DocumentState>();
    ReadResult result;
    std::optional<Written> written = std::move(written_);
    written_.reset();
    try {
      if (written && TakeWritten(*written, options, state->doc)) {
        result = ReadResult::Success();
      } else {
        written.reset();
        result = ReadDocumentFile(options, state->doc);
        if (options_.on_file_read)
          options_.on_file_read(options.path);
      }
    } catch (const std::bad_alloc&) {
      // The server's address space is capped; a document that needs more
      // costs this call, not the process.
      state->doc = Document();
      throw AutomationError(kOutOfMemoryMessage);
    }
    if (!result.ok)
      throw AutomationError(result.error);
    state->path = options.path;
    state->read_only = options.read_only;
    auto doc = std::make_shared<DocumentObject>(state, this);
    open_.push_back(doc);
    return Variant(std::static_pointer_cast<Object>(doc));
  }

  struct Written {
    WrittenRtf file;
    Document doc;
  };

  // Moves the kept document into `doc` when `options` open the file it was
  // written to and the file is still what was written.
  static bool TakeWritten(Written& written, const OpenOptions& options, Document& doc) {
    if (options.recover_any || written.file.path != options.path)
      return false;
    FileStamp now;
    if (!StampOf(options.path, now) || !(now == written.file.stamp))
      return false;
    std::optional<std::string> bytes = ReadSmallFile(options.path, options.limits.max_input_bytes);
    if (!bytes || HashBytes(*bytes) != written.file.hash)
      return false;
    if (!ReadBackWrittenRtf(written.doc, options.limits))
      return false;
    doc = std::move(written.doc);
    return true;
  }

  EngineOptions options_;
  std::vector<std::shared_ptr<DocumentObject>> open_;
  std::optional<Written> written_;
};

void DocumentObject::Close(const Args& args) {
  const Variant* save = Argument(args, "SaveChanges", 0);
  // -1 saves; 0 and -2 (ask) do not: this engine never asks.
  if (save != nullptr && save->ToInt() == -1)
    Save();
  state_->closed = true;
  if (written_rtf_ && !state_->changed && owner_ != nullptr)
    owner_->KeepWritten(std::move(*written_rtf_), std::move(state_->doc));
  written_rtf_.reset();
  state_->doc = Document();
  if (owner_ != nullptr) {
    DocumentsObject* owner = owner_;
    owner_ = nullptr;
    owner->Remove(this);  // may drop the last reference to this object
  }
}

Variant DocumentObject::Invoke(CallKind kind, std::string_view name, const Args& args) {
  state_->CheckOpen();
  DocumentState& s = *state_;
  if (kind == CallKind::kPut) {
    if (NameEquals(name, "SaveEncoding")) {
      s.save_encoding = PutValue(args, name).ToInt();
      return {};
    }
    if (NameEquals(name, "BuiltInDocumentProperties") && args.positional.size() == 2) {
      std::string* field = PropertyField(s.doc.properties, args.positional[0]);
      if (field == nullptr) {
        throw AutomationError("The document has no built-in property \"" +
                              args.positional[0].ToText() + "\".");
      }
      *field = args.positional[1].ToText();
      s.MarkChanged();
      return {};
    }
    Variant result;
    if (InvokeDocumentContent(state_, kind, name, args, result))
      return result;
    UnknownName("Document", name);
  }
  if (NameEquals(name, "SaveAs") || NameEquals(name, "SaveAs2")) {
    SaveAs(args);
    return {};
  }
  if (NameEquals(name, "Save")) {
    Save();
    return {};
  }
  if (NameEquals(name, "Close")) {
    auto keep = state_;  // Close may end this object's life
    Close(args);
    return {};
  }
  if (NameEquals(name, "UnProtect") || NameEquals(name, "Unprotect")) {
    if (s.doc.protection.is_protected)
      s.MarkChanged();
    s.doc.protection = Protection();
    return {};
  }
  if (NameEquals(name, "ProtectionType")) {
    return Variant(static_cast<std::int32_t>(s.doc.protection.is_protected ? 0 : kNoProtection));
  }
  if (NameEquals(name, "BuiltInDocumentProperties")) {
    const Variant* index = args.At(0);
    if (index == nullptr)
      throw AutomationError("BuiltInDocumentProperties needs a property name.");
    std::string* field = PropertyField(s.doc.properties, *index);
    if (field == nullptr) {
      throw AutomationError("The document has no built-in property \"" + index->ToText() + "\".");
    }
    return Variant(std::static_pointer_cast<Object>(
        std::make_shared<PropertyObject>(state_, index->ToText(), field)));
  }
  if (NameEquals(name, "Characters")) {
    return Variant(std::static_pointer_cast<Object>(std::make_shared<CharactersObject>(state_)));
  }
  if (NameEquals(name, "OpenEncoding"))
    return Variant(static_cast<std::int32_t>(s.doc.open_encoding));
  if (NameEquals(name, "SaveEncoding")) {
    return Variant(
        static_cast<std::int32_t>(s.save_encoding != 0 ? s.save_encoding : s.doc.open_encoding));
  }
  if (NameEquals(name, "Name"))
    return Variant(FileNameOf(s.path));
  if (NameEquals(name, "FullName"))
    return Variant(s.path);
  if (NameEquals(name, "Path"))
    return Variant(FolderOf(s.path));
  if (NameEquals(name, "ReadOnly"))
    return Variant(s.read_only);
  if (NameEquals(name, "VBProject"))
    return Variant(MacroProjectOf(state_));
  Variant result;
  if (InvokeDocumentContent(state_, kind, name, args, result))
    return result;
  UnknownName("Document", name);
}

class ApplicationObject : public Object, public std::enable_shared_from_this<ApplicationObject> {
 public:
  explicit ApplicationObject(EngineOptions options)
      : options_(options), documents_(std::make_shared<DocumentsObject>(options)) {}

  Variant Invoke(CallKind kind, std::string_view name, const Args& args) override {
    if (NameEquals(name, "DisplayAlerts")) {
      if (kind == CallKind::kPut) {
        display_alerts_ = PutValue(args, name).ToBool();
        return {};
      }
      return Variant(display_alerts_);
    }
    if (NameEquals(name, "Visible")) {
      if (kind == CallKind::kPut) {
        visible_ = PutValue(args, name).ToBool();
        return {};
      }
      return Variant(visible_);
    }
    if (kind != CallKind::kPut) {
      if (NameEquals(name, "Version"))
        return Variant(kEngineVersion);
      if (NameEquals(name, "Name"))
        return Variant("Quillon Engine");
      if (NameEquals(name, "Documents")) {
        if (!args.positional.empty())
          return documents_->Invoke(CallKind::kGet, "Item", args);
        return Variant(std::static_pointer_cast<Object>(documents_));
      }
      if (NameEquals(name, "ActiveDocument"))
        return documents_->Active();
      if (NameEquals(name, "Quit")) {
        documents_->CloseAll();
        return {};
      }
      if (NameEquals(name, "Run")) {
        const Variant* macro = Argument(args, "MacroName", 0);
        if (macro == nullptr)
          throw AutomationError("Run needs the name of a macro.");
        documents_->Active();  // a macro runs in a document's project
        MacroRunOptions run;
        run.application = shared_from_this();
        run.time_limit = options_.macro_time_limit;
        return RunProjectMacro(documents_->ActiveState()->project, macro->ToText(), run);
      }
      if (NameEquals(name, "VBE"))
        return Variant(MakeVbe([documents = documents_] { return documents->ActiveState(); }));
    }
    UnknownName("Application", name);
  }

 private:
  EngineOptions options_;
  std::shared_ptr<DocumentsObject> documents_;
  bool display_alerts_ = true;
  bool visible_ = false;
};

}  // namespace

std::shared_ptr<automation::Object> MakeApplication(EngineOptions options) {
  return std::make_shared<ApplicationObject>(std::move(options));
}

int CountStoryCharacters(const Document& doc) {
  if (FirstRun(doc.body, 0) == nullptr)
    return 0;
  std::size_t count = CountBlocks(doc.body, 0);
  return static_cast<int>(std::min<std::size_t>(count, 0x7FFFFFFF));
}

}  // namespace quillon::docengine
