#include "util/command_line.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

TEST(CommandLine, StartModeParametersAreNotConversionParameters) {
  EXPECT_EQ(CountConversionParams({}), 0);
  EXPECT_EQ(CountConversionParams({"-Embedding", "/min"}), 0);
  EXPECT_EQ(CountConversionParams({"/min", "/min"}), 0);
  // Exact, case-sensitive comparison.
  EXPECT_EQ(CountConversionParams({"/MIN"}), 1);
  EXPECT_EQ(CountConversionParams({"-embedding", "/min", "/s", "/tmp/x"}), 3);

  EXPECT_TRUE(HasEmbeddingParam({"/s", "-Embedding"}));
  EXPECT_FALSE(HasEmbeddingParam({"-embedding", "Embedding", "/min"}));
  EXPECT_FALSE(HasEmbeddingParam({}));
}

}  // namespace
}  // namespace quillon
