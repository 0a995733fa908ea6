// The pieces of a command-line run's output that the program runs cannot
// easily reach: JSON strings of any bytes and the fitting of the progress
// line.

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

#include "app/command_line_console.h"
#include "app/run_report.h"

namespace quillon {
namespace {

TEST(RunReportTest, JsonStringsKeepUtf8AndEscapeEverythingElse) {
  EXPECT_EQ(JsonString("plain /a b.doc"), "\"plain /a b.doc\"");
  EXPECT_EQ(JsonString("say \"hi\"\\now"), "\"say \\\"hi\\\"\\\\now\"");
  // A file name may hold a line break, a tab and other control characters.
  EXPECT_EQ(JsonString(std::string("a\nb\rc\td\x01\x1f\x7f", 10)),
            "\"a\\nb\\rc\\td\\u0001\\u001f\\u007f\"");
  EXPECT_EQ(JsonString("Grüße 漢字 😀"), "\"Grüße 漢字 😀\"");
  // Bytes that are no UTF-8 keep their value as lone surrogates: a stray
  // continuation byte, a Latin-1 name, a cut-short sequence, an overlong
  // slash, an encoded surrogate and a value above U+10FFFF.
  EXPECT_EQ(JsonString("\x80"), "\"\\udc80\"");
  EXPECT_EQ(JsonString("caf\xe9.doc"), "\"caf\\udce9.doc\"");
  EXPECT_EQ(JsonString("\xe6\xbc"), "\"\\udce6\\udcbc\"");
  EXPECT_EQ(JsonString("\xc0\xaf"), "\"\\udcc0\\udcaf\"");
  EXPECT_EQ(JsonString("\xed\xa0\x80"), "\"\\udced\\udca0\\udc80\"");
  EXPECT_EQ(JsonString("\xf4\x90\x80\x80"), "\"\\udcf4\\udc90\\udc80\\udc80\"");
}

TEST(RunReportTest, LinesAreJsonObjectsWithEveryField) {
  FileOutcome outcome;
  outcome.source = "/in/a \"b\".doc";
  outcome.destination = "/out/a \"b\".txt";
  outcome.ok = false;
  outcome.error = "can not open\nthe file";
  outcome.input_bytes = 5'000'000'000;  // more than 32 bits
  outcome.milliseconds = 12;
  RunSummary summary;
  summary.converted = 3;
  summary.failed = 1;
  summary.errors = {"Error, one", "Error, two"};
  summary.seconds = 1.5;
  summary.interrupted = true;
  std::string text = ReportText({outcome}, summary);
  ASSERT_EQ(std::count(text.begin(), text.end(), '\n'), 2) << text;
  ASSERT_EQ(text.back(), '\n');

  size_t first_end = text.find('\n');
  QJsonObject file =
      QJsonDocument::fromJson(QByteArray::fromStdString(text.substr(0, first_end))).object();
  EXPECT_EQ(file.value("source").toString().toStdString(), outcome.source);
  EXPECT_EQ(file.value("destination").toString().toStdString(), outcome.destination);
  EXPECT_FALSE(file.value("ok").toBool(true));
  EXPECT_EQ(file.value("error").toString().toStdString(), outcome.error);
  EXPECT_EQ(file.value("input_bytes").toInteger(), 5'000'000'000);
  EXPECT_EQ(file.value("output_bytes").toInteger(-1), 0);
  EXPECT_EQ(file.value("milliseconds").toInteger(), 12);

  QJsonObject last =
      QJsonDocument::fromJson(QByteArray::fromStdString(text.substr(first_end + 1))).object();
  EXPECT_TRUE(last.value("summary").toBool());
  EXPECT_EQ(last.value("files").toInt(), 4);
  EXPECT_EQ(last.value("error_count").toInt(), 2);
  EXPECT_EQ(last.value("errors").toArray().at(1).toString().toStdString(), "Error, two");
  EXPECT_TRUE(last.value("interrupted").toBool());
  // A decimal point whatever the locale says.
  EXPECT_NE(text.find("\"seconds\":1.500}"), std::string::npos) << text;
}

TEST(RunReportTest, TheProgressLineFitsTheTerminalAndShowsTheEndOfTheName) {
  std::string name = "/home/user/Documents/reports/2021/Überblick über das Jahr.docx";
  std::string full = ProgressText(7, 3.26, name, 200);
  EXPECT_EQ(full, "7 files done, 3.3 files/s: " + name);

  std::string cut = ProgressText(7, 3.26, name, 50);
  EXPECT_EQ(CharacterCount(cut), 49u) << cut;
  EXPECT_EQ(cut.rfind("7 files done, 3.3 files/s: ...", 0), 0u) << cut;
  // Cut by characters, not bytes: the umlauts stay whole.
  EXPECT_EQ(cut.substr(cut.size() - 19), "über das Jahr.docx") << cut;

  // Control characters and bytes that are no UTF-8 never reach the terminal.
  EXPECT_EQ(ProgressText(0, 0, std::string("a\nb\x1b[2J\xff.doc", 12), 80),
            "0 files done, 0.0 files/s: a?b?[2J?.doc");
  // Too narrow for even the count: the count alone, cut.
  EXPECT_EQ(ProgressText(123, 4, "x", 10), "123 files");
}

}  // namespace
}  // namespace quillon
