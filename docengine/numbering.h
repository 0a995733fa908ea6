#pragma once
// List and note numbers as every reader spells them.

#include <string>

namespace quillon::docengine {

// `value` in Roman numerals ("xiv", or "XIV" when `upper`); values outside
// 1 to 3999, which Roman numerals cannot write, stay decimal.
std::string RomanNumeral(int value, bool upper);

}  // namespace quillon::docengine
