// Saving a document model as a word-processing package.

#include <unicode/uloc.h>
#include <zip.h>

#include <cstdio>
#include <deque>
#include <string>

#include "docengine/docx_reader.h"
#include "docengine/markup_escape.h"
#include "fileio/files.h"

namespace quillon::docengine {

namespace {

constexpr const char* kMainNs =
    "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"";

void AppendXml(std::string& out, std::string_view text) {
  for (char c : text) {
    if (const char* entity = MarkupEntity(c)) {
      out += entity;
    } else if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n' || c == '\r') {
      // Control characters other than tab and line ends are not XML.
      out += c;
    }
  }
}

std::string LanguageTag(std::uint16_t lcid) {
  if (lcid == 0)
    return std::string();
  char locale[ULOC_FULLNAME_CAPACITY] = {};
  UErrorCode status = U_ZERO_ERROR;
  uloc_getLocaleForLCID(lcid, locale, sizeof locale, &status);
  if (U_FAILURE(status) || locale[0] == '\0')
    return std::string();
  char tag[ULOC_FULLNAME_CAPACITY] = {};
  status = U_ZERO_ERROR;
  uloc_toLanguageTag(locale, tag, sizeof tag, true, &status);
  return U_FAILURE(status) ? std::string() : std::string(tag);
}

class PackageWriter {
 public:
  std::string Paragraphs(const std::vector<Block>& blocks, int depth) {
    std::string out;
    for (const Block& block : blocks) {
      if (block.is_table()) {
        if (depth > 64)
          continue;
        out += "<w:tbl><w:tblPr><w:tblW w:w=\"0\" w:type=\"auto\"/></w:tblPr>";
        for (const TableRow& row : block.table->rows) {
          out += "<w:tr>";
          for (const TableCell& cell : row.cells) {
            out += "<w:tc>";
            out += Paragraphs(cell.blocks, depth + 1);
            // A cell ends with a paragraph.
            if (cell.blocks.empty() || cell.blocks.back().is_table())
              out += "<w:p/>";
            out += "</w:tc>";
          }
          out += "</w:tr>";
        }
        out += "</w:tbl>";
        continue;
      }
      out += Paragraph(block.paragraph, {});
    }
    return out;
  }

  std::string Paragraph(const docengine::Paragraph& para, std::string_view lead) {
    std::string out = "<w:p>";
    if (!lead.empty())
      out += RunXml(Run{std::string(lead)});
    if (!para.list_label.empty())
      out += RunXml(Run{para.list_label + "\t"});
    for (const Run& run : para.runs) {
      if (run.deleted) {
        out += "<w:del w:id=\"" + std::to_string(++revision_) + "\" w:author=\"Quillon\">" +
               RunXml(run) + "</w:del>";
      } else if (run.inserted) {
        out += "<w:ins w:id=\"" + std::to_string(++revision_) + "\" w:author=\"Quillon\">" +
               RunXml(run) + "</w:ins>";
      } else {
        out += RunXml(run);
      }
    }
    out += "</w:p>";
    return out;
  }

  std::string Notes(const std::vector<Note>& notes, const char* kind) {
    std::string out = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>") +
                      "<w:" + kind + "s " + kMainNs + ">";
    out += std::string("<w:") + kind +
           " w:type=\"separator\" w:id=\"-1\"><w:p><w:r><w:separator/>" +
           "</w:r></w:p></w:" + kind + ">";
    int id = 0;
    for (const Note& note : notes) {
      out += std::string("<w:") + kind + " w:id=\"" + std::to_string(++id) + "\">";
      std::string body = Paragraphs(note.blocks, 1);
      if (note.blocks.empty() || note.blocks.back().is_table())
        body += "<w:p/>";
      out += body + "</w:" + kind + ">";
    }
    out += std::string("</w:") + kind + "s>";
    return out;
  }

 private:
  std::string RunXml(const Run& run) {
    std::string props;
    if (run.hidden || run.field_code)
      props += "<w:vanish/>";
    const std::string lang = LanguageTag(run.lang);
    const std::string lang_fe = LanguageTag(run.lang_fe);
    if (!lang.empty() || !lang_fe.empty()) {
      props += "<w:lang";
      if (!lang.empty())
        props += " w:val=\"" + lang + "\"";
      if (!lang_fe.empty())
        props += " w:eastAsia=\"" + lang_fe + "\"";
      props += "/>";
    }
    std::string out = "<w:r>";
    if (!props.empty())
      out += "<w:rPr>" + props + "</w:rPr>";
    const char* text_tag = run.deleted ? "w:delText" : "w:t";
    std::string pending;
    auto flush = [&] {
      if (pending.empty())
        return;
      out += std::string("<") + text_tag + " xml:space=\"preserve\">";
      AppendXml(out, pending);
      out += std::string("</") + text_tag + ">";
      pending.clear();
    };
    for (char c : run.text) {
      if (c == '\t' || c == '\n' || c == '\f') {
        flush();
        out += c == '\t' ? "<w:tab/>" : c == '\n' ? "<w:br/>" : "<w:br w:type=\"page\"/>";
      } else {
        pending += c;
      }
    }
    flush();
    out += "</w:r>";
    return out;
  }

  int revision_ = 0;
};

}  // namespace

bool SaveAsDocx(const Document& doc, const std::string& path, std::string& error) {
  PackageWriter writer;
  std::deque<std::string> parts;  // the buffers must live until the archive is closed
  const std::string header = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>";
  const std::string rel_ns = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
  const bool footnotes = !doc.footnotes.empty();
  const bool endnotes = !doc.endnotes.empty();
  const bool comments = !doc.comments.empty();

  std::string types = header +
                      "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                      "content-types\"><Default Extension=\"rels\" ContentType=\"application/"
                      "vnd.openxmlformats-package.relationships+xml\"/><Default Extension=\"xml\" "
                      "ContentType=\"application/xml\"/>";
  const std::string wml = "application/vnd.openxmlformats-officedocument.wordprocessingml.";
  types += "<Override PartName=\"/word/document.xml\" ContentType=\"" + wml +
           "document.main+xml\"/><Override PartName=\"/word/settings.xml\" ContentType=\"" + wml +
           "settings+xml\"/><Override PartName=\"/docProps/core.xml\" ContentType=\"application/"
           "vnd.openxmlformats-package.core-properties+xml\"/>";
  if (footnotes) {
    types +=
        "<Override PartName=\"/word/footnotes.xml\" ContentType=\"" + wml + "footnotes+xml\"/>";
  }
  if (endnotes) {
    types += "<Override PartName=\"/word/endnotes.xml\" ContentType=\"" + wml + "endnotes+xml\"/>";
  }
  if (comments) {
    types += "<Override PartName=\"/word/comments.xml\" ContentType=\"" + wml + "comments+xml\"/>";
  }
  types += "</Types>";

  const std::string package_rels =
      header +
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
      "<Relationship Id=\"rId1\" Type=\"" +
      rel_ns +
      "/officeDocument\" Target=\"word/document.xml\"/><Relationship Id=\"rId2\" "
      "Type=\"http://schemas.openxmlformats.org/package/2006/relationships/metadata/"
      "core-properties\" Target=\"docProps/core.xml\"/></Relationships>";

  std::string document_rels =
      header +
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
      "<Relationship Id=\"rId1\" Type=\"" +
      rel_ns + "/settings\" Target=\"settings.xml\"/>";
  if (footnotes) {
    document_rels +=
        "<Relationship Id=\"rId2\" Type=\"" + rel_ns + "/footnotes\" Target=\"footnotes.xml\"/>";
  }
  if (endnotes) {
    document_rels +=
        "<Relationship Id=\"rId3\" Type=\"" + rel_ns + "/endnotes\" Target=\"endnotes.xml\"/>";
  }
  if (comments) {
    document_rels +=
        "<Relationship Id=\"rId4\" Type=\"" + rel_ns + "/comments\" Target=\"comments.xml\"/>";
  }
  document_rels += "</Relationships>";

  std::string document = header + "<w:document " + kMainNs + "><w:body>";
  document += writer.Paragraphs(doc.body, 0);
  document += "<w:sectPr>";
  if (doc.page.text_width_twips > 0) {
    // Margins of an inch each side around the text width read back alike.
    document += "<w:pgSz w:w=\"" + std::to_string(doc.page.text_width_twips + 2880) +
                "\" w:h=\"15840\"/><w:pgMar w:top=\"1440\" w:right=\"1440\" w:bottom=\"1440\" "
                "w:left=\"1440\" w:header=\"720\" w:footer=\"720\" w:gutter=\"0\"/>";
  }
  document += "</w:sectPr></w:body></w:document>";

  std::string settings = header + "<w:settings " + kMainNs + ">";
  if (doc.protection.is_protected && !doc.protection.kind.empty()) {
    std::string kind;
    for (char c : doc.protection.kind) {
      if (std::isalnum(static_cast<unsigned char>(c)))
        kind += c;
    }
    settings += "<w:documentProtection w:edit=\"" + kind + "\" w:enforcement=\"1\"/>";
  }
  settings += "</w:settings>";

  std::string core = header +
                     "<cp:coreProperties xmlns:cp=\"http://schemas.openxmlformats.org/package/"
                     "2006/metadata/core-properties\" xmlns:dc=\"http://purl.org/dc/elements/"
                     "1.1/\">";
  auto property = [&](const char* tag, const std::string& value) {
    if (value.empty())
      return;
    core += std::string("<") + tag + ">";
    AppendXml(core, value);
    core += std::string("</") + tag + ">";
  };
  property("dc:title", doc.properties.title);
  property("dc:subject", doc.properties.subject);
  property("dc:creator", doc.properties.author);
  property("cp:keywords", doc.properties.keywords);
  property("dc:description", doc.properties.comments);
  core += "</cp:coreProperties>";

  std::vector<std::pair<std::string, std::string>> files = {
      {"[Content_Types].xml", types},  {"_rels/.rels", package_rels},
      {"word/document.xml", document}, {"word/_rels/document.xml.rels", document_rels},
      {"word/settings.xml", settings}, {"docProps/core.xml", core}};
  if (footnotes)
    files.emplace_back("word/footnotes.xml", writer.Notes(doc.footnotes, "footnote"));
  if (endnotes)
    files.emplace_back("word/endnotes.xml", writer.Notes(doc.endnotes, "endnote"));
  if (comments) {
    std::string xml = header + "<w:comments " + kMainNs + ">";
    int id = 0;
    for (const Comment& comment : doc.comments) {
      xml += "<w:comment w:id=\"" + std::to_string(id++) + "\" w:author=\"";
      AppendXml(xml, comment.author);
      xml += "\" w:initials=\"";
      AppendXml(xml, comment.initials);
      xml += "\">" + writer.Paragraphs(comment.blocks, 1);
      if (comment.blocks.empty())
        xml += "<w:p/>";
      xml += "</w:comment>";
    }
    xml += "</w:comments>";
    files.emplace_back("word/comments.xml", xml);
  }

  // The package is put together in memory and then written whole, so that a
  // failure leaves the old file.
  const std::string cannot = "The file \"" + path + "\" cannot be written";
  zip_error_t zerror;
  zip_error_init(&zerror);
  zip_source_t* archive = zip_source_buffer_create(nullptr, 0, 0, &zerror);
  zip_t* zip = archive == nullptr ? nullptr : zip_open_from_source(archive, ZIP_TRUNCATE, &zerror);
  if (zip == nullptr) {
    error = cannot + ": " + zip_error_strerror(&zerror) + ".";
    zip_error_fini(&zerror);
    if (archive != nullptr)
      zip_source_free(archive);
    return false;
  }
  zip_error_fini(&zerror);
  // Kept past zip_close, which writes the finished archive into it.
  zip_source_keep(archive);
  struct ArchiveOwner {
    zip_source_t* source;
    ~ArchiveOwner() { zip_source_free(source); }
  } owner{archive};
  for (const auto& [name, content] : files) {
    parts.push_back(content);
    zip_source_t* source = zip_source_buffer(zip, parts.back().data(), parts.back().size(), 0);
    if (source == nullptr || zip_file_add(zip, name.c_str(), source, ZIP_FL_ENC_UTF_8) < 0) {
      error = cannot + ": " + zip_strerror(zip) + ".";
      if (source != nullptr)
        zip_source_free(source);
      zip_discard(zip);
      return false;
    }
  }
  if (zip_close(zip) != 0) {
    error = cannot + ": " + zip_strerror(zip) + ".";
    zip_discard(zip);
    return false;
  }
  std::string bytes;
  if (zip_source_open(archive) == 0) {
    zip_source_seek(archive, 0, SEEK_END);
    const zip_int64_t size = zip_source_tell(archive);
    zip_source_seek(archive, 0, SEEK_SET);
    if (size > 0) {
      bytes.resize(static_cast<std::size_t>(size));
      const zip_int64_t got =
          zip_source_read(archive, bytes.data(), static_cast<zip_uint64_t>(size));
      bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    }
    zip_source_close(archive);
  }
  if (bytes.empty()) {
    error = cannot + ".";
    return false;
  }
  std::string reason;
  if (!fileio::WriteFileWhole(path, bytes, reason)) {
    error = cannot + ": " + reason + ".";
    return false;
  }
  error.clear();
  return true;
}

}  // namespace quillon::docengine
