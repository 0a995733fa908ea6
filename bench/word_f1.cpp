// Scores how well one text's words match another's: word-count precision,
// recall and F1 over the bags of words of the two files, the measure the
// fidelity mode of the compare scripts prints.
//
//   word_f1 REFERENCE CANDIDATE   prints "F1 PRECISION RECALL WORDS-REF WORDS-CAND"
//
// A word is a run of letters and digits (any script), compared without
// letter case. Each occurrence counts: a word the reference holds three
// times and the candidate once matches once. Precision is the share of the
// candidate's words found in the reference, recall the share of the
// reference's words found in the candidate. Files that are not UTF-8 are
// read as Windows-1252, as the older tools write them.

#include <unicode/uchar.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <unordered_map>

#include "charset/code_page.h"

namespace {

using quillon::AppendUtf8;
using quillon::DecodeText;
using quillon::IsValidUtf8;
using quillon::NextUtf8;

using Bag = std::unordered_map<std::string, long>;

bool ReadWords(const char* path, Bag& bag, long& total) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    return false;
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!IsValidUtf8(text)) {
    std::string utf8;
    std::string error;
    if (DecodeText(text, 1252, utf8, error))
      text.swap(utf8);
  }
  std::string word;
  std::size_t pos = 0;
  auto finish = [&] {
    if (!word.empty()) {
      ++bag[word];
      ++total;
      word.clear();
    }
  };
  while (pos < text.size()) {
    const char32_t c = NextUtf8(text, pos);
    if (u_isalnum(static_cast<UChar32>(c)) ||
        u_charType(static_cast<UChar32>(c)) == U_NON_SPACING_MARK) {
      AppendUtf8(word, static_cast<char32_t>(u_tolower(static_cast<UChar32>(c))));
    } else {
      finish();
    }
  }
  finish();
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "Usage: word_f1 REFERENCE CANDIDATE\n");
    return 2;
  }
  Bag reference;
  Bag candidate;
  long reference_total = 0;
  long candidate_total = 0;
  if (!ReadWords(argv[1], reference, reference_total) ||
      !ReadWords(argv[2], candidate, candidate_total)) {
    std::fprintf(stderr, "word_f1: cannot read %s or %s\n", argv[1], argv[2]);
    return 1;
  }
  long common = 0;
  for (const auto& [word, count] : candidate) {
    auto it = reference.find(word);
    if (it != reference.end())
      common += std::min(count, it->second);
  }
  // Two empty texts agree completely; one empty against words not at all.
  double precision = candidate_total > 0 ? static_cast<double>(common) / candidate_total
                                         : (reference_total == 0 ? 1.0 : 0.0);
  double recall = reference_total > 0 ? static_cast<double>(common) / reference_total
                                      : (candidate_total == 0 ? 1.0 : 0.0);
  const double f1 = precision + recall > 0 ? 2 * precision * recall / (precision + recall) : 0.0;
  std::printf("%.3f %.3f %.3f %ld %ld\n", f1, precision, recall, reference_total, candidate_total);
  return 0;
}
