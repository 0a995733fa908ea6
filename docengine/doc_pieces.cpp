// The piece table and the characters of a range of text positions.

#include <bit>
#include <cstring>

#include "charset/code_page.h"
#include "docengine/doc_parser.h"

namespace quillon::docengine::msdoc {

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

namespace {
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

}  // namespace

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
  const std::size_t expected = out.chars.size() + static_cast<std::size_t>(cp_end - cp_begin);
  out.chars.reserve(expected);
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
      out.StartStretch(p.fc, 0, static_cast<std::uint32_t>(pi));
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
      }
      continue;
    }
    out.StartStretch(static_cast<std::uint32_t>(p.compressed ? p.fc + offset : p.fc + 2 * offset),
                     p.compressed ? 1 : 2, static_cast<std::uint32_t>(pi));
    // The characters that lie inside the stream; the text stops at the
    // first one that does not.
    const std::uint64_t first = p.compressed ? p.fc + offset : p.fc + 2 * offset;
    const std::uint64_t room = first < word_.size() ? word_.size() - first : 0;
    const std::uint64_t fits = std::min<std::uint64_t>(count, p.compressed ? room : room / 2);
    const unsigned char* bytes =
        reinterpret_cast<const unsigned char*>(word_.data()) + (fits > 0 ? first : 0);
    const std::size_t at = out.chars.size();
    out.chars.resize(at + fits);
    char32_t* to = out.chars.data() + at;
    if (p.compressed) {
      for (std::uint64_t k = 0; k < fits; ++k)
        to[k] = Cp1252(bytes[k]);
    } else {
      // Blocks without a high surrogate widen as they are, several
      // characters at a time; the rest goes one by one below.
      constexpr std::uint64_t kBlock = 16;
      std::uint64_t k = 0;
      while (k < fits) {
        while (k + kBlock <= fits) {
          std::uint16_t w[kBlock];
          std::memcpy(w, bytes + 2 * k, sizeof w);
          if constexpr (std::endian::native == std::endian::big)
            for (std::uint16_t& v : w)
              v = static_cast<std::uint16_t>(v << 8 | v >> 8);
          int high = 0;
          for (std::uint64_t m = 0; m < kBlock; ++m)
            high |= (w[m] & 0xFC00) == 0xD800;
          if (high)
            break;
          for (std::uint64_t m = 0; m < kBlock; ++m)
            to[k + m] = w[m];
          k += kBlock;
        }
        const std::uint64_t stop = std::min(fits, k + kBlock);
        for (; k < stop; ++k) {
          char32_t c = bytes[2 * k] | (bytes[2 * k + 1] << 8);
          // Join surrogate pairs when both halves lie in the piece.
          if (c >= 0xD800 && c < 0xDC00 && k + 1 < fits) {
            char32_t low = bytes[2 * k + 2] | (bytes[2 * k + 3] << 8);
            if (low >= 0xDC00 && low < 0xE000) {
              to[k] = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
              // The low half keeps a slot so that positions stay aligned.
              to[++k] = 0;
              continue;
            }
          }
          to[k] = c;
        }
      }
    }
    if (fits < count)
      return false;
  }
  return true;
}

}  // namespace quillon::docengine::msdoc
