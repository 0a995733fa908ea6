// The quillon-engine program: one conversion from the command line, the
// memory cap, and a conversion through the automation server.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>

#include "automation/client.h"
#include "tests/support/temp_dir.h"

namespace quillon {
namespace {

std::string EnginePath() {
  return std::string(QUILLON_BIN_DIR) + "/quillon-engine";
}

struct RunResult {
  int exit_code = -1;
  std::string output;  // stdout and stderr together
};

std::string Quote(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out.push_back(c);
    }
  }
  return out + "'";
}

RunResult RunEngine(const std::vector<std::string>& args, const std::string& env = "") {
  std::string command = env + " " + Quote(EnginePath());
  for (const std::string& arg : args)
    command += " " + Quote(arg);
  command += " 2>&1";
  RunResult result;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr)
    return result;
  char buffer[4096];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
    result.output.append(buffer, got);
  int status = pclose(pipe);
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

class EngineCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::FileExists(EnginePath()))
      GTEST_SKIP() << "quillon-engine is not built";
  }
  testing::TempDir dir_;
};

TEST_F(EngineCliTest, ConvertsWithFormatAndCodePage) {
  const std::string source = dir_.File(
      "\xC3\xBC"
      "ber.rtf");
  testing::WriteFile(source, "{\\rtf1\\ansi \\'fcber alles\\par}");
  const std::string dest = dir_.File("out.txt");
  RunResult run = RunEngine({"--convert", source, dest, "2", "1252"});
  ASSERT_EQ(run.exit_code, 0) << run.output;
  EXPECT_EQ(testing::ReadFile(dest),
            "\xFC"
            "ber alles\r\n");
  run = RunEngine({"--convert", source, dest, "7"});
  ASSERT_EQ(run.exit_code, 0) << run.output;
  EXPECT_EQ(testing::ReadFile(dest),
            std::string("\xFF\xFE\xFC\0b\0e\0r\0 \0a\0l\0l\0e\0s\0\r\0\n\0", 26));
}

TEST_F(EngineCliTest, SourceCharacterSetFollowsTheFarEastLanguage) {
  const std::string source = dir_.File("zh.rtf");
  testing::WriteFile(source, "{\\rtf1\\ansi\\ansicpg1252{\\langfe1028 \\u20013?}\\par}");
  const std::string dest = dir_.File("zh.txt");
  RunResult run = RunEngine({"--convert", source, dest, "-3"});
  ASSERT_EQ(run.exit_code, 0) << run.output;
  EXPECT_EQ(testing::ReadFile(dest), "\xA4\xA4\r\n");
}

TEST_F(EngineCliTest, FailuresExitNonZeroWithAMessage) {
  RunResult run = RunEngine({"--convert", dir_.File("missing.rtf"), dir_.File("o.txt"), "2"});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(run.output.find("missing.rtf"), std::string::npos);
  EXPECT_FALSE(testing::FileExists(dir_.File("o.txt")));

  run = RunEngine({"--convert", "a", "b", "x"});
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_NE(run.output.find("\"x\""), std::string::npos);

  const std::string source = dir_.File("s.txt");
  testing::WriteFile(source, "text");
  run = RunEngine({"--convert", source, dir_.File("o.pdf"), "17"});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(run.output.find("17"), std::string::npos);
  EXPECT_FALSE(testing::FileExists(dir_.File("o.pdf")));

  run = RunEngine({});
  EXPECT_EQ(run.exit_code, 2);
}

TEST_F(EngineCliTest, AddressSpaceCapTurnsAHugeDocumentIntoAnError) {
  // 96 MiB of text under a 64 MiB cap: the read fails cleanly.
  const std::string source = dir_.File("huge.txt");
  testing::WriteFile(source, std::string(96u << 20, 'a'));
  RunResult run =
      RunEngine({"--convert", source, dir_.File("o.txt"), "2"}, "QUILLON_ENGINE_MEMORY_MB=64");
  EXPECT_EQ(run.exit_code, 1) << run.output;
  EXPECT_NE(run.output.find("memory"), std::string::npos) << run.output;
}

TEST_F(EngineCliTest, ServesTheObjectModelThroughAutomation) {
  setenv("XDG_RUNTIME_DIR", dir_.path().c_str(), 1);
  automation::RegisterServer("Word.Application", EnginePath());
  const std::string source = dir_.File("doc.rtf");
  testing::WriteFile(source, "{\\rtf1 Served {\\v not this}text\\par}");
  const std::string dest = dir_.File("served.txt");
  {
    automation::ObjectPtr app = automation::CreateAutomationObject("Word.Application");
    ASSERT_NE(app, nullptr);
    EXPECT_EQ(app->Get("Version").ToText(), "16.0");
    automation::Args open;
    open.named = {{"FileName", automation::Variant(source)},
                  {"ReadOnly", automation::Variant(true)},
                  {"PasswordDocument", automation::Variant("qz")}};
    automation::ObjectPtr doc = app->Get("Documents").AsObject()->Call("Open", open).AsObject();
    automation::Args save;
    save.named = {{"FileName", automation::Variant(dest)},
                  {"FileFormat", automation::Variant(2)},
                  {"Encoding", automation::Variant(65001)}};
    doc->Call("SaveAs", save);
    EXPECT_THROW(doc->Call("Bogus"), automation::AutomationError);
    doc->Call("Close", automation::Args{{}, {{"SaveChanges", automation::Variant(0)}}});
    app->Call("Quit");
  }
  EXPECT_EQ(testing::ReadFile(dest), "Served text\r\n");
}

}  // namespace
}  // namespace quillon
