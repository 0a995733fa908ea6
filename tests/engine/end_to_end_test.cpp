// Conversions through the real built-in word processor, started as a server
// the way a conversion run starts it, with every output checked byte by
// byte: line ends, byte-order mark and code page.

#include <dirent.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <sstream>

#include "automation/client.h"
#include "engine/engine_dispatch.h"
#include "engine/word_connection.h"
#include "tests/support/temp_dir.h"

namespace quillon::engine {
namespace {

using quillon::testing::ReadFile;
using quillon::testing::RuntimeFolderScope;
using quillon::testing::TempDir;
using quillon::testing::TempFolderScope;
using quillon::testing::WriteFile;

constexpr char kFirstLine[] = "First line: Grüße café € 5 — end";
constexpr char kLongParagraph[] =
    "The quick brown fox jumps over the lazy dog while seven wizards quietly judge boxing "
    "matches and twelve jugglers pack my box with five dozen liquor jugs before the evening "
    "train departs.";

// The non-ASCII characters of the samples in the two single-byte code pages
// the test pins; characters a code page lacks become "?".
const std::map<std::string, std::map<int, char>>& SpecialCharacters() {
  static const std::map<std::string, std::map<int, char>> kTable = {
      {"ü", {{1252, '\xFC'}, {850, '\x81'}}}, {"ß", {{1252, '\xDF'}, {850, '\xE1'}}},
      {"é", {{1252, '\xE9'}, {850, '\x82'}}}, {"€", {{1252, '\x80'}, {850, '?'}}},
      {"—", {{1252, '\x97'}, {850, '?'}}},
  };
  return kTable;
}

std::size_t Utf8Length(unsigned char lead) {
  return lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

std::string EncodeSingleByte(const std::string& utf8, int code_page) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const std::size_t length = Utf8Length(static_cast<unsigned char>(utf8[i]));
    const std::string character = utf8.substr(i, length);
    out += length == 1 ? character[0] : SpecialCharacters().at(character).at(code_page);
    i += length;
  }
  return out;
}

std::string EncodeUtf16LeWithMark(const std::string& utf8) {
  std::string out = "\xFF\xFE";
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const std::size_t length = Utf8Length(lead);
    unsigned code = length == 1 ? lead : length == 2 ? lead & 0x1F : lead & 0x0F;
    for (std::size_t k = 1; k < length; ++k) {
      code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    }
    out += static_cast<char>(code & 0xFF);
    out += static_cast<char>(code >> 8);
    i += length;
  }
  return out;
}

// Greedy wrapping at blanks: as many words on a line as fit in `width`.
std::string Wrap(const std::string& paragraph, std::size_t width) {
  std::istringstream words(paragraph);
  std::string word;
  std::string line;
  std::string out;
  while (words >> word) {
    if (!line.empty() && line.size() + 1 + word.size() > width) {
      out += line + "\r\n";
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
  }
  return out + line + "\r\n";
}

struct Sample {
  std::string file;
  std::size_t page_columns;  // text width of the page at 10 characters per inch
  int source_code_page;      // what the source-character-set format writes in
};

// One engine server for the test suite, started by the first conversion
// and quit at the end.
class EngineServerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    engine_ = std::string(QUILLON_BIN_DIR) + "/quillon-engine";
    struct stat info {};
    if (::stat(engine_.c_str(), &info) != 0) {
      return;
    }
    // A private running-object table: never attach to a server of the user's.
    runtime_ = new RuntimeFolderScope;
    // Pinned code pages, so that the expected bytes do not depend on the
    // machine's locale.
    ::setenv("QUILLON_ANSI_CODEPAGE", "1252", 1);
    ::setenv("QUILLON_OEM_CODEPAGE", "850", 1);
    ResetWordConnection();
  }
  static void TearDownTestSuite() {
    ReleaseWord();
    ResetWordConnection();
    delete runtime_;
    runtime_ = nullptr;
  }
  void SetUp() override {
    if (runtime_ == nullptr) {
      GTEST_SKIP() << engine_ << " is not built; build the quillon-engine target";
    }
  }

  static std::string engine_;
  static RuntimeFolderScope* runtime_;
};

std::string EngineServerTest::engine_;
RuntimeFolderScope* EngineServerTest::runtime_ = nullptr;

class EndToEndTest : public EngineServerTest, public ::testing::WithParamInterface<Sample> {};

// A conversion waits for the open, the save and the close at least; every
// other call rides along with those, up to ten waits in all.
constexpr std::uint64_t kFewestRoundTrips = 3;
constexpr std::uint64_t kMostRoundTrips = 10;

TEST_P(EndToEndTest, EverySaveFormatByteForByteInFewRoundTrips) {
  const Sample& sample = GetParam();
  TempDir dir;
  const std::string source = dir.File("in/" + sample.file);
  WriteFile(source, ReadFile(std::string(QUILLON_TEST_DATA_DIR) + "/engine/" + sample.file));
  ::mkdir(dir.File("out").c_str(), 0755);

  const std::string plain = std::string(kFirstLine) + "\r\n" + kLongParagraph + "\r\n";
  const std::string wrapped =
      std::string(kFirstLine) + "\r\n" + Wrap(kLongParagraph, sample.page_columns);
  const std::string source_code_page_bytes =
      sample.source_code_page == 65001 ? plain : EncodeSingleByte(plain, sample.source_code_page);
  const std::map<std::string, std::string> expected = {
      {"2", EncodeSingleByte(plain, 1252)}, {"3", EncodeSingleByte(wrapped, 1252)},
      {"4", EncodeSingleByte(plain, 850)},  {"5", EncodeSingleByte(wrapped, 850)},
      {"7", EncodeUtf16LeWithMark(plain)},  {"-3", source_code_page_bytes},
  };
  for (const auto& [code, bytes] : expected) {
    const std::string destination = dir.File("out/" + sample.file + "." + code + ".txt");
    std::string error;
    const std::uint64_t waited_before = automation::WaitedCallCount();
    ASSERT_TRUE(ConvertDocument(source, destination, code, "\r\ntextdelimit=0\r\n\r\n", error))
        << sample.file << " format " << code << ": " << error;
    const std::uint64_t waited = automation::WaitedCallCount() - waited_before;
    EXPECT_EQ(error, "");
    EXPECT_EQ(ReadFile(destination), bytes) << sample.file << " format " << code;
    EXPECT_GE(waited, kFewestRoundTrips) << sample.file << " format " << code;
    EXPECT_LE(waited, kMostRoundTrips) << sample.file << " format " << code;
  }
  // The source is opened read-only and never touched.
  EXPECT_EQ(ReadFile(source),
            ReadFile(std::string(QUILLON_TEST_DATA_DIR) + "/engine/" + sample.file));
}

INSTANTIATE_TEST_SUITE_P(Samples, EndToEndTest,
                         // A package has no character set of its own: it opens in
                         // the ANSI code page, pinned to 1252 above.
                         ::testing::Values(Sample{"sample.docx", 60, 1252},
                                           Sample{"sample.rtf", 60, 1252},
                                           Sample{"sample.html", 80, 65001}),
                         [](const ::testing::TestParamInfo<Sample>& info) {
                           std::string name = info.param.file;
                           name[name.find('.')] = '_';
                           return name;
                         });

class CorpusEndToEndTest : public EngineServerTest {
 protected:
  void SetUp() override {
    EngineServerTest::SetUp();
    if (quillon::testing::CorpusDir().empty()) {
      GTEST_SKIP() << "the shared corpus folder is absent";
    }
    ::mkdir(dir_.File("out").c_str(), 0755);
  }
  std::string Corpus(const std::string& name) {
    return quillon::testing::CorpusDir() + "/doc/" + name;
  }
  bool WorkFolderIsEmpty() {
    const std::string folder = work_.File("~Quillon");
    DIR* entries = ::opendir(folder.c_str());
    if (entries == nullptr) {
      return true;
    }
    int count = 0;
    while (const dirent* entry = ::readdir(entries)) {
      count += entry->d_name[0] != '.';
    }
    ::closedir(entries);
    return count == 0;
  }

  TempDir dir_;
  TempFolderScope work_;
};

TEST_F(CorpusEndToEndTest, DocTakesTheRtfRoadInFewRoundTripsAndCleansUp) {
  const std::string destination = dir_.File("out/test05.txt");
  std::string error;
  // Twice: the first conversion of a run also connects.
  for (int run = 0; run < 2; ++run) {
    const std::uint64_t waited_before = automation::WaitedCallCount();
    ASSERT_TRUE(ConvertDocument(Corpus("nwe__test05.doc"), destination, "2",
                                "\r\ntextdelimit=0\r\n\r\n", error))
        << error;
    const std::uint64_t waited = automation::WaitedCallCount() - waited_before;
    // Saved as RTF, closed and opened again: two opens, saves and closes.
    EXPECT_GE(waited, 2 * kFewestRoundTrips) << "run " << run;
    EXPECT_LE(waited, kMostRoundTrips) << "run " << run;
  }
  EXPECT_EQ(ReadFile(destination).rfind("This is a simple file created with Word 97-SR2.\r\n", 0),
            0u)
      << ReadFile(destination);
  EXPECT_TRUE(WorkFolderIsEmpty());
}

TEST_F(CorpusEndToEndTest, PasswordFromTheBlockAndRecoveryAfterAFailedOpen) {
  const std::string source = Corpus("tika__testWORD_protected_passtika.doc");
  const std::string destination = dir_.File("out/protected.txt");
  WriteFile(destination, "earlier result");
  std::string error;
  // Without the password the placeholder is tried, the open fails, the
  // started server is quit and the old result stays.
  EXPECT_FALSE(ConvertDocument(source, destination, "7", "\r\ntextdelimit=0\r\n\r\n", error));
  EXPECT_NE(error, "");
  EXPECT_EQ(ReadFile(destination), "earlier result");
  EXPECT_EQ(WordApplication(), nullptr);
  // The next conversion starts a new server.
  ASSERT_TRUE(ConvertDocument(source, destination, "7",
                              "\r\nopenpassword=tika\r\ntextdelimit=0\r\n\r\n", error))
      << error;
  const std::string text = ReadFile(destination);
  ASSERT_GT(text.size(), 2u);
  EXPECT_EQ(text.substr(0, 2), "\xFF\xFE");
  EXPECT_EQ(text.size() % 2, 0u);
}

}  // namespace
}  // namespace quillon::engine
