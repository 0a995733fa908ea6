#pragma once
// The package side of the word-processing package reader: the zip archive,
// its parts, their relationships and their content types.

#include <map>
#include <pugixml.hpp>
#include <string>
#include <string_view>

#include "docengine/reader.h"
#include "docengine/zip_archive.h"

namespace quillon::docengine::docx {

// Relationship types, matched by their last path segment so that the
// transitional and the strict URIs both match.
inline constexpr std::string_view kRelOfficeDocument = "/officeDocument";
inline constexpr std::string_view kRelCoreProperties = "/core-properties";
inline constexpr std::string_view kRelStyles = "/styles";
inline constexpr std::string_view kRelNumbering = "/numbering";
inline constexpr std::string_view kRelFootnotes = "/footnotes";
inline constexpr std::string_view kRelEndnotes = "/endnotes";
inline constexpr std::string_view kRelComments = "/comments";
inline constexpr std::string_view kRelSettings = "/settings";

struct Relationship {
  std::string type;
  std::string target;  // resolved part name, without a leading "/"
  bool external = false;
};

// Relationships of one part by their identifier.
using Relationships = std::map<std::string, Relationship>;

// One package, open for the length of a read. A part whose inflated size
// gives the archive away as a bomb is fatal: failed() turns true and
// failure() holds the message, and the whole read stops.
class Package {
 public:
  bool Open(std::string_view data, const ReadLimits& limits, std::string& error) {
    return zip_.Open(data, limits, error);
  }
  bool Has(const std::string& part) const { return zip_.Has(part); }

  // The bytes of a part; false with `failure` set when it cannot be read.
  bool ReadPart(const std::string& name, std::string& out, ReadResult& failure);
  // A part parsed as XML; false with `failure` set when it cannot be read or
  // is not well-formed.
  bool ReadXmlPart(const std::string& name, pugi::xml_document& xml, ReadResult& failure);
  // The relationships of `part` ("" for the package's own), targets resolved
  // against the part's folder. Empty when there are none or they are
  // unreadable.
  Relationships ReadRelationships(const std::string& part);
  // The target of the first internal relationship whose type ends in `type`.
  static std::string FindByType(const Relationships& rels, std::string_view type);

  // Reads the content-type list; ContentTypeOf answers from it (lower case,
  // "" when the list says nothing about the part).
  void ReadContentTypes();
  std::string ContentTypeOf(const std::string& part) const;

  bool failed() const { return failed_; }
  const ReadResult& failure() const { return failure_; }

 private:
  ZipArchive zip_;
  std::map<std::string, std::string> override_types_;
  std::map<std::string, std::string> default_types_;
  bool failed_ = false;
  ReadResult failure_ = ReadResult::Success();
};

}  // namespace quillon::docengine::docx
