#include "docengine/docx_styles.h"

#include <algorithm>

#include "charset/code_page.h"
#include "docengine/docx_reader.h"
#include "docengine/docx_xml.h"
#include "docengine/numbering.h"

namespace quillon::docengine::docx {
namespace {

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

}  // namespace

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

namespace {

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

}  // namespace

RunFormat StyleSheet::ReadRunFormat(const pugi::xml_node& rpr) {
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

void StyleSheet::ResolveStyle(const std::string& id, RunFormat& format, int guard) const {
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

void StyleSheet::ResolveNumbering(const std::string& style_id, std::string& num_id, int& ilvl,
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

void StyleSheet::LoadStyles(const pugi::xml_node& root) {
  for (pugi::xml_node n : root.children()) {
    if (Local(n) == "docDefaults") {
      pugi::xml_node rpr = Child(Child(n, "rPrDefault"), "rPr");
      defaults_ = ReadRunFormat(rpr);
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
    if (AttrOn(n, "default") && AttrText(n, "type") == "paragraph")
      default_paragraph_style_ = id;
    styles_[id] = style;
  }
}

namespace {

StyleSheet::Level ReadLevel(const pugi::xml_node& lvl) {
  StyleSheet::Level level;
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

}  // namespace

void StyleSheet::LoadNumbering(const pugi::xml_node& root) {
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

const StyleSheet::Level* StyleSheet::FindLevel(const std::string& num_id, int ilvl) const {
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

std::string StyleSheet::ListLabel(const std::string& num_id, int ilvl) {
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

}  // namespace quillon::docengine::docx
