#include "docengine/ole_storage.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-input.h>

#include <cstring>
#include <mutex>

#include "charset/code_page.h"

namespace quillon::docengine::msdoc {

namespace {

constexpr unsigned char kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

std::uint32_t Le32(std::string_view s, std::size_t at) {
  if (at > s.size() || s.size() - at < 4)
    return 0;
  const auto* p = reinterpret_cast<const unsigned char*>(s.data() + at);
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// UTF-16 LE text up to its terminating NUL; an odd last byte is dropped.
std::string Utf16Text(std::string_view raw) {
  std::size_t units = raw.size() / 2;
  for (std::size_t i = 0; i < units; ++i) {
    if (raw[2 * i] == '\0' && raw[2 * i + 1] == '\0') {
      units = i;
      break;
    }
  }
  return CodePageToUtf8(raw.substr(0, 2 * units), kCodePageUtf16Le);
}

// libgsf reports damaged containers on standard error; a damaged file is an
// ordinary failure here, reported through the read result instead.
void SilenceLibraryWarnings() {
  static std::once_flag once;
  std::call_once(once, [] {
    auto quiet = [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {};
    // libgsf's container code also logs in the default domain.
    for (const char* domain : {"libgsf:msole", "libgsf", static_cast<const char*>(nullptr)}) {
      g_log_set_handler(domain,
                        static_cast<GLogLevelFlags>(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_CRITICAL |
                                                    G_LOG_LEVEL_MESSAGE | G_LOG_LEVEL_INFO),
                        quiet, nullptr);
    }
  });
}

}  // namespace

bool HasCompoundFileSignature(std::string_view head) {
  return head.size() >= 8 && std::memcmp(head.data(), kSignature, 8) == 0;
}

struct OleStorage::Handles {
  GsfInput* input = nullptr;
  GsfInfile* infile = nullptr;
  ~Handles() {
    if (infile)
      g_object_unref(infile);
    if (input)
      g_object_unref(input);
  }
};

OleStorage::~OleStorage() = default;

std::unique_ptr<OleStorage> OleStorage::Open(std::string_view data, std::string& error) {
  if (!HasCompoundFileSignature(data)) {
    error = "not a compound file";
    return nullptr;
  }
  SilenceLibraryWarnings();
  std::unique_ptr<OleStorage> storage(new OleStorage);
  storage->handles_ = std::make_unique<Handles>();
  storage->handles_->input = gsf_input_memory_new(reinterpret_cast<const guint8*>(data.data()),
                                                  static_cast<gsf_off_t>(data.size()), FALSE);
  if (!storage->handles_->input) {
    error = "the file cannot be read";
    return nullptr;
  }
  GError* gerr = nullptr;
  storage->handles_->infile = gsf_infile_msole_new(storage->handles_->input, &gerr);
  if (!storage->handles_->infile) {
    error = gerr && gerr->message ? gerr->message : "damaged compound file";
    if (gerr)
      g_error_free(gerr);
    return nullptr;
  }
  if (gerr)
    g_error_free(gerr);
  return storage;
}

bool OleStorage::HasStream(const std::string& name) const {
  GsfInput* child = gsf_infile_child_by_name(handles_->infile, name.c_str());
  if (!child)
    return false;
  g_object_unref(child);
  return true;
}

std::vector<std::string> OleStorage::StreamNames() const {
  std::vector<std::string> names;
  int n = gsf_infile_num_children(handles_->infile);
  for (int i = 0; i < n; ++i) {
    const char* name = gsf_infile_name_by_index(handles_->infile, i);
    if (name)
      names.emplace_back(name);
  }
  return names;
}

std::optional<std::string> OleStorage::ReadStream(const std::string& name,
                                                  std::size_t max_bytes) const {
  GsfInput* child = gsf_infile_child_by_name(handles_->infile, name.c_str());
  if (!child)
    return std::nullopt;
  std::optional<std::string> result;
  gsf_off_t size = gsf_input_size(child);
  // A stream never holds more than the whole file: a larger size in a
  // damaged directory must not cost an allocation of that size.
  gsf_off_t whole = gsf_input_size(handles_->input);
  if (size >= 0 && size <= whole && static_cast<std::uint64_t>(size) <= max_bytes) {
    std::string bytes(static_cast<std::size_t>(size), '\0');
    bool ok = true;
    std::size_t done = 0;
    // Read in slices: libgsf keeps no more than one slice in its buffers.
    while (done < bytes.size()) {
      std::size_t step = std::min<std::size_t>(bytes.size() - done, 1 << 16);
      if (!gsf_input_read(child, step, reinterpret_cast<guint8*>(bytes.data() + done))) {
        ok = false;
        break;
      }
      done += step;
    }
    if (ok)
      result = std::move(bytes);
  }
  g_object_unref(child);
  return result;
}

const std::string* PropertySetStrings::Find(std::uint32_t id) const {
  for (const auto& [key, value] : strings)
    if (key == id)
      return &value;
  return nullptr;
}

bool ReadPropertySetStrings(std::string_view s, PropertySetStrings& out) {
  // Header: byte order, version, system, class id, section count, then one
  // (format id, offset) pair per section.
  if (s.size() < 48 || static_cast<unsigned char>(s[0]) != 0xFE ||
      static_cast<unsigned char>(s[1]) != 0xFF)
    return false;
  std::uint32_t sections = Le32(s, 24);
  if (sections == 0)
    return false;
  std::uint32_t section = Le32(s, 28 + 16);
  if (section >= s.size() || s.size() - section < 8)
    return false;
  std::uint32_t section_size = Le32(s, section);
  std::string_view sec = s.substr(section, std::min<std::size_t>(section_size, s.size() - section));
  std::uint32_t count = Le32(sec, 4);
  if (count > (sec.size() - 8) / 8)
    return false;
  struct Entry {
    std::uint32_t id, offset;
  };
  std::vector<Entry> entries;
  for (std::uint32_t i = 0; i < count; ++i)
    entries.push_back({Le32(sec, 8 + 8 * i), Le32(sec, 12 + 8 * i)});
  // The code page first: it decides how the 8-bit strings read.
  for (const Entry& e : entries) {
    if (e.id == 1 && e.offset < sec.size() && sec.size() - e.offset >= 6 &&
        (Le32(sec, e.offset) & 0xFFFF) == 2) {
      out.code_page = static_cast<std::uint16_t>(Le32(sec, e.offset + 4) & 0xFFFF);
    }
  }
  for (const Entry& e : entries) {
    if (e.id < 2 || e.offset >= sec.size() || sec.size() - e.offset < 8)
      continue;
    std::uint32_t type = Le32(sec, e.offset) & 0xFFFF;
    std::uint32_t length = Le32(sec, e.offset + 4);
    std::size_t body = e.offset + 8;
    if (type == 0x1E) {  // 8-bit string in the set's code page
      if (length > sec.size() - body)
        continue;
      std::string_view raw = sec.substr(body, length);
      if (out.code_page == kCodePageUtf16Le) {
        out.strings.emplace_back(e.id, Utf16Text(raw));
        continue;
      }
      std::size_t end = raw.find('\0');
      if (end != std::string_view::npos)
        raw = raw.substr(0, end);
      out.strings.emplace_back(e.id, CodePageToUtf8(raw, out.code_page ? out.code_page : 1252));
    } else if (type == 0x1F) {  // UTF-16 string, length in characters
      if (length > (sec.size() - body) / 2)
        continue;
      out.strings.emplace_back(e.id, Utf16Text(sec.substr(body, 2 * std::size_t{length})));
    }
  }
  return true;
}

std::string CodePageToUtf8(std::string_view bytes, int code_page) {
  // Property sets and old files name code pages ICU may not have; their
  // text still reads best as Western European.
  if (IcuConverterName(code_page).empty())
    code_page = 1252;
  std::string utf8;
  std::string error;
  if (!DecodeText(bytes, code_page, utf8, error))
    return std::string();
  return utf8;
}

}  // namespace quillon::docengine::msdoc
