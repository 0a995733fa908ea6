#include "docengine/zip_archive.h"

#include <zip.h>

#include <algorithm>
#include <memory>

namespace quillon::docengine {

namespace {

constexpr std::size_t kRatioCheckFloor = std::size_t{1} << 20;
constexpr std::size_t kChunk = 64 * 1024;

std::string NormalizeName(std::string_view name) {
  while (!name.empty() && name.front() == '/')
    name.remove_prefix(1);
  return std::string(name);
}

}  // namespace

bool LooksLikeZip(std::string_view head) {
  return head.size() >= 4 && head[0] == 'P' && head[1] == 'K' &&
         ((head[2] == 3 && head[3] == 4) || (head[2] == 5 && head[3] == 6));
}

ZipArchive::~ZipArchive() {
  if (zip_ != nullptr)
    zip_discard(zip_);
}

bool ZipArchive::Open(std::string_view data, const ReadLimits& limits, std::string& error) {
  limits_ = limits;
  zip_error_t zerr;
  zip_error_init(&zerr);
  zip_source_t* source = zip_source_buffer_create(data.data(), data.size(), 0, &zerr);
  if (source == nullptr) {
    error = "The document could not be read.";
    zip_error_fini(&zerr);
    return false;
  }
  zip_ = zip_open_from_source(source, ZIP_RDONLY, &zerr);
  if (zip_ == nullptr) {
    zip_source_free(source);
    error = "The document is damaged: its package cannot be opened.";
    zip_error_fini(&zerr);
    return false;
  }
  zip_error_fini(&zerr);
  return true;
}

bool ZipArchive::Has(std::string_view name) const {
  if (zip_ == nullptr)
    return false;
  return zip_name_locate(zip_, NormalizeName(name).c_str(), ZIP_FL_NOCASE) >= 0;
}

std::vector<std::string> ZipArchive::Names() const {
  std::vector<std::string> names;
  if (zip_ == nullptr)
    return names;
  const zip_int64_t count = zip_get_num_entries(zip_, 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    const char* name = zip_get_name(zip_, static_cast<zip_uint64_t>(i), 0);
    if (name != nullptr)
      names.emplace_back(name);
  }
  return names;
}

bool ZipArchive::Read(std::string_view name, std::string& out, std::string& error, bool* bomb) {
  out.clear();
  if (bomb != nullptr)
    *bomb = false;
  if (zip_ == nullptr) {
    error = "The document package is not open.";
    return false;
  }
  const std::string key = NormalizeName(name);
  const zip_int64_t index = zip_name_locate(zip_, key.c_str(), ZIP_FL_NOCASE);
  if (index < 0) {
    error = "The document is damaged: the part \"" + key + "\" is missing.";
    return false;
  }
  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_stat_index(zip_, static_cast<zip_uint64_t>(index), 0, &st) != 0) {
    error = "The document is damaged: the part \"" + key + "\" cannot be read.";
    return false;
  }
  const std::size_t budget = limits_.max_inflated_bytes > inflated_total_
                                 ? limits_.max_inflated_bytes - inflated_total_
                                 : 0;
  auto over = [&](std::size_t size) {
    if (size > budget)
      return true;
    if (size > kRatioCheckFloor && (st.valid & ZIP_STAT_COMP_SIZE) != 0) {
      const std::size_t compressed = std::max<std::size_t>(1, st.comp_size);
      if (size / compressed >= limits_.max_inflate_ratio)
        return true;
    }
    return false;
  };
  if ((st.valid & ZIP_STAT_SIZE) != 0 && over(static_cast<std::size_t>(st.size))) {
    if (bomb != nullptr)
      *bomb = true;
    error = kZipBombMessage;
    return false;
  }
  std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> file(
      zip_fopen_index(zip_, static_cast<zip_uint64_t>(index), 0), zip_fclose);
  if (!file) {
    error = "The document is damaged: the part \"" + key + "\" cannot be opened.";
    return false;
  }
  // The declared size only sizes the first allocation; the loop enforces
  // the limits on what really comes out.
  if ((st.valid & ZIP_STAT_SIZE) != 0)
    out.reserve(std::min<std::size_t>(st.size, 64u << 20));
  char buffer[kChunk];
  for (;;) {
    const zip_int64_t got = zip_fread(file.get(), buffer, sizeof buffer);
    if (got < 0) {
      out.clear();
      error = "The document is damaged: the part \"" + key + "\" cannot be inflated.";
      return false;
    }
    if (got == 0)
      break;
    if (over(out.size() + static_cast<std::size_t>(got))) {
      out.clear();
      out.shrink_to_fit();
      if (bomb != nullptr)
        *bomb = true;
      error = kZipBombMessage;
      return false;
    }
    out.append(buffer, static_cast<std::size_t>(got));
  }
  inflated_total_ += out.size();
  return true;
}

}  // namespace quillon::docengine
