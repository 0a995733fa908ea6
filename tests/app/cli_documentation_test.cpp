// The manual page and the bash completion built with the program: they
// know every option the program's usage text lists, the manual page reads
// without warnings, and the completion offers what the options take.

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <sstream>

#include "jobs/destination_formats.h"
#include "tests/app/cli_harness.h"

namespace quillon::testing {
namespace {

std::string ShareFile(const std::string& relative) {
  return CliHarness::BinDir() + "/../share/" + relative;
}
std::string ManualPage() {
  return ShareFile("man/man1/quillon.1");
}
std::string Completion() {
  return ShareFile("bash-completion/completions/quillon");
}

// Runs a shell command; its standard output (and standard error when
// `with_errors`).
std::string Shell(const std::string& command, bool with_errors = false) {
  std::string full = command + (with_errors ? " 2>&1" : "");
  std::FILE* pipe = ::popen(full.c_str(), "r");
  std::string out;
  if (pipe == nullptr) {
    ADD_FAILURE() << "cannot run " << command;
    return out;
  }
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) {
    out.append(buffer, n);
  }
  ::pclose(pipe);
  return out;
}

std::string Quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return out + "'";
}

// The options of the usage text: the first word of each option line, the
// placeholder of its value left out ("/f:CODE" is "/f:"); "-h, --help" is
// two.
std::vector<std::string> OptionsOfTheUsageText(const std::string& usage) {
  std::vector<std::string> options;
  std::istringstream in(usage);
  std::string line;
  std::regex option_line(R"(^  ((?:[-/][-a-z?]*[:=]?)(?:, [-/][-a-z]+)?)(?:[A-Z]+)? +\S.*)");
  while (std::getline(in, line)) {
    std::smatch match;
    if (std::regex_match(line, match, option_line)) {
      std::string names = match[1].str();
      size_t comma = names.find(", ");
      options.push_back(names.substr(0, comma));
      if (comma != std::string::npos) {
        options.push_back(names.substr(comma + 2));
      }
    }
  }
  return options;
}

// What the completion offers for the words of a command line, the last
// one being completed; bash splits words at ":" and "=" as it does.
std::vector<std::string> Offers(const std::vector<std::string>& words) {
  std::string array;
  for (const std::string& word : words) {
    array += " " + Quoted(word);
  }
  std::string script = "source " + Quoted(Completion()) + "; COMP_WORDS=(" + array +
                       "); COMP_CWORD=" + std::to_string(words.size() - 1) +
                       "; _quillon; printf '%s\\n' \"${COMPREPLY[@]}\"";
  std::vector<std::string> offers;
  std::istringstream in(Shell("bash -c " + Quoted(script)));
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty()) {
      offers.push_back(line);
    }
  }
  return offers;
}

class CliDocumentationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string missing = CliHarness::Missing();
    if (!missing.empty()) {
      GTEST_SKIP() << missing;
    }
  }
  CliHarness h_;
};

TEST_F(CliDocumentationTest, TheManualPageAndTheCompletionKnowEveryOptionOfTheUsageText) {
  CliResult help = h_.Run({"--help"});
  ASSERT_EQ(help.exit_code, 0);
  std::vector<std::string> options = OptionsOfTheUsageText(help.out);
  ASSERT_GE(options.size(), 20u) << help.out;

  // In the manual page each option is set in bold at the start of its entry.
  std::string manual = std::regex_replace(ReadFile(ManualPage()), std::regex(R"(\\-)"), "-");
  ASSERT_FALSE(manual.empty()) << ManualPage() << " was not built";
  for (const std::string& option : options) {
    std::string pattern = std::regex_replace(option, std::regex(R"([?])"), R"(\?)");
    std::regex entry("\n\\.(B|BI|BR) \"?" + pattern + "[ \"\n,]");
    EXPECT_TRUE(std::regex_search(manual, entry)) << option << " has no entry in the manual page";
    std::vector<std::string> offers = Offers({"quillon", option.substr(0, 2)});
    EXPECT_NE(std::find(offers.begin(), offers.end(), option), offers.end())
        << option << " is not offered by the completion";
  }
  // The format codes the completion offers are those of the program.
  DestinationFormatTable formats;
  formats.Fill();
  std::vector<std::string> codes;
  for (const DestinationFormat& format : formats.Entries()) {
    codes.push_back(format.code);
  }
  EXPECT_EQ(Offers({"quillon", "/f", ":"}), codes);
}

TEST_F(CliDocumentationTest, TheManualPageReadsWithoutWarnings) {
  if (Shell("command -v groff").empty()) {
    GTEST_SKIP() << "groff is not installed";
  }
  EXPECT_EQ(Shell("groff -man -ww -z " + Quoted(ManualPage()), true), "");
  std::string text = Shell("groff -man -Tutf8 -P-cbou " + Quoted(ManualPage()));
  EXPECT_NE(text.find("report=file"), std::string::npos) << text;
  EXPECT_NE(text.find("EXIT STATUS"), std::string::npos);
}

TEST_F(CliDocumentationTest, TheCompletionOffersWhatEachOptionTakes) {
  EXPECT_EQ(Offers({"quillon", "/pl"}), (std::vector<std::string>{"/plugin", "/pluginsave"}));
  EXPECT_EQ(Offers({"quillon", "--rep"}), std::vector<std::string>{"--report="});
  // Upper case is the same option; bash replaces only what follows ":".
  EXPECT_EQ(Offers({"quillon", "/T", ":", "6"}), std::vector<std::string>{"6"});
  EXPECT_EQ(Offers({"quillon", "/f", ":", "-"}), std::vector<std::string>{"-3"});

  // Folders after "/d:", files after "--report=" and as the source.
  WriteFile(h_.Work("docs/a report.rtf"), "{\\rtf1 x}");
  std::string docs = h_.Work("docs");
  EXPECT_EQ(Offers({"quillon", "/d", ":", h_.Work("do")}), std::vector<std::string>{docs + "/"});
  EXPECT_EQ(Offers({"quillon", "--report", "=", docs + "/a"}),
            std::vector<std::string>{docs + "/a report.rtf"});
  EXPECT_EQ(Offers({"quillon", "/s", docs + "/a"}),
            std::vector<std::string>{docs + "/a report.rtf"});
}

}  // namespace
}  // namespace quillon::testing
