#pragma once
// Styles and numbering of a word-processing package: what runs inherit
// from their styles, and the labels of list paragraphs, counted as the
// paragraphs come.

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <pugixml.hpp>
#include <string>

namespace quillon::docengine::docx {

// A number in a numbering format of the package ("lowerRoman", 4 -> "iv").
std::string FormatNumber(int value, const std::string& format);

// The character formatting the text output cares about.
struct RunFormat {
  std::optional<bool> vanish;
  std::uint16_t lang = 0;
  std::uint16_t lang_fe = 0;
};

class StyleSheet {
 public:
  void LoadStyles(const pugi::xml_node& root);
  void LoadNumbering(const pugi::xml_node& root);

  // The formatting a run's or a style's rPr states itself.
  static RunFormat ReadRunFormat(const pugi::xml_node& rpr);
  // Fills what `format` does not say yet from the style and its ancestors.
  void ResolveStyle(const std::string& id, RunFormat& format, int guard = 0) const;
  // Fills the list and level a paragraph style (or its ancestors) gives.
  void ResolveNumbering(const std::string& style_id, std::string& num_id, int& ilvl,
                        int guard = 0) const;
  // The label of the next paragraph of list `num_id` at level `ilvl`;
  // counts it. Empty when the list is unknown or shows no label.
  std::string ListLabel(const std::string& num_id, int ilvl);

  // The document defaults of character formatting.
  const RunFormat& defaults() const { return defaults_; }
  // The style of paragraphs that name none.
  const std::string& default_paragraph_style() const { return default_paragraph_style_; }

  struct Level {
    int start = 1;
    std::string format = "decimal";
    std::string text;
    bool has_text = false;
    int restart = -1;  // lvlRestart: restart after this (1-based) level; 0 = never
    bool legal = false;
    std::string style;
  };

 private:
  struct Style {
    std::string based_on;
    std::optional<bool> vanish;
    std::uint16_t lang = 0;
    std::uint16_t lang_fe = 0;
    std::string num_id;
    int ilvl = -1;
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

  const Level* FindLevel(const std::string& num_id, int ilvl) const;

  std::map<std::string, Style> styles_;
  std::string default_paragraph_style_;
  RunFormat defaults_;
  std::map<std::string, AbstractNum> abstract_nums_;
  std::map<std::string, Num> nums_;
  std::map<std::string, ListCounters> counters_;
};

}  // namespace quillon::docengine::docx
