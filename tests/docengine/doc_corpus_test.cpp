// The Word 97-2003 reader over the real documents of the shared corpus:
// every file opens (or asks for its password), known phrases come out in
// the right story, and truncated or bit-flipped copies fail cleanly.

#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "docengine/doc_reader.h"
#include "tests/support/temp_dir.h"

namespace quillon::docengine {
namespace {

std::string CorpusDocDir() {
  std::string dir = testing::CorpusDir();
  return dir.empty() ? dir : dir + "/doc";
}

std::vector<std::string> CorpusDocFiles() {
  std::vector<std::string> files;
  std::string dir = CorpusDocDir();
  if (dir.empty())
    return files;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      std::string name = e->d_name;
      if (name.size() > 4 && name.compare(name.size() - 4, 4, ".doc") == 0)
        files.push_back(name);
    }
    closedir(d);
  }
  std::sort(files.begin(), files.end());
  return files;
}

void AppendVisible(const std::vector<Block>& blocks, std::string& out) {
  for (const Block& b : blocks) {
    if (b.is_table()) {
      for (const TableRow& row : b.table->rows) {
        for (const TableCell& cell : row.cells) {
          AppendVisible(cell.blocks, out);
          out += "\t";
        }
        out += "\n";
      }
      continue;
    }
    if (!b.paragraph.list_label.empty())
      out += b.paragraph.list_label + "\t";
    for (const docengine::Run& r : b.paragraph.runs)
      if (!r.hidden && !r.deleted && !r.field_code)
        out += r.text;
    out += "\n";
  }
}

std::string BodyText(const Document& doc) {
  std::string out;
  AppendVisible(doc.body, out);
  return out;
}

ReadResult ReadCorpusFile(const std::string& name, Document& doc,
                          const std::string& password = "") {
  OpenOptions options;
  options.path = CorpusDocDir() + "/" + name;
  options.password = password;
  std::string bytes = testing::ReadFile(options.path);
  if (bytes.empty())
    return ReadResult::Failure("missing " + name);
  return MakeDocReader()->Read(bytes, options, doc);
}

#define SKIP_WITHOUT_CORPUS() \
  if (CorpusDocDir().empty()) \
  GTEST_SKIP() << "the shared corpus folder is absent (../shared/corpus)"

TEST(DocCorpus, EveryFileOpensOrAsksForItsPassword) {
  SKIP_WITHOUT_CORPUS();
  std::vector<std::string> files = CorpusDocFiles();
  ASSERT_GE(files.size(), 30u);
  for (const std::string& name : files) {
    Document doc;
    ReadResult r = ReadCorpusFile(name, doc);
    if (name.find("passtika") != std::string::npos) {
      EXPECT_FALSE(r.ok) << name;
      EXPECT_EQ(r.error, kPasswordIncorrectMessage);
      continue;
    }
    ASSERT_TRUE(r.ok) << name << ": " << r.error;
    EXPECT_EQ(doc.format, SourceFormat::kDoc);
    EXPECT_GT(doc.open_encoding, 0) << name;
  }
}

TEST(DocCorpus, KnownPhrasesInTheMainText) {
  SKIP_WITHOUT_CORPUS();
  struct Case {
    const char* file;
    const char* phrase;
  };
  const Case cases[] = {
      {"nwe__test03.doc", "Can You Release Commercial Works?"},
      {"nwe__test05.doc", "This is a simple file created with Word 97-SR2."},
      {"nwe__test07.doc", "Research Governance Checklist"},
      {"nwe__test11.doc", "\u8fd9\u662f\u4e00\u4e2a\u7528\u6765\u6d4b\u8bd5nodejs"},
      {"textract__standardized_text.doc", "the quick brown fox jumps over the lazy dog"},
      {"tika__test2.doc", "Testing 123"},
      {"tika__testWORD6.doc", "The quick brown fox jumps over the lazy dog"},
      {"unstr__fake-doc-emphasized-text.doc", "A bold italic bold-italic example"},
      {"tika__testWORD_numbered_list.doc", "1)\tThis\na)\tIs\ni)\tA multi\nii)\tLevel"},
  };
  for (const Case& c : cases) {
    Document doc;
    ReadResult r = ReadCorpusFile(c.file, doc);
    ASSERT_TRUE(r.ok) << c.file << ": " << r.error;
    EXPECT_NE(BodyText(doc).find(c.phrase), std::string::npos) << c.file << " lacks " << c.phrase;
  }
}

TEST(DocCorpus, RevisionsFieldsAndTablesAsWordShowsThem) {
  SKIP_WITHOUT_CORPUS();
  Document doc;
  ASSERT_TRUE(ReadCorpusFile("nwe__test01.doc", doc).ok);
  std::string text = BodyText(doc);
  EXPECT_NE(text.find("This text has been inserted"), std::string::npos);
  EXPECT_EQ(text.find("This text has been deleted"), std::string::npos);

  Document linked;
  ASSERT_TRUE(ReadCorpusFile("unstr__fake-doc-emphasized-text.doc", linked).ok);
  text = BodyText(linked);
  EXPECT_NE(text.find("A Link example"), std::string::npos);
  EXPECT_EQ(text.find("HYPERLINK"), std::string::npos);
  ASSERT_FALSE(linked.body.empty());
  ASSERT_TRUE(linked.body[0].is_table());
  EXPECT_EQ(linked.body[0].table->rows.size(), 2u);
  EXPECT_EQ(linked.body[0].table->rows[0].cells.size(), 2u);
}

TEST(DocCorpus, NotesAndCommentsGoToTheirOwnStories) {
  SKIP_WITHOUT_CORPUS();
  Document doc;
  ASSERT_TRUE(ReadCorpusFile("nwe__test13.doc", doc).ok);
  ASSERT_EQ(doc.footnotes.size(), 1u);
  ASSERT_EQ(doc.endnotes.size(), 1u);
  std::string foot, end;
  AppendVisible(doc.footnotes[0].blocks, foot);
  AppendVisible(doc.endnotes[0].blocks, end);
  EXPECT_NE(foot.find("This is a footnote"), std::string::npos);
  EXPECT_NE(end.find("This is an endnote"), std::string::npos);
  EXPECT_EQ(BodyText(doc).find("This is a footnote"), std::string::npos);

  Document commented;
  ASSERT_TRUE(ReadCorpusFile("tika__testWORD_features.doc", commented).ok);
  ASSERT_EQ(commented.comments.size(), 2u);
  std::string all;
  for (const Comment& c : commented.comments)
    AppendVisible(c.blocks, all);
  EXPECT_NE(all.find("This is another comment"), std::string::npos);
  EXPECT_EQ(BodyText(commented).find("This is a comment"), std::string::npos);
  bool kyle = false;
  for (const Comment& c : commented.comments)
    kyle = kyle || c.author == "Kyle Reese";
  EXPECT_TRUE(kyle);
}

TEST(DocCorpus, PasswordProtectedFileOpensWithItsPassword) {
  SKIP_WITHOUT_CORPUS();
  Document doc;
  ReadResult r = ReadCorpusFile("tika__testWORD_protected_passtika.doc", doc, "wrong");
  EXPECT_EQ(r.error, kPasswordIncorrectMessage);
  r = ReadCorpusFile("tika__testWORD_protected_passtika.doc", doc, "tika");
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_NE(BodyText(doc).find("This is an encrypted Word 2007 File."), std::string::npos);
}

TEST(DocCorpus, TitleAndLanguagesFromTheFile) {
  SKIP_WITHOUT_CORPUS();
  Document doc;
  ASSERT_TRUE(ReadCorpusFile("nwe__test05.doc", doc).ok);
  EXPECT_EQ(doc.properties.title, "This is a simple file created with Word 97-SR2");
  Document chinese;
  ASSERT_TRUE(ReadCorpusFile("nwe__test11.doc", chinese).ok);
  EXPECT_EQ(chinese.default_lang_fe, 0x0804);
  Document word6;
  ASSERT_TRUE(ReadCorpusFile("tika__testWORD6.doc", word6).ok);
  EXPECT_EQ(word6.properties.title, "The quick brown fox jumps over the lazy dog");
}

// Every prefix at a coarse step, then random bit flips: each read ends with
// a document or an error text, never a crash (run under a sanitizer build
// to see memory faults too).
TEST(DocCorpus, TruncatedAndBitFlippedCopiesFailCleanly) {
  SKIP_WITHOUT_CORPUS();
  auto reader = MakeDocReader();
  OpenOptions options;
  options.limits.max_text_chars = 1 << 20;
  for (const char* name : {"nwe__test13.doc", "tika__testWORD_numbered_list.doc",
                           "tika__testWORD6.doc", "tika__testWORD_features.doc"}) {
    std::string bytes = testing::ReadFile(CorpusDocDir() + "/" + name);
    ASSERT_FALSE(bytes.empty()) << name;
    int ok = 0;
    std::size_t step = std::max<std::size_t>(1, bytes.size() / 97);
    for (std::size_t n = 0; n < bytes.size(); n += step) {
      Document doc;
      ReadResult r = reader->Read(std::string_view(bytes).substr(0, n), options, doc);
      if (r.ok) {
        ++ok;
      } else {
        EXPECT_FALSE(r.error.empty());
        EXPECT_TRUE(doc.body.empty());
      }
    }
    EXPECT_LT(ok, 97) << name << ": most prefixes lack streams";
    std::mt19937 rng(7);
    for (int i = 0; i < 150; ++i) {
      std::string copy = bytes;
      for (int k = 0; k < 6; ++k) {
        std::size_t at = rng() % copy.size();
        copy[at] = static_cast<char>(copy[at] ^ (1 << (rng() % 8)));
      }
      Document doc;
      ReadResult r = reader->Read(copy, options, doc);
      if (!r.ok) {
        EXPECT_FALSE(r.error.empty());
      }
    }
  }
}

}  // namespace
}  // namespace quillon::docengine
