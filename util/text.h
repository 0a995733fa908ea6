#pragma once
// Small text operations shared by the whole program. Positions count bytes;
// every marker searched for is ASCII, so UTF-8 text passes through whole.
//
// Thread: any thread; no state.

#include <cstddef>
#include <string>
#include <string_view>

namespace quillon {

// Percent-encoding for the value of a "mailto:" query: A-Z, a-z, 0-9, "-",
// "." and "_" stay; a space becomes "%20"; every other byte becomes "%" and
// two upper-case hexadecimal digits (so each byte of a UTF-8 character is
// encoded by itself).
std::string UrlEncode(std::string_view text);

// Every "[" becomes "(" and every "]" becomes ")".
std::string ReplaceBrackets(std::string_view text);

// The text after the first `start_marker` up to the next `end_marker`
// (case-sensitive; an empty marker is never found). A missing start marker
// gives "" when strict, otherwise the search for the end goes over the whole
// text; a missing end marker gives "" when strict, otherwise everything after
// the start.
std::string TextBetween(std::string_view text, std::string_view start_marker,
                        std::string_view end_marker, bool strict);

// The folder part of a path: up to and including the last "/" (empty when
// there is none).
std::string FolderPart(std::string_view path);
// The name part of a path: everything after the last "/".
std::string NamePart(std::string_view path);

// `text` with A-Z lowered; other bytes (UTF-8 included) stay as they are.
std::string LowerAscii(std::string_view text);

// The length of the valid UTF-8 sequence that starts at byte `at` of
// `text` (1 for ASCII), or 0 when none starts there: a stray continuation
// byte, a cut-short sequence, an overlong form, a surrogate or a value
// above U+10FFFF. File names on Linux are bytes and need not be UTF-8.
size_t Utf8SequenceLength(std::string_view text, size_t at);

}  // namespace quillon
