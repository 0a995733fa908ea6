#include "engine/engine_dispatch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>

#include "automation/client.h"
#include "engine/call_time_limit.h"
#include "engine/engine_text.h"
#include "engine/legacy_preconvert.h"
#include "engine/plugin_macros.h"
#include "engine/process_runner.h"
#include "engine/request_block.h"
#include "engine/word_calls.h"
#include "engine/word_connection.h"
#include "engine/work_folder.h"
#include "fileio/files.h"
#include "fileio/in_use.h"
#include "fileio/unique_fd.h"
#include "util/files.h"
#include "util/text.h"
#include "util/translate.h"

namespace quillon::engine {
namespace {

std::atomic<bool> recover_any_type{false};

constexpr int kSourceCharacterSetCode = -3;
// From this major version on the word processor no longer reads dBase and
// Lotus files itself.
constexpr int kLegacyPreconvertFromVersion = 12;

// Brackets in the folder part stay: only the file name is ever renamed.
std::string ReplaceBracketsInName(const std::string& path) {
  return FolderPart(path) + ReplaceBrackets(NamePart(path));
}

bool FolderExists(const std::string& folder) {
  struct stat info {};
  return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The same file, however the two paths are spelled: deleting the destination
// must never delete the source.
bool IsSameFile(const std::string& a, const std::string& b) {
  if (a == b) {
    return true;
  }
  struct stat first {};
  struct stat second {};
  return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

void DeleteFile(const std::string& path) {
  std::remove(path.c_str());
}

// Copies source into a file created here (never an existing one); false
// when nothing was created, with `reason` saying why. A half-written copy is
// removed again. The copy is private while it is written and then gets the
// source's permission bits, so a document nobody else may read is never
// readable through its copy.
bool CopyIntoNewFile(const std::string& source, const std::string& target, bool& name_taken,
                     std::string& reason) {
  name_taken = false;
  fileio::UniqueFd in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat source_info {};
  if (!in || ::fstat(in.get(), &source_info) != 0) {
    reason = fileio::ErrorText(errno);
    return false;
  }
  fileio::UniqueFd out(::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  if (!out) {
    name_taken = errno == EEXIST;
    reason = fileio::ErrorText(errno);
    return false;
  }
  bool ok = ::fchmod(out.get(), source_info.st_mode & 0777) == 0;
  char buffer[65536];
  while (ok) {
    const ssize_t got = ::read(in.get(), buffer, sizeof buffer);
    if (got == 0) {
      break;
    }
    if (got < 0) {
      ok = errno == EINTR;
      continue;
    }
    for (ssize_t done = 0; ok && done < got;) {
      const ssize_t put = ::write(out.get(), buffer + done, static_cast<std::size_t>(got - done));
      if (put < 0 && errno == EINTR) {
        continue;
      }
      if (put <= 0) {
        ok = false;
        break;
      }
      done += put;
    }
  }
  if (!ok) {
    reason = fileio::ErrorText(errno);
  }
  if (const int closed = out.Close(); closed != 0 && ok) {
    ok = false;
    reason = fileio::ErrorText(closed);
  }
  if (!ok) {
    DeleteFile(target);
  }
  return ok;
}

// The bracket-free copy of a source: its path and whether this call created
// it; when it could not be made, `error` says why and the conversion must
// not go on (the path may name another file of the user's).
struct BracketFreeCopy {
  std::string path;
  bool created = false;
  std::string error;
};

// Another program still writing the source would leave a torn copy; wait a
// while for it, but never without end (a file held open for good must not
// stop a whole run).
void WaitWhileLocked(const std::string& source) {
  fileio::InUseWait wait;
  wait.limit = std::chrono::minutes(1);
  wait.poll = std::chrono::seconds(1);
  wait.between = [] { return !ApplicationTerminating(); };
  fileio::WaitWhileInUse(source, wait);
}

BracketFreeCopy MakeBracketFreeCopy(const std::string& source, const std::string& destination) {
  WaitWhileLocked(source);
  const std::string plain = ReplaceBracketsInName(source);
  const std::string folder = FolderPart(plain);
  const std::string name = NamePart(plain);
  // Enough tries for any folder a person keeps.
  constexpr int kMaxTries = 1000;
  BracketFreeCopy copy;
  std::string reason = std::strerror(EEXIST);
  for (int attempt = 0; attempt < kMaxTries; ++attempt) {
    const std::string candidate =
        attempt == 0 ? plain : folder + "~" + std::to_string(attempt) + "~" + name;
    if (candidate == destination) {
      continue;
    }
    bool name_taken = false;
    if (CopyIntoNewFile(source, candidate, name_taken, reason)) {
      copy.path = candidate;
      copy.created = true;
      return copy;
    }
    if (!name_taken) {
      break;
    }
  }
  copy.error =
      TrFormat("Can not make a copy of %s without brackets, error reason is %s", {source, reason});
  return copy;
}

void SetAlertsIgnoringErrors(const automation::ObjectPtr& application, bool on) {
  if (application) {
    SetWordAlerts(*application, on);
  }
}

void CloseIgnoringErrors(const automation::ObjectPtr& document) {
  if (!document) {
    return;
  }
  try {
    CloseDocument(*document);
  } catch (...) {
    // The document is given up either way; the original failure is what
    // the caller needs to hear about.
  }
}

}  // namespace

std::string WrittenDestinationPath(const std::string& destination) {
  return ReplaceBracketsInName(destination);
}

void SetRecoverAnyTypeFlag(bool on) {
  recover_any_type = on;
}
bool RecoverAnyTypeFlag() {
  return recover_any_type;
}

bool ConvertDocument(const std::string& source, const std::string& destination,
                     const std::string& format_code, const std::string& request_block,
                     std::string& error_text) {
  const std::string plain_destination = ReplaceBracketsInName(destination);
  BracketFreeCopy copy{source, false, {}};
  if (ReplaceBracketsInName(source) != source) {
    copy = MakeBracketFreeCopy(source, plain_destination);
    if (!copy.created) {
      error_text = copy.error;
      return false;
    }
  }
  struct CopyRemover {
    const BracketFreeCopy& copy;
    ~CopyRemover() {
      if (copy.created) {
        DeleteFile(copy.path);
      }
    }
  } remover{copy};
  return RunConversion(copy.path, plain_destination, format_code, request_block, error_text);
}

bool RunConversion(const std::string& requested_source, const std::string& destination,
                   const std::string& format_code, const std::string& request_block,
                   std::string& error_text) {
  LetPendingMessagesRun();
  error_text.clear();
  std::string source = requested_source;
  // Every call of this conversion, the check that the word processor is
  // still there included, ends at the limit that the source's size earns.
  automation::CallTimeoutScope time_limit(CallTimeLimitFor(FileSizeOf(requested_source)));

  const std::string folder = fileio::FolderOf(destination);
  if (!FolderExists(folder)) {
    error_text = TrFormat("%s directory do not exist", {folder});
    return false;
  }

  if (!EnsureWord(error_text)) {
    return false;
  }
  automation::ObjectPtr application = WordApplication();
  const int major_version = WordMajorVersion(WordVersion(*application));

  std::string temporary_html;
  bool preconverted = false;
  if (major_version >= kLegacyPreconvertFromVersion) {
    temporary_html = TempWorkPath(ChangeFileExt(source, ".htm"));
    if (IsLegacyExtension(LowerAscii(FileExtPart(source)))) {
      error_text = PreconvertLegacyFile(source, temporary_html);
      source = temporary_html;
      preconverted = true;
      if (!error_text.empty()) {
        return false;
      }
    }
  }

  const bool run_plugin = HasRequestFlag(kRunPluginFlag, request_block);
  bool read_only = !IsSameFile(source, destination);
  if (HasRequestFlag(kRunPluginSaveFlag, request_block)) {
    read_only = false;
  }
  const std::string open_password = OpenPasswordOf(request_block);
  const std::string unprotect_password = RequestValue(kWorkbookProtectPasswordKey, request_block);
  const std::string text_delimit = RequestValue(kTextDelimitKey, request_block);
  if (!text_delimit.empty()) {
    ParseIntegerOption(text_delimit);  // read for its check only
  }
  // Read before anything is opened, so that a bad code leaves no document
  // open in the word processor.
  // The path is opened as given: blanks at its ends are part of a Linux
  // file name, and cutting them off would open another file.
  const int format = ParseIntegerOption(format_code);

  automation::ObjectPtr document;
  try {
    document = OpenDocument(*application, source, read_only, open_password, RecoverAnyTypeFlag());
  } catch (const std::exception& error) {
    error_text = error.what();
    SetAlertsIgnoringErrors(application, true);
    LetPendingMessagesRun();
    ReleaseWord();
    return false;
  }

  if (!unprotect_password.empty()) {
    try {
      UnprotectDocument(*document, unprotect_password);
    } catch (...) {
      CloseIgnoringErrors(document);
      throw;
    }
  }
  // Only a plug-in run on a writable document saves it: then a saved
  // document must stay saved through the title.
  SetTitleIfEmpty(*document, source, run_plugin && !read_only);
  LetPendingMessagesRun();

  const bool destination_is_source = IsSameFile(source, destination);
  std::string temporary_rtf;
  // From here on a failure must not leave a destination file behind: it
  // would look like a finished conversion.
  const auto fail_in_save_stage = [&](const std::string& message) {
    CloseIgnoringErrors(document);
    if (!destination_is_source) {
      DeleteFile(destination);
    }
    error_text = message;
    return false;
  };
  try {
    if (!destination_is_source) {
      DeleteFile(destination);
    }
    if (format == kSourceCharacterSetCode) {
      SaveWithSourceCharacterSet(*document, destination, major_version);
    } else {
      if (LowerAscii(FileExtPart(source)) == ".doc") {
        temporary_rtf = TempWorkPath(ChangeFileExt(destination, ".rtf"));
        std::string reopen_error;
        if (!ReopenThroughRtf(document, temporary_rtf, read_only, open_password, reopen_error)) {
          // The document was closed before the word processor went away.
          error_text = reopen_error;
          return false;
        }
      }
      if (run_plugin) {
        const std::string macro_error = RunBeforeConversionMacro(*document);
        if (!macro_error.empty()) {
          return fail_in_save_stage(macro_error);
        }
        if (!read_only) {
          SaveDocument(*document);
        }
      }
      try {
        SaveAsText(*document, destination, format);
      } catch (const std::exception& error) {
        return fail_in_save_stage(error.what());
      }
      if (run_plugin) {
        const std::string macro_error = RunAfterConversionMacro(*document);
        if (!macro_error.empty()) {
          return fail_in_save_stage(macro_error);
        }
      }
    }
    LetPendingMessagesRun();
    CloseDocument(*document);
    if (!temporary_rtf.empty()) {
      DeleteFile(temporary_rtf);
    }
    SetAlertsIgnoringErrors(application, true);
  } catch (const std::exception& error) {
    return fail_in_save_stage(error.what());
  }

  LetPendingMessagesRun();
  if (preconverted) {
    DeleteFile(temporary_html);
  }
  return error_text.empty();
}

}  // namespace quillon::engine
