#include "util/translate.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

TEST(Translate, ReturnsEnglishWithoutCatalog) {
  InitMessageCatalog("/nonexistent-locale-folder");
  EXPECT_EQ(Tr("Same File Path"), "Same File Path");
  EXPECT_EQ(Tr(""), "");
  SetInterfaceLanguage("de");
  EXPECT_EQ(Tr("Convert"), "Convert");
  EXPECT_EQ(InterfaceLanguage(), "de");
  SetInterfaceLanguage("");
}

TEST(Translate, FormatTextFillsPlaceholdersInOrder) {
  EXPECT_EQ(FormatText("Error, \"%s\" is not exists!", {std::string("/a b")}),
            "Error, \"/a b\" is not exists!");
  EXPECT_EQ(FormatText("'%s' is an invalid mask at (%d)", {std::string("[a"), std::int64_t{2}}),
            "'[a' is an invalid mask at (2)");
  EXPECT_EQ(FormatText("100%% of %s", {std::string("x")}), "100% of x");
  // Missing arguments keep the placeholder rather than reading garbage.
  EXPECT_EQ(FormatText("%s and %s", {std::string("one")}), "one and %s");
  EXPECT_EQ(FormatText("trailing %", {}), "trailing %");
}

}  // namespace
}  // namespace quillon
