// Character and paragraph formatting: property modifiers, the style sheet,
// the formatted disk pages and what a character or paragraph resolves to.

#include "docengine/doc_parser.h"

namespace quillon::docengine::msdoc {

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

namespace {

// A toggle operand: 0 off, 1 on, 0x80 as the style, 0x81 opposite of it.
bool Toggle(bool current, std::uint8_t v) {
  if (v == 0x80)
    return current;
  if (v == 0x81)
    return !current;
  return v != 0;
}

}  // namespace

std::vector<const Style*> StyleSheet::Chain(int istd) const {
  std::vector<const Style*> chain;
  for (int guard = 0; guard < 16 && istd >= 0 && istd < static_cast<int>(styles.size()); ++guard) {
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

namespace {

// How many runs the pages say they hold: room to reserve, bounded by the
// stream so that a table naming one page many times cannot ask for more.
std::size_t RunsOnPages(std::string_view w, const std::vector<std::uint32_t>& pages) {
  std::size_t runs = 0;
  for (std::uint32_t pn : pages)
    runs += U8(w, std::uint64_t{pn} * 512 + 511);
  return std::min(runs, w.size() / 8);
}

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

}  // namespace

void ReadChpxPages(std::string_view w, std::string_view plc, std::size_t bte_size, FkpRuns& out) {
  const std::vector<std::uint32_t> pages = BinTablePages(plc, bte_size);
  out.Reserve(RunsOnPages(w, pages));
  for (std::uint32_t pn : pages) {
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
  const std::vector<std::uint32_t> pages = BinTablePages(plc, bte_size);
  out.Reserve(RunsOnPages(w, pages));
  for (std::uint32_t pn : pages) {
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

void ApplyCharSprms(std::string_view g, const StyleSheet& styles, CharProps& p, int depth) {
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

namespace {

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

// The properties resolved for `key` before, else computed and kept.
template <typename Cache, typename Key, typename Compute>
typename Cache::mapped_type Cached(Cache& cache, const Key& key, Compute compute) {
  auto found = cache.find(key);
  if (found == cache.end())
    found = cache.emplace(key, compute()).first;
  return found->second;
}

}  // namespace

CharProps DocParser::ResolveChar(int para_istd, int chpx_run, std::uint32_t piece) {
  PropsKey key;
  key.istd = para_istd;
  if (chpx_run >= 0)
    key.grpprl = chpx_[chpx_run].grpprl;
  if (piece < pieces_.pieces.size())
    key.prm = pieces_.pieces[piece].prm;
  return Cached(char_props_, key, [&] { return ComputeChar(key.istd, key.grpprl, key.prm); });
}

CharProps DocParser::ComputeChar(int para_istd, std::string_view grpprl, std::uint16_t prm) const {
  CharProps p;
  for (const Style* s : styles_.Chain(para_istd))
    ApplyCharSprms(s->chpx, styles_, p);
  ApplyCharSprms(grpprl, styles_, p);
  if ((prm & 1) && (prm >> 1) < pieces_.prcs.size())
    ApplyCharSprms(pieces_.prcs[prm >> 1], styles_, p);
  return p;
}

ParaProps DocParser::ResolvePara(std::uint32_t fc, std::uint32_t piece) {
  int run = papx_.FindNear(last_papx_run_, fc);
  if (run < 0)
    return ParaProps{};
  last_papx_run_ = run;
  PropsKey key;
  key.istd = papx_[run].istd;
  key.grpprl = papx_[run].grpprl;
  // Word 6 and 95 paragraphs take no modifiers from their piece.
  if (fib_.word97() && piece < pieces_.pieces.size())
    key.prm = pieces_.pieces[piece].prm;
  return Cached(para_props_, key, [&] { return ComputePara(key.istd, key.grpprl, key.prm); });
}

ParaProps DocParser::ComputePara(int istd, std::string_view grpprl, std::uint16_t prm) const {
  ParaProps p;
  p.istd = istd;
  if (!fib_.word97()) {
    ApplyParaSprms6(grpprl, p);
    return p;
  }
  for (const Style* s : styles_.Chain(p.istd))
    ApplyParaSprms(s->papx, p);
  ApplyParaSprms(grpprl, p);
  // A fast save may leave paragraph changes on the piece of the mark.
  if ((prm & 1) && (prm >> 1) < pieces_.prcs.size())
    ApplyParaSprms(pieces_.prcs[prm >> 1], p);
  return p;
}

}  // namespace quillon::docengine::msdoc
