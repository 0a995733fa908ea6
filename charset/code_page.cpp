#include "charset/code_page.h"

#include <unicode/ucnv.h>
#include <unicode/ucsdet.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace quillon {
namespace {

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

// Code pages whose ICU spelling is not one of the generic patterns tried
// below.
const std::map<int, const char*>& NamedCodePages() {
  static const std::map<int, const char*> names = {
      {kCodePageUtf16Le, "UTF-16LE"},
      {kCodePageUtf16Be, "UTF-16BE"},
      {12000, "UTF-32LE"},
      {12001, "UTF-32BE"},
      {kCodePageUtf7, "UTF-7"},
      {kCodePageUtf8, "UTF-8"},
      {20127, "US-ASCII"},
      {20866, "KOI8-R"},
      {21866, "KOI8-U"},
      {28591, "ISO-8859-1"},
      {28592, "ISO-8859-2"},
      {28593, "ISO-8859-3"},
      {28594, "ISO-8859-4"},
      {28595, "ISO-8859-5"},
      {28596, "ISO-8859-6"},
      {28597, "ISO-8859-7"},
      {28598, "ISO-8859-8"},
      {28599, "ISO-8859-9"},
      {28603, "ISO-8859-13"},
      {28605, "ISO-8859-15"},
      {38598, "ISO-8859-8"},
      {50220, "ISO-2022-JP"},
      {50221, "ISO-2022-JP"},
      {50222, "ISO-2022-JP"},
      {50225, "ISO-2022-KR"},
      {51932, "EUC-JP"},
      {51936, "GB2312"},
      {51949, "EUC-KR"},
      {52936, "HZ-GB-2312"},
      {54936, "GB18030"},
      {10000, "macintosh"},
      {10007, "x-mac-cyrillic"},
      {10029, "x-mac-centraleurroman"},
      {10081, "x-mac-turkish"},
      {20932, "EUC-JP"},
      {1361, "ibm-1363"},
  };
  return names;
}

ConverterPtr OpenConverter(const std::string& name) {
  UErrorCode status = U_ZERO_ERROR;
  ConverterPtr conv(ucnv_open(name.c_str(), &status));
  if (U_FAILURE(status))
    return nullptr;
  return conv;
}

std::string FindConverterName(int code_page) {
  std::vector<std::string> candidates;
  auto named = NamedCodePages().find(code_page);
  if (named != NamedCodePages().end())
    candidates.push_back(named->second);
  // DOS code pages are ICU's IBM tables; the Windows ones (874, 932, 936,
  // 949, 950, 125x) carry the "windows-" prefix.
  if (code_page < 1000 && code_page != 874 && code_page != 932 && code_page != 936 &&
      code_page != 949 && code_page != 950) {
    candidates.push_back("ibm-" + std::to_string(code_page));
  }
  candidates.push_back("windows-" + std::to_string(code_page));
  candidates.push_back("ibm-" + std::to_string(code_page));
  candidates.push_back("cp" + std::to_string(code_page));
  for (const std::string& name : candidates) {
    if (OpenConverter(name))
      return name;
  }
  return "";
}

std::string LowerAlnum(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (std::isalnum(static_cast<unsigned char>(c))) {
      out.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    }
  }
  return out;
}

bool ParseEnvInt(const char* name, int& value) {
  const char* text = std::getenv(name);
  if (text == nullptr || *text == '\0')
    return false;
  char* end = nullptr;
  long parsed = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || parsed <= 0 || parsed > 65535)
    return false;
  value = static_cast<int>(parsed);
  return true;
}

// The locale name that decides the character set, as setlocale would pick
// it from the environment.
std::string LocaleFromEnvironment() {
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0')
      return value;
  }
  return "C";
}

bool ToUtf16(std::string_view utf8, std::u16string& out) {
  out.resize(utf8.size() + 1);
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8WithSub(reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()),
                       &length, utf8.data(), static_cast<int32_t>(utf8.size()), 0xFFFD, nullptr,
                       &status);
  if (U_FAILURE(status))
    return false;
  out.resize(static_cast<std::size_t>(length));
  return true;
}

}  // namespace

std::string IcuConverterName(int code_page) {
  static std::mutex mutex;
  static std::map<int, std::string> cache;
  std::lock_guard<std::mutex> lock(mutex);
  auto found = cache.find(code_page);
  if (found != cache.end())
    return found->second;
  std::string name = code_page > 0 ? FindConverterName(code_page) : "";
  cache.emplace(code_page, name);
  return name;
}

int CodePageFromCharsetName(std::string_view name) {
  const std::string key = LowerAlnum(name);
  static const std::map<std::string, int> table = {
      {"utf8", 65001},     {"utf16le", 1200},      {"utf16be", 1201},    {"utf16", 1200},
      {"utf32le", 12000},  {"utf32be", 12001},     {"utf7", 65000},      {"usascii", 20127},
      {"ascii", 20127},    {"ansix341968", 20127}, {"iso88591", 1252},   {"latin1", 1252},
      {"iso88592", 28592}, {"iso88593", 28593},    {"iso88594", 28594},  {"iso88595", 28595},
      {"iso88596", 28596}, {"iso88597", 28597},    {"iso88598", 28598},  {"iso88598i", 38598},
      {"iso88599", 1254},  {"iso885913", 28603},   {"iso885915", 28605}, {"koi8r", 20866},
      {"koi8u", 21866},    {"shiftjis", 932},      {"sjis", 932},        {"windows31j", 932},
      {"eucjp", 51932},    {"euckr", 949},         {"uhc", 949},         {"gb2312", 936},
      {"gbk", 936},        {"euccn", 936},         {"gb18030", 54936},   {"big5", 950},
      {"big5hkscs", 950},  {"iso2022jp", 50220},   {"iso2022kr", 50225}, {"iso2022cn", 50227},
      {"tis620", 874},     {"macintosh", 10000},   {"hzgb2312", 52936},
  };
  auto found = table.find(key);
  if (found != table.end())
    return found->second;
  for (const char* prefix : {"windows", "cp", "ibm"}) {
    std::string p = prefix;
    if (key.size() > p.size() && key.compare(0, p.size(), p) == 0 &&
        std::all_of(key.begin() + static_cast<long>(p.size()), key.end(),
                    [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; })) {
      return std::atoi(key.c_str() + p.size());
    }
  }
  return 0;
}

namespace {

// The text with every malformed UTF-8 sequence replaced by U+FFFD.
std::string WellFormedUtf8(std::string_view text) {
  if (IsValidUtf8(text))
    return std::string(text);
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size())
    AppendUtf8(out, NextUtf8(text, pos));
  return out;
}

ConverterPtr OpenCodePage(int code_page, std::string& error) {
  const std::string name = IcuConverterName(code_page);
  ConverterPtr conv = name.empty() ? nullptr : OpenConverter(name);
  if (!conv)
    error = "The code page " + std::to_string(code_page) + " is not supported.";
  return conv;
}

}  // namespace

bool EncodeText(std::string_view utf8, int code_page, std::string& out, std::string& error) {
  out.clear();
  if (code_page == kCodePageUtf8) {
    // Re-encode to replace malformed sequences, as every other target does.
    out = WellFormedUtf8(utf8);
    return true;
  }
  ConverterPtr conv = OpenCodePage(code_page, error);
  if (!conv)
    return false;
  UErrorCode status = U_ZERO_ERROR;
  ucnv_setSubstChars(conv.get(), "?", 1, &status);
  status = U_ZERO_ERROR;
  std::u16string wide;
  if (!ToUtf16(utf8, wide)) {
    error = "The text could not be converted.";
    return false;
  }
  out.resize(UCNV_GET_MAX_BYTES_FOR_STRING(wide.size(), ucnv_getMaxCharSize(conv.get())) + 16);
  int32_t written = ucnv_fromUChars(conv.get(), out.data(), static_cast<int32_t>(out.size()),
                                    reinterpret_cast<const UChar*>(wide.data()),
                                    static_cast<int32_t>(wide.size()), &status);
  if (U_FAILURE(status)) {
    error = std::string("The text could not be converted: ") + u_errorName(status);
    out.clear();
    return false;
  }
  out.resize(static_cast<std::size_t>(written));
  return true;
}

bool DecodeText(std::string_view bytes, int code_page, std::string& utf8, std::string& error) {
  utf8.clear();
  if (code_page == kCodePageUtf8) {
    utf8 = WellFormedUtf8(bytes);
    return true;
  }
  ConverterPtr conv = OpenCodePage(code_page, error);
  if (!conv)
    return false;
  std::u16string wide(bytes.size() * 2 + 4, u'\0');
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = ucnv_toUChars(conv.get(), reinterpret_cast<UChar*>(wide.data()),
                                 static_cast<int32_t>(wide.size()), bytes.data(),
                                 static_cast<int32_t>(bytes.size()), &status);
  if (U_FAILURE(status) && status != U_STRING_NOT_TERMINATED_WARNING) {
    error = std::string("The text could not be decoded: ") + u_errorName(status);
    return false;
  }
  wide.resize(static_cast<std::size_t>(length));
  utf8.resize(wide.size() * 3 + 1);
  int32_t out_length = 0;
  status = U_ZERO_ERROR;
  u_strToUTF8WithSub(utf8.data(), static_cast<int32_t>(utf8.size()), &out_length,
                     reinterpret_cast<const UChar*>(wide.data()), static_cast<int32_t>(wide.size()),
                     0xFFFD, nullptr, &status);
  if (U_FAILURE(status) && status != U_STRING_NOT_TERMINATED_WARNING) {
    error = std::string("The text could not be decoded: ") + u_errorName(status);
    utf8.clear();
    return false;
  }
  utf8.resize(static_cast<std::size_t>(out_length));
  return true;
}

int AnsiCodePage() {
  int value = 0;
  if (ParseEnvInt("QUILLON_ANSI_CODEPAGE", value))
    return value;
  const std::string locale = LocaleFromEnvironment();
  if (locale == "C" || locale == "POSIX")
    return kCodePageUtf8;
  std::string charset;
  std::size_t dot = locale.find('.');
  if (dot != std::string::npos) {
    charset = locale.substr(dot + 1);
    std::size_t at = charset.find('@');
    if (at != std::string::npos)
      charset.resize(at);
  }
  if (charset.empty())
    return 28591;  // glibc's default for a bare locale name
  const std::string key = LowerAlnum(charset);
  if (key == "utf8")
    return kCodePageUtf8;
  // A legacy locale keeps its own character set: ISO-8859-1 is 28591 here,
  // not the Windows superset.
  if (key.rfind("iso8859", 0) == 0) {
    int part = std::atoi(key.c_str() + 7);
    if (part == 15)
      return 28605;
    if (part == 13)
      return 28603;
    if (part >= 1 && part <= 9)
      return 28590 + part;
  }
  int code_page = CodePageFromCharsetName(charset);
  return code_page != 0 ? code_page : kCodePageUtf8;
}

int OemCodePage() {
  int value = 0;
  if (ParseEnvInt("QUILLON_OEM_CODEPAGE", value))
    return value;
  std::string locale = LocaleFromEnvironment();
  std::string language = locale.substr(0, locale.find_first_of("_.@"));
  std::string territory;
  std::size_t underscore = locale.find('_');
  if (underscore != std::string::npos) {
    territory = locale.substr(underscore + 1, 2);
  }
  static const std::map<std::string, int> by_language = {
      {"de", 850}, {"fr", 850}, {"es", 850}, {"it", 850},  {"pt", 850}, {"nl", 850}, {"da", 850},
      {"sv", 850}, {"no", 850}, {"nb", 850}, {"nn", 850},  {"fi", 850}, {"is", 850}, {"ca", 850},
      {"eu", 850}, {"gl", 850}, {"ga", 850}, {"af", 850},  {"id", 850}, {"ms", 850}, {"sw", 437},
      {"cs", 852}, {"pl", 852}, {"hu", 852}, {"sk", 852},  {"sl", 852}, {"hr", 852}, {"ro", 852},
      {"sq", 852}, {"bs", 852}, {"ru", 866}, {"uk", 866},  {"be", 866}, {"bg", 866}, {"mk", 866},
      {"sr", 855}, {"kk", 866}, {"ky", 866}, {"tt", 866},  {"el", 737}, {"tr", 857}, {"az", 857},
      {"he", 862}, {"ar", 720}, {"fa", 720}, {"ur", 720},  {"lt", 775}, {"lv", 775}, {"et", 775},
      {"ja", 932}, {"ko", 949}, {"th", 874}, {"vi", 1258},
  };
  if (language == "en")
    return territory.empty() || territory == "US" ? 437 : 850;
  if (language == "zh")
    return territory == "TW" || territory == "HK" || territory == "MO" ? 950 : 936;
  auto found = by_language.find(language);
  return found != by_language.end() ? found->second : 437;
}

std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

bool IsValidUtf8(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    unsigned char c = static_cast<unsigned char>(text[pos]);
    if (c < 0x80) {
      ++pos;
      continue;
    }
    std::size_t start = pos;
    char32_t cp = NextUtf8(text, pos);
    if (cp == 0xFFFD && !(pos - start == 3 && static_cast<unsigned char>(text[start]) == 0xEF &&
                          static_cast<unsigned char>(text[start + 1]) == 0xBF &&
                          static_cast<unsigned char>(text[start + 2]) == 0xBD)) {
      return false;
    }
  }
  return true;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
    cp = 0xFFFD;
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

char32_t NextUtf8(std::string_view text, std::size_t& pos) {
  const unsigned char c = static_cast<unsigned char>(text[pos]);
  if (c < 0x80) {
    ++pos;
    return c;
  }
  int extra = 0;
  char32_t cp = 0;
  char32_t min = 0;
  if (c >= 0xC2 && c <= 0xDF) {
    extra = 1;
    cp = c & 0x1F;
    min = 0x80;
  } else if (c >= 0xE0 && c <= 0xEF) {
    extra = 2;
    cp = c & 0x0F;
    min = 0x800;
  } else if (c >= 0xF0 && c <= 0xF4) {
    extra = 3;
    cp = c & 0x07;
    min = 0x10000;
  } else {
    ++pos;
    return 0xFFFD;
  }
  for (int i = 1; i <= extra; ++i) {
    if (pos + static_cast<std::size_t>(i) >= text.size()) {
      ++pos;
      return 0xFFFD;
    }
    unsigned char next = static_cast<unsigned char>(text[pos + static_cast<std::size_t>(i)]);
    if ((next & 0xC0) != 0x80) {
      ++pos;
      return 0xFFFD;
    }
    cp = (cp << 6) | (next & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++pos;
    return 0xFFFD;
  }
  pos += static_cast<std::size_t>(extra) + 1;
  return cp;
}

int DetectCodePage(std::string_view data) {
  UErrorCode status = U_ZERO_ERROR;
  UCharsetDetector* detector = ucsdet_open(&status);
  if (U_FAILURE(status))
    return 0;
  std::string_view sample = data.substr(0, std::min<std::size_t>(data.size(), 64 * 1024));
  ucsdet_setText(detector, sample.data(), static_cast<int32_t>(sample.size()), &status);
  int32_t count = 0;
  const UCharsetMatch** matches = ucsdet_detectAll(detector, &count, &status);
  int code_page = 0;
  if (U_SUCCESS(status)) {
    for (int32_t i = 0; i < count && code_page == 0; ++i) {
      UErrorCode name_status = U_ZERO_ERROR;
      const char* name = ucsdet_getName(matches[i], &name_status);
      if (U_FAILURE(name_status) || name == nullptr)
        continue;
      int candidate = CodePageFromCharsetName(name);
      // UTF-16 and UTF-32 without a mark are guesses too wild to trust on
      // bytes that failed as UTF-8; EBCDIC likewise.
      if (candidate == 0 || candidate == 1200 || candidate == 1201 || candidate == 12000 ||
          candidate == 12001 || candidate == 65001) {
        continue;
      }
      if (!IcuConverterName(candidate).empty())
        code_page = candidate;
    }
  }
  ucsdet_close(detector);
  return code_page;
}

}  // namespace quillon
