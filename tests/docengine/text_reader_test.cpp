// Plain text files: byte-order marks, UTF-8, detected legacy character
// sets, non-ASCII file names, the choice of reader by content, and the
// recovery of text from any file.

#include <gtest/gtest.h>

#include <cstdlib>

#include "docengine/reader.h"
#include "docengine/reader_factories.h"
#include "docengine/text_writer.h"
#include "tests/support/temp_dir.h"

namespace quillon::docengine {
namespace {

struct Opened {
  ReadResult result;
  Document doc;
};

Opened OpenBytes(const std::string& bytes, const std::string& name = "file.txt",
                 bool recover = false) {
  testing::TempDir dir;
  const std::string path = dir.File(name);
  testing::WriteFile(path, bytes);
  OpenOptions options;
  options.path = path;
  options.recover_any = recover;
  Opened opened;
  opened.result = ReadDocumentFile(options, opened.doc);
  return opened;
}

TEST(TextReaderTest, ByteOrderMarksAndUtf8) {
  struct Case {
    std::string bytes;
    int encoding;
  };
  const std::string text =
      "Gr\xC3\xBC\xC3\x9F"
      "e\r\nzwei";
  const std::vector<Case> cases = {
      {"\xEF\xBB\xBF" + text, 65001},
      {text, 65001},
      {std::string("\xFF\xFEG\0r\0\xFC\0\xDF\0"
                   "e\0\r\0\n\0z\0w\0e\0i\0",
                   24),
       1200},
      {std::string("\xFE\xFF\0G\0r\0\xFC\0\xDF\0"
                   "e\0\r\0\n\0z\0w\0e\0i",
                   24),
       1201},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.encoding);
    Opened opened = OpenBytes(c.bytes);
    ASSERT_TRUE(opened.result.ok) << opened.result.error;
    EXPECT_EQ(opened.doc.format, SourceFormat::kText);
    EXPECT_EQ(opened.doc.open_encoding, c.encoding);
    EXPECT_EQ(RenderText(opened.doc),
              "Gr\xC3\xBC\xC3\x9F"
              "e\r\nzwei\r\n");
  }
}

TEST(TextReaderTest, LegacyCharacterSetsAreDetected) {
  // Long enough for the detector to be sure.
  std::string latin;
  for (int i = 0; i < 20; ++i)
    latin +=
        "Le caf\xE9 est tr\xE8s bon et la cr\xE8me br\xFBl\xE9"
        "e aussi. ";
  Opened opened = OpenBytes(latin);
  ASSERT_TRUE(opened.result.ok);
  EXPECT_EQ(opened.doc.open_encoding, 1252);
  EXPECT_NE(RenderText(opened.doc).find("caf\xC3\xA9 est tr\xC3\xA8s"), std::string::npos);

  // Shift-JIS: "日本語のテキストです。" repeated.
  std::string sjis;
  for (int i = 0; i < 20; ++i) {
    sjis +=
        "\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x83\x65\x83\x4c\x83\x58\x83\x67\x82\xc5\x82\xb7\x81\x42";
  }
  opened = OpenBytes(sjis);
  ASSERT_TRUE(opened.result.ok);
  EXPECT_EQ(opened.doc.open_encoding, 932);
  EXPECT_EQ(RenderText(opened.doc).substr(0, 9), "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E");
}

TEST(TextReaderTest, AsciiReportsTheAnsiCodePage) {
  setenv("QUILLON_ANSI_CODEPAGE", "1252", 1);
  Opened opened = OpenBytes("plain\nlines\rmixed\r\n\r\nend\x0Bline\f");
  unsetenv("QUILLON_ANSI_CODEPAGE");
  ASSERT_TRUE(opened.result.ok);
  EXPECT_EQ(opened.doc.open_encoding, 1252);
  EXPECT_EQ(RenderText(opened.doc), "plain\r\nlines\r\nmixed\r\n\r\nend\r\nline\r\n");
}

TEST(TextReaderTest, ChosenByContentNotByName) {
  // An RTF file named .txt is RTF; a text file named .rtf or .doc is text;
  // non-ASCII names open.
  Opened rtf = OpenBytes("{\\rtf1 Hello\\par}", "looks like text.txt");
  ASSERT_TRUE(rtf.result.ok);
  EXPECT_EQ(rtf.doc.format, SourceFormat::kRtf);
  Opened text = OpenBytes("just words", "R\xC3\xA9sum\xC3\xA9 \xE6\x96\x87\xE6\xA1\xA3.rtf");
  ASSERT_TRUE(text.result.ok) << text.result.error;
  EXPECT_EQ(text.doc.format, SourceFormat::kText);
  EXPECT_EQ(RenderText(text.doc), "just words\r\n");
  Opened binary = OpenBytes(std::string("\x01\x02\x03\x00\x05\x06garbage\x00", 14), "x.doc");
  EXPECT_FALSE(binary.result.ok);
  EXPECT_NE(binary.result.error.find("x.doc"), std::string::npos);
}

TEST(TextReaderTest, MissingTooLargeAndFolderFail) {
  OpenOptions options;
  options.path = "/nonexistent/quillon/file.txt";
  Document doc;
  ReadResult result = ReadDocumentFile(options, doc);
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.error.find("file.txt"), std::string::npos);

  testing::TempDir dir;
  testing::WriteFile(dir.File("big.txt"), std::string(5000, 'a'));
  options.path = dir.File("big.txt");
  options.limits.max_input_bytes = 4096;
  result = ReadDocumentFile(options, doc);
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.error.find("too large"), std::string::npos);

  options.path = dir.path();
  options.limits = ReadLimits();
  EXPECT_FALSE(ReadDocumentFile(options, doc).ok);
}

TEST(TextReaderTest, EncryptedPackageAsksForThePassword) {
  std::string data("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
  data += std::string(504, '\0');
  data += std::string("E\0n\0c\0r\0y\0p\0t\0e\0d\0P\0a\0c\0k\0a\0g\0e\0", 32);
  data += std::string(512, '\0');
  Opened opened = OpenBytes(data, "secret.docx");
  EXPECT_FALSE(opened.result.ok);
  EXPECT_EQ(opened.result.error, kPasswordIncorrectMessage);
}

TEST(RecoverTextTest, PrintableRunsOfBytesAndUtf16) {
  std::string data("\x00\x01\xFFHello recovered world\x00\x02\x03", 27);
  data += std::string("U\0n\0i\0c\0o\0d\0e\0 \0\xE9\0", 18);
  data += std::string("\x00\x00\x07\x08", 4);
  data += "ab";  // too short to count
  data += std::string("\x01", 1);
  data += "Second run";
  Opened opened = OpenBytes(data, "blob.bin", true);
  ASSERT_TRUE(opened.result.ok) << opened.result.error;
  EXPECT_EQ(opened.doc.format, SourceFormat::kRecovered);
  EXPECT_EQ(RenderText(opened.doc), "Hello recovered world\r\nUnicode \xC3\xA9\r\nSecond run\r\n");
  // Even a file some reader knows is recovered as raw text when asked.
  Opened rtf = OpenBytes("{\\rtf1 Hello\\par}", "a.rtf", true);
  ASSERT_TRUE(rtf.result.ok);
  EXPECT_EQ(RenderText(rtf.doc), "{\\rtf1 Hello\\par}\r\n");
}

TEST(TextReaderTest, CorruptInputNeverCrashes) {
  // Odd-length UTF-16, lone surrogates, truncated UTF-8: every cut of each.
  const std::vector<std::string> samples = {
      std::string("\xFF\xFE"
                  "a\0\x00\xD8"
                  "b\0\x00\xDC\x00",
                  11),
      std::string("\xFE\xFF\xD8\x00\x00"
                  "a\xDC",
                  7),
      "\xEF\xBB\xBF\xE6\x97\xA5\xE6\x9C",
      "caf\xC3",
  };
  for (const std::string& sample : samples) {
    for (std::size_t length = 0; length <= sample.size(); ++length) {
      OpenOptions options;
      Document doc;
      ReadResult result = MakeTextReader()->Read(sample.substr(0, length), options, doc);
      EXPECT_TRUE(result.ok);
      RenderText(doc);
    }
  }
}

}  // namespace
}  // namespace quillon::docengine
