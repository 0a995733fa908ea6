// The language menu over real catalog folders, and the interface language
// through the start-up and shut-down of the main window's state (no window):
// the stored choice switches the catalog, the checked entry goes back to
// "set.ini".

#include "app/language_menu.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "app/main_window_state.h"
#include "platform/folders.h"
#include "tests/support/temp_dir.h"
#include "util/translate.h"

namespace quillon {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// The catalogs built beside the test programs.
std::string BuiltLocale() {
  return ProgramFolder() + "locale";
}

class LanguageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitMessageCatalog(BuiltLocale());
    SetInterfaceLanguage("en");
  }
  void TearDown() override { SetInterfaceLanguage(""); }

  // A locale folder holding exactly the given entries (folders unless the
  // name has an extension).
  std::string LocaleWith(std::initializer_list<const char*> names) {
    std::string root = dir_.File("locale");
    ::mkdir(root.c_str(), 0755);
    for (const char* name : names) {
      std::string path = root + "/" + name;
      if (std::string(name).find('.') != std::string::npos) {
        WriteFile(path, "");
      } else {
        ::mkdir(path.c_str(), 0755);
      }
    }
    return root;
  }

  std::vector<std::string> Codes(const LanguageMenu& menu) {
    std::vector<std::string> codes;
    for (const LanguageEntry& entry : menu.entries()) {
      codes.push_back(entry.code);
    }
    return codes;
  }

  TempDir dir_;
};

TEST_F(LanguageTest, NameTableIsExactAndTranslated) {
  EXPECT_EQ(LanguageName("nb"), "Norwegian Bokmaal");
  EXPECT_EQ(LanguageName("zh_TW"), "Chinese (Tranditional)");
  EXPECT_EQ(LanguageName("fr_BE"), "Walloon");
  EXPECT_EQ(LanguageName("DE"), "");
  EXPECT_EQ(LanguageName("de_DE"), "");
  EXPECT_EQ(LanguageName(""), "");
  SetInterfaceLanguage("de");
  EXPECT_EQ(LanguageName("de"), "Deutsch");
  EXPECT_EQ(LanguageName("fr"), "Französisch");
  SetInterfaceLanguage("fr");
  EXPECT_EQ(LanguageName("de"), "Allemand");
}

TEST_F(LanguageTest, MenuTakesKnownFoldersOnlyAndMarksTheExactCode) {
  LanguageMenu menu;
  menu.Build(LocaleWith({"de", "en", "xx", "fr", "de.po", "en_GB"}), "de");
  std::vector<std::string> codes = Codes(menu);
  ASSERT_EQ(codes.front(), "en");
  // English is there once; an unknown code and a file add nothing.
  EXPECT_EQ(std::count(codes.begin(), codes.end(), "en"), 1);
  EXPECT_EQ(std::count(codes.begin(), codes.end(), "xx"), 0);
  EXPECT_EQ(std::count(codes.begin(), codes.end(), "de.po"), 0);
  EXPECT_EQ(codes.size(), 4u);  // en, de, fr, en_GB in the order listed
  EXPECT_TRUE(menu.visible());
  EXPECT_EQ(menu.CurrentCode(), "de");

  LanguageMenu regional;
  regional.Build(LocaleWith({"de"}), "de_DE");
  EXPECT_EQ(regional.CurrentCode(), "");
}

TEST_F(LanguageTest, EnglishFolderUnderAnotherLanguageAddsNoSecondEnglish) {
  SetInterfaceLanguage("de");
  LanguageMenu menu;
  menu.Build(LocaleWith({"en", "de"}), "");
  ASSERT_EQ(menu.entries().size(), 2u);
  EXPECT_EQ(menu.entries()[0].caption, "Englisch");
  EXPECT_EQ(menu.entries()[1].caption, "Deutsch");
}

TEST_F(LanguageTest, MissingFolderLeavesEnglishOnlyAndHidden) {
  LanguageMenu menu;
  menu.Build(dir_.File("no-such-locale"), "de");
  EXPECT_EQ(Codes(menu), std::vector<std::string>{"en"});
  EXPECT_FALSE(menu.visible());
  EXPECT_EQ(menu.CurrentCode(), "");
}

TEST_F(LanguageTest, CheckMovesTheMarkOnlyToAnEntryThatExists) {
  LanguageMenu menu;
  menu.Build(LocaleWith({"de", "fr"}), "fr");
  EXPECT_TRUE(menu.Check("de"));
  EXPECT_EQ(menu.CurrentCode(), "de");
  EXPECT_FALSE(menu.Check("pt_BR"));
  EXPECT_EQ(menu.CurrentCode(), "de");
  EXPECT_FALSE(menu.Check("DE"));
  EXPECT_EQ(menu.CurrentCode(), "de");
}

TEST_F(LanguageTest, StartUpCodeComesFromLangWithoutCodeSet) {
  const char* before = std::getenv("LANG");
  std::string kept = before != nullptr ? before : "";
  setenv("LANG", "pt_BR.UTF-8", 1);
  EXPECT_EQ(StartUpLanguageCode(), "pt_BR");
  setenv("LANG", "de", 1);
  EXPECT_EQ(StartUpLanguageCode(), "de");
  setenv("LANG", "sr_RS@latin", 1);
  EXPECT_EQ(StartUpLanguageCode(), "sr_RS");
  if (before != nullptr) {
    setenv("LANG", kept.c_str(), 1);
  } else {
    unsetenv("LANG");
  }
}

// The main window's state without a window: the stored language applies at
// start, and what the menu has checked is stored at the end.
TEST_F(LanguageTest, StoredChoiceAppliesAtStartAndIsWrittenBackAtTheEnd) {
  testing::StateFolderScope home;
  testing::RuntimeFolderScope runtime;
  {
    MainWindowState state({});
    SetUpMainWindow(state);
    state.settings->ApplyLanguage("de");
    EXPECT_EQ(Tr("Yes"), "Ja");
    EXPECT_EQ(state.language_menu.CurrentCode(), "de");
    ShutDownMainWindow(state);
  }
  std::string ini = ReadFile(ConfigFolder() + "set.ini");
  EXPECT_NE(ini.find("Language=de"), std::string::npos) << ini;

  SetInterfaceLanguage("en");
  {
    MainWindowState state({});
    SetUpMainWindow(state);
    EXPECT_EQ(Tr("Yes"), "Ja");
    EXPECT_EQ(Tr("[Specified File]"), "[Angegebene Datei]");
    // English writes "en" and brings back the built-in texts.
    state.settings->ApplyLanguage("en");
    EXPECT_EQ(Tr("Yes"), "Yes");
    ShutDownMainWindow(state);
  }
  ini = ReadFile(ConfigFolder() + "set.ini");
  EXPECT_NE(ini.find("Language=en"), std::string::npos) << ini;
}

TEST_F(LanguageTest, StoredCodeWithoutEntryIsAppliedAndReplacedAtTheEnd) {
  testing::StateFolderScope home;
  testing::RuntimeFolderScope runtime;
  {
    MainWindowState state({});
    SetUpMainWindow(state);
    state.settings->ApplyLanguage("fr");
    ShutDownMainWindow(state);
  }
  {
    MainWindowState state({});
    SetUpMainWindow(state);
    state.settings->ApplyLanguage("xx");
    // No catalog: the texts are English, the mark stays on French.
    EXPECT_EQ(Tr("Yes"), "Yes");
    EXPECT_EQ(state.language_menu.CurrentCode(), "fr");
    ShutDownMainWindow(state);
  }
  std::string ini = ReadFile(ConfigFolder() + "set.ini");
  EXPECT_NE(ini.find("Language=fr"), std::string::npos) << ini;
}

}  // namespace
}  // namespace quillon
