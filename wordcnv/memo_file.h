#pragma once
// The memo files beside a dBase or FoxPro table: ".dbt" (dBase III blocks
// ended by 0x1A, dBase IV blocks with a length) and ".fpt" (FoxPro blocks
// with a type and a length). Memo fields hold block numbers into them.
//
// A MemoFile owns its open descriptor. Not thread-safe.

#include <cstdint>
#include <string>

namespace quillon::wordcnv {

class MemoFile {
 public:
  enum class Kind { kDbase3, kDbase4, kFoxPro };

  MemoFile() = default;
  ~MemoFile();
  MemoFile(const MemoFile&) = delete;
  MemoFile& operator=(const MemoFile&) = delete;

  // The memo file of the table `dbf_path`: the same name with ".fpt" for a
  // FoxPro table, ".dbt" otherwise, in any letter case. "" when none lies
  // beside it.
  static std::string FindBeside(const std::string& dbf_path, bool foxpro);

  // Opens `path` and reads its header. False with a reason naming the
  // file when it cannot be opened or its header is damaged.
  bool Open(const std::string& path, Kind kind, std::string& error);

  const std::string& path() const { return path_; }

  // The bytes of the text memo starting at `block` (picture and object
  // memos give ""). False with a reason when the block lies outside the
  // file or its length runs past the end.
  bool Read(std::uint64_t block, std::string& bytes, std::string& error) const;

 private:
  bool ReadAt(std::uint64_t offset, std::size_t length, std::string& out) const;
  std::string Damaged(std::uint64_t block, const char* why) const;

  int fd_ = -1;
  std::string path_;
  Kind kind_ = Kind::kDbase3;
  std::uint64_t size_ = 0;
  std::uint64_t block_size_ = 512;
};

}  // namespace quillon::wordcnv
