#include "support/auto_run.h"

#include <cstdlib>
#include <filesystem>

#include "fileio/files.h"
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
  std::string folder = fileio::FolderOf(path);
  std::string error;
  if (!fileio::MakeFolders(folder, error)) {
    throw AutoRunError(TrFormat("Failed to create key %s", {folder}));
  }
  if (!fileio::WriteFileWhole(path, text, error, 0644)) {
    throw AutoRunError(TrFormat("Failed to set data for '%s'", {path}));
  }
}

}  // namespace quillon
