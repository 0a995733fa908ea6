// Lists: the list and override tables, and the labels of list paragraphs.

#include <array>

#include "charset/code_page.h"
#include "docengine/doc_parser.h"
#include "docengine/numbering.h"

namespace quillon::docengine::msdoc {
namespace {

struct Level {
  std::int32_t start = 1;
  int nfc = 0;
  bool legal = false;
  bool no_restart = false;
  std::u16string text;  // number text: characters below 9 stand for levels
};

struct ListDef {
  std::int32_t lsid = 0;
  std::vector<Level> levels;
};

struct ListOverride {
  std::int32_t lsid = 0;
  std::map<int, std::int32_t> start_at;
  std::map<int, Level> levels;
};

// Reads one level at `pos`; false when it does not fit.
bool ReadLevel(std::string_view t, std::size_t& pos, Level& level) {
  if (!Fits(t, pos, 28))
    return false;
  // Bounded so that counting on from it cannot overflow.
  level.start = std::clamp<std::int32_t>(static_cast<std::int32_t>(U32(t, pos)), 0, 1 << 30);
  level.nfc = U8(t, pos + 4);
  std::uint8_t flags = U8(t, pos + 5);
  level.legal = flags & 0x04;
  level.no_restart = flags & 0x08;
  std::size_t cb_chpx = U8(t, pos + 24);
  std::size_t cb_papx = U8(t, pos + 25);
  pos += 28 + cb_papx + cb_chpx;
  if (!Fits(t, pos, 2))
    return false;
  std::size_t cch = U16(t, pos);
  pos += 2;
  if (!Fits(t, pos, cch * 2))
    return false;
  for (std::size_t i = 0; i < cch; ++i)
    level.text.push_back(static_cast<char16_t>(U16(t, pos + 2 * i)));
  pos += cch * 2;
  return true;
}

struct Lists {
  std::vector<ListDef> defs;
  std::vector<ListOverride> overrides;  // index ilfo - 1
};

Lists ParseLists(std::string_view t, FcLcb lst, FcLcb lfo) {
  Lists lists;
  if (lst.lcb >= 2 && Fits(t, lst.fc, lst.lcb)) {
    std::size_t pos = lst.fc;
    std::size_t count = U16(t, pos);
    pos += 2;
    std::vector<std::pair<std::int32_t, bool>> heads;
    for (std::size_t i = 0; i < count && Fits(t, pos, 28); ++i, pos += 28)
      heads.push_back({static_cast<std::int32_t>(U32(t, pos)), (U8(t, pos + 26) & 1) != 0});
    // The levels follow the list table, 1 for a simple list, else 9.
    for (const auto& [lsid, simple] : heads) {
      ListDef def;
      def.lsid = lsid;
      int n = simple ? 1 : 9;
      bool ok = true;
      for (int k = 0; k < n && ok; ++k) {
        Level level;
        ok = ReadLevel(t, pos, level);
        if (ok)
          def.levels.push_back(std::move(level));
      }
      lists.defs.push_back(std::move(def));
      if (!ok)
        break;
    }
  }
  if (lfo.lcb >= 4 && Fits(t, lfo.fc, lfo.lcb)) {
    std::size_t pos = lfo.fc;
    std::size_t count = U32(t, pos);
    pos += 4;
    if (count > lfo.lcb / 16)
      count = lfo.lcb / 16;
    std::vector<int> level_counts;
    for (std::size_t i = 0; i < count && Fits(t, pos, 16); ++i, pos += 16) {
      ListOverride o;
      o.lsid = static_cast<std::int32_t>(U32(t, pos));
      level_counts.push_back(U8(t, pos + 12));
      lists.overrides.push_back(std::move(o));
    }
    // Then, per override, a position and its level overrides.
    for (std::size_t i = 0; i < lists.overrides.size(); ++i) {
      if (!Fits(t, pos, 4))
        break;
      pos += 4;
      bool ok = true;
      for (int k = 0; k < level_counts[i] && ok; ++k) {
        if (!Fits(t, pos, 8)) {
          ok = false;
          break;
        }
        std::int32_t start =
            std::clamp<std::int32_t>(static_cast<std::int32_t>(U32(t, pos)), 0, 1 << 30);
        std::uint32_t flags = U32(t, pos + 4);
        int ilvl = flags & 0x0F;
        pos += 8;
        if (flags & 0x10)
          lists.overrides[i].start_at[ilvl] = start;
        if (flags & 0x20) {
          Level level;
          ok = ReadLevel(t, pos, level);
          if (ok)
            lists.overrides[i].levels[ilvl] = std::move(level);
        }
      }
      if (!ok)
        break;
    }
  }
  return lists;
}

std::string Letters(int n, bool upper) {
  if (n <= 0)
    return std::to_string(n);
  // Word repeats the letter: a ... z, aa ... zz, aaa ...
  int repeat = (n - 1) / 26 + 1;
  if (repeat > 32)
    return std::to_string(n);
  char c = static_cast<char>((upper ? 'A' : 'a') + (n - 1) % 26);
  return std::string(static_cast<std::size_t>(repeat), c);
}

}  // namespace

std::string FormatNumber(int n, int nfc) {
  switch (nfc) {
    case 1:
      return RomanNumeral(n, true);
    case 2:
      return RomanNumeral(n, false);
    case 3:
      return Letters(n, true);
    case 4:
      return Letters(n, false);
    case 5: {
      int tens = n % 100;
      const char* suffix = "th";
      if (tens < 11 || tens > 13) {
        if (n % 10 == 1)
          suffix = "st";
        if (n % 10 == 2)
          suffix = "nd";
        if (n % 10 == 3)
          suffix = "rd";
      }
      return std::to_string(n) + suffix;
    }
    case 22:
      return n < 10 && n >= 0 ? "0" + std::to_string(n) : std::to_string(n);
    case 23:
    case 255:
      return {};
    default:
      return std::to_string(n);
  }
}

char32_t MapSymbol(char32_t c) {
  if (c < 0xF000 || c > 0xF0FF)
    return c;
  switch (c & 0xFF) {
    case 0xB7:
      return 0x2022;  // bullet
    case 0xA7:
      return 0x25AA;  // small square
    case 0xD8:
      return 0x27A2;  // arrowhead
    case 0xFC:
      return 0x2713;  // check mark
    case 0x76:
      return 0x2756;  // diamond
    case 0x6F:
    case 0x71:
      return 0x25A1;  // hollow square
    case 0x6E:
      return 0x25A0;  // black square
    case 0x2D:
      return 0x2013;
    default:
      return 0x2022;
  }
}

namespace {

class TableNumberer : public ListNumberer {
 public:
  explicit TableNumberer(Lists lists) : lists_(std::move(lists)) {}

  std::string Label(int ilfo, int ilvl) override {
    if (ilfo <= 0 || ilfo > static_cast<int>(lists_.overrides.size()) || ilvl < 0 || ilvl > 8)
      return {};
    const ListOverride& o = lists_.overrides[ilfo - 1];
    if (by_id_.empty())
      for (const ListDef& d : lists_.defs)
        by_id_.emplace(d.lsid, &d);
    auto found = by_id_.find(o.lsid);
    const ListDef* def = found == by_id_.end() ? nullptr : found->second;
    if (!def || def->levels.empty())
      return {};
    auto level_of = [&](int k) -> const Level* {
      auto it = o.levels.find(k);
      if (it != o.levels.end())
        return &it->second;
      if (k < static_cast<int>(def->levels.size()))
        return &def->levels[k];
      return nullptr;
    };
    const Level* level = level_of(ilvl);
    if (!level)
      return {};
    State& state = states_[o.lsid];
    if (!used_overrides_[ilfo]) {
      used_overrides_[ilfo] = true;
      for (const auto& [k, start] : o.start_at) {
        if (k >= 0 && k < 9) {
          state.count[k] = start - 1;
          state.started[k] = true;
        }
      }
    }
    if (state.started[ilvl]) {
      ++state.count[ilvl];
    } else {
      state.count[ilvl] = level->start;
      state.started[ilvl] = true;
    }
    for (int k = ilvl + 1; k < 9; ++k) {
      const Level* deeper = level_of(k);
      if (!deeper || !deeper->no_restart)
        state.started[k] = false;
    }
    std::string label;
    for (char16_t ch : level->text) {
      if (ch < 9) {
        const Level* ref = level_of(ch);
        int value = state.started[ch] ? state.count[ch] : (ref ? ref->start : 1);
        int nfc = ref ? ref->nfc : 0;
        if (level->legal)
          nfc = 0;
        label += FormatNumber(value, nfc);
      } else {
        AppendUtf8(label, MapSymbol(ch));
      }
    }
    return label;
  }

 private:
  struct State {
    std::array<int, 9> count{};
    std::array<bool, 9> started{};
  };
  Lists lists_;
  std::map<std::int32_t, State> states_;
  std::map<int, bool> used_overrides_;
  std::map<std::int32_t, const ListDef*> by_id_;
};

}  // namespace

std::unique_ptr<ListNumberer> MakeListNumberer(std::string_view t, FcLcb lst, FcLcb lfo) {
  return std::make_unique<TableNumberer>(ParseLists(t, lst, lfo));
}

}  // namespace quillon::docengine::msdoc
