#include "docengine/docx_reader.h"

#include <unicode/uloc.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <pugixml.hpp>
#include <set>
#include <string_view>

#include "docengine/code_page.h"
#include "docengine/html_reader.h"
#include "docengine/model_building.h"
#include "docengine/numbering.h"
#include "docengine/zip_archive.h"

namespace quillon::docengine {

namespace {

constexpr std::string_view kRelOfficeDocument = "/officeDocument";
constexpr std::string_view kRelCoreProperties = "/core-properties";
constexpr std::string_view kRelStyles = "/styles";
constexpr std::string_view kRelNumbering = "/numbering";
constexpr std::string_view kRelFootnotes = "/footnotes";
constexpr std::string_view kRelEndnotes = "/endnotes";
constexpr std::string_view kRelComments = "/comments";
constexpr std::string_view kRelSettings = "/settings";

constexpr const char* kNotDocxMessage = "The file is not a word-processing package.";

// Element names are compared without their prefix: the transitional and
// the strict vocabularies differ only in the namespace URI, and producers
// pick their own prefixes.
std::string_view Local(const pugi::xml_node& node) {
  std::string_view name = node.name();
  const std::size_t colon = name.find(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

std::string_view LocalAttrName(std::string_view name) {
  const std::size_t colon = name.find(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// The attribute with the given local name ("val" finds w:val).
pugi::xml_attribute Attr(const pugi::xml_node& node, std::string_view local) {
  for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
    if (LocalAttrName(a.name()) == local)
      return a;
  }
  return {};
}

std::string AttrText(const pugi::xml_node& node, std::string_view local) {
  pugi::xml_attribute a = Attr(node, local);
  return a ? std::string(a.value()) : std::string();
}

// An on/off attribute: true only when present and on.
bool AttrOn(const pugi::xml_node& node, std::string_view local) {
  pugi::xml_attribute a = Attr(node, local);
  if (!a)
    return false;
  const std::string v = a.value();
  return v == "1" || v == "true" || v == "on";
}

pugi::xml_node Child(const pugi::xml_node& node, std::string_view local) {
  for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) {
    if (c.type() == pugi::node_element && Local(c) == local)
      return c;
  }
  return {};
}

bool EndsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// An on/off property: present without a value means on.
bool OnOff(const pugi::xml_node& node) {
  pugi::xml_attribute a = Attr(node, "val");
  if (!a)
    return true;
  const std::string v = AsciiLower(a.value());
  return !(v == "0" || v == "false" || v == "off" || v == "none");
}

int ToInt(std::string_view text, int fallback = 0) {
  if (text.empty())
    return fallback;
  char* end = nullptr;
  const std::string copy(text);
  const long value = std::strtol(copy.c_str(), &end, 10);
  if (end == copy.c_str())
    return fallback;
  if (value > 1'000'000'000L)
    return 1'000'000'000;
  if (value < -1'000'000'000L)
    return -1'000'000'000;
  return static_cast<int>(value);
}

// Measures may carry units in the strict vocabulary ("12pt", "1in").
int Twips(std::string_view text) {
  if (text.empty())
    return 0;
  const std::string copy(text);
  char* end = nullptr;
  const double value = std::strtod(copy.c_str(), &end);
  const std::string_view unit(end);
  double twips = value;
  if (unit == "pt")
    twips = value * 20;
  if (unit == "in")
    twips = value * 1440;
  if (unit == "cm")
    twips = value * 1440 / 2.54;
  if (unit == "mm")
    twips = value * 1440 / 25.4;
  if (unit == "pc" || unit == "pi")
    twips = value * 240;
  if (twips > 1e8 || twips < -1e8)
    return 0;
  return static_cast<int>(twips);
}

struct Relationship {
  std::string type;
  std::string target;  // resolved part name, without a leading "/"
  bool external = false;
};

std::string FolderOf(const std::string& part) {
  const std::size_t slash = part.rfind('/');
  return slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
}

std::string ResolveTarget(const std::string& base_folder, const std::string& target) {
  std::string joined =
      !target.empty() && target[0] == '/' ? target.substr(1) : base_folder + target;
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= joined.size()) {
    std::size_t slash = joined.find('/', start);
    if (slash == std::string::npos)
      slash = joined.size();
    const std::string piece = joined.substr(start, slash - start);
    if (piece == "..") {
      if (!parts.empty())
        parts.pop_back();
    } else if (!piece.empty() && piece != ".") {
      parts.push_back(piece);
    }
    start = slash + 1;
  }
  std::string out;
  for (const std::string& p : parts) {
    if (!out.empty())
      out += '/';
    out += p;
  }
  return out;
}

std::string RelsPartOf(const std::string& part) {
  const std::size_t slash = part.rfind('/');
  if (slash == std::string::npos)
    return "_rels/" + part + ".rels";
  return part.substr(0, slash + 1) + "_rels/" + part.substr(slash + 1) + ".rels";
}

// ---------------------------------------------------------------- numbering

// Word repeats the letter past "z": 27 is "aa", 53 is "aaa".
std::string ToLetters(int value, bool upper) {
  if (value <= 0)
    return std::to_string(value);
  const char letter = static_cast<char>((upper ? 'A' : 'a') + (value - 1) % 26);
  const int count = std::min((value - 1) / 26 + 1, 100);
  return std::string(static_cast<std::size_t>(count), letter);
}

std::string OrdinalSuffix(int value) {
  const int mod100 = value % 100;
  if (mod100 >= 11 && mod100 <= 13)
    return "th";
  switch (value % 10) {
    case 1:
      return "st";
    case 2:
      return "nd";
    case 3:
      return "rd";
    default:
      return "th";
  }
}

std::string FormatNumber(int value, const std::string& format) {
  if (format == "lowerLetter")
    return ToLetters(value, false);
  if (format == "upperLetter")
    return ToLetters(value, true);
  if (format == "lowerRoman")
    return RomanNumeral(value, false);
  if (format == "upperRoman")
    return RomanNumeral(value, true);
  if (format == "decimalZero")
    return (value < 10 && value >= 0 ? "0" : "") + std::to_string(value);
  if (format == "ordinal")
    return std::to_string(value) + OrdinalSuffix(value);
  if (format == "decimalEnclosedParen")
    return "(" + std::to_string(value) + ")";
  if (format == "none")
    return std::string();
  return std::to_string(value);
}

// Bullets are mostly characters of symbol fonts, stored in the private use
// area; text output shows their ordinary Unicode look-alikes.
std::string BulletText(const std::string& text) {
  std::string out;
  std::size_t pos = 0;
  while (pos < text.size()) {
    char32_t c = NextUtf8(text, pos);
    if (c >= 0xF000 && c <= 0xF0FF) {
      switch (c) {
        case 0xF0A7:
          c = 0x25AA;
          break;
        case 0xF0D8:
          c = 0x27A2;
          break;
        case 0xF0FC:
          c = 0x2713;
          break;
        case 0xF06F:
          c = 'o';
          break;
        case 0xF02D:
          c = '-';
          break;
        default:
          c = 0x2022;
      }
    } else if (c == 0x00B7) {
      c = 0x2022;
    }
    AppendUtf8(out, c);
  }
  return out;
}

struct Level {
  int start = 1;
  std::string format = "decimal";
  std::string text;
  bool has_text = false;
  int restart = -1;  // lvlRestart: restart after this (1-based) level; 0 = never
  bool legal = false;
  std::string style;
};

struct AbstractNum {
  std::map<int, Level> levels;
  std::string num_style_link;
};

struct Num {
  std::string abstract_id;
  std::map<int, int> start_override;
  std::map<int, Level> level_override;
};

struct ListCounters {
  std::array<int, 9> value{};
  std::array<bool, 9> used{};
  std::array<bool, 9> override_applied{};
};

// ---------------------------------------------------------------- styles

struct Style {
  std::string based_on;
  std::optional<bool> vanish;
  std::uint16_t lang = 0;
  std::uint16_t lang_fe = 0;
  std::string num_id;
  int ilvl = -1;
};

struct RunFormat {
  std::optional<bool> vanish;
  std::uint16_t lang = 0;
  std::uint16_t lang_fe = 0;
};

// What a run inherits from the markup around it.
struct Context {
  bool deleted = false;
  bool inserted = false;
  bool hidden = false;
  std::string paragraph_style;
};

}  // namespace

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

namespace {

class DocxParser {
 public:
  DocxParser(const OpenOptions& options, Document& doc) : options_(options), doc_(doc) {}

  ReadResult Parse(std::string_view data);

 private:
  bool ReadPart(const std::string& name, std::string& out, ReadResult& failure);
  bool ReadXmlPart(const std::string& name, pugi::xml_document& xml, ReadResult& failure);
  std::map<std::string, Relationship> ReadRelationships(const std::string& part);
  std::string FindByType(const std::map<std::string, Relationship>& rels, std::string_view type);
  void ReadContentTypes();
  std::string ContentTypeOf(const std::string& part) const;

  void LoadStyles(const pugi::xml_node& root);
  void LoadNumbering(const pugi::xml_node& root);
  void LoadSettings(const pugi::xml_node& root);
  void LoadCoreProperties(const pugi::xml_node& root);
  void LoadNotes(const pugi::xml_node& root, bool endnotes);
  void LoadComments(const pugi::xml_node& root);

  void ParseBlocks(const pugi::xml_node& container, std::vector<Block>& out, const Context& ctx,
                   int depth);
  void ParseParagraph(const pugi::xml_node& p, std::vector<Block>& out, Context ctx, int depth);
  void ParseInline(const pugi::xml_node& node, Paragraph& para, std::vector<Block>& extra,
                   const Context& ctx, int depth);
  void ParseRun(const pugi::xml_node& r, Paragraph& para, std::vector<Block>& extra,
                const Context& ctx, int depth);
  void ParseDrawing(const pugi::xml_node& node, std::vector<Block>& extra, const Context& ctx,
                    int depth);
  Table ParseTable(const pugi::xml_node& tbl, const Context& ctx, int depth);
  void ParseRows(const pugi::xml_node& container, Table& table, const Context& ctx, int depth);
  void ParseCells(const pugi::xml_node& container, TableRow& row, const Context& ctx, int depth);
  // Calls visit(element, depth) for every `wanted` element of `container`,
  // looking through the content controls and custom XML that may wrap rows
  // and cells.
  template <typename Visit>
  void ForEachWrapped(const pugi::xml_node& container, std::string_view wanted, int depth,
                      Visit& visit);
  void ParseAltChunk(const pugi::xml_node& chunk, std::vector<Block>& out);
  pugi::xml_node PickAlternate(const pugi::xml_node& alternate) const;

  RunFormat ReadRunFormat(const pugi::xml_node& rpr) const;
  void ResolveStyle(const std::string& id, RunFormat& format, int guard = 0) const;
  void ResolveNumbering(const std::string& style_id, std::string& num_id, int& ilvl,
                        int guard = 0) const;
  std::string ListLabel(const std::string& num_id, int ilvl);
  const Level* FindLevel(const std::string& num_id, int ilvl) const;
  std::string NoteMark(bool endnote, const std::string& id, bool custom);

  void AddText(Paragraph& para, std::string text, const Context& ctx, const RunFormat& format,
               bool field_code);
  bool InFieldCode() const;
  void ParseSimpleField(const pugi::xml_node& node, Paragraph& para, std::vector<Block>& extra,
                        const Context& ctx, int depth);
  // Past the nesting limit the read fails: a hostile file must not run the
  // stack out.
  bool TooDeep(int depth) {
    if (depth <= options_.limits.max_depth)
      return false;
    if (!failed_) {
      failed_ = true;
      failure_ = ReadResult::Failure("The document is damaged: its elements nest too deeply.");
    }
    return true;
  }

  const OpenOptions& options_;
  Document& doc_;
  ZipArchive zip_;
  ReadResult failure_ = ReadResult::Success();
  bool failed_ = false;

  std::string main_part_;
  std::map<std::string, Relationship> main_rels_;
  std::map<std::string, std::string> override_types_;
  std::map<std::string, std::string> default_types_;

  std::map<std::string, Style> styles_;
  std::string default_paragraph_style_;
  std::string default_character_style_;
  RunFormat defaults_;
  std::map<std::string, AbstractNum> abstract_nums_;
  std::map<std::string, Num> nums_;
  std::map<std::string, ListCounters> counters_;
  std::string footnote_format_ = "decimal";
  std::string endnote_format_ = "lowerRoman";
  std::map<std::string, std::string> footnote_marks_;
  std::map<std::string, std::string> endnote_marks_;
  std::map<std::string, Note> footnote_bodies_;
  std::map<std::string, Note> endnote_bodies_;
  std::vector<std::string> footnote_part_order_;
  std::vector<std::string> endnote_part_order_;
  std::vector<std::string> footnote_order_;
  std::vector<std::string> endnote_order_;
  int footnote_count_ = 0;
  int endnote_count_ = 0;

  // Open complex fields, innermost last: true while in the instruction.
  std::vector<bool> fields_;
  // The number of the outermost open field (complex, simple or hyperlink)
  // that new runs belong to; 0 outside any.
  std::uint32_t field_ = 0;
  std::uint32_t field_counter_ = 0;
  int simple_fields_open_ = 0;
  std::size_t chars_ = 0;
  int section_width_ = 0;
};

bool DocxParser::ReadPart(const std::string& name, std::string& out, ReadResult& failure) {
  std::string error;
  bool bomb = false;
  if (!zip_.Read(name, out, error, &bomb)) {
    failure = ReadResult::Failure(error);
    if (bomb) {
      failed_ = true;
      failure_ = failure;
    }
    return false;
  }
  return true;
}

bool DocxParser::ReadXmlPart(const std::string& name, pugi::xml_document& xml,
                             ReadResult& failure) {
  std::string text;
  if (!ReadPart(name, text, failure))
    return false;
  const pugi::xml_parse_result result =
      xml.load_buffer(text.data(), text.size(), pugi::parse_default | pugi::parse_ws_pcdata);
  if (!result) {
    failure = ReadResult::Failure("The document is damaged: the part \"" + name +
                                  "\" is not well-formed XML.");
    return false;
  }
  return true;
}

std::map<std::string, Relationship> DocxParser::ReadRelationships(const std::string& part) {
  std::map<std::string, Relationship> rels;
  const std::string rels_part = RelsPartOf(part);
  if (!zip_.Has(rels_part))
    return rels;
  pugi::xml_document xml;
  ReadResult ignored;
  if (!ReadXmlPart(rels_part, xml, ignored))
    return rels;
  const std::string folder = FolderOf(part);
  for (pugi::xml_node r : xml.document_element().children()) {
    if (Local(r) != "Relationship")
      continue;
    Relationship rel;
    rel.type = AttrText(r, "Type");
    rel.external = AsciiLower(AttrText(r, "TargetMode")) == "external";
    const std::string target = AttrText(r, "Target");
    rel.target = rel.external ? target : ResolveTarget(folder, target);
    rels[AttrText(r, "Id")] = rel;
  }
  return rels;
}

std::string DocxParser::FindByType(const std::map<std::string, Relationship>& rels,
                                   std::string_view type) {
  for (const auto& [id, rel] : rels) {
    if (!rel.external && EndsWith(rel.type, type))
      return rel.target;
  }
  return std::string();
}

void DocxParser::ReadContentTypes() {
  if (!zip_.Has("[Content_Types].xml"))
    return;
  pugi::xml_document xml;
  ReadResult ignored;
  if (!ReadXmlPart("[Content_Types].xml", xml, ignored))
    return;
  for (pugi::xml_node n : xml.document_element().children()) {
    if (Local(n) == "Override") {
      override_types_[AsciiLower(ResolveTarget("", AttrText(n, "PartName")))] =
          AsciiLower(AttrText(n, "ContentType"));
    } else if (Local(n) == "Default") {
      default_types_[AsciiLower(AttrText(n, "Extension"))] = AsciiLower(AttrText(n, "ContentType"));
    }
  }
}

std::string DocxParser::ContentTypeOf(const std::string& part) const {
  auto it = override_types_.find(AsciiLower(part));
  if (it != override_types_.end())
    return it->second;
  const std::size_t dot = part.rfind('.');
  if (dot != std::string::npos) {
    auto d = default_types_.find(AsciiLower(part.substr(dot + 1)));
    if (d != default_types_.end())
      return d->second;
  }
  return std::string();
}

RunFormat DocxParser::ReadRunFormat(const pugi::xml_node& rpr) const {
  RunFormat format;
  if (!rpr)
    return format;
  if (pugi::xml_node v = Child(rpr, "vanish"))
    format.vanish = OnOff(v);
  if (pugi::xml_node lang = Child(rpr, "lang")) {
    format.lang = LcidFromLanguageTag(AttrText(lang, "val"));
    format.lang_fe = LcidFromLanguageTag(AttrText(lang, "eastAsia"));
  }
  return format;
}

// Fills what `format` does not say yet from the style and its ancestors.
void DocxParser::ResolveStyle(const std::string& id, RunFormat& format, int guard) const {
  if (id.empty() || guard > 32)
    return;
  auto it = styles_.find(id);
  if (it == styles_.end())
    return;
  const Style& style = it->second;
  if (!format.vanish && style.vanish)
    format.vanish = style.vanish;
  if (format.lang == 0)
    format.lang = style.lang;
  if (format.lang_fe == 0)
    format.lang_fe = style.lang_fe;
  ResolveStyle(style.based_on, format, guard + 1);
}

void DocxParser::ResolveNumbering(const std::string& style_id, std::string& num_id, int& ilvl,
                                  int guard) const {
  if (style_id.empty() || guard > 32)
    return;
  auto it = styles_.find(style_id);
  if (it == styles_.end())
    return;
  if (num_id.empty() && !it->second.num_id.empty())
    num_id = it->second.num_id;
  if (ilvl < 0 && it->second.ilvl >= 0)
    ilvl = it->second.ilvl;
  if (num_id.empty() || ilvl < 0)
    ResolveNumbering(it->second.based_on, num_id, ilvl, guard + 1);
}

void DocxParser::LoadStyles(const pugi::xml_node& root) {
  for (pugi::xml_node n : root.children()) {
    if (Local(n) == "docDefaults") {
      pugi::xml_node rpr = Child(Child(n, "rPrDefault"), "rPr");
      defaults_ = ReadRunFormat(rpr);
      doc_.default_lang = defaults_.lang;
      doc_.default_lang_fe = defaults_.lang_fe;
      continue;
    }
    if (Local(n) != "style")
      continue;
    const std::string id = AttrText(n, "styleId");
    Style style;
    style.based_on = AttrText(Child(n, "basedOn"), "val");
    if (style.based_on == id)
      style.based_on.clear();
    const RunFormat format = ReadRunFormat(Child(n, "rPr"));
    style.vanish = format.vanish;
    style.lang = format.lang;
    style.lang_fe = format.lang_fe;
    if (pugi::xml_node numpr = Child(Child(n, "pPr"), "numPr")) {
      style.num_id = AttrText(Child(numpr, "numId"), "val");
      if (pugi::xml_node ilvl = Child(numpr, "ilvl"))
        style.ilvl = ToInt(AttrText(ilvl, "val"));
    }
    const std::string type = AttrText(n, "type");
    if (AttrOn(n, "default")) {
      if (type == "paragraph")
        default_paragraph_style_ = id;
      if (type == "character")
        default_character_style_ = id;
    }
    styles_[id] = style;
  }
}

Level ReadLevel(const pugi::xml_node& lvl) {
  Level level;
  if (pugi::xml_node start = Child(lvl, "start"))
    level.start = ToInt(AttrText(start, "val"), 1);
  if (pugi::xml_node fmt = Child(lvl, "numFmt"))
    level.format = AttrText(fmt, "val");
  if (pugi::xml_node text = Child(lvl, "lvlText")) {
    level.has_text = true;
    level.text = AttrText(text, "val");
  }
  if (pugi::xml_node restart = Child(lvl, "lvlRestart")) {
    level.restart = ToInt(AttrText(restart, "val"), -1);
  }
  if (pugi::xml_node legal = Child(lvl, "isLgl"))
    level.legal = OnOff(legal);
  level.style = AttrText(Child(lvl, "pStyle"), "val");
  return level;
}

void DocxParser::LoadNumbering(const pugi::xml_node& root) {
  for (pugi::xml_node n : root.children()) {
    if (Local(n) == "abstractNum") {
      AbstractNum abstract;
      abstract.num_style_link = AttrText(Child(n, "numStyleLink"), "val");
      for (pugi::xml_node lvl : n.children()) {
        if (Local(lvl) != "lvl")
          continue;
        const int ilvl = ToInt(AttrText(lvl, "ilvl"));
        if (ilvl >= 0 && ilvl < 9)
          abstract.levels[ilvl] = ReadLevel(lvl);
      }
      abstract_nums_[AttrText(n, "abstractNumId")] = abstract;
    } else if (Local(n) == "num") {
      Num num;
      num.abstract_id = AttrText(Child(n, "abstractNumId"), "val");
      for (pugi::xml_node o : n.children()) {
        if (Local(o) != "lvlOverride")
          continue;
        const int ilvl = ToInt(AttrText(o, "ilvl"));
        if (ilvl < 0 || ilvl >= 9)
          continue;
        if (pugi::xml_node s = Child(o, "startOverride")) {
          num.start_override[ilvl] = ToInt(AttrText(s, "val"), 1);
        }
        if (pugi::xml_node lvl = Child(o, "lvl"))
          num.level_override[ilvl] = ReadLevel(lvl);
      }
      nums_[AttrText(n, "numId")] = num;
    }
  }
}

const Level* DocxParser::FindLevel(const std::string& num_id, int ilvl) const {
  auto n = nums_.find(num_id);
  if (n == nums_.end())
    return nullptr;
  auto o = n->second.level_override.find(ilvl);
  if (o != n->second.level_override.end())
    return &o->second;
  auto a = abstract_nums_.find(n->second.abstract_id);
  // A list style points at the numbering definition that really holds the
  // levels.
  for (int guard = 0; a != abstract_nums_.end() && guard < 8; ++guard) {
    if (!a->second.levels.empty() || a->second.num_style_link.empty())
      break;
    auto style = styles_.find(a->second.num_style_link);
    if (style == styles_.end())
      break;
    auto linked = nums_.find(style->second.num_id);
    if (linked == nums_.end())
      break;
    a = abstract_nums_.find(linked->second.abstract_id);
  }
  if (a == abstract_nums_.end())
    return nullptr;
  auto l = a->second.levels.find(ilvl);
  return l == a->second.levels.end() ? nullptr : &l->second;
}

std::string DocxParser::ListLabel(const std::string& num_id, int ilvl) {
  if (ilvl < 0 || ilvl >= 9)
    ilvl = 0;
  const Level* level = FindLevel(num_id, ilvl);
  if (level == nullptr)
    return std::string();
  ListCounters& counters = counters_[num_id];
  const Num& num = nums_[num_id];
  auto start_of = [&](int l) {
    const Level* lv = FindLevel(num_id, l);
    auto o = num.start_override.find(l);
    if (o != num.start_override.end() && !counters.override_applied[l])
      return o->second;
    return lv != nullptr ? lv->start : 1;
  };
  if (counters.used[ilvl]) {
    ++counters.value[ilvl];
  } else {
    counters.value[ilvl] = start_of(ilvl);
    counters.used[ilvl] = true;
    counters.override_applied[ilvl] = true;
  }
  // Deeper levels start again, unless a level says it never restarts.
  for (int deeper = ilvl + 1; deeper < 9; ++deeper) {
    const Level* lv = FindLevel(num_id, deeper);
    if (lv != nullptr && lv->restart == 0)
      continue;
    if (lv != nullptr && lv->restart > 0 && lv->restart <= ilvl)
      continue;
    counters.used[deeper] = false;
  }
  if (level->format == "bullet")
    return BulletText(level->text);
  if (level->format == "none" && !level->has_text)
    return std::string();
  std::string label;
  const std::string& pattern = level->has_text ? level->text : "%" + std::to_string(ilvl + 1) + ".";
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' &&
        pattern[i + 1] <= '9') {
      const int l = pattern[i + 1] - '1';
      ++i;
      if (l > ilvl)
        continue;
      const Level* lv = FindLevel(num_id, l);
      const int value = counters.used[l] ? counters.value[l] : start_of(l);
      std::string format = lv != nullptr ? lv->format : "decimal";
      if (level->legal || format == "bullet")
        format = "decimal";
      label += FormatNumber(value, format);
    } else {
      label += pattern[i];
    }
  }
  return label;
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
  if (pugi::xml_node fmt = Child(Child(root, "footnotePr"), "numFmt")) {
    footnote_format_ = AttrText(fmt, "val");
  }
  if (pugi::xml_node fmt = Child(Child(root, "endnotePr"), "numFmt")) {
    endnote_format_ = AttrText(fmt, "val");
  }
}

std::string NodeText(const pugi::xml_node& node) {
  std::string text;
  for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) {
    if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata)
      text += c.value();
  }
  return text;
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

std::string DocxParser::NoteMark(bool endnote, const std::string& id, bool custom) {
  auto& marks = endnote ? endnote_marks_ : footnote_marks_;
  auto it = marks.find(id);
  if (it != marks.end())
    return it->second;
  std::string mark;
  if (!custom) {
    int& count = endnote ? endnote_count_ : footnote_count_;
    mark = FormatNumber(++count, endnote ? endnote_format_ : footnote_format_);
  }
  marks[id] = mark;
  (endnote ? endnote_order_ : footnote_order_).push_back(id);
  return mark;
}

void DocxParser::LoadNotes(const pugi::xml_node& root, bool endnotes) {
  for (pugi::xml_node n : root.children()) {
    if (Local(n) != "footnote" && Local(n) != "endnote")
      continue;
    const std::string type = AttrText(n, "type");
    if (!type.empty() && type != "normal")
      continue;
    Note note;
    fields_.clear();
    field_ = 0;
    ParseBlocks(n, note.blocks, Context{}, 1);
    const std::string id = AttrText(n, "id");
    (endnotes ? endnote_part_order_ : footnote_part_order_).push_back(id);
    (endnotes ? endnote_bodies_ : footnote_bodies_)[id] = std::move(note);
  }
}

void DocxParser::LoadComments(const pugi::xml_node& root) {
  for (pugi::xml_node n : root.children()) {
    if (Local(n) != "comment")
      continue;
    Comment comment;
    comment.author = AttrText(n, "author");
    comment.initials = AttrText(n, "initials");
    fields_.clear();
    field_ = 0;
    ParseBlocks(n, comment.blocks, Context{}, 1);
    doc_.comments.push_back(std::move(comment));
  }
}

bool DocxParser::InFieldCode() const {
  for (bool in_code : fields_) {
    if (in_code)
      return true;
  }
  return false;
}

void DocxParser::AddText(Paragraph& para, std::string text, const Context& ctx,
                         const RunFormat& format, bool field_code) {
  if (text.empty() || failed_)
    return;
  chars_ += text.size();
  if (chars_ > options_.limits.max_text_chars) {
    failed_ = true;
    failure_ = ReadResult::Failure("The document is too large to open.");
    return;
  }
  docengine::Run run;
  run.hidden = ctx.hidden || format.vanish.value_or(false);
  run.deleted = ctx.deleted;
  run.inserted = ctx.inserted;
  run.field_code = field_code || InFieldCode();
  run.field = field_;
  run.lang = format.lang;
  run.lang_fe = format.lang_fe;
  AppendRunText(para.runs, run, text);
}

pugi::xml_node DocxParser::PickAlternate(const pugi::xml_node& alternate) const {
  // Choices that need only vocabularies read here are as good as the
  // fallback and usually richer; anything else takes the fallback.
  static const std::set<std::string, std::less<>> kKnown = {
      "w", "wp", "wps", "wpg", "wpc", "wp14", "w14", "w15", "w16se", "w16cid",
      "v", "o",  "a",   "a14", "pic", "mc",   "m",   "r",   "w10",   "wne"};
  pugi::xml_node fallback;
  for (pugi::xml_node c : alternate.children()) {
    if (Local(c) == "Choice") {
      const std::string requires_text = AttrText(c, "Requires");
      bool known = !requires_text.empty();
      std::size_t start = 0;
      while (start < requires_text.size()) {
        std::size_t space = requires_text.find(' ', start);
        if (space == std::string::npos)
          space = requires_text.size();
        const std::string prefix = requires_text.substr(start, space - start);
        if (!prefix.empty() && kKnown.count(prefix) == 0)
          known = false;
        start = space + 1;
      }
      if (known)
        return c;
    } else if (Local(c) == "Fallback") {
      fallback = c;
    }
  }
  return fallback;
}

void DocxParser::ParseDrawing(const pugi::xml_node& node, std::vector<Block>& extra,
                              const Context& ctx, int depth) {
  if (TooDeep(depth) || failed_)
    return;
  for (pugi::xml_node c : node.children()) {
    if (c.type() != pugi::node_element)
      continue;
    const std::string_view name = Local(c);
    if (name == "txbxContent") {
      Context inner = ctx;
      inner.paragraph_style.clear();
      ParseBlocks(c, extra, inner, depth + 1);
    } else if (name == "AlternateContent") {
      if (pugi::xml_node pick = PickAlternate(c))
        ParseDrawing(pick, extra, ctx, depth + 1);
    } else {
      ParseDrawing(c, extra, ctx, depth + 1);
    }
  }
}

void DocxParser::ParseRun(const pugi::xml_node& r, Paragraph& para, std::vector<Block>& extra,
                          const Context& ctx, int depth) {
  if (TooDeep(depth))
    return;
  pugi::xml_node rpr = Child(r, "rPr");
  RunFormat format = ReadRunFormat(rpr);
  ResolveStyle(AttrText(Child(rpr, "rStyle"), "val"), format);
  ResolveStyle(ctx.paragraph_style, format);
  if (!format.vanish && defaults_.vanish)
    format.vanish = defaults_.vanish;
  if (format.lang == 0)
    format.lang = defaults_.lang;
  if (format.lang_fe == 0)
    format.lang_fe = defaults_.lang_fe;
  Context deleted = ctx;
  deleted.deleted = true;
  for (pugi::xml_node c : r.children()) {
    if (c.type() != pugi::node_element)
      continue;
    const std::string_view name = Local(c);
    if (name == "t") {
      AddText(para, NodeText(c), ctx, format, false);
    } else if (name == "delText") {
      AddText(para, NodeText(c), deleted, format, false);
    } else if (name == "instrText") {
      AddText(para, NodeText(c), ctx, format, true);
    } else if (name == "delInstrText") {
      AddText(para, NodeText(c), deleted, format, true);
    } else if (name == "tab" || name == "ptab") {
      AddText(para, "\t", ctx, format, false);
    } else if (name == "br") {
      const std::string type = AttrText(c, "type");
      AddText(para, type == "page" ? "\f" : "\n", ctx, format, false);
    } else if (name == "cr") {
      AddText(para, "\n", ctx, format, false);
    } else if (name == "noBreakHyphen") {
      AddText(para, "\u2011", ctx, format, false);
    } else if (name == "sym") {
      const std::string hex = AttrText(c, "char");
      char32_t code = static_cast<char32_t>(std::strtoul(hex.c_str(), nullptr, 16));
      // Symbol-font characters are stored in the private use area; the low
      // byte is the character of the font.
      if (code >= 0xF020 && code <= 0xF0FF && AsciiLower(AttrText(c, "font")) == "symbol") {
        code -= 0xF000;
        if (code == 0xB7)
          code = 0x2022;
      }
      if (code != 0) {
        std::string text;
        AppendUtf8(text, code);
        AddText(para, text, ctx, format, false);
      }
    } else if (name == "fldChar") {
      const std::string type = AttrText(c, "fldCharType");
      if (type == "begin") {
        if (field_ == 0)
          field_ = ++field_counter_;
        fields_.push_back(true);
      } else if (type == "separate") {
        if (!fields_.empty())
          fields_.back() = false;
      } else if (type == "end") {
        if (!fields_.empty())
          fields_.pop_back();
        if (fields_.empty() && simple_fields_open_ == 0)
          field_ = 0;
      }
    } else if (name == "footnoteReference" || name == "endnoteReference") {
      const bool custom = AttrOn(c, "customMarkFollows");
      AddText(para, NoteMark(name == "endnoteReference", AttrText(c, "id"), custom), ctx, format,
              false);
    } else if (name == "drawing" || name == "pict" || name == "object") {
      ParseDrawing(c, extra, ctx, depth + 1);
    } else if (name == "AlternateContent") {
      if (pugi::xml_node pick = PickAlternate(c))
        ParseRun(pick, para, extra, ctx, depth + 1);
    } else if (name == "ruby") {
      // The base text reads on; the phonetic guide is left out.
      if (pugi::xml_node base = Child(c, "rubyBase"))
        ParseInline(base, para, extra, ctx, depth + 1);
    }
  }
}

// A simple field or a hyperlink element: its instruction becomes a code run
// of its own, so that it reads like a complex field.
void DocxParser::ParseSimpleField(const pugi::xml_node& node, Paragraph& para,
                                  std::vector<Block>& extra, const Context& ctx, int depth) {
  const bool outermost = field_ == 0;
  if (outermost) {
    field_ = ++field_counter_;
    std::string code;
    if (Local(node) == "fldSimple") {
      code = AttrText(node, "instr");
    } else if (auto rel = main_rels_.find(AttrText(node, "id")); rel != main_rels_.end()) {
      code = "HYPERLINK \"" + rel->second.target + "\"";
    } else {
      code = "HYPERLINK \\l \"" + AttrText(node, "anchor") + "\"";
    }
    AddText(para, code, ctx, defaults_, true);
  }
  ++simple_fields_open_;
  ParseInline(node, para, extra, ctx, depth);
  --simple_fields_open_;
  if (outermost)
    field_ = 0;
}

void DocxParser::ParseInline(const pugi::xml_node& node, Paragraph& para, std::vector<Block>& extra,
                             const Context& ctx, int depth) {
  if (TooDeep(depth) || failed_)
    return;
  for (pugi::xml_node c : node.children()) {
    if (c.type() != pugi::node_element)
      continue;
    const std::string_view name = Local(c);
    if (name == "r") {
      ParseRun(c, para, extra, ctx, depth);
    } else if (name == "ins" || name == "moveTo") {
      Context inner = ctx;
      inner.inserted = true;
      ParseInline(c, para, extra, inner, depth + 1);
    } else if (name == "del" || name == "moveFrom") {
      Context inner = ctx;
      inner.deleted = true;
      ParseInline(c, para, extra, inner, depth + 1);
    } else if (name == "hyperlink" || name == "fldSimple") {
      ParseSimpleField(c, para, extra, ctx, depth + 1);
    } else if (name == "smartTag" || name == "customXml" || name == "bdo" || name == "dir" ||
               name == "oMath" || name == "oMathPara" || name == "e" || name == "num" ||
               name == "den" || name == "sub" || name == "sup" || name == "fName" ||
               name == "lim") {
      ParseInline(c, para, extra, ctx, depth + 1);
    } else if (name == "sdt") {
      if (pugi::xml_node content = Child(c, "sdtContent")) {
        ParseInline(content, para, extra, ctx, depth + 1);
      }
    } else if (name == "AlternateContent") {
      if (pugi::xml_node pick = PickAlternate(c))
        ParseInline(pick, para, extra, ctx, depth + 1);
    } else if (name == "sdtContent") {
      ParseInline(c, para, extra, ctx, depth + 1);
    }
  }
}

void DocxParser::ParseParagraph(const pugi::xml_node& p, std::vector<Block>& out, Context ctx,
                                int depth) {
  Paragraph para;
  std::vector<Block> extra;
  pugi::xml_node ppr = Child(p, "pPr");
  ctx.paragraph_style = AttrText(Child(ppr, "pStyle"), "val");
  if (ctx.paragraph_style.empty())
    ctx.paragraph_style = default_paragraph_style_;

  std::string num_id;
  int ilvl = -1;
  if (pugi::xml_node numpr = Child(ppr, "numPr")) {
    num_id = AttrText(Child(numpr, "numId"), "val");
    if (pugi::xml_node l = Child(numpr, "ilvl"))
      ilvl = ToInt(AttrText(l, "val"));
  }
  if (num_id.empty() || ilvl < 0)
    ResolveNumbering(ctx.paragraph_style, num_id, ilvl);
  if (pugi::xml_node sect = Child(ppr, "sectPr")) {
    const int width = Twips(AttrText(Child(sect, "pgSz"), "w"));
    pugi::xml_node mar = Child(sect, "pgMar");
    const int text = width - Twips(AttrText(mar, "left")) - Twips(AttrText(mar, "right")) -
                     Twips(AttrText(mar, "gutter"));
    if (width > 0 && text > 0 && section_width_ == 0)
      section_width_ = text;
  }

  ParseInline(p, para, extra, ctx, depth + 1);

  // A paragraph whose mark is deleted or hidden melts into the next one;
  // when nothing visible remains of it, it is gone.
  pugi::xml_node mark = Child(ppr, "rPr");
  RunFormat mark_format = ReadRunFormat(mark);
  ResolveStyle(ctx.paragraph_style, mark_format);
  const bool mark_gone = ctx.deleted || Child(mark, "del") || mark_format.vanish.value_or(false);
  bool visible = false;
  for (const Run& run : para.runs) {
    if (!run.hidden && !run.deleted && !run.field_code)
      visible = true;
  }
  if (mark_gone && !visible) {
    for (Block& b : extra)
      out.push_back(std::move(b));
    return;
  }

  if (!num_id.empty() && num_id != "0") {
    if (ilvl < 0)
      ilvl = 0;
    // Styles tie list levels to themselves as well.
    para.list_level = ilvl;
    para.list_label = ListLabel(num_id, ilvl);
  }
  out.push_back(Block::FromParagraph(std::move(para)));
  for (Block& b : extra)
    out.push_back(std::move(b));
}

template <typename Visit>
void DocxParser::ForEachWrapped(const pugi::xml_node& container, std::string_view wanted, int depth,
                                Visit& visit) {
  if (TooDeep(depth))
    return;
  for (pugi::xml_node c : container.children()) {
    if (c.type() != pugi::node_element || failed_)
      continue;
    const std::string_view name = Local(c);
    if (name == wanted) {
      visit(c, depth);
    } else if (name == "sdt") {
      if (pugi::xml_node content = Child(c, "sdtContent"))
        ForEachWrapped(content, wanted, depth + 1, visit);
    } else if (name == "customXml") {
      ForEachWrapped(c, wanted, depth + 1, visit);
    }
  }
}

void DocxParser::ParseCells(const pugi::xml_node& container, TableRow& row, const Context& ctx,
                            int depth) {
  auto cell = [&](const pugi::xml_node& tc, int at) {
    TableCell parsed;
    ParseBlocks(tc, parsed.blocks, ctx, at + 1);
    row.cells.push_back(std::move(parsed));
  };
  ForEachWrapped(container, "tc", depth, cell);
}

void DocxParser::ParseRows(const pugi::xml_node& container, Table& table, const Context& ctx,
                           int depth) {
  auto row = [&](const pugi::xml_node& tr, int at) {
    TableRow parsed;
    Context row_ctx = ctx;
    pugi::xml_node trpr = Child(tr, "trPr");
    if (Child(trpr, "del"))
      row_ctx.deleted = true;
    if (Child(trpr, "ins"))
      row_ctx.inserted = true;
    ParseCells(tr, parsed, row_ctx, at + 1);
    table.rows.push_back(std::move(parsed));
  };
  ForEachWrapped(container, "tr", depth, row);
}

Table DocxParser::ParseTable(const pugi::xml_node& tbl, const Context& ctx, int depth) {
  Table table;
  ParseRows(tbl, table, ctx, depth);
  return table;
}

// Pulls the HTML body out of a MIME web archive (a quoted-printable or
// base64 part), turned into UTF-8 with a byte-order mark so that the HTML
// reader keeps the archive's charset.
std::string HtmlFromWebArchive(const std::string& mime) {
  auto header_value = [](const std::string& headers, std::string_view key) {
    const std::string lower = AsciiLower(headers);
    const std::size_t at = lower.find(std::string(key) + ":");
    if (at == std::string::npos)
      return std::string();
    std::size_t end = at;
    // Folded header lines go on with blanks.
    do {
      end = lower.find('\n', end + 1);
    } while (end != std::string::npos && end + 1 < lower.size() &&
             (lower[end + 1] == ' ' || lower[end + 1] == '\t'));
    return headers.substr(at + key.size() + 1,
                          (end == std::string::npos ? headers.size() : end) - at - key.size() - 1);
  };
  auto param = [](const std::string& value, std::string_view name) {
    const std::string lower = AsciiLower(value);
    std::size_t at = lower.find(std::string(name) + "=");
    if (at == std::string::npos)
      return std::string();
    at += name.size() + 1;
    std::string out;
    if (at < value.size() && value[at] == '"') {
      const std::size_t end = value.find('"', at + 1);
      return value.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
    }
    while (at < value.size() && value[at] != ';' && value[at] != ' ' && value[at] != '\r' &&
           value[at] != '\n' && value[at] != '\t') {
      out += value[at++];
    }
    return out;
  };
  auto split_headers = [](const std::string& part, std::string& headers, std::string& body) {
    std::size_t end = part.find("\r\n\r\n");
    std::size_t skip = 4;
    const std::size_t lf = part.find("\n\n");
    if (end == std::string::npos || (lf != std::string::npos && lf < end)) {
      end = lf;
      skip = 2;
    }
    if (end == std::string::npos) {
      headers = part;
      body.clear();
      return;
    }
    headers = part.substr(0, end);
    body = part.substr(end + skip);
  };
  auto decode = [&](const std::string& headers, const std::string& body) {
    const std::string encoding = AsciiLower(header_value(headers, "content-transfer-encoding"));
    std::string out;
    if (encoding.find("quoted-printable") != std::string::npos) {
      for (std::size_t i = 0; i < body.size(); ++i) {
        if (body[i] == '=' && i + 1 < body.size()) {
          if (body[i + 1] == '\n') {
            ++i;
            continue;
          }
          if (body[i + 1] == '\r' && i + 2 < body.size() && body[i + 2] == '\n') {
            i += 2;
            continue;
          }
          if (i + 2 < body.size() && std::isxdigit(static_cast<unsigned char>(body[i + 1])) &&
              std::isxdigit(static_cast<unsigned char>(body[i + 2]))) {
            out += static_cast<char>(std::stoi(body.substr(i + 1, 2), nullptr, 16));
            i += 2;
            continue;
          }
        }
        out += body[i];
      }
    } else if (encoding.find("base64") != std::string::npos) {
      unsigned value = 0;
      int bits = 0;
      for (char ch : body) {
        int d = -1;
        if (ch >= 'A' && ch <= 'Z')
          d = ch - 'A';
        if (ch >= 'a' && ch <= 'z')
          d = ch - 'a' + 26;
        if (ch >= '0' && ch <= '9')
          d = ch - '0' + 52;
        if (ch == '+')
          d = 62;
        if (ch == '/')
          d = 63;
        if (d < 0)
          continue;
        value = (value << 6) | static_cast<unsigned>(d);
        bits += 6;
        if (bits >= 8) {
          bits -= 8;
          out += static_cast<char>((value >> bits) & 0xFF);
        }
      }
    } else {
      out = body;
    }
    const std::string charset = param(header_value(headers, "content-type"), "charset");
    const int code_page = charset.empty() ? 0 : CodePageFromCharsetName(charset);
    std::string utf8;
    std::string error;
    if (code_page != 0 && code_page != kCodePageUtf8 && DecodeText(out, code_page, utf8, error)) {
      return "\xEF\xBB\xBF" + utf8;
    }
    return out;
  };

  std::string headers;
  std::string body;
  split_headers(mime, headers, body);
  const std::string type = header_value(headers, "content-type");
  if (AsciiLower(type).find("multipart/") == std::string::npos) {
    return decode(headers, body);
  }
  const std::string boundary = param(type, "boundary");
  if (boundary.empty())
    return std::string();
  const std::string delimiter = "--" + boundary;
  std::size_t at = body.find(delimiter);
  while (at != std::string::npos) {
    std::size_t start = body.find('\n', at);
    if (start == std::string::npos)
      break;
    ++start;
    const std::size_t next = body.find(delimiter, start);
    const std::string part =
        body.substr(start, (next == std::string::npos ? body.size() : next) - start);
    std::string part_headers;
    std::string part_body;
    split_headers(part, part_headers, part_body);
    if (AsciiLower(header_value(part_headers, "content-type")).find("text/html") !=
        std::string::npos) {
      return decode(part_headers, part_body);
    }
    at = next;
  }
  return std::string();
}

void DocxParser::ParseAltChunk(const pugi::xml_node& chunk, std::vector<Block>& out) {
  auto rel = main_rels_.find(AttrText(chunk, "id"));
  if (rel == main_rels_.end() || rel->second.external)
    return;
  std::string data;
  ReadResult ignored;
  if (!ReadPart(rel->second.target, data, ignored))
    return;
  const std::string type = ContentTypeOf(rel->second.target);
  const std::string name = AsciiLower(rel->second.target);
  if (type == "message/rfc822" || type.find("multipart/") != std::string::npos ||
      type.find("mimearchive") != std::string::npos || EndsWith(name, ".mht") ||
      EndsWith(name, ".mhtml")) {
    data = HtmlFromWebArchive(data);
  }
  OpenOptions sub_options = options_;
  sub_options.path = rel->second.target;
  sub_options.limits.max_text_chars =
      options_.limits.max_text_chars > chars_ ? options_.limits.max_text_chars - chars_ : 0;
  Document sub;
  const std::string_view head(data.data(), std::min<std::size_t>(data.size(), 4096));
  ReadResult result = ReadResult::Failure("no reader");
  if (!LooksLikeZip(head)) {
    const Reader* best = nullptr;
    int best_score = 0;
    for (const auto& reader : BuiltInReaders()) {
      if (reader->Name() == "docx")
        continue;
      const int score = reader->Sniff(head, sub_options.path);
      if (score > best_score) {
        best = reader.get();
        best_score = score;
      }
    }
    if (type == "text/html" || type == "application/xhtml+xml" ||
        type.find("html") != std::string::npos) {
      result = ReadHtmlDocument(data, sub_options, sub);
    } else if (best != nullptr) {
      result = best->Read(data, sub_options, sub);
    } else if (type == "text/plain") {
      Paragraph para;
      std::size_t start = 0;
      while (start <= data.size()) {
        std::size_t end = data.find('\n', start);
        if (end == std::string::npos)
          end = data.size();
        std::string line = data.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
          line.pop_back();
        Paragraph p;
        if (!line.empty())
          p.runs.push_back(docengine::Run{line});
        sub.body.push_back(Block::FromParagraph(std::move(p)));
        start = end + 1;
      }
      result = ReadResult::Success();
    }
  }
  if (!result.ok)
    return;
  for (Block& b : sub.body) {
    out.push_back(std::move(b));
  }
  chars_ += 1;
}

void DocxParser::ParseBlocks(const pugi::xml_node& container, std::vector<Block>& out,
                             const Context& ctx, int depth) {
  if (TooDeep(depth))
    return;
  for (pugi::xml_node c : container.children()) {
    if (c.type() != pugi::node_element || failed_)
      continue;
    const std::string_view name = Local(c);
    if (name == "p") {
      ParseParagraph(c, out, ctx, depth);
    } else if (name == "tbl") {
      out.push_back(Block::FromTable(ParseTable(c, ctx, depth + 1)));
    } else if (name == "sdt") {
      if (pugi::xml_node content = Child(c, "sdtContent"))
        ParseBlocks(content, out, ctx, depth + 1);
    } else if (name == "customXml" || name == "sdtContent") {
      ParseBlocks(c, out, ctx, depth + 1);
    } else if (name == "ins" || name == "moveTo") {
      Context inner = ctx;
      inner.inserted = true;
      ParseBlocks(c, out, inner, depth + 1);
    } else if (name == "del" || name == "moveFrom") {
      Context inner = ctx;
      inner.deleted = true;
      ParseBlocks(c, out, inner, depth + 1);
    } else if (name == "AlternateContent") {
      if (pugi::xml_node pick = PickAlternate(c))
        ParseBlocks(pick, out, ctx, depth + 1);
    } else if (name == "altChunk") {
      ParseAltChunk(c, out);
    } else if (name == "sectPr") {
      const int width = Twips(AttrText(Child(c, "pgSz"), "w"));
      pugi::xml_node mar = Child(c, "pgMar");
      const int text = width - Twips(AttrText(mar, "left")) - Twips(AttrText(mar, "right")) -
                       Twips(AttrText(mar, "gutter"));
      if (width > 0 && text > 0)
        doc_.page.text_width_twips = text;
    }
  }
}

ReadResult DocxParser::Parse(std::string_view data) {
  std::string error;
  if (!zip_.Open(data, options_.limits, error))
    return ReadResult::Failure(error);

  const std::map<std::string, Relationship> package_rels = ReadRelationships("");
  if (failed_)
    return failure_;
  main_part_ = FindByType(package_rels, kRelOfficeDocument);
  if (main_part_.empty() && zip_.Has("word/document.xml"))
    main_part_ = "word/document.xml";
  if (main_part_.empty() || !zip_.Has(main_part_))
    return ReadResult::Failure(kNotDocxMessage);
  ReadContentTypes();
  if (failed_)
    return failure_;

  main_rels_ = ReadRelationships(main_part_);
  if (failed_)
    return failure_;
  ReadResult failure;
  auto load = [&](std::string_view type, auto&& use) {
    const std::string part = FindByType(main_rels_, type);
    if (part.empty() || !zip_.Has(part))
      return;
    pugi::xml_document xml;
    if (ReadXmlPart(part, xml, failure))
      use(xml.document_element());
  };
  load(kRelStyles, [&](const pugi::xml_node& root) { LoadStyles(root); });
  load(kRelNumbering, [&](const pugi::xml_node& root) { LoadNumbering(root); });
  load(kRelSettings, [&](const pugi::xml_node& root) { LoadSettings(root); });
  if (failed_)
    return failure_;
  {
    const std::string core = FindByType(package_rels, kRelCoreProperties);
    const std::string part = !core.empty() ? core : "docProps/core.xml";
    if (zip_.Has(part)) {
      pugi::xml_document xml;
      if (ReadXmlPart(part, xml, failure))
        LoadCoreProperties(xml.document_element());
    }
  }
  if (failed_)
    return failure_;

  pugi::xml_document main;
  if (!ReadXmlPart(main_part_, main, failure))
    return failed_ ? failure_ : failure;
  pugi::xml_node body = Child(main.document_element(), "body");
  if (!body)
    return ReadResult::Failure(kNotDocxMessage);
  ParseBlocks(body, doc_.body, Context{}, 0);
  if (failed_)
    return failure_;
  if (doc_.page.text_width_twips == 0)
    doc_.page.text_width_twips = section_width_;

  load(kRelFootnotes, [&](const pugi::xml_node& root) { LoadNotes(root, false); });
  load(kRelEndnotes, [&](const pugi::xml_node& root) { LoadNotes(root, true); });
  load(kRelComments, [&](const pugi::xml_node& root) { LoadComments(root); });
  if (failed_)
    return failure_;

  // Notes in the order their references appear; notes nobody refers to
  // keep the order of the part.
  auto collect = [&](bool endnotes) {
    auto& bodies = endnotes ? endnote_bodies_ : footnote_bodies_;
    auto& order = endnotes ? endnote_order_ : footnote_order_;
    auto& marks = endnotes ? endnote_marks_ : footnote_marks_;
    auto& target = endnotes ? doc_.endnotes : doc_.footnotes;
    for (const std::string& id : order) {
      auto it = bodies.find(id);
      if (it == bodies.end())
        continue;
      it->second.mark = marks[id];
      target.push_back(std::move(it->second));
      bodies.erase(it);
    }
    for (const std::string& id : endnotes ? endnote_part_order_ : footnote_part_order_) {
      auto it = bodies.find(id);
      if (it == bodies.end())
        continue;
      // Numbered on after the referenced ones, as the note would be.
      it->second.mark = NoteMark(endnotes, id, false);
      target.push_back(std::move(it->second));
      bodies.erase(it);
    }
  };
  collect(false);
  collect(true);
  doc_.format = SourceFormat::kDocx;
  // A package carries no code page of its own; like any document that is
  // not a text file it reports the system's ANSI code page, so that the
  // east-Asian language of its text decides a source-charset save.
  doc_.open_encoding = AnsiCodePage();
  return ReadResult::Success();
}

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
    if (EndsWith(lower, ".docx") || EndsWith(lower, ".docm") || EndsWith(lower, ".dotx") ||
        EndsWith(lower, ".dotm")) {
      return 60;
    }
    return 10;
  }

  ReadResult Read(std::string_view data, const OpenOptions& options, Document& doc) const override {
    if (data.size() > options.limits.max_input_bytes) {
      return ReadResult::Failure("The document is too large to open.");
    }
    if (!LooksLikeZip(data.substr(0, 4)))
      return ReadResult::Failure(kNotDocxMessage);
    DocxParser parser(options, doc);
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
