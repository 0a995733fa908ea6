// The corpus's Lotus 1-2-3 workbooks read in process: known cells, dates,
// formula results and sheet names, and every truncation refused.

#include "wordcnv/lotus_sheets.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/support/temp_dir.h"
#include "tests/wordcnv/html_rows.h"
#include "wordcnv/legacy_converter.h"

namespace quillon::wordcnv {
namespace {

using quillon::testing::CorpusDir;
using quillon::testing::FileExists;
using quillon::testing::PageTable;
using quillon::testing::PageTables;
using quillon::testing::ReadFile;
using quillon::testing::TempDir;
using quillon::testing::WriteFile;

class LotusCorpusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (CorpusDir().empty()) {
      GTEST_SKIP() << "the document corpus (../shared/corpus) is absent";
    }
  }

  static std::string Corpus(const std::string& name) { return CorpusDir() + "/legacy/" + name; }

  std::vector<PageTable> Convert(const std::string& source) {
    const std::string html = dir_.File("sheet.htm");
    const std::string error = ConvertLegacyFile(source, html);
    EXPECT_EQ(error, "");
    return PageTables(ReadFile(html));
  }

  TempDir dir_;
};

TEST_F(LotusCorpusTest, Wk1CellsShowAsTheSheetFormatsThem) {
  const auto tables = Convert(Corpus("tika__testLotus123.wk1"));
  ASSERT_EQ(tables.size(), 1u);
  EXPECT_EQ(tables[0].caption, "Sheet1");
  const auto& rows = tables[0].rows;
  ASSERT_GE(rows.size(), 4u);
  EXPECT_EQ(rows[0],
            (std::vector<std::string>{"OBSERV", "DATE", "X", "Y", "SOIL", "TEXT", "DEPTH", "R",
                                      "LSF", "KS", "STERR", "RSQ", "DF", "burp", "KSAV"}));
  // Units sit under their columns; the empty cells before them stay.
  EXPECT_EQ(rows[1][6], "(cm)");
  EXPECT_EQ(rows[1][9], "(m/day)");
  // Integer, date, two and one decimal places; the last two columns are
  // formulas (AND(...) and IF(...)) shown by their stored results.
  EXPECT_EQ(rows[2],
            (std::vector<std::string>{"4001", "7/3/96", "683.38", "3133.59", "c", "l", "32.0",
                                      "3.0", "46.7", "0.14963475091262", "0.0044915216072874",
                                      "0.973681553325649", "30", "1", "0.251537686599668"}));
  EXPECT_EQ(rows[3][0], "4002");
  EXPECT_EQ(rows[3][8], "52.0");
}

TEST_F(LotusCorpusTest, Wk3AndThe123WorkbookWithTwoSheets) {
  const auto wk3 = Convert(Corpus("tika__testLotus123.wk3"));
  ASSERT_EQ(wk3.size(), 1u);
  ASSERT_GE(wk3[0].rows.size(), 2u);
  EXPECT_EQ(wk3[0].rows[0],
            (std::vector<std::string>{"NO", "DATE", "VMC5_10", "VMC15_20", "VMC30_35"}));
  EXPECT_EQ(wk3[0].rows[1][0], "5");
  EXPECT_EQ(wk3[0].rows[1][2], "0.259218436873748");

  const auto book = Convert(Corpus("tika__testLotus123-lotusftp.123"));
  ASSERT_EQ(book.size(), 2u);
  EXPECT_EQ(book[0].caption, "Data");
  EXPECT_EQ(book[1].caption, "Descriptions");
  ASSERT_GE(book[0].rows.size(), 2u);
  const auto& hokkaido = book[0].rows[1];
  ASSERT_GE(hokkaido.size(), 8u);
  EXPECT_EQ(hokkaido[0], "HOKKAIDO");
  EXPECT_EQ(hokkaido[1], "01");
  EXPECT_EQ(hokkaido[2], "5643647");
  EXPECT_EQ(hokkaido[4], "-35792");
  EXPECT_EQ(hokkaido[5], "-0.6");
  EXPECT_EQ(hokkaido[6], "83408.35");
  ASSERT_GE(book[1].rows.size(), 1u);
  EXPECT_EQ(book[1].rows[0][0], "Japanese Basic Demographic Data by Prefecture (1990 Census)");
}

TEST_F(LotusCorpusTest, TruncatedSheetsFailInsteadOfGivingPartOfTheirCells) {
  for (const char* name :
       {"tika__testLotus123.wk1", "tika__testLotus123.wk3", "tika__testLotus123-lotusftp.123"}) {
    const std::string whole = ReadFile(Corpus(name));
    std::vector<std::size_t> cuts;
    for (int percent = 2; percent < 96; percent += 4) {
      cuts.push_back(whole.size() * static_cast<std::size_t>(percent) / 100);
    }
    for (const std::size_t cut : cuts) {
      const std::string source = dir_.File(std::string("cut-") + name);
      WriteFile(source, whole.substr(0, cut));
      const std::string html = dir_.File("cut.htm");
      const std::string error = ConvertLegacyFile(source, html);
      EXPECT_NE(error.find(source + " is damaged"), std::string::npos)
          << name << " cut at " << cut << ": " << error;
      EXPECT_FALSE(FileExists(html)) << name << " cut at " << cut;
    }
  }
}

// A 1-2-3 release 2 sheet written record by record: one cell in each of
// the release's formats.
class Wk1Builder {
 public:
  Wk1Builder() {
    Record(0x00, Word(0x0406));                           // beginning of file
    Record(0x06, Word(0) + Word(0) + Word(7) + Word(7));  // used range
  }
  Wk1Builder& Label(int column, int row, const std::string& text) {
    Record(0x0F, std::string(1, '\xFF') + Word(column) + Word(row) + "'" + text + '\0');
    return *this;
  }
  // `format`: type in bits 4 to 6, decimals or special code in bits 0 to 3.
  Wk1Builder& Number(int column, int row, int format, double value) {
    Record(0x0E, Format(format) + Word(column) + Word(row) + Double(value));
    return *this;
  }
  Wk1Builder& Formula(int column, int row, int format, double result) {
    const std::string formula = std::string(1, '\0') + Double(result) + '\x03';
    Record(0x10, Format(format) + Word(column) + Word(row) + Double(result) +
                     Word(static_cast<int>(formula.size())) + formula);
    return *this;
  }
  std::string Bytes() const { return bytes_ + std::string("\x01\x00\x00\x00", 4); }

 private:
  static std::string Word(int value) {
    return std::string{static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF)};
  }
  static std::string Format(int format) { return std::string(1, static_cast<char>(0x80 | format)); }
  static std::string Double(double value) {
    std::string out(8, '\0');
    std::memcpy(out.data(), &value, 8);
    return out;
  }
  void Record(int type, const std::string& data) {
    bytes_ += Word(type) + Word(static_cast<int>(data.size())) + data;
  }
  std::string bytes_;
};

TEST(LotusFormats, EachCellFormatOfTheSheetShowsItsValue) {
  Wk1Builder sheet;
  sheet.Label(0, 0, "Fixed")
      .Number(1, 0, 0x02, 1234.567)
      .Label(0, 1, "Percent")
      .Number(1, 1, 0x31, 0.256)
      .Label(0, 2, "Currency")
      .Number(1, 2, 0x22, -1234.5)
      .Label(0, 3, "Comma")
      .Number(1, 3, 0x40, 1234567)
      .Label(0, 4, "Sci")
      .Number(1, 4, 0x12, 12345)
      .Label(0, 5, "Date")
      .Number(1, 5, 0x79, 35249)  // day 35249 is 3 July 1996
      .Label(0, 6, "Time")
      .Number(1, 6, 0x77, 0.75)
      .Label(0, 7, "Formula")
      .Formula(1, 7, 0x02, 42)
      .Label(3, 7, "far <right> & after a gap");
  TempDir dir;
  WriteFile(dir.File("formats.wk1"), sheet.Bytes());
  const std::string error = ConvertLegacyFile(dir.File("formats.wk1"), dir.File("f.htm"));
  ASSERT_EQ(error, "");
  const auto tables = PageTables(ReadFile(dir.File("f.htm")));
  ASSERT_EQ(tables.size(), 1u);
  using Row = std::vector<std::string>;
  EXPECT_EQ(tables[0].rows,
            (std::vector<Row>{{"Fixed", "1234.57"},
                              {"Percent", "25.6%"},
                              {"Currency", "-$1,234.50"},
                              {"Comma", "1,234,567"},
                              {"Sci", "1.23E+04"},
                              {"Date", "7/3/96"},
                              {"Time", "6:00:00 PM"},
                              {"Formula", "42.00", "", "far <right> & after a gap"}}));

  // The same sheet without its end record is refused.
  const std::string cut = sheet.Bytes().substr(0, sheet.Bytes().size() - 4);
  WriteFile(dir.File("cut.wk1"), cut);
  EXPECT_EQ(ConvertLegacyFile(dir.File("cut.wk1"), dir.File("c.htm")),
            dir.File("cut.wk1") + " is damaged: it ends before its last record");
  EXPECT_FALSE(FileExists(dir.File("c.htm")));
}

TEST(LotusRecords, AStreamMustReachItsEndOfFileRecord) {
  const std::string begin("\x00\x00\x02\x00\x06\x04", 6);
  const std::string cell("\x0D\x00\x07\x00\xFF\x00\x00\x00\x00\x2A\x00", 11);
  const std::string end("\x01\x00\x00\x00", 4);
  EXPECT_TRUE(LotusRecordsComplete(begin + cell + end));
  EXPECT_FALSE(LotusRecordsComplete(begin + cell));
  EXPECT_FALSE(LotusRecordsComplete(begin + cell.substr(0, 6)));
  // A record whose length runs past the end hides no end record.
  EXPECT_FALSE(LotusRecordsComplete(begin + std::string("\x0D\x00\xFF\x00", 4) + end));
  // Bytes that are no record stream are left to the library.
  EXPECT_TRUE(LotusRecordsComplete("\xD0\xCF\x11\xE0 compound file"));
}

}  // namespace
}  // namespace quillon::wordcnv
