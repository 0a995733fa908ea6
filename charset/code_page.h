#pragma once
// Windows code page numbers on top of ICU converters.
//
// Code pages travel through the program as Windows numbers (1252, 437,
// 936, 65001, 1200 ...). These helpers turn them into ICU converters,
// encode UTF-8 text into them with "?" for every character the code page
// cannot hold, decode bytes back, and tell the ANSI and OEM code pages of
// the running locale. All functions are thread-safe.

#include <string>
#include <string_view>

namespace quillon {

inline constexpr int kCodePageUtf16Le = 1200;
inline constexpr int kCodePageUtf16Be = 1201;
inline constexpr int kCodePageUtf7 = 65000;
inline constexpr int kCodePageUtf8 = 65001;

// The ICU converter name for a Windows code page, or "" when ICU has no
// converter for it.
std::string IcuConverterName(int code_page);

// The Windows code page for a character-set name (IANA or ICU spelling,
// letter case ignored), or 0 when unknown.
int CodePageFromCharsetName(std::string_view name);

// Encodes UTF-8 text (invalid sequences count as U+FFFD) into the code
// page. Unmappable characters become "?". No byte-order mark is written.
// False with an error text when the code page is unknown.
bool EncodeText(std::string_view utf8, int code_page, std::string& out, std::string& error);

// Decodes bytes of the code page to UTF-8; bytes that are not valid in it
// become U+FFFD. False with an error text when the code page is unknown.
bool DecodeText(std::string_view bytes, int code_page, std::string& utf8, std::string& error);

// The code page ICU's detector finds for bytes that are not UTF-8 (read
// from the first 64 KiB), or 0 when it finds none worth trusting: UTF-8,
// UTF-16 and UTF-32 without a mark and EBCDIC are never answered.
int DetectCodePage(std::string_view data);

// The ANSI code page: QUILLON_ANSI_CODEPAGE when set to a number, else the
// character set of the locale's environment (LC_ALL, LC_CTYPE, LANG):
// 65001 for UTF-8 and for the C or POSIX locale, the matching Windows
// number for a legacy character set.
int AnsiCodePage();

// The OEM (MS-DOS) code page: QUILLON_OEM_CODEPAGE when set to a number,
// else the DOS code page of the locale's language (437 English, 850
// Western European, 852 Central European, 866 Cyrillic ...).
int OemCodePage();

// The text with A-Z turned into a-z and every other byte kept, for names
// that markup and charsets compare without regard to case.
std::string AsciiLower(std::string_view text);

// True when `text` is well-formed UTF-8.
bool IsValidUtf8(std::string_view text);

// Appends the UTF-8 form of a code point (surrogates and values beyond
// U+10FFFF become U+FFFD).
void AppendUtf8(std::string& out, char32_t code_point);

// Decodes one UTF-8 character at `pos`, advancing it; malformed bytes give
// U+FFFD and advance by one.
char32_t NextUtf8(std::string_view text, std::size_t& pos);

}  // namespace quillon
