#pragma once
// The request block: the per-conversion options as one text handed to the
// engine beside source, destination and format code.
//
// Every entry begins with CR LF, then either "key=value" or a bare flag key;
// the block ends with one extra CR LF. Values are raw control texts (no
// quoting, no trimming). The block lives only for one conversion call.

#include <string>
#include <string_view>

#include "engine/conversion_options.h"

namespace quillon::engine {

// Keys as RequestValue and HasRequestFlag take them: with the leading CR LF
// (and the "=" for value keys).
inline constexpr std::string_view kOpenPasswordKey = "\r\nopenpassword=";
inline constexpr std::string_view kWorkbookProtectPasswordKey = "\r\nworkbookprotectpassword=";
inline constexpr std::string_view kWorksheetProtectPasswordKey = "\r\nworksheetprotectpassword=";
inline constexpr std::string_view kRunPluginFlag = "\r\nrunplugin";
inline constexpr std::string_view kRunPluginSaveFlag = "\r\nrunpluginsave";
inline constexpr std::string_view kTextDelimitKey = "\r\ntextdelimit=";
inline constexpr std::string_view kSheetRangeKey = "\r\nsheetrangedelimit=";
inline constexpr std::string_view kPageRangeFromKey = "\r\npagerangefromdelimit=";
inline constexpr std::string_view kPageRangeToKey = "\r\npagerangetodelimit=";

// Passed as the open password whenever none was entered, so that a document
// with a password fails to open instead of the word processor asking for one.
// The same for every document.
inline constexpr std::string_view kPlaceholderOpenPassword = "qz";

// Builds the block from the option panels. `format_index` is the position of
// the chosen destination format in the format list; it selects
// format-specific entries, of which the six text formats have none. CR and
// LF inside values are dropped: a value never adds entries to the block.
std::string BuildRequestBlock(const ConversionOptions& options, int format_index);

// The value after the first occurrence of `key` up to the next CR LF; empty
// when the key is absent or its value is not followed by CR LF.
std::string RequestValue(std::string_view key, std::string_view block);

// True when CR LF followed by `flag_key` occurs anywhere in the block. The
// leading CR LF may be part of `flag_key` or left out. A plain substring
// test: a block holding "runpluginsave" also answers true for "runplugin".
bool HasRequestFlag(std::string_view flag_key, std::string_view block);

// The open password a conversion passes: the entered one, or the
// placeholder when none was entered.
std::string OpenPasswordOf(std::string_view block);

// Reads a decimal integer (optional sign, no blanks) as option values and
// format codes are read. Throws std::invalid_argument with the message
// "'%s' is not a valid integer value" (translated) for anything else,
// including values out of the 32-bit range.
int ParseIntegerOption(std::string_view text);

}  // namespace quillon::engine
