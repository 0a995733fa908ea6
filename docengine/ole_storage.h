#pragma once
// Read access to the streams of an OLE compound file (the container of .doc
// files, of encrypted Office documents and of property sets), on libgsf.
//
// The file's bytes stay owned by the caller and must outlive the storage.
// Streams are copied out whole; the caller bounds what it asks for.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Everything of the Word binary reader lives in `msdoc`, apart from the
// other readers of the library.
namespace quillon::docengine::msdoc {

// True when `head` starts with the compound-file signature.
bool HasCompoundFileSignature(std::string_view head);

class OleStorage {
 public:
  ~OleStorage();
  OleStorage(const OleStorage&) = delete;
  OleStorage& operator=(const OleStorage&) = delete;

  // Opens the compound file in `data`; nullptr with `error` set when the
  // container is damaged.
  static std::unique_ptr<OleStorage> Open(std::string_view data, std::string& error);

  // Whether a stream of that name lies in the root storage.
  bool HasStream(const std::string& name) const;
  // Names of the root's children.
  std::vector<std::string> StreamNames() const;
  // The whole stream; nothing when it is absent, unreadable or larger
  // than `max_bytes`.
  std::optional<std::string> ReadStream(const std::string& name, std::size_t max_bytes) const;

 private:
  OleStorage() = default;
  struct Handles;
  std::unique_ptr<Handles> handles_;
};

// Reads a property set stream (summary information). `code_page` receives
// the set's code page (0 when absent); strings come back as UTF-8, keyed by
// property identifier. Only string properties of the first section are read.
struct PropertySetStrings {
  int code_page = 0;
  std::vector<std::pair<std::uint32_t, std::string>> strings;
  const std::string* Find(std::uint32_t id) const;
};
bool ReadPropertySetStrings(std::string_view stream, PropertySetStrings& out);

// Converts bytes in a Windows code page to UTF-8 (DecodeText of
// code_page.h; code pages it does not know fall back to 1252). Unmappable
// bytes become U+FFFD.
std::string CodePageToUtf8(std::string_view bytes, int code_page);

}  // namespace quillon::docengine::msdoc
