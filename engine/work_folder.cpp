#include "engine/work_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "util/files.h"
#include "util/text.h"

namespace quillon::engine {
namespace {

// mkdir -p; the last component gets `mode`, parents the usual 0777 & umask.
bool MakeFolderChain(const std::string& folder, mode_t mode) {
  std::string path = folder;
  while (path.size() > 1 && path.back() == '/') {
    path.pop_back();
  }
  if (path.empty()) {
    return false;
  }
  for (std::size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1)) {
    const std::string parent = path.substr(0, at);
    if (::mkdir(parent.c_str(), 0777) != 0 && errno != EEXIST) {
      return false;
    }
  }
  return ::mkdir(path.c_str(), mode) == 0 || errno == EEXIST;
}

// A folder that is ours to write into: a real folder (not a link to one)
// owned by this user.
bool IsOwnFolder(const std::string& folder) {
  struct stat info {};
  if (::lstat(folder.c_str(), &info) != 0) {
    return false;
  }
  return S_ISDIR(info.st_mode) && info.st_uid == ::getuid();
}

}  // namespace

std::string TemporaryFolder() {
  const std::string folder = TempFolder();
  return folder.empty() ? std::string("/tmp/") : folder;
}

std::string WorkFolder() {
  const std::string base = TemporaryFolder();
  const std::string shared_name = base + "~Quillon";
  MakeFolderChain(shared_name, 0700);
  if (IsOwnFolder(shared_name)) {
    return shared_name + "/";
  }
  const std::string own_name = shared_name + "-" + std::to_string(::getuid());
  MakeFolderChain(own_name, 0700);
  return own_name + "/";
}

std::string TempWorkPath(const std::string& path) {
  return WorkFolder() + NamePart(path);
}

std::string FileExtPart(const std::string& path) {
  const std::string name = NamePart(path);
  const std::size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string ChangeFileExt(const std::string& path, const std::string& extension) {
  const std::size_t slash = path.rfind('/');
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
    return path + extension;
  }
  return path.substr(0, dot) + extension;
}

}  // namespace quillon::engine
