// The WordPerfect reader over small version 5 documents built here, plain
// and password protected.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "docengine/reader.h"
#include "docengine/text_writer.h"
#include "docengine/wpd_reader.h"
#include "tests/support/temp_dir.h"

namespace quillon::docengine {
namespace {

// The word the format stores to check a password: a rotating sum over the
// upper-case password.
std::uint16_t PasswordCheck(const std::string& password) {
  std::uint16_t sum = 0;
  for (char c : password) {
    const auto upper = static_cast<std::uint16_t>(std::toupper(static_cast<unsigned char>(c)));
    sum = static_cast<std::uint16_t>(((sum >> 1) | (sum << 15)) ^ (upper << 8));
  }
  return sum;
}

// A version 5 document: the 16-byte prefix, then the text stream (plain
// characters, 0x0A a hard return), encrypted with the password when given.
std::string Wp5Document(const std::string& text, const std::string& password = {}) {
  std::string data = "\xFFWPC";
  data += std::string("\x10\x00\x00\x00", 4);  // the text starts at 16
  data += std::string("\x01\x0A\x00\x00", 4);  // a WordPerfect document, version 5
  const std::uint16_t check = password.empty() ? 0 : PasswordCheck(password);
  data += static_cast<char>(check >> 8);
  data += static_cast<char>(check & 0xFF);
  data += std::string(2, '\0');
  std::string upper;
  for (char c : password)
    upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (!upper.empty()) {
      const auto mask = static_cast<unsigned char>(upper.size() + 1 + i);
      c = static_cast<char>(static_cast<unsigned char>(c) ^ upper[i % upper.size()] ^ mask);
    }
    data += c;
  }
  return data;
}

ReadResult Read(const std::string& data, Document& doc, const std::string& password = {}) {
  OpenOptions options;
  options.path = "letter.wpd";
  options.password = password;
  return MakeWordPerfectReader()->Read(data, options, doc);
}

std::string Text(const Document& doc) {
  std::string out;
  for (char c : RenderText(doc)) {
    if (c != '\r')
      out += c;
  }
  return out;
}

TEST(WpdReaderTest, ReadsTextParagraphsAndPage) {
  Document doc;
  const ReadResult result = Read(Wp5Document("Dear Ann,\x0AThanks for the letter.\x0A"), doc);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(doc.format, SourceFormat::kWordPerfect);
  EXPECT_EQ(Text(doc), "Dear Ann,\nThanks for the letter.\n");
  // Letter paper less the default inch margins.
  EXPECT_EQ(doc.page.text_width_twips, 6 * 1440 + 720);
}

TEST(WpdReaderTest, TypographicCharactersStandAlone) {
  // Apostrophes typed as the comma above (or above right) of the
  // multinational set (an extended character: 0xC0, character, set, 0xC0),
  // as real documents have them, read as apostrophes and not as marks on
  // the letter before them; the set's other accents stay as they are.
  Document doc;
  const ReadResult result = Read(
      Wp5Document("President\xC0\x09\x01\xC0s call\x0AKSC\xC0\x0A\x01\xC0s \xC0\x29\x01\xC0\x0A"),
      doc);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(Text(doc), "President\u2019s call\nKSC\u2019s \u00e9\n");
}

TEST(WpdReaderTest, RealDocumentsKeepTheirTypography) {
  const std::string dir = testing::CorpusDir();
  if (dir.empty())
    GTEST_SKIP() << "the shared corpus folder is absent";
  struct Expectation {
    const char* file;
    std::vector<std::string> phrases;
  };
  const Expectation expected[] = {
      {"tika__testWordPerfect_5_0.wp",
       {"President\u2019s phone call to Lucid", "KSC\u2019s Shuttle Landing Facility"}},
      {"tika__testWordPerfect.wpd", {"\u2018", "\u2019"}},
  };
  for (const Expectation& want : expected) {
    OpenOptions options;
    options.path = dir + "/wpd/" + want.file;
    Document doc;
    const ReadResult result = ReadDocumentFile(options, doc);
    ASSERT_TRUE(result.ok) << want.file << ": " << result.error;
    const std::string text = Text(doc);
    for (const std::string& phrase : want.phrases)
      EXPECT_NE(text.find(phrase), std::string::npos) << want.file << " lacks " << phrase;
    // No combining mark stands where the document has a character of its own.
    for (std::size_t at = 0; at + 1 < text.size(); ++at) {
      const auto lead = static_cast<unsigned char>(text[at]);
      const auto next = static_cast<unsigned char>(text[at + 1]);
      EXPECT_FALSE(lead == 0xCC || (lead == 0xCD && next < 0xB0)) << want.file << " at " << at;
    }
  }
}

TEST(WpdReaderTest, PasswordProtectedDocumentsNeedTheirPassword) {
  const std::string data = Wp5Document("Top secret text\x0A", "secret");
  Document doc;
  EXPECT_EQ(Read(data, doc).error, kPasswordIncorrectMessage);
  EXPECT_EQ(Read(data, doc, "wrong").error, kPasswordIncorrectMessage);
  const ReadResult result = Read(data, doc, "Secret");
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(Text(doc), "Top secret text\n");
}

TEST(WpdReaderTest, OtherInputFailsWithoutHarm) {
  const auto reader = MakeWordPerfectReader();
  EXPECT_GT(reader->Sniff(Wp5Document("x"), "a.bin"), 0);
  EXPECT_EQ(reader->Sniff("{\\rtf1 x}", "a.wpd"), 0);

  Document doc;
  EXPECT_FALSE(Read("plain words, nothing more", doc).ok);
  // A version 6 prefix pointing far beyond the end of the file.
  std::string broken = Wp5Document("text\x0A");
  broken[10] = 2;
  broken[5] = '\x7F';
  const ReadResult r = Read(broken, doc);
  EXPECT_FALSE(r.ok);
  EXPECT_FALSE(r.error.empty());
  EXPECT_TRUE(doc.body.empty());
  // Every cut of a valid document reads or fails with a message.
  const std::string data = Wp5Document("Some words\x0Aand more words\x0A");
  for (std::size_t cut = 0; cut < data.size(); ++cut) {
    Document partial;
    const ReadResult result = Read(data.substr(0, cut), partial);
    if (!result.ok) {
      EXPECT_FALSE(result.error.empty());
    }
  }
}

}  // namespace
}  // namespace quillon::docengine
