#include "dialogwatch/macro_runner.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>

#include "dialogwatch/window_finder.h"
#include "util/text.h"
#include "util/translate.h"

namespace quillon::dialogwatch {
namespace {

// Longest slice of one delay's wait, so that a long delay still sees its end
// on time.
constexpr std::uint32_t kDelaySliceMs = 10;

bool StartsWithWord(const std::string& line, std::string_view word) {
  return line.size() >= word.size() && LowerAscii(line.substr(0, word.size())) == word;
}

// A whole integer, blanks around it allowed.
bool ParseInteger(std::string_view text, long long& value) {
  while (!text.empty() && text.front() == ' ')
    text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ')
    text.remove_suffix(1);
  if (!text.empty() && text.front() == '+')
    text.remove_prefix(1);
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

bool ParseIndex(std::string_view text, int& index) {
  long long value = 0;
  if (!ParseInteger(text, value) || value < std::numeric_limits<int>::min() ||
      value > std::numeric_limits<int>::max())
    return false;
  index = static_cast<int>(value);
  return true;
}

// The text between the first `open` and the next `close` after it; false
// when either is missing.
bool Between(const std::string& line, char open, char close, std::string& inner) {
  const std::size_t start = line.find(open);
  if (start == std::string::npos)
    return false;
  const std::size_t end = line.find(close, start + 1);
  if (end == std::string::npos)
    return false;
  inner = line.substr(start + 1, end - start - 1);
  return true;
}

// Code points of a UTF-8 text; a byte that starts no valid sequence stands
// for itself, so nothing typed is lost.
std::vector<char32_t> CodePoints(const std::string& text) {
  std::vector<char32_t> result;
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    int length = lead < 0x80           ? 1
                 : (lead >> 5) == 0x6  ? 2
                 : (lead >> 4) == 0xE  ? 3
                 : (lead >> 3) == 0x1E ? 4
                                       : 0;
    char32_t code = length == 1   ? lead
                    : length == 2 ? lead & 0x1F
                    : length == 3 ? lead & 0x0F
                                  : lead & 0x07;
    bool valid = length > 0 && i + length <= text.size();
    for (int k = 1; valid && k < length; ++k) {
      const unsigned char next = static_cast<unsigned char>(text[i + k]);
      valid = (next & 0xC0) == 0x80;
      code = (code << 6) | (next & 0x3F);
    }
    if (!valid) {
      result.push_back(lead);
      ++i;
    } else {
      result.push_back(code);
      i += length;
    }
  }
  return result;
}

}  // namespace

TMUMacro::TMUMacro(WindowSystem& windows, std::shared_ptr<WatchClock> clock)
    : windows_(windows), clock_(std::move(clock)) {}

void TMUMacro::SetCommandsText(const std::string& text) {
  Commands.clear();
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) {
      Commands.push_back(text.substr(start));
      break;
    }
    Commands.push_back(text.substr(start, end - start));
    start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
}

void TMUMacro::Run(WindowHandle target, std::string& error_text) {
  error_text.clear();
  for (std::size_t n = 0; n < Commands.size(); ++n) {
    if (!RunLine(Commands[n], target)) {
      error_text = TrFormat("Can not process No.%d line macro:%s, the window found is not right!",
                            {static_cast<std::int64_t>(n + 1), Commands[n]});
      return;
    }
  }
}

bool TMUMacro::RunLine(const std::string& line, WindowHandle target) {
  if (StartsWithWord(line, "edit"))
    return Edit(line, target);
  if (StartsWithWord(line, "button"))
    return Button(line, target);
  if (StartsWithWord(line, "delay"))
    return Delay(line);
  return !line.empty() && line.front() == '[';
}

bool TMUMacro::Edit(const std::string& line, WindowHandle target) {
  const std::size_t hash = line.find('#');
  const std::size_t equals = line.find('=');
  if (hash == std::string::npos || equals == std::string::npos || equals < hash)
    return false;
  int index = 0;
  if (!ParseIndex(std::string_view(line).substr(hash + 1, equals - hash - 1), index))
    return false;
  const WindowHandle edit = FindNthChildByClass(windows_, "edit", index, target);
  if (edit == 0)
    return false;
  for (char32_t character : CodePoints(line.substr(equals + 1))) {
    if (!windows_.SendCharacter(edit, character))
      return false;
  }
  return true;
}

bool TMUMacro::Button(const std::string& line, WindowHandle target) {
  WindowHandle button = 0;
  if (const std::size_t hash = line.find('#'); hash != std::string::npos) {
    int index = 0;
    if (!ParseIndex(std::string_view(line).substr(hash + 1), index))
      return false;
    button = FindNthChildByClass(windows_, "button", index, target);
  } else {
    std::string caption;
    if (!Between(line, '(', ')', caption))
      return false;
    button = FindChildByClassAndText(windows_, "button", caption, target);
  }
  return button != 0 && windows_.Click(button);
}

bool TMUMacro::Delay(const std::string& line) {
  std::string number;
  long long milliseconds = 0;
  if (!Between(line, '(', ')', number) || !ParseInteger(number, milliseconds))
    return false;
  const std::uint64_t start = clock_->TickCount();
  for (;;) {
    const std::uint64_t elapsed = clock_->TickCount() - start;
    if (milliseconds <= 0 || elapsed >= static_cast<std::uint64_t>(milliseconds))
      return true;
    const std::uint64_t left = static_cast<std::uint64_t>(milliseconds) - elapsed;
    clock_->Sleep(static_cast<std::uint32_t>(std::min<std::uint64_t>(left, kDelaySliceMs)));
  }
}

}  // namespace quillon::dialogwatch
