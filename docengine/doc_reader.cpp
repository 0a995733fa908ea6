#include "docengine/doc_reader.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "charset/code_page.h"
#include "docengine/doc_crypto.h"
#include "docengine/model_building.h"
#include "docengine/numbering.h"
#include "docengine/ole_storage.h"

namespace quillon::docengine {

namespace msdoc {
namespace {

constexpr const char* kNotWordMessage = "The file is not a Word document or is damaged.";
constexpr const char* kDamagedMessage = "The Word document is damaged.";
constexpr const char* kTooLargeMessage = "The document is too large to open.";

// ---------------------------------------------------------------------------
// Little-endian access that never reads outside the buffer: an offset past
// the end reads as zero, and callers check sizes where a zero would mislead.

std::uint8_t U8(std::string_view s, std::size_t at) {
  return at < s.size() ? static_cast<std::uint8_t>(s[at]) : 0;
}
std::uint16_t U16(std::string_view s, std::size_t at) {
  return static_cast<std::uint16_t>(U8(s, at) | (U8(s, at + 1) << 8));
}
std::uint32_t U32(std::string_view s, std::size_t at) {
  return U16(s, at) | (static_cast<std::uint32_t>(U16(s, at + 2)) << 16);
}
bool Fits(std::string_view s, std::uint64_t at, std::uint64_t size) {
  return at <= s.size() && size <= s.size() - at;
}
std::string_view Slice(std::string_view s, std::uint64_t at, std::uint64_t size) {
  if (!Fits(s, at, size))
    return {};
  return s.substr(static_cast<std::size_t>(at), static_cast<std::size_t>(size));
}

// ---------------------------------------------------------------------------
// File information block.

struct FcLcb {
  std::uint32_t fc = 0;
  std::uint32_t lcb = 0;
};

// Positions of the (fc, lcb) pairs we use, as numbered in the Word 97 block;
// Word 6 and 95 keep the same order for the first ones.
enum FcIndex {
  kStshf = 1,
  kPlcffndRef = 2,
  kPlcffndTxt = 3,
  kPlcfandRef = 4,
  kPlcfandTxt = 5,
  kPlcfSed = 6,
  kPlcfBteChpx = 12,
  kPlcfBtePapx = 13,
  kDop = 31,
  kClx = 33,
  kGrpXstAtnOwners = 36,
  kPlcfendRef = 46,
  kPlcfendTxt = 47,
  kPlfLst = 73,
  kPlfLfo = 74,
};

struct Fib {
  std::uint16_t nfib = 0;
  std::uint16_t lid = 0;
  std::uint16_t lid_fe = 0;
  bool complex = false;
  bool encrypted = false;
  bool obfuscated = false;
  bool table1 = false;
  bool far_east = false;
  std::uint32_t lkey = 0;
  std::uint32_t fc_min = 0, fc_mac = 0;  // Word 6 / 95: contiguous text
  std::int64_t ccp_text = 0, ccp_ftn = 0, ccp_hdd = 0, ccp_mcr = 0, ccp_atn = 0, ccp_edn = 0;
  std::vector<FcLcb> pairs;

  bool word97() const { return nfib > 105; }  // Word 6 and 95 stop at 105
  FcLcb at(int index) const {
    return index >= 0 && static_cast<std::size_t>(index) < pairs.size() ? pairs[index] : FcLcb{};
  }
};

// With `base_only`, stops after the first 32 bytes: the rest of an encrypted
// file's block is unreadable until decrypted.
bool ParseFib(std::string_view w, Fib& fib, std::string& error, bool base_only = false) {
  if (w.size() < 0x20 || (U16(w, 0) != 0xA5EC && U16(w, 0) != 0xA5DC)) {
    // Word 6 and 95 files carry the same identifier; anything else is not
    // a Word file (or it is one of the Word 2 era, which we do not read).
    error = kNotWordMessage;
    return false;
  }
  fib.nfib = U16(w, 2);
  fib.lid = U16(w, 6);
  std::uint16_t flags = U16(w, 0x0A);
  fib.complex = flags & 0x0004;
  fib.encrypted = flags & 0x0100;
  fib.table1 = flags & 0x0200;
  fib.far_east = flags & 0x4000;
  fib.obfuscated = flags & 0x8000;
  fib.lkey = U32(w, 0x0E);
  fib.fc_min = U32(w, 0x18);
  fib.fc_mac = U32(w, 0x1C);
  if (fib.nfib < 101) {
    error = kNotWordMessage;
    return false;
  }
  if (base_only)
    return true;
  if (fib.nfib <= 105) {
    // Word 6 and 95: one fixed layout.
    if (w.size() < 0x58 + 8 * 75) {
      error = kDamagedMessage;
      return false;
    }
    fib.ccp_text = U32(w, 0x34);
    fib.ccp_ftn = U32(w, 0x38);
    fib.ccp_hdd = U32(w, 0x3C);
    fib.ccp_mcr = U32(w, 0x40);
    fib.ccp_atn = U32(w, 0x44);
    fib.ccp_edn = U32(w, 0x48);
    for (int i = 0; i < 75; ++i)
      fib.pairs.push_back({U32(w, 0x58 + 8 * i), U32(w, 0x5C + 8 * i)});
    return true;
  }
  std::size_t pos = 0x20;
  std::uint16_t csw = U16(w, pos);
  pos += 2;
  if (!Fits(w, pos, csw * 2u)) {
    error = kDamagedMessage;
    return false;
  }
  if (csw >= 14)
    fib.lid_fe = U16(w, pos + 13 * 2);
  pos += csw * 2u;
  std::uint16_t cslw = U16(w, pos);
  pos += 2;
  if (!Fits(w, pos, cslw * 4u) || cslw < 9) {
    error = kDamagedMessage;
    return false;
  }
  fib.ccp_text = U32(w, pos + 3 * 4);
  fib.ccp_ftn = U32(w, pos + 4 * 4);
  fib.ccp_hdd = U32(w, pos + 5 * 4);
  fib.ccp_atn = U32(w, pos + 7 * 4);
  fib.ccp_edn = U32(w, pos + 8 * 4);
  pos += cslw * 4u;
  std::uint16_t count = U16(w, pos);
  pos += 2;
  if (!Fits(w, pos, count * 8u)) {
    error = kDamagedMessage;
    return false;
  }
  for (int i = 0; i < count; ++i)
    fib.pairs.push_back({U32(w, pos + 8 * i), U32(w, pos + 8 * i + 4)});
  return true;
}

// ---------------------------------------------------------------------------
// Properties: the part of character and paragraph formatting the text needs.

struct CharProps {
  bool hidden = false;
  bool deleted = false;
  bool inserted = false;
  bool special = false;
  std::uint16_t lang = 0;
  std::uint16_t lang_fe = 0;
  char32_t symbol = 0;
};

struct ParaProps {
  bool in_table = false;
  bool ttp = false;
  bool inner_cell = false;
  bool inner_ttp = false;
  int itap = -1;  // -1: not given
  int ilfo = 0;
  int ilvl = 0;
  int istd = 0;
  int depth() const { return itap >= 0 ? itap : (in_table ? 1 : 0); }
};

// Size of a property modifier's operand (after its 2-byte opcode), or
// nothing when the operand does not fit.
std::optional<std::size_t> SprmOperandSize(std::uint16_t sprm, std::string_view g, std::size_t at) {
  switch (sprm >> 13) {
    case 0:
    case 1:
      return 1;
    case 2:
    case 4:
    case 5:
      return 2;
    case 3:
      return 4;
    case 7:
      return 3;
    default:
      break;
  }
  if (at >= g.size())
    return std::nullopt;
  if (sprm == 0xD608 || sprm == 0xD609) {  // table definitions: 16-bit size
    if (at + 2 > g.size())
      return std::nullopt;
    std::size_t cb = U16(g, at);
    return cb == 0 ? 2 : cb + 1;
  }
  if (sprm == 0xC615 && U8(g, at) == 255) {  // tab changes of the long form
    std::size_t p = at + 1;
    std::size_t del = U8(g, p);
    p += 1 + 4 * del;
    std::size_t add = U8(g, p);
    p += 1 + 3 * add;
    return p - at;
  }
  return 1 + static_cast<std::size_t>(U8(g, at));
}

// Calls f(sprm, operand) for each modifier of a property list.
template <typename F>
void ForEachSprm(std::string_view g, F&& f) {
  std::size_t pos = 0;
  while (pos + 2 <= g.size()) {
    std::uint16_t sprm = U16(g, pos);
    auto size = SprmOperandSize(sprm, g, pos + 2);
    if (!size || !Fits(g, pos + 2, *size))
      return;
    f(sprm, g.substr(pos + 2, *size));
    pos += 2 + *size;
  }
}

// A toggle operand: 0 off, 1 on, 0x80 as the style, 0x81 opposite of it.
bool Toggle(bool current, std::uint8_t v) {
  if (v == 0x80)
    return current;
  if (v == 0x81)
    return !current;
  return v != 0;
}

// ---------------------------------------------------------------------------
// Style sheet: for every style the chain of property lists it inherits.

struct Style {
  int stk = 0;  // 1 paragraph, 2 character
  int base = 0x0FFF;
  std::string_view papx;
  std::string_view chpx;
  bool present = false;
};

struct StyleSheet {
  std::vector<Style> styles;

  // The chain from the root style down to `istd`.
  std::vector<const Style*> Chain(int istd) const {
    std::vector<const Style*> chain;
    for (int guard = 0; guard < 16 && istd >= 0 && istd < static_cast<int>(styles.size());
         ++guard) {
      const Style& s = styles[istd];
      if (!s.present)
        break;
      chain.push_back(&s);
      if (s.base == istd)
        break;
      istd = s.base;
    }
    std::reverse(chain.begin(), chain.end());
    return chain;
  }
};

StyleSheet ParseStyles(std::string_view t, FcLcb where) {
  StyleSheet sheet;
  std::string_view s = Slice(t, where.fc, where.lcb);
  if (s.size() < 4)
    return sheet;
  std::size_t cb_stshi = U16(s, 0);
  std::string_view stshi = Slice(s, 2, cb_stshi);
  if (stshi.size() < 4)
    return sheet;
  std::size_t cstd = U16(stshi, 0);
  std::size_t cb_base = U16(stshi, 2);
  std::size_t pos = 2 + cb_stshi;
  for (std::size_t i = 0; i < cstd && pos + 2 <= s.size(); ++i) {
    std::size_t cb = U16(s, pos);
    std::string_view std_bytes = Slice(s, pos + 2, cb);
    pos += 2 + cb;
    Style style;
    if (cb != 0 && std_bytes.size() == cb && cb >= cb_base && cb_base >= 10) {
      style.present = true;
      style.stk = U16(std_bytes, 2) & 0x000F;
      style.base = U16(std_bytes, 2) >> 4;
      int cupx = U16(std_bytes, 4) & 0x000F;
      std::size_t p = cb_base;
      std::size_t name_chars = U16(std_bytes, p);
      p += 2 + name_chars * 2 + 2;  // name with its terminator
      std::vector<std::string_view> upx;
      for (int k = 0; k < cupx && p + 2 <= std_bytes.size(); ++k) {
        std::size_t len = U16(std_bytes, p);
        std::string_view body = Slice(std_bytes, p + 2, len);
        if (body.size() != len)
          break;
        upx.push_back(body);
        p += 2 + len + (len & 1);
      }
      if (style.stk == 1) {
        if (upx.size() >= 1 && upx[0].size() >= 2)
          style.papx = upx[0].substr(2);
        if (upx.size() >= 2)
          style.chpx = upx[1];
      } else if (style.stk == 2) {
        if (!upx.empty())
          style.chpx = upx[0];
      }
    }
    sheet.styles.push_back(style);
  }
  return sheet;
}

// ---------------------------------------------------------------------------
// Formatted disk pages: runs of byte positions (in the main stream) with
// their property lists.

struct FkpRun {
  std::uint32_t fc_begin = 0, fc_end = 0;
  std::string_view grpprl;
  int istd = 0;
};

class FkpRuns {
 public:
  void Add(FkpRun run) { runs_.push_back(run); }
  void Finish() {
    std::stable_sort(runs_.begin(), runs_.end(),
                     [](const FkpRun& a, const FkpRun& b) { return a.fc_begin < b.fc_begin; });
  }
  // The run holding byte position `fc`, or -1.
  int Find(std::uint32_t fc) const {
    auto it = std::upper_bound(runs_.begin(), runs_.end(), fc,
                               [](std::uint32_t v, const FkpRun& r) { return v < r.fc_begin; });
    if (it == runs_.begin())
      return -1;
    --it;
    if (fc >= it->fc_end)
      return -1;
    return static_cast<int>(it - runs_.begin());
  }
  const FkpRun& operator[](int i) const { return runs_[i]; }

 private:
  std::vector<FkpRun> runs_;
};

// Page numbers of a bin table (the PLC after its n+1 positions).
std::vector<std::uint32_t> BinTablePages(std::string_view plc, std::size_t entry_size) {
  std::vector<std::uint32_t> pages;
  if (plc.size() < 4)
    return pages;
  std::size_t n = (plc.size() - 4) / (4 + entry_size);
  std::size_t base = (n + 1) * 4;
  for (std::size_t i = 0; i < n; ++i) {
    std::uint32_t pn =
        entry_size == 2 ? U16(plc, base + 2 * i) : (U32(plc, base + 4 * i) & 0x3FFFFF);
    pages.push_back(pn);
  }
  return pages;
}

void ReadChpxPages(std::string_view w, std::string_view plc, std::size_t bte_size, FkpRuns& out) {
  for (std::uint32_t pn : BinTablePages(plc, bte_size)) {
    std::string_view page = Slice(w, std::uint64_t{pn} * 512, 512);
    if (page.size() != 512)
      continue;
    std::size_t crun = U8(page, 511);
    if ((crun + 1) * 4 + crun > 511)
      continue;
    for (std::size_t i = 0; i < crun; ++i) {
      FkpRun run;
      run.fc_begin = U32(page, 4 * i);
      run.fc_end = U32(page, 4 * (i + 1));
      std::size_t b = U8(page, 4 * (crun + 1) + i);
      if (b != 0) {
        std::size_t off = b * 2;
        std::size_t cb = U8(page, off);
        run.grpprl = Slice(page, off + 1, cb);
      }
      out.Add(run);
    }
  }
  out.Finish();
}

void ReadPapxPages(std::string_view w, std::string_view data_stream, std::string_view plc,
                   std::size_t bte_size, bool word97, FkpRuns& out) {
  std::size_t bx_size = word97 ? 13 : 7;
  for (std::uint32_t pn : BinTablePages(plc, bte_size)) {
    std::string_view page = Slice(w, std::uint64_t{pn} * 512, 512);
    if (page.size() != 512)
      continue;
    std::size_t cpara = U8(page, 511);
    if ((cpara + 1) * 4 + cpara * bx_size > 511)
      continue;
    for (std::size_t i = 0; i < cpara; ++i) {
      FkpRun run;
      run.fc_begin = U32(page, 4 * i);
      run.fc_end = U32(page, 4 * (i + 1));
      std::size_t b = U8(page, 4 * (cpara + 1) + bx_size * i);
      if (b != 0) {
        std::size_t off = b * 2;
        std::size_t cb = U8(page, off);
        std::string_view body;
        if (word97) {
          body = cb != 0 ? Slice(page, off + 1, 2 * cb - 1)
                         : Slice(page, off + 2, 2 * U8(page, off + 1));
        } else {
          body = Slice(page, off + 1, 2 * cb);
        }
        if (body.size() >= 2) {
          run.istd = word97 ? U16(body, 0) : U8(body, 0);
          run.grpprl = body.substr(word97 ? 2 : 1);
          // A property list too large for the page lives in the data stream.
          if (word97 && run.grpprl.size() >= 6 && U16(run.grpprl, 0) == 0x6646) {
            std::uint32_t at = U32(run.grpprl, 2);
            std::size_t size = U16(data_stream, at);
            std::string_view huge = Slice(data_stream, std::uint64_t{at} + 2, size);
            if (huge.size() == size)
              run.grpprl = huge;
          }
        }
      }
      out.Add(run);
    }
  }
  out.Finish();
}

// ---------------------------------------------------------------------------
// Piece table.

struct Piece {
  std::int64_t cp_begin = 0, cp_end = 0;
  std::uint32_t fc = 0;  // byte position of the first character
  bool compressed = false;
  std::uint16_t prm = 0;
};

struct PieceTable {
  std::vector<Piece> pieces;
  std::vector<std::string_view> prcs;  // property lists the pieces may name
};

bool ParsePieceTable(std::string_view clx, bool word97, PieceTable& table) {
  std::size_t pos = 0;
  while (pos < clx.size()) {
    std::uint8_t type = U8(clx, pos);
    if (type == 1) {
      std::size_t cb = U16(clx, pos + 1);
      std::string_view g = Slice(clx, pos + 3, cb);
      if (g.size() != cb)
        return false;
      table.prcs.push_back(g);
      pos += 3 + cb;
    } else if (type == 2) {
      std::size_t lcb = U32(clx, pos + 1);
      std::string_view plc = Slice(clx, pos + 5, lcb);
      if (plc.size() != lcb || lcb < 4)
        return false;
      std::size_t n = (lcb - 4) / 12;
      for (std::size_t i = 0; i < n; ++i) {
        Piece p;
        p.cp_begin = U32(plc, 4 * i);
        p.cp_end = U32(plc, 4 * (i + 1));
        std::size_t d = 4 * (n + 1) + 8 * i;
        std::uint32_t fc = U32(plc, d + 2);
        p.prm = U16(plc, d + 6);
        if (word97 && (fc & 0x40000000)) {
          p.compressed = true;
          p.fc = (fc & 0x3FFFFFFF) / 2;
        } else {
          p.compressed = !word97;
          p.fc = fc;
        }
        if (p.cp_end > p.cp_begin)
          table.pieces.push_back(p);
      }
      std::sort(table.pieces.begin(), table.pieces.end(),
                [](const Piece& a, const Piece& b) { return a.cp_begin < b.cp_begin; });
      // Overlapping pieces would make one position read twice (and a
      // hostile table read the text many times over): keep the first.
      std::vector<Piece> kept;
      for (const Piece& p : table.pieces)
        if (kept.empty() || p.cp_begin >= kept.back().cp_end)
          kept.push_back(p);
      table.pieces = std::move(kept);
      return true;
    } else {
      return false;
    }
  }
  return false;
}

// The compressed 8-bit form maps as Windows-1252.
char32_t Cp1252(std::uint8_t b) {
  static const char16_t k80[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                   0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                   0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                   0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  if (b >= 0x80 && b < 0xA0)
    return k80[b - 0x80];
  return b;
}

// ---------------------------------------------------------------------------
// Lists.

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

// Symbol-font characters (private use area) as the characters they look like.
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

class ListNumberer {
 public:
  explicit ListNumberer(const Lists& lists) : lists_(lists) {}

  // The label of a paragraph in list override `ilfo` (1-based) at `ilvl`.
  std::string Label(int ilfo, int ilvl) {
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
  const Lists& lists_;
  std::map<std::int32_t, State> states_;
  std::map<int, bool> used_overrides_;
  std::map<std::int32_t, const ListDef*> by_id_;
};

// ---------------------------------------------------------------------------
// Story text: the characters of a range of positions, each with the byte
// position its formatting is looked up by.

struct StoryText {
  std::vector<char32_t> chars;
  std::vector<std::uint32_t> fcs;
  std::vector<std::uint32_t> pieces;  // index into the piece table
};

// ---------------------------------------------------------------------------
// The reader proper.

struct NoteRef {
  std::int64_t cp = 0;
  bool automatic = true;
};

class DocParser {
 public:
  DocParser(const OpenOptions& options, Document& doc) : options_(options), doc_(doc) {}

  ReadResult Parse(std::string_view data);

 private:
  ReadResult ReadWord97Or6();
  bool LoadText(std::int64_t cp_begin, std::int64_t cp_end, StoryText& out);
  CharProps ResolveChar(int para_istd, int chpx_run, std::uint32_t piece) const;
  ParaProps ResolvePara(std::uint32_t fc, std::uint32_t piece) const;
  void BuildStory(std::int64_t cp_begin, std::int64_t cp_end, int story_kind,
                  std::vector<Block>& out);
  std::vector<NoteRef> ReadNoteRefs(FcLcb where) const;
  std::vector<std::int64_t> ReadCps(FcLcb where) const;
  void ReadNotes(FcLcb ref, FcLcb txt, std::int64_t story_begin, std::int64_t story_size, int nfc,
                 std::vector<Note>& out, std::map<std::int64_t, std::string>& marks);
  void ReadComments(std::int64_t story_begin, std::int64_t story_size);
  void ReadSummary();
  void ReadPageSetup();
  void ReadProtection();
  int Word6CodePage() const;

  const OpenOptions& options_;
  Document& doc_;
  std::unique_ptr<OleStorage> storage_;
  std::string word_, table_, data_;
  Fib fib_;
  PieceTable pieces_;
  StyleSheet styles_;
  FkpRuns chpx_, papx_;
  Lists lists_;
  std::unique_ptr<ListNumberer> numberer_;
  std::map<std::int64_t, std::string> note_marks_;  // main-text position -> mark
  std::size_t text_chars_ = 0;
  std::uint32_t field_counter_ = 0;  // fields numbered across every story
  // Characters the stories may still load: each position once, plus a
  // little for note marks. A damaged table of notes that names the same
  // text again and again runs out of it.
  std::uint64_t load_budget_ = 0;
  bool too_large_ = false;
  bool damaged_ = false;
  int code_page_ = 1252;
};

// Story kinds: what a footnote reference character turns into.
enum StoryKind { kMainStory = 0, kNoteStory = 1, kOtherStory = 2 };

std::size_t StreamLimit(const OpenOptions& options) {
  return std::min(options.limits.max_input_bytes, options.limits.max_inflated_bytes);
}

ReadResult DocParser::Parse(std::string_view data) {
  if (data.size() > options_.limits.max_input_bytes)
    return ReadResult::Failure(kTooLargeMessage);
  std::string error;
  storage_ = OleStorage::Open(data, error);
  if (!storage_)
    return ReadResult::Failure(kNotWordMessage);
  if (storage_->HasStream("EncryptionInfo") || storage_->HasStream("EncryptedPackage"))
    return ReadResult::Failure(kPasswordIncorrectMessage);
  std::size_t limit = StreamLimit(options_);
  auto word = storage_->ReadStream("WordDocument", limit);
  if (!word) {
    if (storage_->HasStream("WordDocument"))
      return ReadResult::Failure(kTooLargeMessage);
    return ReadResult::Failure(kNotWordMessage);
  }
  word_ = std::move(*word);
  if (!ParseFib(word_, fib_, error, true))
    return ReadResult::Failure(error);
  if (!fib_.encrypted && !ParseFib(word_, fib_, error))
    return ReadResult::Failure(error);
  if (fib_.word97()) {
    auto table = storage_->ReadStream(fib_.table1 ? "1Table" : "0Table", limit);
    if (!table)
      return ReadResult::Failure(kDamagedMessage);
    table_ = std::move(*table);
    if (auto d = storage_->ReadStream("Data", limit))
      data_ = std::move(*d);
    if (word_.size() + table_.size() + data_.size() > options_.limits.max_inflated_bytes)
      return ReadResult::Failure(kTooLargeMessage);
  }
  if (fib_.encrypted) {
    if (!fib_.word97() || fib_.obfuscated)
      return ReadResult::Failure(kPasswordIncorrectMessage);
    DocDecryptor decryptor;
    std::string_view header = Slice(table_, 0, std::min<std::size_t>(fib_.lkey, table_.size()));
    if (decryptor.Init(header, options_.password) != DocDecryptor::Status::kOk)
      return ReadResult::Failure(kPasswordIncorrectMessage);
    decryptor.DecryptStream(word_, 68);
    decryptor.DecryptStream(table_, header.size());
    decryptor.DecryptStream(data_, 0);
    Fib decrypted;
    if (!ParseFib(word_, decrypted, error))
      return ReadResult::Failure(kDamagedMessage);
    decrypted.encrypted = true;
    fib_ = decrypted;
  }
  return ReadWord97Or6();
}

int DocParser::Word6CodePage() const {
  // Word 6 and 95 store 8-bit text in the code page of the system that
  // wrote it; the language of the file tells it best.
  switch (fib_.lid & 0x3FF) {
    case 0x11:
      return 932;
    case 0x04:
      return (fib_.lid == 0x0404 || fib_.lid == 0x0C04 || fib_.lid == 0x1404) ? 950 : 936;
    case 0x12:
      return 949;
    case 0x19:
    case 0x22:
    case 0x23:
    case 0x02:
    case 0x1C + 0x100:
      return 1251;
    case 0x05:
    case 0x0E:
    case 0x15:
    case 0x18:
    case 0x1A:
    case 0x1B:
    case 0x24:
    case 0x1C:
      return 1250;
    case 0x08:
      return 1253;
    case 0x1F:
      return 1254;
    case 0x0D:
      return 1255;
    case 0x01:
      return 1256;
    case 0x25:
    case 0x26:
    case 0x27:
      return 1257;
    case 0x1E:
      return 874;
    default:
      return 1252;
  }
}

bool DocParser::LoadText(std::int64_t cp_begin, std::int64_t cp_end, StoryText& out) {
  if (cp_end <= cp_begin)
    return true;
  if (static_cast<std::uint64_t>(cp_end - cp_begin) > options_.limits.max_text_chars) {
    too_large_ = true;
    return false;
  }
  if (cp_end - cp_begin > 1 && static_cast<std::uint64_t>(cp_end - cp_begin) > load_budget_) {
    damaged_ = true;
    return false;
  }
  if (cp_end - cp_begin > 1)
    load_budget_ -= static_cast<std::uint64_t>(cp_end - cp_begin);
  for (std::size_t pi = 0; pi < pieces_.pieces.size(); ++pi) {
    const Piece& p = pieces_.pieces[pi];
    std::int64_t a = std::max(cp_begin, p.cp_begin);
    std::int64_t b = std::min(cp_end, p.cp_end);
    if (a >= b)
      continue;
    std::uint64_t offset = static_cast<std::uint64_t>(a - p.cp_begin);
    std::uint64_t count = static_cast<std::uint64_t>(b - a);
    if (p.compressed && !fib_.word97() && code_page_ != 1252) {
      // 8-bit text in a multi-byte or non-Latin code page: decode the piece
      // in one go, character positions then only approximate.
      std::string_view bytes = Slice(word_, p.fc + offset, count);
      std::string utf8 = CodePageToUtf8(bytes, code_page_);
      std::size_t i = 0;
      while (i < utf8.size()) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        char32_t cp = c;
        int len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        if (len > 1) {
          cp = c & (0xFF >> (len + 1));
          for (int k = 1; k < len && i + k < utf8.size(); ++k)
            cp = (cp << 6) | (utf8[i + k] & 0x3F);
        }
        i += len;
        out.chars.push_back(cp);
        out.fcs.push_back(p.fc);
        out.pieces.push_back(static_cast<std::uint32_t>(pi));
      }
      continue;
    }
    for (std::uint64_t k = 0; k < count; ++k) {
      std::uint64_t fc = p.compressed ? p.fc + offset + k : p.fc + 2 * (offset + k);
      char32_t c;
      if (p.compressed) {
        if (fc >= word_.size())
          return false;
        c = Cp1252(U8(word_, fc));
      } else {
        if (!Fits(word_, fc, 2))
          return false;
        c = U16(word_, fc);
        // Join surrogate pairs when both halves lie in the piece.
        if (c >= 0xD800 && c < 0xDC00 && k + 1 < count && Fits(word_, fc + 2, 2)) {
          char32_t low = U16(word_, fc + 2);
          if (low >= 0xDC00 && low < 0xE000) {
            out.chars.push_back(0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00));
            out.fcs.push_back(static_cast<std::uint32_t>(fc));
            out.pieces.push_back(static_cast<std::uint32_t>(pi));
            // The low half keeps a slot so that positions stay aligned.
            out.chars.push_back(0);
            out.fcs.push_back(static_cast<std::uint32_t>(fc + 2));
            out.pieces.push_back(static_cast<std::uint32_t>(pi));
            ++k;
            continue;
          }
        }
      }
      out.chars.push_back(c);
      out.fcs.push_back(static_cast<std::uint32_t>(fc));
      out.pieces.push_back(static_cast<std::uint32_t>(pi));
    }
  }
  return true;
}

void ApplyCharSprms(std::string_view g, const StyleSheet& styles, CharProps& p, int depth = 0) {
  ForEachSprm(g, [&](std::uint16_t sprm, std::string_view op) {
    switch (sprm) {
      case 0x0800:
        p.deleted = U8(op, 0) != 0;
        break;
      case 0x0801:
        p.inserted = U8(op, 0) != 0;
        break;
      case 0x083C:
        p.hidden = Toggle(p.hidden, U8(op, 0));
        break;
      case 0x0855:
        p.special = U8(op, 0) != 0;
        break;
      case 0x486D:
      case 0x4873:
        p.lang = U16(op, 0);
        break;
      case 0x486E:
      case 0x4874:
        p.lang_fe = U16(op, 0);
        break;
      case 0x6A09:
        p.symbol = U16(op, 2);
        break;
      case 0x4A30: {
        int istd = U16(op, 0);
        if (depth < 2 && istd < static_cast<int>(styles.styles.size())) {
          for (const Style* s : styles.Chain(istd))
            if (s->stk == 2)
              ApplyCharSprms(s->chpx, styles, p, depth + 1);
        }
        break;
      }
      default:
        break;
    }
  });
}

// The same modifiers as Word 6 and 95 number them (one-byte opcodes with
// fixed or counted operands).
void ApplyParaSprms6(std::string_view g, ParaProps& p) {
  std::size_t pos = 0;
  while (pos < g.size()) {
    std::uint8_t sprm = U8(g, pos);
    std::size_t size;
    // Operand sizes of the one-byte opcodes that paragraph lists use.
    static const signed char kSizes[] = {0, 0, 2, -1, 1, 1,  1, 1, 1, 1, 1, 1, -1, 1, 1, -1, 2, 2,
                                         2, 2, 4, 2,  2, -1, 1, 1, 2, 2, 2, 1, 2,  2, 2, 2,  2, 2,
                                         2, 1, 2, 2,  2, 2,  2, 2, 1, 2, 2, 2, 2,  2, 1, 1};
    if (sprm < sizeof(kSizes)) {
      size = kSizes[sprm] < 0 ? 1 + U8(g, pos + 1) : static_cast<std::size_t>(kSizes[sprm]);
    } else {
      return;  // unknown to us: the rest cannot be parsed safely
    }
    if (!Fits(g, pos + 1, size))
      return;
    if (sprm == 24)
      p.in_table = U8(g, pos + 1) != 0;
    if (sprm == 25)
      p.ttp = U8(g, pos + 1) != 0;
    pos += 1 + size;
  }
}

void ApplyParaSprms(std::string_view g, ParaProps& p) {
  ForEachSprm(g, [&](std::uint16_t sprm, std::string_view op) {
    switch (sprm) {
      case 0x2416:
        p.in_table = U8(op, 0) != 0;
        break;
      case 0x2417:
        p.ttp = U8(op, 0) != 0;
        break;
      case 0x6649:
        p.itap = static_cast<int>(std::min<std::uint32_t>(U32(op, 0), 10000));
        break;
      case 0x664A: {
        std::int64_t delta = static_cast<std::int32_t>(U32(op, 0));
        std::int64_t depth = p.depth() + delta;
        p.itap = static_cast<int>(std::clamp<std::int64_t>(depth, 0, 10000));
        break;
      }
      case 0x244B:
        p.inner_cell = U8(op, 0) != 0;
        break;
      case 0x244C:
        p.inner_ttp = U8(op, 0) != 0;
        break;
      case 0x260A:
        p.ilvl = U8(op, 0);
        break;
      case 0x460B:
        p.ilfo = static_cast<std::int16_t>(U16(op, 0));
        break;
      default:
        break;
    }
  });
}

CharProps DocParser::ResolveChar(int para_istd, int chpx_run, std::uint32_t piece) const {
  CharProps p;
  for (const Style* s : styles_.Chain(para_istd))
    ApplyCharSprms(s->chpx, styles_, p);
  if (chpx_run >= 0)
    ApplyCharSprms(chpx_[chpx_run].grpprl, styles_, p);
  if (piece < pieces_.pieces.size()) {
    std::uint16_t prm = pieces_.pieces[piece].prm;
    if ((prm & 1) && (prm >> 1) < pieces_.prcs.size())
      ApplyCharSprms(pieces_.prcs[prm >> 1], styles_, p);
  }
  return p;
}

ParaProps DocParser::ResolvePara(std::uint32_t fc, std::uint32_t piece) const {
  ParaProps p;
  int run = papx_.Find(fc);
  if (run < 0)
    return p;
  p.istd = papx_[run].istd;
  if (!fib_.word97()) {
    ApplyParaSprms6(papx_[run].grpprl, p);
    return p;
  }
  for (const Style* s : styles_.Chain(p.istd))
    ApplyParaSprms(s->papx, p);
  ApplyParaSprms(papx_[run].grpprl, p);
  // A fast save may leave paragraph changes on the piece of the mark.
  if (piece < pieces_.pieces.size()) {
    std::uint16_t prm = pieces_.pieces[piece].prm;
    if ((prm & 1) && (prm >> 1) < pieces_.prcs.size())
      ApplyParaSprms(pieces_.prcs[prm >> 1], p);
  }
  return p;
}

// Builds blocks (paragraphs and tables) from paragraphs as they end.
class BlockBuilder {
 public:
  BlockBuilder(std::vector<Block>& out, int max_depth) : out_(out), max_depth_(max_depth) {}

  // `drop_row`: the row's end mark is a tracked deletion, so is the row.
  void AddParagraph(Paragraph paragraph, int depth, bool cell_end, bool row_end,
                    bool drop_row = false) {
    depth = std::clamp(depth, 0, max_depth_);
    while (static_cast<int>(open_.size()) > depth)
      CloseTable();
    while (static_cast<int>(open_.size()) < depth)
      open_.push_back({});
    if (depth == 0) {
      Target().push_back(Block::FromParagraph(std::move(paragraph)));
      return;
    }
    OpenTable& t = open_.back();
    if (row_end) {
      if (!t.cell.blocks.empty())
        t.row.cells.push_back(std::move(t.cell));
      t.cell = {};
      if (!t.row.cells.empty() && !drop_row)
        t.table.rows.push_back(std::move(t.row));
      t.row = {};
      return;
    }
    t.cell.blocks.push_back(Block::FromParagraph(std::move(paragraph)));
    if (cell_end) {
      t.row.cells.push_back(std::move(t.cell));
      t.cell = {};
    }
  }

  void Finish() {
    while (!open_.empty())
      CloseTable();
  }

 private:
  struct OpenTable {
    Table table;
    TableRow row;
    TableCell cell;
  };

  std::vector<Block>& Target() { return open_.empty() ? out_ : open_.back().cell.blocks; }

  void CloseTable() {
    OpenTable t = std::move(open_.back());
    open_.pop_back();
    if (!t.cell.blocks.empty())
      t.row.cells.push_back(std::move(t.cell));
    if (!t.row.cells.empty())
      t.table.rows.push_back(std::move(t.row));
    if (!t.table.rows.empty())
      Target().push_back(Block::FromTable(std::move(t.table)));
  }

  std::vector<Block>& out_;
  int max_depth_;
  std::vector<OpenTable> open_;
};

void DocParser::BuildStory(std::int64_t cp_begin, std::int64_t cp_end, int story_kind,
                           std::vector<Block>& out) {
  StoryText text;
  if (!LoadText(cp_begin, cp_end, text)) {
    if (too_large_)
      return;
  }
  BlockBuilder builder(out, std::max(1, options_.limits.max_depth));
  std::vector<bool> fields;         // per open field: still in its code part
  int code_depth = 0;               // how many of them are
  std::uint32_t current_field = 0;  // number of the outermost open field
  std::size_t n = text.chars.size();
  std::size_t i = 0;
  bool at_note_start = story_kind == kNoteStory;
  bool continuation = false;  // the rest of a paragraph after a page break
  // A paragraph whose mark is deleted or hidden runs on into the next one.
  Paragraph carried;
  bool have_carried = false;
  while (i < n) {
    std::size_t j = i;
    while (j < n && text.chars[j] != 0x0D && text.chars[j] != 0x07 && text.chars[j] != 0x0C)
      ++j;
    ParaProps pap = j < n ? ResolvePara(text.fcs[j], text.pieces[j]) : ParaProps{};
    Paragraph paragraph;
    if (have_carried) {
      if (pap.depth() == 0)
        paragraph = std::move(carried);
      else
        builder.AddParagraph(std::move(carried), 0, false, false);
      carried = {};
      have_carried = false;
    }
    int cached_run = -2;
    std::uint32_t cached_piece = 0xFFFFFFFF;
    CharProps chp;
    std::string chunk;
    Run chunk_style;
    auto flush = [&] {
      if (!chunk.empty())
        AppendRunText(paragraph.runs, chunk_style, chunk);
      chunk.clear();
    };
    for (std::size_t k = i; k < j; ++k) {
      char32_t c = text.chars[k];
      if (fib_.word97()) {
        int run = chpx_.Find(text.fcs[k]);
        if (run != cached_run || text.pieces[k] != cached_piece) {
          chp = ResolveChar(pap.istd, run, text.pieces[k]);
          cached_run = run;
          cached_piece = text.pieces[k];
        }
      }
      bool in_code = code_depth > 0;
      if (c == 0x13) {
        if (fields.size() < 1024) {
          if (fields.empty())
            current_field = ++field_counter_;
          fields.push_back(true);
          ++code_depth;
        }
        continue;
      }
      if (c == 0x14) {
        if (!fields.empty() && fields.back()) {
          fields.back() = false;
          --code_depth;
        }
        continue;
      }
      if (c == 0x15) {
        if (!fields.empty()) {
          if (fields.back())
            --code_depth;
          fields.pop_back();
          if (fields.empty())
            current_field = 0;
        }
        continue;
      }
      std::string piece_text;
      switch (c) {
        case 0x0B:
          piece_text = "\n";
          break;
        case 0x09:
          piece_text = "\t";
          break;
        case 0x1E:
          piece_text = "-";
          break;
        case 0x02:
          if (story_kind == kMainStory) {
            auto it = note_marks_.find(cp_begin + static_cast<std::int64_t>(k));
            if (it != note_marks_.end())
              piece_text = it->second;
          }
          break;
        default:
          if (c < 0x20 || c == 0)
            break;  // pictures, marks, separators
          if (chp.special && c == 0x28 && chp.symbol)
            c = chp.symbol;
          AppendUtf8(piece_text, MapSymbol(c));
          break;
      }
      if (piece_text.empty())
        continue;
      if (at_note_start) {
        // The note's own mark opens its text; the writer puts the mark.
        at_note_start = false;
        if (piece_text == " ")
          continue;
      }
      if (text_chars_ + piece_text.size() > options_.limits.max_text_chars) {
        too_large_ = true;
        return;
      }
      text_chars_ += piece_text.size();
      Run style;
      style.hidden = chp.hidden;
      style.deleted = chp.deleted;
      style.inserted = chp.inserted;
      style.field_code = in_code;
      style.field = current_field;
      style.lang = chp.lang;
      style.lang_fe = chp.lang_fe;
      if (!SameFormat(chunk_style, style)) {
        flush();
        chunk_style = style;
      }
      chunk += piece_text;
    }
    flush();
    if (at_note_start && j > i)
      at_note_start = false;
    int depth = pap.depth();
    bool terminator_cell = j < n && text.chars[j] == 0x07;
    bool cell_end = depth == 1 ? terminator_cell : depth > 1 && pap.inner_cell;
    bool row_end = depth == 1 ? pap.ttp && terminator_cell : depth > 1 && pap.inner_ttp;
    CharProps mark;
    if (j < n && fib_.word97())
      mark = ResolveChar(pap.istd, chpx_.Find(text.fcs[j]), text.pieces[j]);
    if (depth == 0 && j < n && text.chars[j] == 0x0D && (mark.deleted || mark.hidden)) {
      carried = std::move(paragraph);
      have_carried = true;
      i = j + 1;
      continue;
    }
    if (pap.ilfo > 0 && numberer_ && !row_end && !continuation) {
      paragraph.list_label = numberer_->Label(pap.ilfo, pap.ilvl);
      paragraph.list_level = pap.ilvl;
    }
    // A page break inside a paragraph splits it in two here; its label
    // stays with the first part. A section mark ends its paragraph: the
    // paragraph's formatting run ends right after it.
    continuation = false;
    if (j < n && text.chars[j] == 0x0C && fib_.word97()) {
      int run = papx_.Find(text.fcs[j]);
      bool wide =
          text.pieces[j] < pieces_.pieces.size() && !pieces_.pieces[text.pieces[j]].compressed;
      std::uint32_t next = text.fcs[j] + (wide ? 2 : 1);
      continuation = run >= 0 && papx_[run].fc_end != next;
    }
    // The last paragraph of a story has no mark of its own when the story
    // was cut; an empty tail adds nothing.
    if (j < n || !paragraph.runs.empty())
      builder.AddParagraph(std::move(paragraph), depth, cell_end, row_end, row_end && mark.deleted);
    i = j + 1;
  }
  if (have_carried)
    builder.AddParagraph(std::move(carried), 0, false, false);
  builder.Finish();
}

std::vector<std::int64_t> DocParser::ReadCps(FcLcb where) const {
  std::vector<std::int64_t> cps;
  std::string_view plc = Slice(table_, where.fc, where.lcb);
  for (std::size_t i = 0; i + 4 <= plc.size(); i += 4)
    cps.push_back(U32(plc, i));
  return cps;
}

std::vector<NoteRef> DocParser::ReadNoteRefs(FcLcb where) const {
  std::vector<NoteRef> refs;
  std::string_view plc = Slice(table_, where.fc, where.lcb);
  if (plc.size() < 4)
    return refs;
  std::size_t n = (plc.size() - 4) / 6;
  for (std::size_t i = 0; i < n; ++i) {
    NoteRef r;
    r.cp = U32(plc, 4 * i);
    r.automatic = U16(plc, 4 * (n + 1) + 2 * i) != 0;
    refs.push_back(r);
  }
  return refs;
}

void DocParser::ReadNotes(FcLcb ref, FcLcb txt, std::int64_t story_begin, std::int64_t story_size,
                          int nfc, std::vector<Note>& out,
                          std::map<std::int64_t, std::string>& marks) {
  std::vector<NoteRef> refs = ReadNoteRefs(ref);
  std::vector<std::int64_t> cps = ReadCps(txt);
  int automatic = 0;
  for (std::size_t i = 0; i < refs.size() && i + 1 < cps.size() && !too_large_; ++i) {
    Note note;
    if (refs[i].automatic) {
      note.mark = FormatNumber(++automatic, nfc);
    } else {
      // A custom mark is ordinary text at the reference.
      StoryText t;
      if (LoadText(refs[i].cp, refs[i].cp + 1, t) && !t.chars.empty() && t.chars[0] >= 0x20)
        AppendUtf8(note.mark, t.chars[0]);
    }
    if (refs[i].automatic)
      marks[refs[i].cp] = note.mark;
    std::int64_t a = std::clamp<std::int64_t>(cps[i], 0, story_size);
    std::int64_t b = std::clamp<std::int64_t>(cps[i + 1], a, story_size);
    BuildStory(story_begin + a, story_begin + b, kNoteStory, note.blocks);
    out.push_back(std::move(note));
  }
}

void DocParser::ReadComments(std::int64_t story_begin, std::int64_t story_size) {
  FcLcb ref = fib_.at(kPlcfandRef);
  std::string_view plc = Slice(table_, ref.fc, ref.lcb);
  if (plc.size() < 4)
    return;
  std::size_t n = (plc.size() - 4) / 34;
  std::vector<std::string> authors;
  FcLcb owners = fib_.at(kGrpXstAtnOwners);
  std::string_view names = Slice(table_, owners.fc, owners.lcb);
  for (std::size_t pos = 0; pos + 2 <= names.size() && authors.size() < 65536;) {
    std::size_t cch = U16(names, pos);
    if (!Fits(names, pos + 2, cch * 2))
      break;
    std::string name;
    for (std::size_t k = 0; k < cch; ++k)
      AppendUtf8(name, U16(names, pos + 2 + 2 * k));
    authors.push_back(std::move(name));
    pos += 2 + cch * 2;
  }
  std::vector<std::int64_t> cps = ReadCps(fib_.at(kPlcfandTxt));
  for (std::size_t i = 0; i < n && i + 1 < cps.size() && !too_large_; ++i) {
    std::size_t atrd = 4 * (n + 1) + 30 * i;
    Comment comment;
    std::size_t initials = std::min<std::size_t>(U16(plc, atrd), 9);
    for (std::size_t k = 0; k < initials; ++k)
      AppendUtf8(comment.initials, U16(plc, atrd + 2 + 2 * k));
    std::size_t author = U16(plc, atrd + 20);
    if (author < authors.size())
      comment.author = authors[author];
    std::int64_t a = std::clamp<std::int64_t>(cps[i], 0, story_size);
    std::int64_t b = std::clamp<std::int64_t>(cps[i + 1], a, story_size);
    BuildStory(story_begin + a, story_begin + b, kOtherStory, comment.blocks);
    doc_.comments.push_back(std::move(comment));
  }
}

void DocParser::ReadSummary() {
  auto stream = storage_->ReadStream("\005SummaryInformation", 1 << 20);
  if (!stream)
    return;
  PropertySetStrings set;
  if (!ReadPropertySetStrings(*stream, set))
    return;
  if (const std::string* v = set.Find(2))
    doc_.properties.title = *v;
  if (const std::string* v = set.Find(3))
    doc_.properties.subject = *v;
  if (const std::string* v = set.Find(4))
    doc_.properties.author = *v;
  if (const std::string* v = set.Find(5))
    doc_.properties.keywords = *v;
  if (const std::string* v = set.Find(6))
    doc_.properties.comments = *v;
}

void DocParser::ReadPageSetup() {
  FcLcb sed = fib_.at(kPlcfSed);
  std::string_view plc =
      Slice(fib_.word97() ? std::string_view(table_) : std::string_view(word_), sed.fc, sed.lcb);
  if (plc.size() < 4 + 4 + 12)
    return;
  std::size_t n = (plc.size() - 4) / 16;
  std::uint32_t fc_sepx = U32(plc, 4 * (n + 1) + 2);
  std::int32_t page = 12240, left = 1800, right = 1800;
  if (fc_sepx != 0xFFFFFFFF && Fits(word_, fc_sepx, 2) && fib_.word97()) {
    std::size_t cb = U16(word_, fc_sepx);
    std::string_view g = Slice(word_, std::uint64_t{fc_sepx} + 2, cb);
    ForEachSprm(g, [&](std::uint16_t sprm, std::string_view op) {
      if (sprm == 0xB01F)
        page = U16(op, 0);
      if (sprm == 0xB021)
        left = static_cast<std::int16_t>(U16(op, 0));
      if (sprm == 0xB022)
        right = static_cast<std::int16_t>(U16(op, 0));
    });
  }
  std::int32_t width = page - left - right;
  doc_.page.text_width_twips = width > 0 ? width : 0;
}

void DocParser::ReadProtection() {
  FcLcb dop = fib_.at(kDop);
  std::string_view d = Slice(table_, dop.fc, dop.lcb);
  if (d.size() < 8)
    return;
  std::uint16_t flags = U16(d, 6);
  bool lock_atn = flags & 0x0010;
  bool prot = flags & 0x0200;
  bool lock_rev = flags & 0x4000;
  if (lock_rev) {
    doc_.protection = {true, "trackedChanges"};
  } else if (lock_atn) {
    doc_.protection = {true, "comments"};
  } else if (prot) {
    doc_.protection = {true, "forms"};
  }
}

ReadResult DocParser::ReadWord97Or6() {
  const bool w97 = fib_.word97();
  doc_.format = SourceFormat::kDoc;
  code_page_ = w97 ? 1252 : Word6CodePage();
  doc_.open_encoding = code_page_;
  doc_.default_lang = fib_.lid;
  doc_.default_lang_fe = fib_.lid_fe;

  std::string_view props_stream = w97 ? std::string_view(table_) : std::string_view(word_);
  FcLcb clx = fib_.at(kClx);
  std::string_view clx_bytes = Slice(props_stream, clx.fc, clx.lcb);
  bool have_pieces = (fib_.complex || w97) && !clx_bytes.empty() &&
                     ParsePieceTable(clx_bytes, w97, pieces_) && !pieces_.pieces.empty();
  if (!have_pieces) {
    if (w97)
      return ReadResult::Failure(kDamagedMessage);
    // Word 6 and 95 without fast saves: the text lies in one stretch.
    Piece p;
    p.cp_begin = 0;
    p.fc = fib_.fc_min;
    p.compressed = true;
    std::int64_t available =
        fib_.fc_min < word_.size() ? static_cast<std::int64_t>(word_.size() - fib_.fc_min) : 0;
    std::int64_t wanted = fib_.fc_mac > fib_.fc_min ? fib_.fc_mac - fib_.fc_min : 0;
    p.cp_end = std::min(available, wanted);
    if (p.cp_end <= 0)
      return ReadResult::Failure(kDamagedMessage);
    pieces_.pieces.push_back(p);
  }

  if (w97) {
    styles_ = ParseStyles(table_, fib_.at(kStshf));
    ReadChpxPages(word_, Slice(table_, fib_.at(kPlcfBteChpx).fc, fib_.at(kPlcfBteChpx).lcb), 4,
                  chpx_);
    ReadPapxPages(word_, data_, Slice(table_, fib_.at(kPlcfBtePapx).fc, fib_.at(kPlcfBtePapx).lcb),
                  4, true, papx_);
    lists_ = ParseLists(table_, fib_.at(kPlfLst), fib_.at(kPlfLfo));
    numberer_ = std::make_unique<ListNumberer>(lists_);
    if (!styles_.styles.empty()) {
      CharProps normal;
      for (const Style* s : styles_.Chain(0))
        ApplyCharSprms(s->chpx, styles_, normal);
      if (normal.lang)
        doc_.default_lang = normal.lang;
      if (normal.lang_fe)
        doc_.default_lang_fe = normal.lang_fe;
    }
  } else {
    ReadPapxPages(word_, {}, Slice(word_, fib_.at(kPlcfBtePapx).fc, fib_.at(kPlcfBtePapx).lcb), 2,
                  false, papx_);
  }

  std::int64_t ccp_text = std::max<std::int64_t>(0, fib_.ccp_text);
  std::int64_t ftn_begin = ccp_text;
  std::int64_t hdd_begin = ftn_begin + fib_.ccp_ftn;
  std::int64_t atn_begin = hdd_begin + fib_.ccp_hdd + (w97 ? 0 : fib_.ccp_mcr);
  std::int64_t edn_begin = atn_begin + fib_.ccp_atn;
  std::int64_t all = edn_begin + fib_.ccp_edn;
  if (all > static_cast<std::int64_t>(options_.limits.max_text_chars) ||
      static_cast<std::uint64_t>(all) > word_.size() * 2 + 2)
    return ReadResult::Failure(all > static_cast<std::int64_t>(options_.limits.max_text_chars)
                                   ? kTooLargeMessage
                                   : kDamagedMessage);

  load_budget_ = static_cast<std::uint64_t>(all) + 65536;
  if (w97) {
    ReadNotes(fib_.at(kPlcffndRef), fib_.at(kPlcffndTxt), ftn_begin, fib_.ccp_ftn, 0,
              doc_.footnotes, note_marks_);
    ReadNotes(fib_.at(kPlcfendRef), fib_.at(kPlcfendTxt), edn_begin, fib_.ccp_edn, 2, doc_.endnotes,
              note_marks_);
    ReadComments(atn_begin, fib_.ccp_atn);
  }
  BuildStory(0, ccp_text, kMainStory, doc_.body);
  if (too_large_)
    return ReadResult::Failure(kTooLargeMessage);
  if (damaged_)
    return ReadResult::Failure(kDamagedMessage);

  ReadSummary();
  if (w97) {
    ReadPageSetup();
    ReadProtection();
  }
  return ReadResult::Success();
}

class DocReader : public Reader {
 public:
  std::string_view Name() const override { return "doc"; }
  int Sniff(std::string_view head, const std::string& /*path*/) const override {
    return HasCompoundFileSignature(head) ? 60 : 0;
  }
  ReadResult Read(std::string_view data, const OpenOptions& options, Document& doc) const override {
    DocParser parser(options, doc);
    ReadResult result = parser.Parse(data);
    if (!result.ok)
      doc = Document{};
    return result;
  }
};

}  // namespace
}  // namespace msdoc

std::unique_ptr<Reader> MakeDocReader() {
  return std::make_unique<msdoc::DocReader>();
}

}  // namespace quillon::docengine
