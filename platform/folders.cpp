#include "platform/folders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace quillon {
namespace {

std::string WithSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') {
    folder += '/';
  }
  return folder;
}

std::string EnvText(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

bool IsAbsolute(const std::string& path) {
  return !path.empty() && path.front() == '/';
}

// Makes one folder with mode 0700 and checks that it is a real folder owned
// by this user, so that nobody can hand us a folder (or a link to one) that
// they control.
bool MakePrivateFolder(const std::string& folder, std::string* error) {
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    if (error != nullptr) {
      *error = folder + ": " + std::strerror(errno);
    }
    return false;
  }
  struct stat info {};
  if (::lstat(folder.c_str(), &info) != 0) {
    if (error != nullptr) {
      *error = folder + ": " + std::strerror(errno);
    }
    return false;
  }
  if (!S_ISDIR(info.st_mode) || info.st_uid != ::getuid()) {
    if (error != nullptr) {
      *error = folder + ": not a folder of this user";
    }
    return false;
  }
  return true;
}

}  // namespace

std::string ProgramFolder() {
  static const std::string folder = [] {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) {
      return WithSlash(fs::current_path(ec).string());
    }
    return WithSlash(exe.parent_path().string());
  }();
  return folder;
}

std::string ProgramPath() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.string();
}

std::string ResourceFolder() {
  std::string program = ProgramFolder();
  fs::path installed = fs::path(program + "../share/quillon").lexically_normal();
  std::error_code ec;
  if (fs::is_directory(installed, ec)) {
    return WithSlash(installed.string());
  }
  return program;
}

std::string HelperProgramPath(const std::string& name) {
  std::string beside = ProgramFolder() + name;
  std::error_code ec;
  if (fs::is_regular_file(beside, ec)) {
    return beside;
  }
  return (fs::path(ProgramFolder() + "../libexec/quillon") / name).lexically_normal().string();
}

StateEnvironment CurrentStateEnvironment() {
  return {EnvText("QUILLON_HOME"), EnvText("XDG_CONFIG_HOME"), EnvText("XDG_STATE_HOME"),
          EnvText("HOME")};
}

StateFolders ResolveStateFolders(const std::string& program_folder, const StateEnvironment& env) {
  StateFolders out;
  if (!env.quillon_home.empty()) {
    out.config = out.logs = WithSlash(env.quillon_home);
    return out;
  }
  std::error_code ec;
  if (fs::is_regular_file(program_folder + "set.ini", ec)) {
    out.config = out.logs = WithSlash(program_folder);
    out.portable = true;
    return out;
  }
  std::string home = env.home.empty() ? std::string("/") : WithSlash(env.home);
  std::string config_base =
      IsAbsolute(env.xdg_config_home) ? WithSlash(env.xdg_config_home) : home + ".config/";
  std::string state_base =
      IsAbsolute(env.xdg_state_home) ? WithSlash(env.xdg_state_home) : home + ".local/state/";
  out.config = config_base + "quillon/";
  out.logs = state_base + "quillon/";
  return out;
}

std::string ConfigFolder() {
  return ResolveStateFolders(ProgramFolder(), CurrentStateEnvironment()).config;
}

std::string LogFolder() {
  return ResolveStateFolders(ProgramFolder(), CurrentStateEnvironment()).logs;
}

bool IsPortable() {
  return ResolveStateFolders(ProgramFolder(), CurrentStateEnvironment()).portable;
}

std::string RuntimeFolder(std::string* error) {
  std::string base = EnvText("XDG_RUNTIME_DIR");
  std::error_code ec;
  std::string folder;
  if (IsAbsolute(base) && fs::is_directory(base, ec)) {
    folder = WithSlash(base) + "quillon";
  } else {
    folder = "/tmp/quillon-" + std::to_string(::getuid());
  }
  if (!MakePrivateFolder(folder, error)) {
    return {};
  }
  return folder + "/";
}

bool EnsureFolder(const std::string& folder, std::string* error) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (fs::is_directory(folder, ec)) {
    return true;
  }
  if (error != nullptr) {
    *error = folder + ": " + (ec ? ec.message() : std::string("not a folder"));
  }
  return false;
}

}  // namespace quillon
