#include "util/files.h"

#include <fcntl.h>
#include <langinfo.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <thread>

#include "fileio/files.h"
#include "fileio/in_use.h"
#include "fileio/unique_fd.h"
#include "platform/prompter.h"
#include "platform/shell_type.h"
#include "util/translate.h"

namespace fs = std::filesystem;

namespace quillon {
namespace {

void ReportError(const std::string& text) {
  CurrentPrompter().Show(text, {}, PromptIcon::kError, PromptButtons::kOk, PromptAnswer::kOk);
}

// The locale's time form with the seconds (and the separator before them)
// taken out.
std::string TimeFormatWithoutSeconds() {
  std::string format = nl_langinfo(T_FMT);
  if (format.empty()) {
    format = "%H:%M:%S";
  }
  // Spell out the composite forms so that their seconds can be removed.
  for (size_t pos; (pos = format.find("%r")) != std::string::npos;) {
    std::string ampm = nl_langinfo(T_FMT_AMPM);
    format.replace(pos, 2, ampm.empty() ? "%I:%M:%S %p" : ampm);
  }
  for (size_t pos; (pos = format.find("%T")) != std::string::npos;) {
    format.replace(pos, 2, "%H:%M:%S");
  }
  for (size_t pos; (pos = format.find("%S")) != std::string::npos;) {
    size_t from = pos;
    // The separator before the seconds goes with them (":" or ".").
    while (from > 0 && std::strchr(":.,", format[from - 1]) != nullptr) {
      --from;
    }
    format.erase(from, pos + 2 - from);
  }
  return format;
}

std::string FormatLocal(const std::tm& time, const std::string& format) {
  if (format.empty()) {
    return {};
  }
  char buffer[256];
  size_t n = std::strftime(buffer, sizeof(buffer), format.c_str(), &time);
  return std::string(buffer, n);
}

}  // namespace

bool ReadFileSkippingBom(const std::string& path, std::string& content, ByteOrderMark* mark) {
  content.clear();
  if (mark != nullptr) {
    *mark = ByteOrderMark::kNone;
  }
  std::string data;
  std::string reason;
  if (!fileio::ReadWholeFile(path, data, reason)) {
    // An open that fails leaves nothing read; a read that fails mid-way is
    // told apart, as the two messages say different things.
    const char* format = ::access(path.c_str(), R_OK) == 0 ? "Cannot read file \"%s\". %s"
                                                           : "Cannot open file \"%s\". %s";
    ReportError(TrFormat(format, {path, reason}));
    return false;
  }
  size_t start = 0;
  ByteOrderMark found = ByteOrderMark::kNone;
  auto byte = [&](size_t i) { return static_cast<unsigned char>(data[i]); };
  if (data.size() >= 2 && byte(0) == 0xFF && byte(1) == 0xFE) {
    found = ByteOrderMark::kUtf16LittleEndian;
    start = 2;
  } else if (data.size() >= 2 && byte(0) == 0xFE && byte(1) == 0xFF) {
    found = ByteOrderMark::kUtf16BigEndian;
    start = 2;
  } else if (data.size() >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) {
    found = ByteOrderMark::kUtf8;
    start = 3;
  }
  content = data.substr(start);
  if (mark != nullptr) {
    *mark = found;
  }
  return true;
}

bool IsFileLocked(const std::string& path) {
  return fileio::IsFileInUse(path);
}

bool CopyFileWhenFree(const std::string& source, const std::string& destination,
                      const std::function<bool()>& application_closing, std::string* error,
                      std::chrono::milliseconds poll) {
  if (error != nullptr) {
    error->clear();
  }
  fileio::InUseWait wait;
  wait.limit = std::chrono::milliseconds::max();
  wait.poll = poll;
  wait.between = [&] { return !(application_closing && application_closing()); };
  if (fileio::WaitWhileInUse(source, wait) == fileio::WaitOutcome::kGaveUp) {
    if (error != nullptr) {
      *error = Tr("The program is closing");
    }
    return false;
  }
  std::error_code ec;
  fs::copy_file(source, destination, fs::copy_options::overwrite_existing, ec);
  if (ec) {
    if (error != nullptr) {
      *error = ec.message();
    }
    return false;
  }
  return true;
}

std::int64_t FileSizeOf(const std::string& path) {
  fileio::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  struct stat info {};
  if (fd && ::fstat(fd.get(), &info) == 0 && S_ISREG(info.st_mode)) {
    return static_cast<std::int64_t>(info.st_size);
  }
  return 0;
}

std::string FileTimeText(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    ReportError(
        TrFormat("Cannot read the time of \"%s\". %s", {path, std::string(std::strerror(errno))}));
    return {};
  }
  std::tm local{};
  if (::localtime_r(&info.st_mtim.tv_sec, &local) == nullptr) {
    ReportError(TrFormat("Cannot read the time of \"%s\". %s",
                         {path, std::string(std::strerror(EOVERFLOW))}));
    return {};
  }
  std::string date = FormatLocal(local, nl_langinfo(D_FMT));
  std::string time = FormatLocal(local, TimeFormatWithoutSeconds());
  return date + "  " + time;
}

std::string ShellTypeName(const std::string& path) {
  std::string name = MimeTypeComment(path);
  // Cut after 80 characters, never inside one.
  size_t characters = 0;
  for (size_t i = 0; i < name.size(); ++i) {
    if ((static_cast<unsigned char>(name[i]) & 0xC0) != 0x80) {
      if (characters == 80) {
        name.resize(i);
        break;
      }
      ++characters;
    }
  }
  return name;
}

std::string TempFolder() {
  std::error_code ec;
  fs::path folder = fs::temp_directory_path(ec);
  if (ec || !fs::is_directory(folder, ec)) {
    return {};
  }
  std::string text = folder.string();
  if (text.empty() || text.back() != '/') {
    text += '/';
  }
  return text;
}

}  // namespace quillon
