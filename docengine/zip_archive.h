#pragma once
// Read access to a zip package held in memory, bounded against bombs.
//
// Every member is inflated through a counting loop: the size a member
// declares in the central directory is not trusted, the total inflated by
// one archive is capped by ReadLimits::max_inflated_bytes, and a member that
// inflates far beyond its compressed size counts as a bomb. One object is
// used by one thread; the data passed to Open must outlive it.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "docengine/reader.h"

typedef struct zip zip_t;

namespace quillon::docengine {

// True when `head` starts like a zip file (local header or empty archive).
bool LooksLikeZip(std::string_view head);

class ZipArchive {
 public:
  ZipArchive() = default;
  ~ZipArchive();
  ZipArchive(const ZipArchive&) = delete;
  ZipArchive& operator=(const ZipArchive&) = delete;

  // Opens the archive in `data`. False with an error text when it is not a
  // readable zip file.
  bool Open(std::string_view data, const ReadLimits& limits, std::string& error);

  // Member names are matched without regard to letter case, as package
  // part names are. A leading "/" is ignored.
  bool Has(std::string_view name) const;

  // Inflates one member into `out`. False with an error text when the
  // member is missing, damaged, or over the limits (then `bomb` is set
  // when given).
  bool Read(std::string_view name, std::string& out, std::string& error, bool* bomb = nullptr);

  std::vector<std::string> Names() const;

  // Total bytes inflated so far.
  std::size_t inflated_total() const { return inflated_total_; }

 private:
  zip_t* zip_ = nullptr;
  ReadLimits limits_;
  std::size_t inflated_total_ = 0;
};

// The message of an archive that inflates beyond the limits.
inline constexpr const char* kZipBombMessage =
    "The document is too large to open: its compressed parts expand beyond the limit.";

}  // namespace quillon::docengine
