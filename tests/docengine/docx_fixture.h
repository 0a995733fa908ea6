#pragma once
// Builds small word-processing packages for tests with libzip, so that every
// fixture is reproducible from the XML written in the test itself.

#include <zip.h>

#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "docengine/docx_reader.h"
#include "docengine/reader.h"
#include "docengine/text_writer.h"

namespace quillon::testing {

using ZipFiles = std::vector<std::pair<std::string, std::string>>;

// A zip archive in memory holding `files`, deflated unless `store`.
inline std::string MakeZip(const ZipFiles& files, bool store = false) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
  zip_source_keep(buffer);
  zip_t* zip = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
  std::deque<std::string> keep;
  for (const auto& [name, content] : files) {
    keep.push_back(content);
    zip_source_t* s = zip_source_buffer(zip, keep.back().data(), keep.back().size(), 0);
    const zip_int64_t index = zip_file_add(zip, name.c_str(), s, ZIP_FL_OVERWRITE);
    zip_set_file_compression(zip, static_cast<zip_uint64_t>(index),
                             store ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 9);
  }
  zip_close(zip);
  std::string out;
  zip_source_open(buffer);
  char chunk[65536];
  zip_int64_t got = 0;
  while ((got = zip_source_read(buffer, chunk, sizeof chunk)) > 0) {
    out.append(chunk, static_cast<std::size_t>(got));
  }
  zip_source_close(buffer);
  zip_source_free(buffer);
  zip_error_fini(&error);
  return out;
}

inline const char* kWordNamespaces =
    "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" "
    "xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\" "
    "xmlns:wps=\"http://schemas.microsoft.com/office/word/2010/wordprocessingShape\" "
    "xmlns:v=\"urn:schemas-microsoft-com:vml\" "
    "xmlns:wp=\"http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing\" "
    "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
    "xmlns:w14=\"http://schemas.microsoft.com/office/word/2010/wordml\" "
    "xmlns:w16se=\"http://schemas.microsoft.com/office/word/2015/wordml/symex\"";

// One part of a package with its relationship from the main document.
struct DocxPart {
  std::string name;      // below word/, e.g. "styles.xml"
  std::string rel_type;  // last segment of the relationship type, e.g. "styles"
  std::string xml;       // the whole part; a root element gets the namespaces by "%NS%"
  std::string content_type;
  std::string id;  // relationship id; "rIdN" when empty
};

inline std::string WithNamespaces(std::string xml) {
  const std::string marker = "%NS%";
  for (std::size_t at = xml.find(marker); at != std::string::npos; at = xml.find(marker)) {
    xml.replace(at, marker.size(), kWordNamespaces);
  }
  return xml;
}

// A package whose document body is `body` (the children of w:body).
inline std::string MakeDocx(const std::string& body, const std::vector<DocxPart>& parts = {},
                            const std::string& title = {}) {
  std::string types =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Types "
      "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
      "<Default Extension=\"rels\" "
      "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
      "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
      "<Override PartName=\"/word/document.xml\" "
      "ContentType=\"application/"
      "vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/>";
  std::string rels =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships "
      "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
  ZipFiles files;
  int n = 0;
  for (const DocxPart& part : parts) {
    const std::string id = part.id.empty() ? "rId" + std::to_string(++n) : part.id;
    rels += "<Relationship Id=\"" + id +
            "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/" +
            part.rel_type + "\" Target=\"" + part.name + "\"/>";
    if (!part.content_type.empty()) {
      types += "<Override PartName=\"/word/" + part.name + "\" ContentType=\"" + part.content_type +
               "\"/>";
    }
    files.emplace_back("word/" + part.name, WithNamespaces(part.xml));
  }
  rels += "</Relationships>";
  types += "</Types>";
  std::string package_rels =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships "
      "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
      "<Relationship Id=\"rId1\" "
      "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
      "officeDocument\" Target=\"word/document.xml\"/>";
  if (!title.empty()) {
    package_rels +=
        "<Relationship Id=\"rId2\" "
        "Type=\"http://schemas.openxmlformats.org/package/2006/relationships/metadata/"
        "core-properties\" Target=\"docProps/core.xml\"/>";
    files.emplace_back("docProps/core.xml",
                       "<?xml version=\"1.0\"?><cp:coreProperties "
                       "xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/"
                       "core-properties\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">"
                       "<dc:title>" +
                           title + "</dc:title></cp:coreProperties>");
  }
  package_rels += "</Relationships>";
  files.insert(files.begin(), {"[Content_Types].xml", types});
  files.emplace_back("_rels/.rels", package_rels);
  files.emplace_back("word/document.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:document " +
                                              std::string(kWordNamespaces) + "><w:body>" + body +
                                              "</w:body></w:document>");
  files.emplace_back("word/_rels/document.xml.rels", rels);
  return MakeZip(files);
}

// A paragraph of one plain run.
inline std::string P(const std::string& text) {
  return "<w:p><w:r><w:t xml:space=\"preserve\">" + text + "</w:t></w:r></w:p>";
}

inline docengine::ReadResult ReadDocx(const std::string& data, docengine::Document& doc,
                                      const docengine::ReadLimits& limits = {}) {
  docengine::OpenOptions options;
  options.path = "fixture.docx";
  options.limits = limits;
  return docengine::MakeDocxReader()->Read(data, options, doc);
}

// The document's text with LF line ends, for readable expectations.
inline std::string PlainText(const docengine::Document& doc) {
  std::string text = docengine::RenderText(doc);
  std::string out;
  for (char c : text) {
    if (c != '\r')
      out += c;
  }
  return out;
}

}  // namespace quillon::testing
