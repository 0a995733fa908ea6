#pragma once
// Text clean-up shared by the engine's request handling and its helper
// programs.
//
// Thread: any thread; no state.

#include <string>

namespace quillon::engine {

// `text` without the blanks and control characters (every byte up to and
// including the space) at either end. Bytes of UTF-8 characters are above
// the space, so such characters are kept whole.
inline std::string TrimBlanksAndControls(const std::string& text) {
  auto blank_or_control = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && blank_or_control(text[first])) {
    ++first;
  }
  while (last > first && blank_or_control(text[last - 1])) {
    --last;
  }
  return text.substr(first, last - first);
}

}  // namespace quillon::engine
