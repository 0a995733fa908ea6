#include "wordcnv/memo_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "charset/code_page.h"
#include "wordcnv/byte_order.h"

namespace quillon::wordcnv {
namespace {

// A memo longer than this is a damaged length field, not text.
constexpr std::uint64_t kMaxMemoBytes = std::uint64_t{256} << 20;

bool IsFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

MemoFile::~MemoFile() {
  if (fd_ >= 0) {
    ::close(fd_);
  }
}

std::string MemoFile::FindBeside(const std::string& dbf_path, bool foxpro) {
  const std::size_t slash = dbf_path.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : dbf_path.substr(0, slash + 1);
  std::string stem = dbf_path.substr(folder.size());
  const std::size_t dot = stem.rfind('.');
  if (dot != std::string::npos && dot > 0) {
    stem.erase(dot);
  }
  const char* wanted = foxpro ? ".fpt" : ".dbt";
  const char* other = foxpro ? ".dbt" : ".fpt";
  for (const char* extension : {wanted, other}) {
    std::string upper = extension;
    for (char& c : upper) {
      c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    for (const std::string& candidate : {folder + stem + extension, folder + stem + upper}) {
      if (IsFile(candidate)) {
        return candidate;
      }
    }
    // Any other letter case of the whole name, as tables copied from DOS
    // disks come.
    const std::string want = AsciiLower(stem + extension);
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) {
      continue;
    }
    std::string found;
    while (const dirent* entry = ::readdir(dir)) {
      if (AsciiLower(entry->d_name) == want && IsFile(folder + entry->d_name)) {
        found = folder + entry->d_name;
        break;
      }
    }
    ::closedir(dir);
    if (!found.empty()) {
      return found;
    }
  }
  return {};
}

bool MemoFile::Open(const std::string& path, Kind kind, std::string& error) {
  path_ = path;
  kind_ = kind;
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat info {};
  if (fd_ < 0 || ::fstat(fd_, &info) != 0) {
    error = "the memo file " + path + " cannot be opened: " + std::strerror(errno);
    return false;
  }
  size_ = static_cast<std::uint64_t>(info.st_size);
  std::string header;
  if (!ReadAt(0, 32, header)) {
    error = "the memo file " + path + " is damaged: it ends inside its header";
    return false;
  }
  if (kind == Kind::kFoxPro) {
    block_size_ = Big16(header, 6);
  } else if (kind == Kind::kDbase4) {
    block_size_ = Little16(header, 20);
  }
  if (kind == Kind::kDbase3 || block_size_ == 0) {
    block_size_ = 512;
  }
  return true;
}

bool MemoFile::ReadAt(std::uint64_t offset, std::size_t length, std::string& out) const {
  if (offset > size_ || length > size_ - offset) {
    return false;
  }
  out.resize(length);
  std::size_t done = 0;
  while (done < length) {
    const ssize_t got =
        ::pread(fd_, out.data() + done, length - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got <= 0) {
      return false;
    }
    done += static_cast<std::size_t>(got);
  }
  return true;
}

std::string MemoFile::Damaged(std::uint64_t block, const char* why) const {
  return "the memo file " + path_ + " is damaged: the memo in block " + std::to_string(block) +
         " " + why;
}

bool MemoFile::Read(std::uint64_t block, std::string& bytes, std::string& error) const {
  bytes.clear();
  if (block == 0) {
    return true;  // block 0 is the header: an empty memo
  }
  if (block > size_ / block_size_) {
    error = Damaged(block, "lies beyond the end of the file");
    return false;
  }
  const std::uint64_t offset = block * block_size_;
  std::string head;
  if (kind_ == Kind::kFoxPro) {
    if (!ReadAt(offset, 8, head)) {
      error = Damaged(block, "lies beyond the end of the file");
      return false;
    }
    const std::uint32_t type = Big32(head, 0);
    const std::uint32_t length = Big32(head, 4);
    if (length > kMaxMemoBytes || !ReadAt(offset + 8, length, bytes)) {
      error = Damaged(block, "runs past the end of the file");
      return false;
    }
    if (type != 1) {
      bytes.clear();  // pictures and objects carry no text
    }
    return true;
  }
  if (kind_ == Kind::kDbase4 && ReadAt(offset, 8, head) &&
      head.compare(0, 4, std::string_view("\xFF\xFF\x08\x00", 4)) == 0) {
    const std::uint32_t length = Little32(head, 4);
    if (length < 8 || length - 8 > kMaxMemoBytes || !ReadAt(offset + 8, length - 8, bytes)) {
      error = Damaged(block, "runs past the end of the file");
      return false;
    }
    return true;
  }
  // dBase III: the text runs to the first end-of-text mark (or the end of
  // the file, which some writers leave unmarked).
  std::string chunk;
  for (std::uint64_t at = offset; at < size_; at += chunk.size()) {
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(64 * 1024, size_ - at));
    if (!ReadAt(at, want, chunk)) {
      error = Damaged(block, "cannot be read");
      return false;
    }
    const std::size_t end = chunk.find('\x1A');
    bytes.append(chunk, 0, end == std::string::npos ? chunk.size() : end);
    if (end != std::string::npos) {
      break;
    }
    if (bytes.size() > kMaxMemoBytes) {
      error = Damaged(block, "has no end");
      return false;
    }
  }
  // dBase wraps memo lines with soft returns (0x8D before LF).
  for (std::size_t i = 0; (i = bytes.find("\x8D\n", i)) != std::string::npos;) {
    bytes.erase(i, 1);
  }
  return true;
}

}  // namespace quillon::wordcnv
