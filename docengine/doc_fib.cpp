// The file information block: where every table and story of the file lies.

#include "docengine/doc_parser.h"

namespace quillon::docengine::msdoc {

bool ParseFib(std::string_view w, Fib& fib, std::string& error, bool base_only) {
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

}  // namespace quillon::docengine::msdoc
