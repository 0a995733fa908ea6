// The package reader and the package and HTML writers over the real
// documents beside the checkout.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "docengine/docx_reader.h"
#include "docengine/html_reader.h"
#include "tests/docengine/docx_fixture.h"
#include "tests/support/temp_dir.h"

namespace quillon::docengine {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> CorpusFiles(const std::string& folder) {
  std::vector<std::string> files;
  const std::string dir = testing::CorpusDir();
  if (dir.empty())
    return files;
  for (const auto& entry : fs::directory_iterator(dir + "/" + folder)) {
    if (entry.is_regular_file())
      files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

TEST(DocxCorpusTest, EveryDocumentOpensWithText) {
  const auto files = CorpusFiles("docx");
  if (files.empty())
    GTEST_SKIP() << "the shared corpus folder is absent";
  const auto reader = MakeDocxReader();
  for (const std::string& path : files) {
    const std::string data = testing::ReadFile(path);
    ASSERT_GT(reader->Sniff(std::string_view(data).substr(0, 4096), path), 0) << path;
    OpenOptions options;
    options.path = path;
    Document doc;
    const ReadResult result = reader->Read(data, options, doc);
    ASSERT_TRUE(result.ok) << path << ": " << result.error;
    EXPECT_EQ(doc.format, SourceFormat::kDocx);
    const std::string text = testing::PlainText(doc);
    std::size_t visible = 0;
    for (char c : text) {
      if (std::isalnum(static_cast<unsigned char>(c)))
        ++visible;
    }
    // One document of the corpus is an empty page.
    if (path.find("doc-no-coreprops") == std::string::npos) {
      EXPECT_GT(visible, 2u) << path << " gave: " << text;
    } else {
      EXPECT_EQ(visible, 0u) << text;
    }
  }
}

TEST(DocxCorpusTest, KnownDocumentsGiveTheirKnownText) {
  const std::string dir = testing::CorpusDir();
  if (dir.empty())
    GTEST_SKIP() << "the shared corpus folder is absent";
  const std::map<std::string, std::vector<std::string>> expected = {
      {"unstr__docx-tables.docx", {"Header Col 1\tHeader Col 2\n", "g&t\th\ti\n"}},
      {"tika__014760.docx", {"APPENDIX B\n", "Crew Name:\tHost Unit/Address:\n"}},
      {"tika__testAltChunkMHT.docx",
       {"Simple paragraph with a emphasized word.\n", "Red PNG dot; ROW 2\t"}},
      {"unstr__example-list-items-multiple.docx", {"ii)\tTrying various lists.\n"}},
      {"pandoc__lists.docx", {"2.\ttwo\n", "a.\ta\n"}},
      {"nwe__test01.docx", {"This text has been inserted, ", "broken. \U0001F600 \u2200"}},
      {"nwe__test07.docx", {"Research Governance Checklist"}},
  };
  for (const auto& [name, phrases] : expected) {
    Document doc;
    const ReadResult result = testing::ReadDocx(testing::ReadFile(dir + "/docx/" + name), doc);
    ASSERT_TRUE(result.ok) << name << ": " << result.error;
    const std::string text = testing::PlainText(doc);
    for (const std::string& phrase : phrases) {
      EXPECT_NE(text.find(phrase), std::string::npos) << name << " lacks \"" << phrase << "\" in:\n"
                                                      << text;
    }
  }
  Document tracked;
  ASSERT_TRUE(testing::ReadDocx(testing::ReadFile(dir + "/docx/nwe__test01.docx"), tracked).ok);
  bool deleted = false;
  for (const Block& b : tracked.body) {
    for (const docengine::Run& r : b.paragraph.runs)
      deleted = deleted || r.deleted;
  }
  EXPECT_TRUE(deleted);
  Document protected_doc;
  ASSERT_TRUE(
      testing::ReadDocx(testing::ReadFile(dir + "/docx/nwe__test07.docx"), protected_doc).ok);
  EXPECT_EQ(protected_doc.properties.title, "CREDO REFERENCE");
  EXPECT_EQ(protected_doc.protection.kind, "forms");
}

// Saving keeps the text: a document saved as a package or as a page reads
// back to the same text output.
TEST(DocxCorpusTest, SavedDocumentsReadBackToTheSameText) {
  const auto files = CorpusFiles("docx");
  if (files.empty())
    GTEST_SKIP() << "the shared corpus folder is absent";
  testing::TempDir temp;
  for (const std::string& path : files) {
    Document doc;
    ASSERT_TRUE(testing::ReadDocx(testing::ReadFile(path), doc).ok) << path;
    const std::string text = testing::PlainText(doc);

    std::string error;
    ASSERT_TRUE(SaveAsDocx(doc, temp.File("saved.docx"), error)) << error;
    Document again;
    const ReadResult result = testing::ReadDocx(testing::ReadFile(temp.File("saved.docx")), again);
    ASSERT_TRUE(result.ok) << path << ": " << result.error;
    EXPECT_EQ(testing::PlainText(again), text) << path;
    EXPECT_EQ(again.properties.title, doc.properties.title) << path;
    EXPECT_EQ(again.page.text_width_twips, doc.page.text_width_twips) << path;
    EXPECT_EQ(again.protection.kind, doc.protection.kind) << path;

    ASSERT_TRUE(SaveAsHtml(doc, temp.File("saved.html"), error)) << error;
    Document page;
    OpenOptions options;
    ASSERT_TRUE(ReadHtmlDocument(testing::ReadFile(temp.File("saved.html")), options, page).ok);
    EXPECT_EQ(testing::PlainText(page), text) << path;
    EXPECT_EQ(page.properties.title, doc.properties.title) << path;
  }
}

TEST(DocxCorpusTest, TruncatedRealDocumentsFailCleanly) {
  const auto files = CorpusFiles("docx");
  if (files.empty())
    GTEST_SKIP() << "the shared corpus folder is absent";
  for (const std::string& path : files) {
    const std::string data = testing::ReadFile(path);
    for (std::size_t part : {data.size() / 2, data.size() - 23}) {
      Document doc;
      const ReadResult result = testing::ReadDocx(data.substr(0, part), doc);
      // The central directory sits at the end: without it there is no package.
      EXPECT_FALSE(result.ok) << path;
      EXPECT_FALSE(result.error.empty()) << path;
    }
  }
}

}  // namespace
}  // namespace quillon::docengine
