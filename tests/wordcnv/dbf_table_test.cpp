// dBase and FoxPro tables built byte by byte: field types, deleted records,
// code pages, memo files, and damage of every kind ending in a reason and
// no page.

#include "wordcnv/dbf_table.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "tests/support/temp_dir.h"
#include "tests/wordcnv/dbf_builder.h"
#include "tests/wordcnv/html_rows.h"
#include "wordcnv/legacy_converter.h"

namespace quillon::wordcnv {
namespace {

using quillon::testing::Big;
using quillon::testing::DbfBuilder;
using quillon::testing::FileExists;
using quillon::testing::FptBlock;
using quillon::testing::FptFile;
using quillon::testing::Little;
using quillon::testing::PageTables;
using quillon::testing::ReadFile;
using quillon::testing::TempDir;
using quillon::testing::TestField;
using quillon::testing::WriteFile;

using Rows = std::vector<std::vector<std::string>>;

class DbfTableTest : public ::testing::Test {
 protected:
  // Writes the table (and its side files), converts it and returns the
  // rows of its one table; the reason of a failure is in error_.
  Rows Convert(const std::string& bytes, const std::string& name = "t.dbf") {
    const std::string source = dir_.File(name);
    WriteFile(source, bytes);
    html_ = dir_.File("out.htm");
    error_ = ConvertLegacyFile(source, html_);
    if (!error_.empty()) {
      return {};
    }
    page_ = ReadFile(html_);
    const auto tables = PageTables(page_);
    EXPECT_EQ(tables.size(), 1u);
    return tables.empty() ? Rows{} : tables[0].rows;
  }

  TempDir dir_;
  std::string html_;
  std::string page_;
  std::string error_;
};

TEST_F(DbfTableTest, FieldsAsHeaderRecordsAsRowsDeletedOnesLeftOut) {
  DbfBuilder table(0x03, 0x00,
                   {{"NAME", 'C', 12}, {"AMOUNT", 'N', 8, 2}, {"BORN", 'D', 8}, {"OK", 'L', 1}});
  table.Record({"Alice", "   12.50", "19870301", "T"})
      .Record({"Gone", "1.00", "20000101", "F"}, true)
      .Record({"  Bob & <Co>", "  -3.00", "        ", "?"})
      .Record({"Carol", "*******", "00000000", "n"});
  EXPECT_EQ(Convert(table.Bytes()), (Rows{{"NAME", "AMOUNT", "BORN", "OK"},
                                          {"Alice", "12.50", "1987-03-01", "T"},
                                          {"Bob & <Co>", "-3.00", "", ""},
                                          {"Carol", "*******", "", "F"}}))
      << error_;
  EXPECT_NE(page_.find("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">"),
            std::string::npos);
  EXPECT_NE(page_.find("<th>NAME</th>"), std::string::npos);
  EXPECT_NE(page_.find("Bob &amp; &lt;Co&gt;"), std::string::npos);
}

TEST_F(DbfTableTest, VisualFoxProBinaryFieldsAndHiddenNullFlags) {
  double price = 1234.5;
  std::uint64_t price_bits = 0;
  std::memcpy(&price_bits, &price, sizeof price);
  // 2024-02-29 is Julian day 2460370; 13:05:09 is 47109000 ms.
  DbfBuilder table(0x30, 0x03,
                   {{"ID", 'I', 4},
                    {"COST", 'Y', 8, 4},
                    {"PRICE", 'B', 8},
                    {"AT", 'T', 8},
                    {"_NullFlags", '0', 1}});
  table
      .Record({Little(static_cast<std::uint32_t>(-42), 4), Little(123456, 8), Little(price_bits, 8),
               Little(2460370, 4) + Little(47109000, 4), std::string(1, '\0')})
      .Record({Little(7, 4), Little(static_cast<std::uint64_t>(-15000), 8), Little(0, 8),
               Little(0, 8), std::string(1, '\0')});
  EXPECT_EQ(Convert(table.Bytes()), (Rows{{"ID", "COST", "PRICE", "AT"},
                                          {"-42", "12.3456", "1234.5", "2024-02-29 13:05:09"},
                                          {"7", "-1.5000", "0", ""}}))
      << error_;
}

TEST_F(DbfTableTest, CodePageFromLanguageDriverCpgFileOrDetection) {
  // Windows-1252 by its driver byte.
  DbfBuilder western(0x03, 0x03, {{"WORD", 'C', 10}});
  western.Record(
      {"Gr\xFC\xDF"
       "e"});
  EXPECT_EQ(Convert(western.Bytes()), (Rows{{"WORD"}, {"Grüße"}})) << error_;

  // The DOS Cyrillic code page 866 by its driver byte.
  DbfBuilder dos(0x03, 0x26, {{"WORD", 'C', 10}});
  dos.Record({"\x8F\xE0\xA8\xA2\xA5\xE2"});
  EXPECT_EQ(Convert(dos.Bytes()), (Rows{{"WORD"}, {"Привет"}})) << error_;

  // A ".cpg" file beside the table names the code page over the driver.
  WriteFile(dir_.File("cpg.cpg"), "1251\n");
  DbfBuilder declared(0x03, 0x03, {{"WORD", 'C', 10}});
  declared.Record({"\xCF\xF0\xE8\xE2\xE5\xF2"});
  EXPECT_EQ(Convert(declared.Bytes(), "cpg.dbf"), (Rows{{"WORD"}, {"Привет"}})) << error_;

  // No driver: UTF-8 text is taken as UTF-8...
  DbfBuilder utf8(0x03, 0x00, {{"WORD", 'C', 20}});
  utf8.Record({"普林斯顿大学"}).Record({"جامعة"});
  EXPECT_EQ(Convert(utf8.Bytes()), (Rows{{"WORD"}, {"普林斯顿大学"}, {"جامعة"}})) << error_;

  // ...and other text in what the detector finds.
  const std::vector<std::string> russian = {
      "\xdd\xf2\xee \xef\xf0\xee\xf1\xf2\xee\xe9 \xf2\xe5\xea\xf1\xf2 \xed\xe0 "
      "\xf0\xf3\xf1\xf1\xea\xee\xec",
      "\xff\xe7\xfb\xea\xe5, \xea\xee\xf2\xee\xf0\xfb\xe9 \xed\xf3\xe6\xed\xee "
      "\xf3\xe7\xed\xe0\xf2\xfc",
      "\xef\xee \xf1\xe0\xec\xe8\xec \xe1\xe0\xe9\xf2\xe0\xec \xe1\xe5\xe7 "
      "\xee\xf2\xec\xe5\xf2\xea\xe8"};
  DbfBuilder detected(0x03, 0x00, {{"LINE", 'C', 60}});
  for (int i = 0; i < 5; ++i) {
    for (const std::string& line : russian) {
      detected.Record({line});
    }
  }
  const Rows rows = Convert(detected.Bytes());
  ASSERT_EQ(rows.size(), 16u) << error_;
  EXPECT_EQ(rows[1][0], "Это простой текст на русском");
  EXPECT_EQ(rows[3][0], "по самим байтам без отметки");
}

TEST_F(DbfTableTest, MemosFromDbaseThreeDbaseFourAndFoxProFiles) {
  // dBase III: 512-byte blocks, text ended by 0x1A, block numbers as digits.
  std::string dbt3(512, '\0');
  dbt3 += std::string("First memo\r\nsecond line\x1A\x1A");
  dbt3.resize(1024, '\0');
  dbt3 += std::string("Soft\x8D\nwrapped\x1A");
  DbfBuilder three(0x83, 0x03, {{"NAME", 'C', 5}, {"NOTES", 'M', 10}});
  three.Record({"a", "         1"}).Record({"b", "         2"}).Record({"c", "          "});
  WriteFile(dir_.File("three.dbt"), dbt3);
  EXPECT_EQ(
      Convert(three.Bytes(), "three.dbf"),
      (Rows{
          {"NAME", "NOTES"}, {"a", "First memo\nsecond line"}, {"b", "Soft\nwrapped"}, {"c", ""}}))
      << error_;
  EXPECT_NE(page_.find("First memo<br>second line"), std::string::npos);

  // dBase IV: the block size in the header, each memo with its length.
  std::string dbt4(64, '\0');
  dbt4.replace(20, 2, Little(64, 2));
  dbt4 += std::string("\xFF\xFF\x08\x00", 4) + Little(8 + 9, 4) + "caf\xE9 memo";
  DbfBuilder four(0x8B, 0x03, {{"NOTES", 'M', 10}});
  four.Record({"         1"});
  WriteFile(dir_.File("four.DBT"), dbt4);
  EXPECT_EQ(Convert(four.Bytes(), "four.dbf"), (Rows{{"NOTES"}, {"café memo"}})) << error_;

  // Visual FoxPro: the memo file in upper case, binary block numbers, and a
  // picture memo that carries no text.
  const std::vector<std::pair<std::uint32_t, std::string>> memos = {
      {1, "Alice memo"}, {0, "\x89PNG...."}, {1, std::string(100, 'x')}};
  WriteFile(dir_.File("Fox.FPT"), FptFile(64, memos));
  DbfBuilder fox(0x30, 0x00, {{"NAME", 'C', 6}, {"MEMO", 'M', 4}, {"PIC", 'G', 4}});
  fox.Record({"Alice", Little(FptBlock(64, memos, 0), 4), Little(FptBlock(64, memos, 1), 4)})
      .Record({"Gone", Little(FptBlock(64, memos, 0), 4), Little(0, 4)}, true)
      .Record({"Bob", Little(FptBlock(64, memos, 2), 4), Little(0, 4)});
  EXPECT_EQ(Convert(fox.Bytes(), "fox.dbf"), (Rows{{"NAME", "MEMO", "PIC"},
                                                   {"Alice", "Alice memo", ""},
                                                   {"Bob", std::string(100, 'x'), ""}}))
      << error_;
}

TEST_F(DbfTableTest, MissingOrDamagedMemoFileFailsNamingIt) {
  const std::vector<std::pair<std::uint32_t, std::string>> memos = {{1, "only memo"}};
  DbfBuilder fox(0xF5, 0x03, {{"MEMO", 'M', 10}});
  fox.Record({"         1"});
  Convert(fox.Bytes(), "nomemo.dbf");
  EXPECT_EQ(error_, "the memo file of " + dir_.File("nomemo.dbf") + " is missing");
  EXPECT_FALSE(FileExists(html_));

  // A block past the end of the memo file.
  WriteFile(dir_.File("short.fpt"), FptFile(64, memos));
  DbfBuilder beyond(0xF5, 0x03, {{"MEMO", 'M', 10}});
  beyond.Record({"       999"});
  Convert(beyond.Bytes(), "short.dbf");
  EXPECT_EQ(error_, "the memo file " + dir_.File("short.fpt") +
                        " is damaged: the memo in block 999 lies beyond the end of the file");

  // A memo whose length runs past the end of the file.
  std::string cut = FptFile(64, {{1, std::string(200, 'y')}});
  cut.resize(cut.size() - 100);
  WriteFile(dir_.File("cut.fpt"), cut);
  DbfBuilder runs(0xF5, 0x03, {{"MEMO", 'M', 10}});
  runs.Record({"         8"});
  Convert(runs.Bytes(), "cut.dbf");
  EXPECT_EQ(error_, "the memo file " + dir_.File("cut.fpt") +
                        " is damaged: the memo in block 8 runs past the end of the file");
  EXPECT_FALSE(FileExists(html_));
}

TEST_F(DbfTableTest, EveryTruncationFailsWithAReasonAndNoPage) {
  DbfBuilder table(0x03, 0x03, {{"NAME", 'C', 8}, {"N", 'N', 4}});
  for (int i = 0; i < 6; ++i) {
    table.Record({"row" + std::to_string(i), std::to_string(i)});
  }
  const std::string bytes = table.Bytes();
  // Without its end-of-file mark the table is still whole.
  EXPECT_EQ(Convert(bytes.substr(0, bytes.size() - 1)).size(), 7u) << error_;
  for (std::size_t length = 1; length + 1 < bytes.size(); ++length) {
    std::remove(html_.c_str());
    Convert(bytes.substr(0, length));
    EXPECT_NE(error_, "") << length;
    EXPECT_FALSE(FileExists(html_)) << length;
  }
  Convert(bytes.substr(0, table.HeaderLength() + 2 * 13 + 5));
  EXPECT_EQ(error_, dir_.File("t.dbf") + " is damaged: it ends inside record 3 of 6");
}

TEST_F(DbfTableTest, ImpossibleHeadersFailBeforeReadingRecords) {
  DbfBuilder table(0x03, 0x03, {{"NAME", 'C', 8}});
  table.Record({"one"});
  std::string huge = table.Bytes();
  huge.replace(4, 4, Little(0x7FFFFFFF, 4));  // more records than the file holds
  Convert(huge);
  EXPECT_EQ(error_, dir_.File("t.dbf") + " is damaged: it ends inside record 2 of 2147483647");

  std::string narrow = table.Bytes();
  narrow.replace(10, 2, Little(4, 2));  // records shorter than their fields
  Convert(narrow);
  EXPECT_EQ(error_, dir_.File("t.dbf") + " is damaged: its field list cannot be read");
  EXPECT_FALSE(FileExists(html_));
}

TEST(DbfCodePages, LanguageDriversNameWindowsAndDosCodePages) {
  EXPECT_EQ(CodePageOfLanguageDriver(0x01), 437);
  EXPECT_EQ(CodePageOfLanguageDriver(0x02), 850);
  EXPECT_EQ(CodePageOfLanguageDriver(0x03), 1252);
  EXPECT_EQ(CodePageOfLanguageDriver(0x4D), 936);
  EXPECT_EQ(CodePageOfLanguageDriver(0x7B), 932);
  EXPECT_EQ(CodePageOfLanguageDriver(0xC8), 1250);
  EXPECT_EQ(CodePageOfLanguageDriver(0xCC), 1257);
  EXPECT_EQ(CodePageOfLanguageDriver(0x00), 0);
  EXPECT_EQ(CodePageOfLanguageDriver(0xFF), 0);
}

}  // namespace
}  // namespace quillon::wordcnv
