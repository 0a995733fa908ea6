// The reader of word-processing packages: the order in which the parts are
// read, the package's properties and settings, and the reader's entry.

#include "docengine/docx_reader.h"

#include <unicode/uloc.h>

#include <cstring>

#include "charset/code_page.h"
#include "docengine/docx_parser.h"
#include "docengine/docx_xml.h"
#include "docengine/zip_archive.h"

namespace quillon::docengine {

std::uint16_t LcidFromLanguageTag(const std::string& tag) {
  if (tag.empty() || tag.size() > 64)
    return 0;
  char locale_id[ULOC_FULLNAME_CAPACITY] = {};
  UErrorCode status = U_ZERO_ERROR;
  int32_t parsed = 0;
  uloc_forLanguageTag(tag.c_str(), locale_id, sizeof locale_id, &parsed, &status);
  if (U_FAILURE(status) || locale_id[0] == '\0') {
    std::string underscored = tag;
    for (char& c : underscored) {
      if (c == '-')
        c = '_';
    }
    std::strncpy(locale_id, underscored.c_str(), sizeof locale_id - 1);
  }
  const uint32_t lcid = uloc_getLCID(locale_id);
  return lcid > 0xFFFF ? 0 : static_cast<std::uint16_t>(lcid);
}

namespace docx {

ReadResult DocxParser::Parse(std::string_view data) {
  std::string error;
  if (!package_.Open(data, options_.limits, error))
    return ReadResult::Failure(error);

  const Relationships package_rels = package_.ReadRelationships("");
  if (package_.failed())
    return package_.failure();
  main_part_ = Package::FindByType(package_rels, kRelOfficeDocument);
  if (main_part_.empty() && package_.Has("word/document.xml"))
    main_part_ = "word/document.xml";
  if (main_part_.empty() || !package_.Has(main_part_))
    return ReadResult::Failure(kNotDocxMessage);
  package_.ReadContentTypes();
  if (package_.failed())
    return package_.failure();

  main_rels_ = package_.ReadRelationships(main_part_);
  if (package_.failed())
    return package_.failure();
  ReadResult failure;
  auto load = [&](std::string_view type, auto&& use) {
    const std::string part = Package::FindByType(main_rels_, type);
    if (part.empty() || !package_.Has(part))
      return;
    pugi::xml_document xml;
    if (package_.ReadXmlPart(part, xml, failure))
      use(xml.document_element());
  };
  load(kRelStyles, [&](const pugi::xml_node& root) { styles_.LoadStyles(root); });
  load(kRelNumbering, [&](const pugi::xml_node& root) { styles_.LoadNumbering(root); });
  load(kRelSettings, [&](const pugi::xml_node& root) { LoadSettings(root); });
  if (package_.failed())
    return package_.failure();
  doc_.default_lang = styles_.defaults().lang;
  doc_.default_lang_fe = styles_.defaults().lang_fe;
  {
    const std::string core = Package::FindByType(package_rels, kRelCoreProperties);
    const std::string part = !core.empty() ? core : "docProps/core.xml";
    if (package_.Has(part)) {
      pugi::xml_document xml;
      if (package_.ReadXmlPart(part, xml, failure))
        LoadCoreProperties(xml.document_element());
    }
  }
  if (package_.failed())
    return package_.failure();

  pugi::xml_document main;
  if (!package_.ReadXmlPart(main_part_, main, failure))
    return package_.failed() ? package_.failure() : failure;
  pugi::xml_node body = Child(main.document_element(), "body");
  if (!body)
    return ReadResult::Failure(kNotDocxMessage);
  ParseBlocks(body, doc_.body, Context{}, 0);
  if (failed_)
    return failure_;
  if (doc_.page.text_width_twips == 0)
    doc_.page.text_width_twips = section_width_;
  LoadHeaderFooter(header_rel_, doc_.header);
  LoadHeaderFooter(footer_rel_, doc_.footer);
  if (failed_)
    return failure_;

  load(kRelFootnotes, [&](const pugi::xml_node& root) { LoadNotes(root, false); });
  load(kRelEndnotes, [&](const pugi::xml_node& root) { LoadNotes(root, true); });
  load(kRelComments, [&](const pugi::xml_node& root) { LoadComments(root); });
  if (package_.failed())
    return package_.failure();
  if (failed_)
    return failure_;

  notes_.MoveInto(doc_);
  doc_.format = SourceFormat::kDocx;
  // A package carries no code page of its own; like any document that is
  // not a text file it reports the system's ANSI code page, so that the
  // east-Asian language of its text decides a source-charset save.
  doc_.open_encoding = AnsiCodePage();
  return ReadResult::Success();
}

void DocxParser::LoadSettings(const pugi::xml_node& root) {
  if (pugi::xml_node protection = Child(root, "documentProtection")) {
    const std::string enforcement = AsciiLower(AttrText(protection, "enforcement"));
    const std::string edit = AttrText(protection, "edit");
    if ((enforcement == "1" || enforcement == "true" || enforcement == "on") && !edit.empty() &&
        edit != "none") {
      doc_.protection.is_protected = true;
      doc_.protection.kind = edit;
    }
  }
  notes_.LoadFormats(root);
}

void DocxParser::NoteSection(const pugi::xml_node& sect) {
  if (section_seen_)
    return;
  section_seen_ = true;
  for (pugi::xml_node n : sect.children()) {
    const std::string_view name = Local(n);
    if (name != "headerReference" && name != "footerReference")
      continue;
    const std::string type = AttrText(n, "type");
    if (!type.empty() && type != "default")
      continue;
    (name == "headerReference" ? header_rel_ : footer_rel_) = AttrText(n, "id");
  }
}

void DocxParser::LoadHeaderFooter(const std::string& rel, std::vector<Block>& out) {
  if (rel.empty() || failed_)
    return;
  auto it = main_rels_.find(rel);
  if (it == main_rels_.end() || it->second.external || !package_.Has(it->second.target))
    return;
  pugi::xml_document xml;
  ReadResult ignored;
  if (!package_.ReadXmlPart(it->second.target, xml, ignored))
    return;
  fields_.clear();
  field_ = 0;
  ParseBlocks(xml.document_element(), out, Context{}, 1);
}

void DocxParser::LoadCoreProperties(const pugi::xml_node& root) {
  for (pugi::xml_node n : root.children()) {
    const std::string_view name = Local(n);
    if (name == "title")
      doc_.properties.title = NodeText(n);
    if (name == "subject")
      doc_.properties.subject = NodeText(n);
    if (name == "creator")
      doc_.properties.author = NodeText(n);
    if (name == "keywords")
      doc_.properties.keywords = NodeText(n);
    if (name == "description")
      doc_.properties.comments = NodeText(n);
  }
}

}  // namespace docx

namespace {

class DocxReader : public Reader {
 public:
  std::string_view Name() const override { return "docx"; }

  int Sniff(std::string_view head, const std::string& path) const override {
    if (!LooksLikeZip(head))
      return 0;
    // The first member of a package is usually its content-type list; a
    // zip file of any other kind is left to whoever claims it.
    if (head.find("[Content_Types].xml") != std::string_view::npos ||
        head.find("word/") != std::string_view::npos) {
      return 80;
    }
    const std::string lower = AsciiLower(path);
    if (docx::EndsWith(lower, ".docx") || docx::EndsWith(lower, ".docm") ||
        docx::EndsWith(lower, ".dotx") || docx::EndsWith(lower, ".dotm")) {
      return 60;
    }
    return 10;
  }

  ReadResult Read(std::string_view data, const OpenOptions& options, Document& doc) const override {
    if (data.size() > options.limits.max_input_bytes) {
      return ReadResult::Failure("The document is too large to open.");
    }
    if (!LooksLikeZip(data.substr(0, 4)))
      return ReadResult::Failure(docx::kNotDocxMessage);
    docx::DocxParser parser(options, doc);
    ReadResult result = parser.Parse(data);
    if (!result.ok)
      doc = Document{};
    return result;
  }
};

}  // namespace

std::unique_ptr<Reader> MakeDocxReader() {
  return std::make_unique<DocxReader>();
}

}  // namespace quillon::docengine
