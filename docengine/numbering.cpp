#include "docengine/numbering.h"

#include <utility>

namespace quillon::docengine {

std::string RomanNumeral(int value, bool upper) {
  if (value <= 0 || value >= 4000)
    return std::to_string(value);
  static const std::pair<int, const char*> kTable[] = {
      {1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"}, {100, "c"}, {90, "xc"}, {50, "l"},
      {40, "xl"},  {10, "x"},   {9, "ix"},  {5, "v"},    {4, "iv"},  {1, "i"}};
  std::string out;
  for (const auto& [n, s] : kTable) {
    while (value >= n) {
      out += s;
      value -= n;
    }
  }
  if (upper) {
    for (char& c : out)
      c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

}  // namespace quillon::docengine
