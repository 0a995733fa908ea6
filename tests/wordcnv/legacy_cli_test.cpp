// dBase tables and Lotus sheets through the real `quillon`: the engine
// pre-converts them with the converter program and the built-in word
// processor turns the page into text.

#include <dirent.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/app/cli_harness.h"

namespace quillon::testing {
namespace {

class LegacyCliTest : public CliRunTest {
 protected:
  void SetUp() override {
    CliRunTest::SetUp();
    if (IsSkipped()) {
      return;
    }
    if (::access((CliHarness::BinDir() + "/wordcnv.dll").c_str(), X_OK) != 0) {
      GTEST_SKIP() << CliHarness::BinDir() << "/wordcnv.dll is not built";
    }
  }

  // The text quillon makes of one corpus legacy file (with its memo file
  // beside it when it has one), in UTF-8 ("/f:7" would be UTF-16).
  std::string TextOf(const std::string& name) {
    h_.CopyCorpus("legacy/" + name, "in/" + name);
    if (name == "dbfread__memotest.dbf") {
      h_.CopyCorpus("legacy/dbfread__memotest.FPT", "in/dbfread__memotest.FPT");
    }
    const CliResult run = h_.Run({"/f:2", h_.Work("in/" + name)});
    EXPECT_EQ(run.exit_code, 0) << name << ": " << run.err << ReadFile(h_.Home("error.log"));
    const std::string stem = name.substr(0, name.rfind('.'));
    return ReadFile(h_.Work("in/" + stem + ".txt"));
  }

  static bool Holds(const std::string& text, const std::string& piece) {
    return text.find(piece) != std::string::npos;
  }

  // Processes whose command line names the scratch folder: a converter or
  // anything else left running by a conversion.
  std::vector<std::string> ProcessesUsing(const std::string& folder) const {
    std::vector<std::string> found;
    DIR* proc = ::opendir("/proc");
    while (const dirent* entry = proc != nullptr ? ::readdir(proc) : nullptr) {
      const std::string pid = entry->d_name;
      if (pid.find_first_not_of("0123456789") != std::string::npos) {
        continue;
      }
      const std::string command = ReadFile("/proc/" + pid + "/cmdline");
      if (command.find(folder) != std::string::npos) {
        found.push_back(pid + ": " + command);
      }
    }
    if (proc != nullptr) {
      ::closedir(proc);
    }
    return found;
  }
};

TEST_F(LegacyCliTest, DbaseTablesGiveTheirFieldsAndRecords) {
  const std::string memo = TextOf("dbfread__memotest.dbf");
  EXPECT_TRUE(Holds(memo, "NAME\tBIRTHDATE\tMEMO\r\n")) << memo;
  EXPECT_TRUE(Holds(memo, "Alice\t1987-03-01\tAlice memo\r\n")) << memo;
  EXPECT_TRUE(Holds(memo, "Bob\t1980-11-12\tBob memo\r\n")) << memo;
  EXPECT_FALSE(Holds(memo, "Deleted Guy")) << memo;

  const std::string people = TextOf("dbfread__people.dbf");
  EXPECT_TRUE(Holds(people, "Alice\t1987-03-01\r\n")) << people;
  EXPECT_FALSE(Holds(people, "Deleted")) << people;

  const std::string mixed = TextOf("tika__testDBF.dbf");
  EXPECT_TRUE(Holds(mixed, "TEXT_FIELD\tNUMERIC_FI\tDATE_FIELD\r\n")) << mixed;
  EXPECT_TRUE(Holds(mixed, "Whan that aprill\t2.5\t2016-05-24\r\n")) << mixed;
  EXPECT_TRUE(Holds(mixed, "普林斯顿大学\t3.0\t2016-05-25\r\n")) << mixed;
  EXPECT_TRUE(Holds(mixed, "جامعة برنستون\t4.0\t2016-05-26\r\n")) << mixed;
  EXPECT_TRUE(Holds(mixed, "and the yonge sonne\t")) << mixed;
}

TEST_F(LegacyCliTest, LotusSheetsGiveTheirCellsAsShown) {
  const std::string wk1 = TextOf("tika__testLotus123.wk1");
  EXPECT_TRUE(Holds(wk1, "OBSERV\tDATE\tX\tY\tSOIL\tTEXT\tDEPTH\tR\tLSF\tKS\t")) << wk1;
  EXPECT_TRUE(Holds(wk1, "4001\t7/3/96\t683.38\t3133.59\tc\tl\t32.0\t3.0\t46.7\t")) << wk1;
  // The stored result of the last column's IF formula.
  EXPECT_TRUE(Holds(wk1, "\t30\t1\t0.251537686599668\r\n")) << wk1;

  const std::string wk3 = TextOf("tika__testLotus123.wk3");
  EXPECT_TRUE(Holds(wk3, "NO\tDATE\tVMC5_10\tVMC15_20\tVMC30_35\r\n")) << wk3;
  EXPECT_TRUE(Holds(wk3, "5\t219\t0.259218436873748\t")) << wk3;

  const std::string book = TextOf("tika__testLotus123-lotusftp.123");
  EXPECT_TRUE(Holds(book, "Data\r\n")) << book;
  EXPECT_TRUE(Holds(book, "HOKKAIDO\t01\t5643647\t5679439\t-35792\t-0.6\t83408.35\t")) << book;
  EXPECT_TRUE(Holds(book, "Descriptions\r\n")) << book;
  EXPECT_TRUE(Holds(book, "POP90\t1990 population\r\n")) << book;
}

TEST_F(LegacyCliTest, DamagedFilesAreReportedNamedAndLeaveNothing) {
  const std::string table = ReadFile(CorpusDir() + "/legacy/tika__testDBF.dbf");
  const std::string sheet = ReadFile(CorpusDir() + "/legacy/tika__testLotus123.wk1");
  WriteFile(h_.Work("in/cut table.dbf"), table.substr(0, table.size() / 2));
  WriteFile(h_.Work("in/cut sheet.wk1"), sheet.substr(0, sheet.size() / 2));
  const CliResult run = h_.Run({"/f:2", h_.Work("in/*.dbf;*.wk1")});
  EXPECT_EQ(run.exit_code, 2) << run.err;
  const std::vector<std::string> errors = CliHarness::Lines(h_.Home("error.log"));
  ASSERT_EQ(errors.size(), 2u) << ReadFile(h_.Home("error.log"));
  const std::string reason = "! Error Reason is wordcnv.dll error: ";
  // The masks are taken in their order: the table first.
  EXPECT_EQ(errors[0].rfind("Error, Can not convert " + h_.Work("in/cut table.dbf") + reason +
                                h_.Work("in/cut table.dbf") + " is damaged: it ends inside record ",
                            0),
            0u)
      << errors[0];
  EXPECT_EQ(errors[1], "Error, Can not convert " + h_.Work("in/cut sheet.wk1") + reason +
                           h_.Work("in/cut sheet.wk1") +
                           " is damaged: it ends before its last record");
  EXPECT_EQ(CliHarness::FilesBelow(h_.Work("in")),
            (std::vector<std::string>{"cut sheet.wk1", "cut table.dbf"}));
  EXPECT_EQ(ProcessesUsing(h_.Work("in")), std::vector<std::string>{});
}

}  // namespace
}  // namespace quillon::testing
