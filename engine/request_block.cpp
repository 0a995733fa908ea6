#include "engine/request_block.h"

#include <charconv>
#include <stdexcept>

#include "util/translate.h"

namespace quillon::engine {
namespace {

constexpr std::string_view kCrLf = "\r\n";

// A value runs to the next CR LF, so a line break inside one would end it
// early and let the rest read as entries of its own (a flag, another
// password). Values come from single-line fields, settings files and command
// arguments; no value that holds a line break can be meant, so CR and LF are
// left out and the rest is sent.
void AppendValue(std::string& block, std::string_view key, std::string_view value) {
  block += key;
  for (const char c : value) {
    if (c != '\r' && c != '\n') {
      block += c;
    }
  }
}

}  // namespace

std::string BuildRequestBlock(const ConversionOptions& options, int format_index) {
  // None of the six text formats adds entries of its own; the index is kept
  // so that callers already pass it where such entries would be chosen.
  static_cast<void>(format_index);

  std::string block;
  if (!options.open_password.empty()) {
    AppendValue(block, kOpenPasswordKey, options.open_password);
  }
  if (!options.workbook_protect_password.empty()) {
    AppendValue(block, kWorkbookProtectPasswordKey, options.workbook_protect_password);
  }
  if (!options.worksheet_protect_password.empty()) {
    AppendValue(block, kWorksheetProtectPasswordKey, options.worksheet_protect_password);
  }
  if (options.run_plugin_macro) {
    block += kRunPluginFlag;
  }
  if (options.plugin_save) {
    block += kRunPluginSaveFlag;
  }
  // Its own CR LF ends the value, so the next entry's CR LF leaves an empty
  // line after it.
  AppendValue(block, kTextDelimitKey, std::to_string(options.text_delimited_index));
  block += kCrLf;
  if (options.sheet_range_appointed) {
    AppendValue(block, kSheetRangeKey, std::to_string(options.appointed_sheet));
  }
  if (options.page_range_from_to && options.page_from > 0) {
    AppendValue(block, kPageRangeFromKey, std::to_string(options.page_from));
  }
  if (options.page_range_from_to && options.page_to > 0) {
    AppendValue(block, kPageRangeToKey, std::to_string(options.page_to));
  }
  block += kCrLf;
  return block;
}

std::string RequestValue(std::string_view key, std::string_view block) {
  if (key.empty()) {
    return {};
  }
  const std::size_t at = block.find(key);
  if (at == std::string_view::npos) {
    return {};
  }
  const std::string_view rest = block.substr(at + key.size());
  const std::size_t end = rest.find(kCrLf);
  if (end == std::string_view::npos) {
    return {};
  }
  return std::string(rest.substr(0, end));
}

bool HasRequestFlag(std::string_view flag_key, std::string_view block) {
  if (flag_key.substr(0, kCrLf.size()) == kCrLf) {
    flag_key.remove_prefix(kCrLf.size());
  }
  if (flag_key.empty()) {
    return false;
  }
  std::string needle(kCrLf);
  needle += flag_key;
  return block.find(needle) != std::string_view::npos;
}

std::string OpenPasswordOf(std::string_view block) {
  std::string password = RequestValue(kOpenPasswordKey, block);
  if (password.empty()) {
    password = kPlaceholderOpenPassword;
  }
  return password;
}

int ParseIntegerOption(std::string_view text) {
  int value = 0;
  std::string_view digits = text;
  // from_chars takes "-" but not "+".
  if (!digits.empty() && digits.front() == '+') {
    digits.remove_prefix(1);
    if (!digits.empty() && digits.front() == '-') {
      digits = {};
    }
  }
  const char* first = digits.data();
  const char* last = digits.data() + digits.size();
  const auto [end, error] = std::from_chars(first, last, value);
  if (digits.empty() || error != std::errc() || end != last) {
    throw std::invalid_argument(TrFormat("'%s' is not a valid integer value", {std::string(text)}));
  }
  return value;
}

}  // namespace quillon::engine
