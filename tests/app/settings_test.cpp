#include "app/settings.h"

#include <gtest/gtest.h>

#include "support/logs.h"
#include "tests/app/default_settings.h"
#include "tests/support/temp_dir.h"

namespace quillon {
namespace {

using testing::kDefaultSettings;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

const std::vector<std::string> kCodes = {"2", "3", "4", "5", "7", "-3"};

struct Fixture {
  TempDir dir;
  Logs logs{dir.path()};
  int watch_starts = 0;
  std::vector<bool> auto_run_calls;
  std::vector<std::string> languages;

  std::unique_ptr<Settings> Start() {
    auto settings = std::make_unique<Settings>(dir.File("set.ini"), &logs);
    SettingsHooks hooks;
    hooks.start_all_watches = [this] { ++watch_starts; };
    hooks.apply_auto_run = [this](bool on) { auto_run_calls.push_back(on); };
    hooks.apply_language = [this](const std::string& code) { languages.push_back(code); };
    settings->SetHooks(hooks);
    settings->SetFormatCodes(kCodes);
    settings->LoadSettings();
    return settings;
  }
};

TEST(SettingsTest, FirstStartWritesTheDefaultsAndStartsTheWatches) {
  Fixture f;
  auto settings = f.Start();
  EXPECT_TRUE(settings->first_start());
  EXPECT_EQ(ReadFile(f.dir.File("set.ini")), kDefaultSettings);
  EXPECT_EQ(f.watch_starts, 1);
  EXPECT_TRUE(f.languages.empty());
  EXPECT_EQ(settings->text_delimited_index(), -1);
  EXPECT_TRUE(f.logs.create_log_file());
}

TEST(SettingsTest, AChosenFormatAndOptionsComeBackAtTheNextStart) {
  Fixture f;
  {
    auto settings = f.Start();
    settings->ApplyDestinationFormat(2);
    // Written at once, before the program ends.
    EXPECT_NE(ReadFile(f.dir.File("set.ini")).find("Manual Destination File Format=4\r\n"),
              std::string::npos);
    settings->ApplyDeleteSource(true);
    EXPECT_NE(ReadFile(f.dir.File("set.ini")).find("Delete Source File After Conversion=1\r\n"),
              std::string::npos);
    settings->ApplyCreateLogFile(false);
    settings->ApplyAutoStartWatch(false);
    settings->ApplyTextDelimited(3);
    settings->ApplyLanguage("de");
  }
  f.watch_starts = 0;
  auto settings = f.Start();
  EXPECT_FALSE(settings->first_start());
  EXPECT_EQ(settings->destination_format_index(), 2);
  EXPECT_EQ(settings->destination_format_code(), "4");
  EXPECT_TRUE(settings->delete_source());
  EXPECT_FALSE(settings->create_log_file());
  EXPECT_FALSE(f.logs.create_log_file());
  EXPECT_EQ(settings->text_delimited_index(), 3);
  EXPECT_EQ(f.watch_starts, 0);
  EXPECT_EQ(f.languages, (std::vector<std::string>{"de", "de"}));
}

TEST(SettingsTest, HandWrittenValuesAreReadAsTheProfileFunctionsReadThem) {
  Fixture f;
  WriteFile(f.dir.File("set.ini"),
            "[Tarvell\\Quillon]\nAuto Run At Startup=2\nText File Delimited Format=0x1\n"
            "Manual Destination File Format=9\n");
  auto settings = f.Start();
  EXPECT_TRUE(settings->auto_run());
  EXPECT_EQ(f.auto_run_calls, (std::vector<bool>{true}));
  EXPECT_EQ(settings->text_delimited_index(), 1);
  // The boolean goes back as "1"; missing keys are written with the defaults.
  std::string content = ReadFile(f.dir.File("set.ini"));
  EXPECT_NE(content.find("Auto Run At Startup=1\r\n"), std::string::npos);
  EXPECT_NE(content.find("Create Log File=1\r\n"), std::string::npos);
  // An unknown saved format: reported, the first format used.
  EXPECT_EQ(settings->destination_format_index(), 0);
  EXPECT_EQ(f.logs.batch_errors(),
            (std::vector<std::string>{"Error, File Format 9 do not exist!"}));
}

TEST(SettingsTest, CommandLineChoicesNeverReachTheFile) {
  Fixture f;
  auto settings = f.Start();
  std::string before = ReadFile(f.dir.File("set.ini"));
  settings->SelectDestinationFormat(4);
  settings->SelectTextDelimited(9);
  EXPECT_EQ(settings->destination_format_code(), "7");
  EXPECT_EQ(settings->text_delimited_index(), -1);
  EXPECT_EQ(ReadFile(f.dir.File("set.ini")), before);
}

}  // namespace
}  // namespace quillon
