// The Word 97-2003 reader over small files built here byte by byte: text
// and its special characters, formatting flags, fields, tables, notes,
// comments, lists, Word 6 text, protection and damaged input.

#include "docengine/doc_reader.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <fstream>
#include <iterator>
#include <string>

#include "docengine/doc_crypto.h"
#include "tests/docengine/doc_fixture.h"

namespace quillon::docengine {
namespace {

using testing::Add16;
using testing::Add32;
using testing::BuildCompoundFile;
using testing::BuildDoc;
using testing::DocFixture;
using testing::Sprm;

ReadResult ReadBytes(const std::string& bytes, Document& doc, OpenOptions options = {}) {
  options.path = "fixture.doc";
  return MakeDocReader()->Read(bytes, options, doc);
}

std::string RunsText(const Paragraph& p, bool visible_only = true) {
  std::string out;
  for (const docengine::Run& r : p.runs)
    if (!visible_only || (!r.hidden && !r.deleted && !r.field_code))
      out += r.text;
  return out;
}

// Paragraphs as lines, cells joined by " | ", rows in brackets.
std::string Flatten(const std::vector<Block>& blocks) {
  std::string out;
  for (const Block& b : blocks) {
    if (b.is_table()) {
      for (const TableRow& row : b.table->rows) {
        out += "[";
        for (std::size_t i = 0; i < row.cells.size(); ++i) {
          if (i)
            out += " | ";
          std::string cell = Flatten(row.cells[i].blocks);
          while (!cell.empty() && cell.back() == '\n')
            cell.pop_back();
          out += cell;
        }
        out += "]\n";
      }
    } else {
      if (!b.paragraph.list_label.empty())
        out += b.paragraph.list_label + " ";
      out += RunsText(b.paragraph) + "\n";
    }
  }
  return out;
}

TEST(DocReader, SniffsCompoundFilesOnly) {
  auto reader = MakeDocReader();
  EXPECT_GT(reader->Sniff(std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8), "x.bin"), 0);
  EXPECT_EQ(reader->Sniff("{\\rtf1 hello}", "x.doc"), 0);
  EXPECT_EQ(reader->Sniff("PK\x03\x04", "x.doc"), 0);
  EXPECT_EQ(reader->Name(), "doc");
}

TEST(DocReader, TextWithSpecialCharactersInBothEncodings) {
  for (bool compressed : {false, true}) {
    DocFixture f;
    // Line break, tab, non-breaking hyphen, soft hyphen, picture, page break.
    f.text =
        u"Caf\u00e9 one\x0Btwo\tthree\x1E"
        u"four\x1Fx\x01y\x0Cnext\r\u2018q\u2019\r";
    if (compressed)
      f.text =
          u"Caf\u00e9 one\x0Btwo\tthree\x1E"
          u"four\x1Fx\x01y\x0Cnext\rq\r";
    f.ccp_text = static_cast<int>(f.text.size());
    f.compressed = compressed;
    f.title = "My \xe9title";
    Document doc;
    ReadResult r = ReadBytes(BuildDoc(f), doc);
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(doc.body.size(), 3u);
    EXPECT_EQ(RunsText(doc.body[0].paragraph), "Caf\u00e9 one\ntwo\tthree-fourxy");
    EXPECT_EQ(RunsText(doc.body[1].paragraph), "next");
    EXPECT_EQ(RunsText(doc.body[2].paragraph), compressed ? "q" : "\u2018q\u2019");
    EXPECT_EQ(doc.properties.title, "My \u00e9title");
    EXPECT_EQ(doc.open_encoding, 1252);
    EXPECT_EQ(doc.format, SourceFormat::kDoc);
  }
}

TEST(DocReader, CompressedTextMapsAsWindows1252) {
  DocFixture f;
  f.text = u"\x80\x93x\x94\r";
  f.ccp_text = 5;
  f.compressed = true;
  Document doc;
  ASSERT_TRUE(ReadBytes(BuildDoc(f), doc).ok);
  EXPECT_EQ(RunsText(doc.body[0].paragraph), "\u20ac\u201cx\u201d");
}

TEST(DocReader, CharacterFlagsAndLanguages) {
  DocFixture f;
  f.text = u"seen hidden gone added \u4e2d\r";
  f.ccp_text = static_cast<int>(f.text.size());
  f.char_runs = {
      {5, 12, Sprm(0x083C, {1})},                                         // hidden
      {12, 17, Sprm(0x0800, {1})},                                        // deleted
      {17, 23, Sprm(0x0801, {1})},                                        // inserted
      {23, 24, Sprm(0x4873, {0x04, 0x08}) + Sprm(0x4874, {0x04, 0x08})},  // languages
  };
  Document doc;
  ASSERT_TRUE(ReadBytes(BuildDoc(f), doc).ok);
  const Paragraph& p = doc.body.at(0).paragraph;
  EXPECT_EQ(RunsText(p), "seen added \u4e2d");
  EXPECT_EQ(RunsText(p, false), "seen hidden gone added \u4e2d");
  bool saw_hidden = false, saw_deleted = false, saw_inserted = false, saw_lang = false;
  for (const docengine::Run& r : p.runs) {
    if (r.text == "hidden ")
      saw_hidden = r.hidden && !r.deleted;
    if (r.text == "gone ")
      saw_deleted = r.deleted && !r.hidden;
    if (r.text == "added ")
      saw_inserted = r.inserted && !r.deleted;
    if (r.text == "\u4e2d")
      saw_lang = r.lang == 0x0804 && r.lang_fe == 0x0804;
  }
  EXPECT_TRUE(saw_hidden);
  EXPECT_TRUE(saw_deleted);
  EXPECT_TRUE(saw_inserted);
  EXPECT_TRUE(saw_lang);
}

TEST(DocReader, DeletedOrHiddenParagraphMarksJoinParagraphsAndDeletedRowsGo) {
  DocFixture f;
  // "gone" and its mark deleted, "half" kept with a hidden mark, then a
  // table whose second row is deleted with its end mark.
  f.text =
      u"keep\rgone\rhalf\rnext\ra\x07"
      u"b\x07\x07"
      u"c\x07"
      u"d\x07\x07";
  f.ccp_text = static_cast<int>(f.text.size());
  f.char_runs = {
      {5, 10, Sprm(0x0800, {1})}, {14, 15, Sprm(0x083C, {1})}, {25, 30, Sprm(0x0800, {1})}};
  std::string cell = Sprm(0x2416, {1});
  std::string row = Sprm(0x2416, {1}) + Sprm(0x2417, {1});
  f.para_props = {{21, cell}, {23, cell}, {24, row}, {26, cell}, {28, cell}, {29, row}};
  Document doc;
  ASSERT_TRUE(ReadBytes(BuildDoc(f), doc).ok);
  EXPECT_EQ(Flatten(doc.body), "keep\nhalfnext\n[a | b]\n");
}

TEST(DocReader, FieldsKeepResultsAndMarkCodes) {
  DocFixture f;
  // A hyperlink with a nested field in its result, a field without result,
  // and a field whose code holds a nested field.
  f.text =
      u"a\x13HYPERLINK \"x\"\x14link \x13PAGE\x14"
      u"7\x15!\x15 b\x13SEQ\x15 c"
      u"\x13IF \x13=1\x14"
      u"1\x15 x\x14yes\x15\r";
  f.ccp_text = static_cast<int>(f.text.size());
  Document doc;
  ASSERT_TRUE(ReadBytes(BuildDoc(f), doc).ok);
  const Paragraph& p = doc.body.at(0).paragraph;
  EXPECT_EQ(RunsText(p), "alink 7! b cyes");
  std::string codes;
  for (const docengine::Run& r : p.runs)
    if (r.field_code)
      codes += r.text;
  // A field inside a field code is code, its result included.
  EXPECT_EQ(codes, "HYPERLINK \"x\"PAGESEQIF =11 x");
}

TEST(DocReader, UnbalancedFieldMarksDoNotLoseLaterText) {
  DocFixture f;
  f.text = u"\x15\x14one\r\x13two\x14three\r";
  f.ccp_text = static_cast<int>(f.text.size());
  Document doc;
  ASSERT_TRUE(ReadBytes(BuildDoc(f), doc).ok);
  EXPECT_EQ(Flatten(doc.body), "one\nthree\n");
}

TEST(DocReader, TablesAndNestedTables) {
  DocFixture f;
  // before | [a | b] [c | [x | y] ] | after
  f.text =
      u"before\ra\x07"
      u"b\x07\x07"
      u"c\x07x\ry\r\r\x07\x07"
      u"after\r";
  f.ccp_text = static_cast<int>(f.text.size());
  std::string cell = Sprm(0x2416, {1});
  std::string row = Sprm(0x2416, {1}) + Sprm(0x2417, {1});
  std::string inner = Sprm(0x2416, {1}) + Sprm(0x6649, {2, 0, 0, 0});
  f.para_props = {
      {8, cell},
      {10, cell},
      {11, row},
      {13, cell},
      {15, inner + Sprm(0x244B, {1})},
      {17, inner + Sprm(0x244B, {1})},
      {18, inner + Sprm(0x244C, {1})},
      {19, cell},
      {20, row},
  };
  Document doc;
  ASSERT_TRUE(ReadBytes(BuildDoc(f), doc).ok);
  ASSERT_EQ(doc.body.size(), 3u);
  ASSERT_TRUE(doc.body[1].is_table());
  const Table& t = *doc.body[1].table;
  ASSERT_EQ(t.rows.size(), 2u);
  ASSERT_EQ(t.rows[0].cells.size(), 2u);
  ASSERT_EQ(t.rows[1].cells.size(), 2u);
  EXPECT_EQ(Flatten(t.rows[0].cells[1].blocks), "b\n");
  const TableCell& nested = t.rows[1].cells[1];
  ASSERT_FALSE(nested.blocks.empty());
  ASSERT_TRUE(nested.blocks[0].is_table());
  // The outer cell's mark closes it with an empty paragraph after the table.
  ASSERT_EQ(nested.blocks.size(), 2u);
  EXPECT_EQ(Flatten(nested.blocks), "[x | y]\n\n");
  EXPECT_EQ(Flatten(doc.body), "before\n[a | b]\n[c | [x | y]]\nafter\n");
}

TEST(DocReader, FootnotesEndnotesAndCommentsKeptApart) {
  DocFixture f;
  std::u16string main = u"Text\x02 more\x02 said\x05.\r";
  std::u16string ftn = u"\x02 Foot one\r";
  std::u16string atn = u"\x05Remark\r";
  std::u16string edn = u"\x02 End one\r";
  f.text = main + ftn + atn + edn;
  f.ccp_text = static_cast<int>(main.size());
  f.ccp_ftn = static_cast<int>(ftn.size());
  f.ccp_atn = static_cast<int>(atn.size());
  f.ccp_edn = static_cast<int>(edn.size());
  f.char_runs = {{4, 5, Sprm(0x0855, {1})}, {10, 11, Sprm(0x0855, {1})}};
  f.footnote_refs = {4};
  f.footnote_txt = {0, f.ccp_ftn - 1, f.ccp_ftn};
  f.endnote_refs = {10};
  f.endnote_txt = {0, f.ccp_edn - 1, f.ccp_edn};
  f.comment_refs = {16};
  f.comment_txt = {0, f.ccp_atn - 1, f.ccp_atn};
  f.comment_authors = {u"Ann Author"};
  Document doc;
  ReadResult r = ReadBytes(BuildDoc(f), doc);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(Flatten(doc.body), "Text1 morei said.\n");
  ASSERT_EQ(doc.footnotes.size(), 1u);
  EXPECT_EQ(doc.footnotes[0].mark, "1");
  EXPECT_EQ(Flatten(doc.footnotes[0].blocks), "Foot one\n");
  ASSERT_EQ(doc.endnotes.size(), 1u);
  EXPECT_EQ(doc.endnotes[0].mark, "i");
  EXPECT_EQ(Flatten(doc.endnotes[0].blocks), "End one\n");
  ASSERT_EQ(doc.comments.size(), 1u);
  EXPECT_EQ(doc.comments[0].author, "Ann Author");
  EXPECT_EQ(doc.comments[0].initials, "AB");
  EXPECT_EQ(Flatten(doc.comments[0].blocks), "Remark\n");
}

// A list table with one multi-level list: "1." / "a)" below it, and a
// one-level bullet list.
void AddLists(DocFixture& f) {
  auto level = [](std::string& s, int start, int nfc, std::u16string text) {
    std::string lvlf(28, '\0');
    testing::Put32(lvlf, 0, static_cast<std::uint32_t>(start));
    lvlf[4] = static_cast<char>(nfc);
    s += lvlf;
    Add16(s, static_cast<std::uint16_t>(text.size()));
    for (char16_t c : text)
      Add16(s, c);
  };
  std::string lst;
  Add16(lst, 2);
  for (int id : {100, 200}) {
    std::string lstf(28, '\0');
    testing::Put32(lstf, 0, static_cast<std::uint32_t>(id));
    if (id == 200)
      lstf[26] = 1;  // simple list
    lst += lstf;
  }
  level(lst, 1, 0, std::u16string(1, u'\0') + u".");
  level(lst, 1, 4, std::u16string(1, u'\x01') + u")");
  for (int k = 2; k < 9; ++k)
    level(lst, 1, 0, std::u16string(1, static_cast<char16_t>(k)));
  level(lst, 1, 23, u"\uF0B7");
  std::string lfo;
  Add32(lfo, 2);
  for (int id : {100, 200}) {
    std::string entry(16, '\0');
    testing::Put32(entry, 0, static_cast<std::uint32_t>(id));
    lfo += entry;
  }
  Add32(lfo, 0xFFFFFFFF);
  Add32(lfo, 0xFFFFFFFF);
  f.lists_lst = lst;
  f.lists_lfo = lfo;
}

TEST(DocReader, ListLabelsAreNumbered) {
  DocFixture f;
  f.text = u"one\rsub\rsub2\rtwo\rdot\rplain\rthree\r";
  f.ccp_text = static_cast<int>(f.text.size());
  AddLists(f);
  auto in_list = [](int ilfo, int ilvl) {
    return Sprm(0x460B, {static_cast<std::uint8_t>(ilfo), 0}) +
           Sprm(0x260A, {static_cast<std::uint8_t>(ilvl)});
  };
  f.para_props = {{3, in_list(1, 0)},  {7, in_list(1, 1)},  {12, in_list(1, 1)},
                  {16, in_list(1, 0)}, {20, in_list(2, 0)}, {32, in_list(1, 0)}};
  Document doc;
  ASSERT_TRUE(ReadBytes(BuildDoc(f), doc).ok);
  EXPECT_EQ(Flatten(doc.body), "1. one\na) sub\nb) sub2\n2. two\n\u2022 dot\nplain\n3. three\n");
  EXPECT_EQ(doc.body[1].paragraph.list_level, 1);
}

TEST(DocReader, PageBreakInsideAListParagraphKeepsOneLabel) {
  DocFixture f;
  f.text = u"one\x0Cmore\rtwo\r";
  f.ccp_text = static_cast<int>(f.text.size());
  AddLists(f);
  auto in_list = Sprm(0x460B, {1, 0});
  f.para_props = {{8, in_list}, {12, in_list}};
  Document doc;
  ASSERT_TRUE(ReadBytes(BuildDoc(f), doc).ok);
  EXPECT_EQ(Flatten(doc.body), "1. one\nmore\n2. two\n");
}

TEST(DocReader, ListOverrideRestartsTheNumbering) {
  DocFixture f;
  f.text = u"a\rb\rc\r";
  f.ccp_text = static_cast<int>(f.text.size());
  AddLists(f);
  // A third override of list 100 that starts level 0 at 5.
  std::string lfo;
  Add32(lfo, 3);
  for (int id : {100, 200, 100}) {
    std::string entry(16, '\0');
    testing::Put32(entry, 0, static_cast<std::uint32_t>(id));
    if (lfo.size() == 4 + 32)
      entry[12] = 1;
    lfo += entry;
  }
  Add32(lfo, 0xFFFFFFFF);
  Add32(lfo, 0xFFFFFFFF);
  Add32(lfo, 0xFFFFFFFF);
  Add32(lfo, 5);
  Add32(lfo, 0x10);  // level 0, start-at given
  f.lists_lfo = lfo;
  auto in_list = [](int ilfo) { return Sprm(0x460B, {static_cast<std::uint8_t>(ilfo), 0}); };
  f.para_props = {{1, in_list(1)}, {3, in_list(3)}, {5, in_list(3)}};
  Document doc;
  ASSERT_TRUE(ReadBytes(BuildDoc(f), doc).ok);
  EXPECT_EQ(Flatten(doc.body), "1. a\n5. b\n6. c\n");
}

TEST(DocReader, SymbolCharactersTakeTheirCodeFromTheFormatting) {
  DocFixture f;
  f.text = u"a(b\r";
  f.ccp_text = 4;
  f.char_runs = {{1, 2, Sprm(0x0855, {1}) + Sprm(0x6A09, {0x02, 0x00, 0x65, 0x26})}};
  Document doc;
  ASSERT_TRUE(ReadBytes(BuildDoc(f), doc).ok);
  EXPECT_EQ(Flatten(doc.body), "a\u2665b\n");
}

// Long paragraphs go through the reader a block of characters at a time:
// a character pair, a control or a symbol mark on either side of a block's
// edge must come out as it does one by one.
TEST(DocReader, LongParagraphsKeepEveryCharacterAcrossBlockEdges) {
  const std::u16string first = std::u16string(15, u'a') + u"\U0001F600" + std::u16string(20, u'b');
  const std::u16string second =
      std::u16string(31, u'c') + u"\tx\x0B" + std::u16string(17, u'd') + u"\u00e9";
  const std::u16string third = u"efghijklmnopqrstuvw(xyzefghijklmnopq";
  DocFixture f;
  f.text = first + u"\r" + second + u"\r" + third + u"\r";
  f.ccp_text = static_cast<int>(f.text.size());
  const int third_at = static_cast<int>(first.size() + second.size() + 2);
  f.char_runs = {{third_at, third_at + static_cast<int>(third.size()),
                  Sprm(0x0855, {1}) + Sprm(0x6A09, {0x02, 0x00, 0x65, 0x26})}};
  Document doc;
  ASSERT_TRUE(ReadBytes(BuildDoc(f), doc).ok);
  EXPECT_EQ(Flatten(doc.body), std::string(15, 'a') + "\U0001F600" + std::string(20, 'b') + "\n" +
                                   std::string(31, 'c') + "\tx\n" + std::string(17, 'd') +
                                   "\u00e9\nefghijklmnopqrstuvw\u2665xyzefghijklmnopq\n");
}

TEST(DocReader, PageTextWidthFromTheFirstSection) {
  DocFixture f;
  f.text = u"x\r";
  f.ccp_text = 2;
  // 8.5 inch page, 1 inch margins: 6.5 inch of text.
  f.section_sprms =
      Sprm(0xB01F, {0xD0, 0x2F}) + Sprm(0xB021, {0xA0, 0x05}) + Sprm(0xB022, {0xA0, 0x05});
  Document doc;
  ASSERT_TRUE(ReadBytes(BuildDoc(f), doc).ok);
  EXPECT_EQ(doc.page.text_width_twips, 12240 - 2 * 1440);
}

TEST(DocReader, EncryptedOoxmlPackageAsksForThePassword) {
  OpenOptions options;
  options.password = "anything";
  Document doc;
  // An OOXML package in a compound container.
  std::string ooxml = BuildCompoundFile({{"EncryptionInfo", std::string(64, '\x04')},
                                         {"EncryptedPackage", std::string(600, '\x01')}});
  ReadResult r = ReadBytes(ooxml, doc, options);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error, kPasswordIncorrectMessage);
}

TEST(DocReader, EncryptedWordFileWithoutUsableHeader) {
  for (std::uint16_t flags : {0x0100, 0x8100}) {  // encrypted; obfuscated
    DocFixture f;
    f.text = u"secret\r";
    f.ccp_text = 7;
    // Set the flag in the packed main stream, which libgsf stores as is.
    std::string bytes = BuildDoc(f);
    std::string marker = std::string("\xEC\xA5\xC1\x00", 4);
    std::size_t at = bytes.find(marker);
    ASSERT_NE(at, std::string::npos);
    bytes[at + 0x0A] = static_cast<char>(flags & 0xFF);
    bytes[at + 0x0B] = static_cast<char>(flags >> 8);
    Document doc;
    ReadResult r = ReadBytes(bytes, doc);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, kPasswordIncorrectMessage);
    EXPECT_TRUE(doc.body.empty());
  }
}

TEST(DocReader, Word6TextInTheFileCodePage) {
  // Word 6: one stretch of 8-bit text, Russian language -> code page 1251.
  std::string word(0x2B0, '\0');
  testing::Put16(word, 0, 0xA5DC);
  testing::Put16(word, 2, 101);
  testing::Put16(word, 6, 0x0419);
  std::string text = "\xcf\xf0\xe8\xe2\xe5\xf2\r\xec\xe8\xf0\r";  // two Russian words
  testing::Put32(word, 0x18, 0x300);
  testing::Put32(word, 0x1C, 0x300 + static_cast<std::uint32_t>(text.size()));
  testing::Put32(word, 0x34, static_cast<std::uint32_t>(text.size()));
  word.resize(0x300, '\0');
  word += text;
  Document doc;
  ReadResult r = ReadBytes(BuildCompoundFile({{"WordDocument", word}}), doc);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(Flatten(doc.body), "\u041f\u0440\u0438\u0432\u0435\u0442\n\u043c\u0438\u0440\n");
  EXPECT_EQ(doc.open_encoding, 1251);
}

TEST(DocReader, DamagedAndForeignFilesFailWithAMessage) {
  Document doc;
  ReadResult r = ReadBytes("not a compound file at all", doc);
  EXPECT_FALSE(r.ok);
  EXPECT_FALSE(r.error.empty());
  r = ReadBytes(BuildCompoundFile({{"Workbook", std::string(100, 'x')}}), doc);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("not a Word document"), std::string::npos);
  // A main stream whose block points everywhere.
  std::string junk(4096, '\xFF');
  testing::Put16(junk, 0, 0xA5EC);
  testing::Put16(junk, 2, 193);
  r = ReadBytes(BuildCompoundFile({{"WordDocument", junk}, {"0Table", junk}}), doc);
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(doc.body.empty());
  // A fuzzed file whose directory the compound-file library rejects.
  std::ifstream in(std::string(QUILLON_TEST_DATA_DIR) + "/fuzz/doc-damaged-directory.doc",
                   std::ios::binary);
  std::string damaged((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(damaged.size(), 100000u);
  Document other;
  r = ReadBytes(damaged, other);
  EXPECT_FALSE(r.ok);
  EXPECT_FALSE(r.error.empty());
  EXPECT_TRUE(other.body.empty());
}

TEST(DocReader, StreamSizeClaimedByADamagedDirectoryCostsNoMemory) {
  DocFixture f;
  f.text = std::u16string(5000, u'x') + u"\r";
  f.ccp_text = static_cast<int>(f.text.size());
  std::string bytes = BuildDoc(f);
  // The directory entry of the main stream: its name in UTF-16, its size
  // 0x78 bytes into the entry.
  std::string name;
  for (char c : std::string("WordDocument")) {
    name += c;
    name += '\0';
  }
  std::size_t entry = bytes.find(name);
  ASSERT_NE(entry, std::string::npos);
  testing::Put32(bytes, entry + 0x78, 0x7FFFFFF0);
  rusage before{}, after{};
  getrusage(RUSAGE_SELF, &before);
  Document doc;
  ReadResult r = ReadBytes(bytes, doc);
  getrusage(RUSAGE_SELF, &after);
  EXPECT_FALSE(r.ok);
  EXPECT_FALSE(r.error.empty());
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 100 * 1024);  // kilobytes
}

TEST(DocReader, TextLimitIsRespected) {
  DocFixture f;
  f.text = std::u16string(3000, u'x') + u"\r";
  f.ccp_text = static_cast<int>(f.text.size());
  OpenOptions options;
  options.limits.max_text_chars = 1000;
  Document doc;
  ReadResult r = ReadBytes(BuildDoc(f), doc, options);
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(doc.body.empty());
  options.limits.max_text_chars = 10000;
  EXPECT_TRUE(ReadBytes(BuildDoc(f), doc, options).ok);
}

TEST(DocCrypto, DigestsAndCipherMatchKnownVectors) {
  auto hex = [](const auto& bytes) {
    std::string s;
    for (std::uint8_t b : bytes) {
      static const char* d = "0123456789abcdef";
      s += d[b >> 4];
      s += d[b & 15];
    }
    return s;
  };
  EXPECT_EQ(hex(msdoc::Md5("")), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(hex(msdoc::Md5(std::string(100, 'a'))), "36a92cc94a9e0fa21f625f8bfb007adf");
  EXPECT_EQ(hex(msdoc::Sha1("abc")), "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(hex(msdoc::Sha1(std::string(64, 'a'))), "0098ba824b5c16427bd7a1122a5a442a25ec644d");
  std::string plain = "Plaintext";
  msdoc::Rc4 rc4("Key");
  rc4.Apply(reinterpret_cast<std::uint8_t*>(plain.data()), plain.size());
  std::vector<std::uint8_t> got(plain.begin(), plain.end());
  EXPECT_EQ(hex(got), "bbf316e8d940af0ad3");
}

}  // namespace
}  // namespace quillon::docengine
