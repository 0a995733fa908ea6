// The RTF reader: a feature fixture, encodings, tables, the round trip
// through the RTF writer, hostile and truncated input, and the real RTF
// documents of the shared corpus.

#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>

#include "docengine/reader.h"
#include "docengine/reader_factories.h"
#include "docengine/rtf_writer.h"
#include "docengine/text_writer.h"
#include "tests/support/temp_dir.h"

namespace quillon::docengine {
namespace {

ReadResult ReadRtf(std::string_view data, Document& doc, ReadLimits limits = {}) {
  OpenOptions options;
  options.path = "test.rtf";
  options.limits = limits;
  return MakeRtfReader()->Read(data, options, doc);
}

std::string RtfText(std::string_view data) {
  Document doc;
  ReadResult result = ReadRtf(data, doc);
  EXPECT_TRUE(result.ok) << result.error;
  return RenderText(doc);
}

std::string FixturePath(const std::string& name) {
  return std::string(QUILLON_TEST_DATA_DIR) + "/rtf/" + name;
}

TEST(RtfReaderTest, FeatureFixtureGivesTheExpectedText) {
  const std::string data = testing::ReadFile(FixturePath("features.rtf"));
  ASSERT_FALSE(data.empty());
  EXPECT_EQ(RtfText(data),
            "\xE4\xB8\xAD\xE6\x96\x87\xC2\xA0text\r\n"
            "Hidden visible, field 7 and added.\r\n"
            "Note here1. Endnote2.\r\n"
            "Commented.\r\n"
            "1.\tFirst item\r\n"
            "2.\tSecond item\r\n"
            "\xE2\x80\xA2\tOld-style bullet\r\n"
            "Name\tValue\r\n"
            "\xD0\x96\xD0\xB8\xD0\xB2\xD0\xBE\xD0\xB9\t42\r\n"
            "After table\r\nsecond line\ttabbed\r\n"
            "\r\n"
            "Object result\r\n"
            "\xF0\x9F\x98\x80\xE2\x82\xAC euro\r\n"
            "1 The footnote text.\r\n"
            "2 The endnote text.\r\n");
}

TEST(RtfReaderTest, FeatureFixtureModel) {
  Document doc;
  ASSERT_TRUE(ReadRtf(testing::ReadFile(FixturePath("features.rtf")), doc).ok);
  EXPECT_EQ(doc.format, SourceFormat::kRtf);
  EXPECT_EQ(doc.open_encoding, 1252);
  EXPECT_EQ(doc.properties.title, "Quarterly \xE2\x80\x9CReport\xE2\x80\x9D");
  EXPECT_EQ(doc.properties.author, "Ann Lee");
  EXPECT_EQ(doc.default_lang, 1033);
  EXPECT_EQ(doc.default_lang_fe, 2052);
  EXPECT_EQ(doc.page.text_width_twips, 12240 - 2880);
  ASSERT_FALSE(doc.body.empty());
  const docengine::Run& first = doc.body[0].paragraph.runs.at(0);
  EXPECT_EQ(first.lang_fe, 2052);
  EXPECT_EQ(first.lang, 2052);
  // Hidden text, field codes and deletions stay in the model, marked.
  const auto& runs = doc.body[1].paragraph.runs;
  auto has = [&](auto pred) { return std::any_of(runs.begin(), runs.end(), pred); };
  EXPECT_TRUE(has([](const docengine::Run& r) { return r.hidden && r.text == "secret "; }));
  EXPECT_TRUE(has([](const docengine::Run& r) {
    return r.field_code && r.text.find("PAGE") != std::string::npos;
  }));
  EXPECT_TRUE(has([](const docengine::Run& r) { return r.deleted && r.text == "removed"; }));
  EXPECT_TRUE(has([](const docengine::Run& r) { return r.inserted && r.text == "added"; }));
  ASSERT_EQ(doc.comments.size(), 1u);
  EXPECT_EQ(doc.comments[0].author, "Ann Lee");
  EXPECT_EQ(doc.comments[0].initials, "AL");
  Document remark;
  remark.body = doc.comments[0].blocks;
  EXPECT_EQ(RenderText(remark), "The remark.\r\n");
  ASSERT_EQ(doc.footnotes.size(), 1u);
  ASSERT_EQ(doc.endnotes.size(), 1u);
  EXPECT_EQ(doc.body[4].paragraph.list_label, "1.");
}

TEST(RtfReaderTest, CodePagesFromDocumentAndFontCharsets) {
  // \ansicpg1251 for unmarked text; Shift-JIS through a charset-128 font;
  // \uc0 means no fallback characters follow \u.
  EXPECT_EQ(RtfText("{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8\\par}"),
            "\xD0\x9F\xD1\x80\xD0\xB8\r\n");
  EXPECT_EQ(
      RtfText("{\\rtf1{\\fonttbl{\\f1\\fcharset128 MS Mincho;}}{\\f1 \\'93\\'fa\\'96\\'7b}\\par}"),
      "\xE6\x97\xA5\xE6\x9C\xAC\r\n");
  EXPECT_EQ(RtfText("{\\rtf1\\uc0\\u233 x\\par}"), "\xC3\xA9x\r\n");
  // An unescaped trail byte after an escaped lead byte.
  EXPECT_EQ(RtfText("{\\rtf1\\ansicpg932 \\'83e\\'83L!\\par}"), "\xE3\x83\x86\xE3\x82\xAD!\r\n");
  EXPECT_EQ(RtfText("{\\rtf1\\uc1\\u233\\'e9x\\par}"), "\xC3\xA9x\r\n");
  // A group ends the fallback early.
  EXPECT_EQ(RtfText("{\\rtf1\\uc3{\\u233 a}b\\par}"),
            "\xC3\xA9"
            "b\r\n");
  EXPECT_EQ(RtfText("{\\rtf1\\mac \\'8e\\par}"), "\xC3\xA9\r\n");
  Document doc;
  ASSERT_TRUE(ReadRtf("{\\rtf1\\ansi\\ansicpg936 x}", doc).ok);
  EXPECT_EQ(doc.open_encoding, 936);
}

TEST(RtfReaderTest, NestedTablesKeepTheirStructure) {
  const std::string data =
      "{\\rtf1\\pard\\intbl\\itap1 outer\\par"
      "\\pard\\intbl\\itap2 in1\\nestcell in2\\nestcell"
      "{\\*\\nesttableprops\\trowd\\cellx1\\cellx2\\nestrow}{\\nonesttables\\par}"
      "\\pard\\intbl\\itap1 tail\\cell right\\cell\\row\\pard after\\par}";
  Document doc;
  ASSERT_TRUE(ReadRtf(data, doc).ok);
  ASSERT_EQ(doc.body.size(), 2u);
  ASSERT_TRUE(doc.body[0].is_table());
  const TableCell& cell = doc.body[0].table->rows.at(0).cells.at(0);
  ASSERT_EQ(cell.blocks.size(), 3u);
  EXPECT_TRUE(cell.blocks[1].is_table());
  EXPECT_EQ(RenderText(doc), "outer\r\nin1\tin2\r\ntail\tright\r\nafter\r\n");
}

Document SampleDocument() {
  auto para = [](std::vector<Run> runs, std::string label = "") {
    Paragraph p;
    p.runs = std::move(runs);
    p.list_label = std::move(label);
    return Block::FromParagraph(std::move(p));
  };
  auto run = [](std::string text, std::uint16_t lang = 0, std::uint16_t fe = 0) {
    docengine::Run r;
    r.text = std::move(text);
    r.lang = lang;
    r.lang_fe = fe;
    return r;
  };
  Document doc;
  doc.properties.title = "T\xC3\xADtulo {x} \\ y";
  doc.default_lang = 1033;
  doc.default_lang_fe = 1028;
  doc.page.text_width_twips = 8640;
  docengine::Run hidden = run("hid");
  hidden.hidden = true;
  docengine::Run code = run(" PAGE ");
  code.field_code = true;
  doc.body.push_back(para({run("\xE7\xB9\x81\xE9\xAB\x94", 1028, 1028),
                           run(" and\tmore\nline", 1033), hidden, code, run("3")}));
  doc.body.push_back(para({run("point")}, "a)"));
  Table inner;
  inner.rows.push_back({{TableCell{{para({run("n1")})}}, TableCell{{para({run("n2")})}}}});
  Table outer;
  TableRow row;
  row.cells.push_back(TableCell{{para({run("c1")}), Block::FromTable(inner), para({run("c1b")})}});
  row.cells.push_back(TableCell{{para({run("c2 \xF0\x9F\x98\x80")})}});
  outer.rows.push_back(row);
  outer.rows.push_back(row);
  doc.body.push_back(Block::FromTable(outer));
  doc.body.push_back(para({run("end")}));
  doc.footnotes.push_back(Note{"1", {para({run("fn")})}});
  doc.endnotes.push_back(Note{"2", {para({run("en")})}});
  doc.comments.push_back(Comment{"Bo", "B", {para({run("remark")})}});
  doc.protection.is_protected = true;
  doc.protection.kind = "comments";
  return doc;
}

TEST(RtfRoundTripTest, WriterOutputReadsBackToTheSameDocument) {
  const Document original = SampleDocument();
  const std::string rtf = RenderRtf(original);
  EXPECT_TRUE(std::all_of(rtf.begin(), rtf.end(),
                          [](char c) { return static_cast<unsigned char>(c) < 0x80; }));
  Document back;
  ReadResult result = ReadRtf(rtf, back);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(RenderText(back), RenderText(original));
  EXPECT_EQ(back.properties.title, original.properties.title);
  EXPECT_EQ(back.default_lang, 1033);
  EXPECT_EQ(back.default_lang_fe, 1028);
  EXPECT_EQ(back.page.text_width_twips, 8640);
  EXPECT_TRUE(back.protection.is_protected);
  EXPECT_EQ(back.protection.kind, "comments");
  const docengine::Run& first = back.body.at(0).paragraph.runs.at(0);
  EXPECT_EQ(first.lang_fe, 1028);
  EXPECT_EQ(first.lang, 1028);
  ASSERT_EQ(back.comments.size(), 1u);
  EXPECT_EQ(back.comments[0].author, "Bo");
  EXPECT_EQ(back.comments[0].initials, "B");
  EXPECT_EQ(back.footnotes.size(), 1u);
  EXPECT_EQ(back.endnotes.size(), 1u);
  // A second trip changes nothing more.
  EXPECT_EQ(RenderRtf(back), rtf);
}

TEST(RtfReaderTest, HostileInputIsBounded) {
  // Deep nesting stops at the depth limit with a message.
  std::string deep = "{\\rtf1 ";
  deep += std::string(100000, '{');
  Document doc;
  ReadResult result = ReadRtf(deep, doc);
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.error.find("nested"), std::string::npos);
  // Text beyond the size limit is refused, not collected.
  ReadLimits small;
  small.max_text_chars = 1000;
  Document big;
  EXPECT_FALSE(ReadRtf("{\\rtf1 " + std::string(5000, 'x') + "}", big, small).ok);
  // A \bin longer than the file ends the read without reading past it.
  Document bin;
  EXPECT_TRUE(ReadRtf("{\\rtf1 ab\\bin999999999 cd", bin).ok);
  EXPECT_EQ(RenderText(bin), "ab\r\n");
  // Stray closing braces and a missing end are tolerated.
  EXPECT_EQ(RtfText("{\\rtf1 one\\par}} two"), "one\r\n");
  EXPECT_EQ(RtfText("{\\rtf1 {\\b cut"), "cut\r\n");
  Document not_rtf;
  EXPECT_FALSE(ReadRtf("plain words", not_rtf).ok);
}

TEST(RtfReaderTest, TruncationSweepNeverFails) {
  const std::string data = testing::ReadFile(FixturePath("features.rtf"));
  ASSERT_FALSE(data.empty());
  for (std::size_t length = 0; length <= data.size(); ++length) {
    // A copy of exactly `length` bytes, so that a read past the end is
    // caught by the sanitizers and by the allocator's guard.
    std::string cut = data.substr(0, length);
    Document doc;
    ReadResult result = ReadRtf(cut, doc);
    if (length < 5) {
      EXPECT_FALSE(result.ok);
    } else {
      EXPECT_TRUE(result.ok) << length << ": " << result.error;
      RenderText(doc);
      RenderRtf(doc);
    }
  }
}

TEST(RtfReaderTest, RandomMutationsNeverFail) {
  const std::string data = testing::ReadFile(FixturePath("features.rtf"));
  ASSERT_FALSE(data.empty());
  // A fixed generator: the same mutations on every run.
  std::uint32_t seed = 12345;
  auto next = [&seed]() {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  const char alphabet[] = "{}\\'0123456789abcdefuvbinparcellrow -*";
  for (int round = 0; round < 3000; ++round) {
    std::string mutated = data;
    const int edits = 1 + static_cast<int>(next() % 8);
    for (int e = 0; e < edits; ++e) {
      std::size_t at = next() % mutated.size();
      switch (next() % 3) {
        case 0:
          mutated[at] = alphabet[next() % (sizeof alphabet - 1)];
          break;
        case 1:
          mutated.insert(at, 1, alphabet[next() % (sizeof alphabet - 1)]);
          break;
        default:
          mutated.erase(at, 1 + next() % 16);
      }
      if (mutated.empty())
        mutated = "{";
    }
    Document doc;
    ReadResult result = ReadRtf(mutated, doc);
    if (result.ok) {
      RenderText(doc);
      RenderRtf(doc);
    } else {
      EXPECT_FALSE(result.error.empty());
    }
  }
}

std::vector<std::string> CorpusRtfFiles() {
  std::vector<std::string> files;
  const std::string dir = testing::CorpusDir();
  if (dir.empty())
    return files;
  DIR* handle = opendir((dir + "/rtf").c_str());
  if (handle == nullptr)
    return files;
  while (dirent* entry = readdir(handle)) {
    std::string name = entry->d_name;
    if (name.size() > 4 && name.substr(name.size() - 4) == ".rtf")
      files.push_back(dir + "/rtf/" + name);
  }
  closedir(handle);
  std::sort(files.begin(), files.end());
  return files;
}

TEST(RtfCorpusTest, EveryDocumentOpensWithText) {
  const auto files = CorpusRtfFiles();
  if (files.empty())
    GTEST_SKIP() << "the shared corpus is absent";
  // Documents whose only words lie in headers or embedded objects: the text
  // formats leave those out.
  const std::vector<std::string> without_body = {"tika__testBinControlWord.rtf",
                                                 "tika__testRTFBoldPlain.rtf", "pandoc__image.rtf"};
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    OpenOptions options;
    options.path = file;
    Document doc;
    ReadResult result = ReadDocumentFile(options, doc);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(doc.format, SourceFormat::kRtf);
    const std::string text = RenderText(doc);
    const std::string name = file.substr(file.rfind('/') + 1);
    if (std::find(without_body.begin(), without_body.end(), name) != without_body.end())
      continue;
    std::size_t letters = std::count_if(text.begin(), text.end(), [](char c) {
      return std::isalnum(static_cast<unsigned char>(c)) || static_cast<unsigned char>(c) >= 0x80;
    });
    EXPECT_GE(letters, 2u) << text;
    // No control word or destination leaks into the text.
    EXPECT_EQ(text.find("\\par"), std::string::npos);
    EXPECT_EQ(text.find("fonttbl"), std::string::npos);
    EXPECT_EQ(text.find("Times New Roman;"), std::string::npos);
  }
}

TEST(RtfCorpusTest, KnownPhrases) {
  const std::string dir = testing::CorpusDir();
  if (dir.empty())
    GTEST_SKIP() << "the shared corpus is absent";
  const std::vector<std::pair<std::string, std::string>> phrases = {
      {"kstriprtf__amenimo.rtf",
       "\xE9\x9B\xA8\xE3\x83\x8B\xE3\x83\xA2\xE3\x83\x9E\xE3\x82\xB1\xE3\x82\xBA"},
      {"kstriprtf__eastasia.rtf", "\xE4\xBD\xA0\xE5\xA5\xBD"},
      {"kstriprtf__table-multi.rtf", "a\tb\tc\r\nd\te\tf\r\n"},
      {"jstriprtf__simple_table.rtf", "foo\tbar\r\n"},
      {"tika__testOptionalHyphen.rtf", "optionalhyphen"},
      {"tika__testRTFWithCurlyBraces.rtf", "{ some text inside curly brackets }"},
      {"rtfpipe__Issue33.rtf", "Flydende/past\xC3\xB8se produkter"},
      {"pandoc__list_simple.rtf", "\xE2\x80\xA2\tone\r\n"},
      {"rtfpk__test874Encoding.rtf", "Some test text"},
      {"textract__raw_text.rtf", "I love word documents."},
      {"rtfpipe__nested_tables.rtf", "double nested cell 1:1\tdouble nested cell 1:2"},
      {"jstriprtf__BVWGT_20241227_W258_2227269_1_00_01.rtf",
       "Gesch\xC3\xA4"
       "ftszahl"},
  };
  for (const auto& [name, phrase] : phrases) {
    SCOPED_TRACE(name);
    OpenOptions options;
    options.path = dir + "/rtf/" + name;
    Document doc;
    ReadResult result = ReadDocumentFile(options, doc);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_NE(RenderText(doc).find(phrase), std::string::npos) << RenderText(doc).substr(0, 400);
  }
}

TEST(RtfCorpusTest, TruncatedCorpusDocumentsNeverCrash) {
  const auto files = CorpusRtfFiles();
  if (files.empty())
    GTEST_SKIP() << "the shared corpus is absent";
  for (const std::string& file : files) {
    const std::string data = testing::ReadFile(file);
    const std::size_t step = std::max<std::size_t>(1, data.size() / 41);
    for (std::size_t length = 0; length < data.size(); length += step) {
      std::string cut = data.substr(0, length);
      // Damage the middle too: a flipped byte and a cut.
      if (!cut.empty())
        cut[cut.size() / 2] = static_cast<char>(cut[cut.size() / 2] ^ 0x5A);
      Document doc;
      ReadResult result = ReadRtf(cut, doc);
      if (result.ok) {
        RenderRtf(doc);
      } else {
        EXPECT_FALSE(result.error.empty());
      }
    }
  }
}

}  // namespace
}  // namespace quillon::docengine
