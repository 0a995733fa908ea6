#include "support/auto_run.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "util/translate.h"

namespace quillon {
namespace {

constexpr const char* kEntryName = "Quillon";

// QUILLON_HOME, which holds every file of the program when it is set
// (tests set it), also holds the autostart folder.
std::string ConfigHome() {
  const char* quillon_home = std::getenv("QUILLON_HOME");
  if (quillon_home != nullptr && quillon_home[0] == '/') {
    return quillon_home;
  }
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && xdg[0] == '/') {
    return xdg;
  }
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : "") + "/.config";
}

// The program path as one argument of Exec: in double quotes, with the
// characters that are special inside them escaped, then the escapes of a
// string value of the entry file ("\" doubled) and "%" doubled.
std::string ExecArgument(const std::string& path) {
  std::string quoted = "\"";
  for (char c : path) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') {
      quoted += '\\';
    }
    quoted += c;
  }
  quoted += '"';
  std::string out;
  for (char c : quoted) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '%') {
      out += "%%";
    } else {
      out += c;
    }
  }
  return out;
}

void WriteAll(int fd, const std::string& text, const std::string& path) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      throw AutoRunError(TrFormat("Failed to set data for '%s'", {path}));
    }
    done += static_cast<size_t>(n);
  }
}

}  // namespace

std::string AutoRunEntryPath() {
  return ConfigHome() + "/autostart/" + kEntryName + ".desktop";
}

std::string AutoRunEntryText(const std::string& program) {
  if (program.find_first_of("\r\n") != std::string::npos) {
    throw AutoRunError(TrFormat("Failed to set data for '%s'", {std::string(kEntryName)}));
  }
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Quillon\n"
         "Comment=Converts documents in watched folders to text\n"
         "Exec=" +
         ExecArgument(program) +
         " /min\n"
         "Terminal=false\n"
         "X-GNOME-Autostart-enabled=true\n";
}

void ApplyAutoRunEntry(bool on, const std::string& program) {
  std::string path = AutoRunEntryPath();
  if (!on) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    return;
  }
  std::string text = AutoRunEntryText(program);
  std::string folder = path.substr(0, path.rfind('/'));
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec || !std::filesystem::is_directory(folder)) {
    throw AutoRunError(TrFormat("Failed to create key %s", {folder}));
  }
  // Whole or not at all: a temporary file beside the entry, renamed over it.
  std::string temp = folder + "/.Quillon.desktop.XXXXXX";
  int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    throw AutoRunError(TrFormat("Failed to set data for '%s'", {path}));
  }
  try {
    ::fchmod(fd, 0644);
    WriteAll(fd, text, path);
    if (::fsync(fd) != 0) {
      throw AutoRunError(TrFormat("Failed to set data for '%s'", {path}));
    }
  } catch (...) {
    ::close(fd);
    ::unlink(temp.c_str());
    throw;
  }
  if (::close(fd) != 0 || ::rename(temp.c_str(), path.c_str()) != 0) {
    ::unlink(temp.c_str());
    throw AutoRunError(TrFormat("Failed to set data for '%s'", {path}));
  }
}

}  // namespace quillon
