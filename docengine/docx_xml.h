#pragma once
// Small readers of package XML shared by the parts of the word-processing
// package reader. Element and attribute names are compared without their
// prefix: the transitional and the strict vocabularies differ only in the
// namespace URI, and producers pick their own prefixes.

#include <cstdlib>
#include <pugixml.hpp>
#include <string>
#include <string_view>

#include "charset/code_page.h"

namespace quillon::docengine::docx {

inline std::string_view Local(const pugi::xml_node& node) {
  std::string_view name = node.name();
  const std::size_t colon = name.find(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

inline std::string_view LocalAttrName(std::string_view name) {
  const std::size_t colon = name.find(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// The attribute with the given local name ("val" finds w:val).
inline pugi::xml_attribute Attr(const pugi::xml_node& node, std::string_view local) {
  for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
    if (LocalAttrName(a.name()) == local)
      return a;
  }
  return {};
}

inline std::string AttrText(const pugi::xml_node& node, std::string_view local) {
  pugi::xml_attribute a = Attr(node, local);
  return a ? std::string(a.value()) : std::string();
}

// An on/off attribute: true only when present and on.
inline bool AttrOn(const pugi::xml_node& node, std::string_view local) {
  pugi::xml_attribute a = Attr(node, local);
  if (!a)
    return false;
  const std::string v = a.value();
  return v == "1" || v == "true" || v == "on";
}

inline pugi::xml_node Child(const pugi::xml_node& node, std::string_view local) {
  for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) {
    if (c.type() == pugi::node_element && Local(c) == local)
      return c;
  }
  return {};
}

inline bool EndsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// An on/off property: present without a value means on.
inline bool OnOff(const pugi::xml_node& node) {
  pugi::xml_attribute a = Attr(node, "val");
  if (!a)
    return true;
  const std::string v = AsciiLower(a.value());
  return !(v == "0" || v == "false" || v == "off" || v == "none");
}

inline int ToInt(std::string_view text, int fallback = 0) {
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
inline int Twips(std::string_view text) {
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

// The text of an element's own character data.
inline std::string NodeText(const pugi::xml_node& node) {
  std::string text;
  for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) {
    if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata)
      text += c.value();
  }
  return text;
}

}  // namespace quillon::docengine::docx
