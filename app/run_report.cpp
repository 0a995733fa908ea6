#include "app/run_report.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

#include "util/text.h"

namespace quillon {
namespace {

void AppendEscape(std::string& out, unsigned code) {
  static const char kHex[] = "0123456789abcdef";
  out += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) {
    out += kHex[(code >> shift) & 0xF];
  }
}

std::string Number(std::int64_t value) {
  return std::to_string(value);
}

// Seconds with three decimals, whatever the locale's decimal sign.
std::string Seconds(double seconds) {
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof(buffer), seconds < 0 ? 0.0 : seconds,
                              std::chars_format::fixed, 3);
  return std::string(buffer, result.ptr);
}

std::string ErrorText(int error_number) {
  return std::strerror(error_number);
}

}  // namespace

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size();) {
    auto c = static_cast<unsigned char>(text[i]);
    size_t length = Utf8SequenceLength(text, i);
    if (length == 0) {
      AppendEscape(out, 0xDC00u + c);
      ++i;
      continue;
    }
    if (length > 1) {
      out.append(text.substr(i, length));
    } else if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      AppendEscape(out, c);
    } else {
      out += static_cast<char>(c);
    }
    i += length;
  }
  out += '"';
  return out;
}

std::string ReportFileLine(const FileOutcome& outcome) {
  return "{\"source\":" + JsonString(outcome.source) +
         ",\"destination\":" + JsonString(outcome.destination) +
         ",\"ok\":" + (outcome.ok ? "true" : "false") + ",\"error\":" + JsonString(outcome.error) +
         ",\"input_bytes\":" + Number(outcome.input_bytes) +
         ",\"output_bytes\":" + Number(outcome.output_bytes) +
         ",\"milliseconds\":" + Number(outcome.milliseconds) + "}";
}

std::string ReportSummaryLine(const RunSummary& summary) {
  std::string errors = "[";
  for (const std::string& error : summary.errors) {
    if (errors.size() > 1) {
      errors += ',';
    }
    errors += JsonString(error);
  }
  errors += ']';
  return "{\"summary\":true,\"files\":" + Number(summary.converted + summary.failed) +
         ",\"converted\":" + Number(summary.converted) + ",\"failed\":" + Number(summary.failed) +
         ",\"error_count\":" + Number(static_cast<std::int64_t>(summary.errors.size())) +
         ",\"errors\":" + errors + ",\"interrupted\":" + (summary.interrupted ? "true" : "false") +
         ",\"seconds\":" + Seconds(summary.seconds) + "}";
}

std::string ReportText(const std::vector<FileOutcome>& outcomes, const RunSummary& summary) {
  std::string text;
  for (const FileOutcome& outcome : outcomes) {
    text += ReportFileLine(outcome);
    text += '\n';
  }
  text += ReportSummaryLine(summary);
  text += '\n';
  return text;
}

bool WriteFileWhole(const std::string& path, const std::string& content, std::string& error) {
  std::string folder = FolderPart(path);
  std::string temp =
      (folder.empty() ? std::string("./") : folder) + "." + NamePart(path) + ".XXXXXX";
  int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    error = ErrorText(errno);
    return false;
  }
  auto fail = [&](int error_number) {
    if (fd >= 0) {
      ::close(fd);
    }
    ::unlink(temp.c_str());
    error = ErrorText(error_number);
    return false;
  };
  // mkstemp makes the file private; a report gets the mode of any new file.
  mode_t mask = ::umask(0);
  ::umask(mask);
  if (::fchmod(fd, 0666 & ~mask) != 0) {
    return fail(errno);
  }
  for (size_t done = 0; done < content.size();) {
    ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      return fail(n < 0 ? errno : EIO);
    }
    done += static_cast<size_t>(n);
  }
  if (::fsync(fd) != 0) {
    return fail(errno);
  }
  int closed = ::close(fd);
  fd = -1;
  if (closed != 0 || ::rename(temp.c_str(), path.c_str()) != 0) {
    return fail(errno);
  }
  // The rename itself lasts only once the folder is on the disk.
  int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

}  // namespace quillon
