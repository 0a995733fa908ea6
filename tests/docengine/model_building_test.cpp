// Run building shared by the readers: neighbouring text of one format is
// one run, and every format field keeps runs apart.

#include "docengine/model_building.h"

#include <gtest/gtest.h>

#include <functional>

namespace quillon::docengine {
namespace {

TEST(AppendRunTextTest, OneFormatGrowsOneRunAndEveryFieldSplits) {
  std::vector<docengine::Run> runs;
  docengine::Run plain;
  plain.text = "ignored";
  AppendRunText(runs, plain, "ab");
  AppendRunText(runs, plain, "cd");
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].text, "abcd");

  const std::function<void(docengine::Run&)> changes[] = {
      [](docengine::Run& r) { r.hidden = true; },   [](docengine::Run& r) { r.deleted = true; },
      [](docengine::Run& r) { r.inserted = true; }, [](docengine::Run& r) { r.field_code = true; },
      [](docengine::Run& r) { r.lang = 0x0409; },   [](docengine::Run& r) { r.lang_fe = 0x0804; },
  };
  for (const auto& change : changes) {
    docengine::Run other;
    change(other);
    EXPECT_FALSE(SameFormat(plain, other));
    std::vector<docengine::Run> split;
    AppendRunText(split, plain, "x");
    AppendRunText(split, other, "y");
    ASSERT_EQ(split.size(), 2u);
    EXPECT_EQ(split[1].text, "y");
    EXPECT_TRUE(SameFormat(split[1], other));
  }
}

}  // namespace
}  // namespace quillon::docengine
