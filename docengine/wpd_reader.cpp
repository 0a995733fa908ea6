#include "docengine/wpd_reader.h"

#include <librevenge-stream/librevenge-stream.h>
#include <librevenge/librevenge.h>
#include <libwpd/libwpd.h>

#include <deque>
#include <limits>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "charset/code_page.h"
#include "docengine/numbering.h"

namespace quillon::docengine {

namespace {

using librevenge::RVNGPropertyList;

std::string Prop(const RVNGPropertyList& props, const char* name) {
  const librevenge::RVNGProperty* p = props[name];
  return p != nullptr ? std::string(p->getStr().cstr()) : std::string();
}

double Inches(const RVNGPropertyList& props, const char* name) {
  const librevenge::RVNGProperty* p = props[name];
  return p != nullptr ? p->getDouble() : 0.0;
}

struct ListLevel {
  bool ordered = false;
  std::string format = "1";
  std::string prefix;
  std::string suffix = ".";
  std::string bullet = "\u2022";
  int next = 1;
};

// The parser gives the apostrophes of the first multinational set (a
// comma above, a comma above right) as combining marks, which would sit on
// the letter before them ("President's" would lose its apostrophe to the
// "t"). In the document they are characters of their own, typed as
// apostrophes: they read as the typographic one.
std::string SpacingMarks(std::string text) {
  static constexpr std::pair<std::string_view, std::string_view> kSpacing[] = {
      {"\xCC\x93", "\u2019"},  // combining comma above
      {"\xCC\x95", "\u2019"},  // combining comma above right
  };
  for (const auto& [combining, spacing] : kSpacing) {
    for (std::size_t at = 0; (at = text.find(combining, at)) != std::string::npos;) {
      text.replace(at, combining.size(), spacing);
      at += spacing.size();
    }
  }
  return text;
}

// Builds the document model from the callbacks of the WordPerfect parser.
// Stories (body, notes, comments, text boxes, table cells) nest; each has
// its block list and its open paragraph.
class ModelBuilder : public librevenge::RVNGTextInterface {
 public:
  ModelBuilder(Document& doc, const ReadLimits& limits) : doc_(doc), limits_(limits) {
    stories_.push_back(Story(&doc_.body));
  }

  bool too_large() const { return too_large_; }

  void setDocumentMetaData(const RVNGPropertyList& props) override {
    doc_.properties.title = Prop(props, "dc:title");
    doc_.properties.subject = Prop(props, "dc:subject");
    doc_.properties.author = Prop(props, "meta:initial-creator");
    if (doc_.properties.author.empty())
      doc_.properties.author = Prop(props, "dc:creator");
    doc_.properties.keywords = Prop(props, "meta:keyword");
    doc_.properties.comments = Prop(props, "dc:description");
  }
  void startDocument(const RVNGPropertyList&) override {}
  void endDocument() override { CloseParagraph(); }
  void definePageStyle(const RVNGPropertyList&) override {}
  void defineEmbeddedFont(const RVNGPropertyList&) override {}
  void openPageSpan(const RVNGPropertyList& props) override {
    if (doc_.page.text_width_twips != 0)
      return;
    const double width = Inches(props, "fo:page-width") - Inches(props, "fo:margin-left") -
                         Inches(props, "fo:margin-right");
    if (width > 0 && width < 100)
      doc_.page.text_width_twips = static_cast<int>(width * 1440);
  }
  void closePageSpan() override {}
  // Headers and footers are not part of the document's running text.
  void openHeader(const RVNGPropertyList&) override { ++skip_; }
  void closeHeader() override { --skip_; }
  void openFooter(const RVNGPropertyList&) override { ++skip_; }
  void closeFooter() override { --skip_; }
  void defineParagraphStyle(const RVNGPropertyList&) override {}
  void openParagraph(const RVNGPropertyList&) override { OpenParagraph(); }
  void closeParagraph() override { CloseParagraph(); }
  void defineCharacterStyle(const RVNGPropertyList&) override {}
  void openSpan(const RVNGPropertyList&) override {}
  void closeSpan() override {}
  void openLink(const RVNGPropertyList&) override {}
  void closeLink() override {}
  void defineSectionStyle(const RVNGPropertyList&) override {}
  void openSection(const RVNGPropertyList&) override {}
  void closeSection() override {}
  void insertTab() override { Add("\t"); }
  void insertSpace() override { Add(" "); }
  void insertText(const librevenge::RVNGString& text) override { Add(SpacingMarks(text.cstr())); }
  void insertLineBreak() override { Add("\n"); }
  void insertField(const RVNGPropertyList& props) override {
    const std::string type = Prop(props, "librevenge:field-type");
    if (type == "text:page-number")
      Add(Prop(props, "librevenge:value"));
  }
  void openOrderedListLevel(const RVNGPropertyList& props) override {
    ListLevel level;
    level.ordered = true;
    const std::string format = Prop(props, "style:num-format");
    if (!format.empty())
      level.format = format;
    level.prefix = Prop(props, "style:num-prefix");
    level.suffix = Prop(props, "style:num-suffix");
    const std::string start = Prop(props, "text:start-value");
    if (!start.empty())
      level.next = std::atoi(start.c_str());
    lists_.push_back(level);
  }
  void openUnorderedListLevel(const RVNGPropertyList& props) override {
    ListLevel level;
    const std::string bullet = Prop(props, "text:bullet-char");
    if (!bullet.empty())
      level.bullet = bullet;
    lists_.push_back(level);
  }
  void closeOrderedListLevel() override {
    if (!lists_.empty())
      lists_.pop_back();
  }
  void closeUnorderedListLevel() override {
    if (!lists_.empty())
      lists_.pop_back();
  }
  void openListElement(const RVNGPropertyList&) override {
    OpenParagraph();
    if (skip_ > 0 || lists_.empty())
      return;
    ListLevel& level = lists_.back();
    Paragraph& para = stories_.back().paragraph;
    para.list_level = static_cast<int>(lists_.size()) - 1;
    if (!level.ordered) {
      para.list_label = level.bullet;
      return;
    }
    const int n = level.next++;
    std::string number;
    if (level.format == "a" || level.format == "A") {
      number = std::string(1, static_cast<char>(level.format[0] + (n - 1) % 26));
    } else if (level.format == "i" || level.format == "I") {
      number = RomanNumeral(n, level.format == "I");
    } else {
      number = std::to_string(n);
    }
    para.list_label = level.prefix + number + level.suffix;
  }
  void closeListElement() override { CloseParagraph(); }
  void openFootnote(const RVNGPropertyList& props) override { OpenNote(props, false); }
  void closeFootnote() override { CloseNote(); }
  void openEndnote(const RVNGPropertyList& props) override { OpenNote(props, true); }
  void closeEndnote() override { CloseNote(); }
  void openComment(const RVNGPropertyList&) override {
    comment_blocks_.emplace_back();
    stories_.push_back(Story(&comment_blocks_.back()));
  }
  void closeComment() override {
    CloseStory();
    if (comment_blocks_.empty())
      return;
    Comment comment;
    comment.blocks = std::move(comment_blocks_.back());
    comment_blocks_.pop_back();
    if (skip_ == 0)
      doc_.comments.push_back(std::move(comment));
  }
  void openTextBox(const RVNGPropertyList&) override {
    box_blocks_.emplace_back();
    stories_.push_back(Story(&box_blocks_.back()));
  }
  void closeTextBox() override {
    CloseStory();
    if (box_blocks_.empty())
      return;
    std::vector<Block> blocks = std::move(box_blocks_.back());
    box_blocks_.pop_back();
    if (skip_ > 0)
      return;
    // A text box reads after the paragraph that anchors it.
    for (Block& b : blocks)
      stories_.back().after_paragraph.push_back(std::move(b));
  }
  void openTable(const RVNGPropertyList&) override {
    CloseParagraph();
    tables_.emplace_back();
  }
  void openTableRow(const RVNGPropertyList&) override {
    if (!tables_.empty())
      tables_.back().rows.emplace_back();
  }
  void closeTableRow() override {}
  void openTableCell(const RVNGPropertyList&) override {
    if (tables_.empty() || tables_.back().rows.empty())
      return;
    TableRow& row = tables_.back().rows.back();
    row.cells.emplace_back();
    // Cells live inside the table being built; a pointer to them stays valid
    // until the next cell of the same row is added, which closes this one.
    stories_.push_back(Story(&row.cells.back().blocks));
  }
  void closeTableCell() override {
    if (stories_.size() > 1)
      CloseStory();
  }
  void insertCoveredTableCell(const RVNGPropertyList&) override {
    if (tables_.empty() || tables_.back().rows.empty())
      return;
    tables_.back().rows.back().cells.emplace_back();
  }
  void closeTable() override {
    if (tables_.empty())
      return;
    Table table = std::move(tables_.back());
    tables_.pop_back();
    if (skip_ == 0) {
      CloseParagraph();
      stories_.back().blocks->push_back(Block::FromTable(std::move(table)));
    }
  }
  void openFrame(const RVNGPropertyList&) override {}
  void closeFrame() override {}
  void insertBinaryObject(const RVNGPropertyList&) override {}
  void insertEquation(const RVNGPropertyList&) override {}
  void openGroup(const RVNGPropertyList&) override {}
  void closeGroup() override {}
  void defineGraphicStyle(const RVNGPropertyList&) override {}
  void drawRectangle(const RVNGPropertyList&) override {}
  void drawEllipse(const RVNGPropertyList&) override {}
  void drawPolygon(const RVNGPropertyList&) override {}
  void drawPolyline(const RVNGPropertyList&) override {}
  void drawPath(const RVNGPropertyList&) override {}
  void drawConnector(const RVNGPropertyList&) override {}

 private:
  struct Story {
    explicit Story(std::vector<Block>* b) : blocks(b) {}
    std::vector<Block>* blocks;
    Paragraph paragraph;
    bool open = false;
    std::vector<Block> after_paragraph;
  };

  void OpenParagraph() {
    CloseParagraph();
    stories_.back().open = true;
  }

  void CloseParagraph() {
    Story& story = stories_.back();
    if (story.open && skip_ == 0) {
      story.blocks->push_back(Block::FromParagraph(std::move(story.paragraph)));
    }
    for (Block& b : story.after_paragraph)
      story.blocks->push_back(std::move(b));
    story.after_paragraph.clear();
    story.paragraph = Paragraph{};
    story.open = false;
  }

  void CloseStory() {
    CloseParagraph();
    if (stories_.size() > 1)
      stories_.pop_back();
  }

  void Add(const std::string& text) {
    if (skip_ > 0 || text.empty() || too_large_)
      return;
    chars_ += text.size();
    if (chars_ > limits_.max_text_chars) {
      too_large_ = true;
      return;
    }
    Story& story = stories_.back();
    story.open = true;
    if (story.paragraph.runs.empty())
      story.paragraph.runs.emplace_back();
    story.paragraph.runs.back().text += text;
  }

  void OpenNote(const RVNGPropertyList& props, bool endnote) {
    std::string mark = Prop(props, "librevenge:number");
    if (mark.empty())
      mark = std::to_string((endnote ? doc_.endnotes : doc_.footnotes).size() + 1);
    Add(mark);
    note_blocks_.emplace_back();
    note_marks_.push_back({mark, endnote});
    stories_.push_back(Story(&note_blocks_.back()));
  }

  void CloseNote() {
    CloseStory();
    if (note_blocks_.empty())
      return;
    Note note;
    note.mark = note_marks_.back().first;
    note.blocks = std::move(note_blocks_.back());
    const bool endnote = note_marks_.back().second;
    note_blocks_.pop_back();
    note_marks_.pop_back();
    if (skip_ == 0)
      (endnote ? doc_.endnotes : doc_.footnotes).push_back(std::move(note));
  }

  Document& doc_;
  const ReadLimits& limits_;
  std::vector<Story> stories_;
  std::deque<Table> tables_;
  std::vector<ListLevel> lists_;
  // Deques: growing them keeps the addresses the open stories hold.
  std::deque<std::vector<Block>> note_blocks_;
  std::vector<std::pair<std::string, bool>> note_marks_;
  std::deque<std::vector<Block>> comment_blocks_;
  std::deque<std::vector<Block>> box_blocks_;
  int skip_ = 0;
  std::size_t chars_ = 0;
  bool too_large_ = false;
};

class WordPerfectReader : public Reader {
 public:
  std::string_view Name() const override { return "wordperfect"; }

  int Sniff(std::string_view head, const std::string&) const override {
    if (head.size() >= 4 && head.compare(0, 4, "\xFFWPC") == 0)
      return 90;
    return 0;
  }

  ReadResult Read(std::string_view data, const OpenOptions& options, Document& doc) const override {
    if (data.size() > options.limits.max_input_bytes ||
        data.size() > std::numeric_limits<unsigned int>::max()) {
      return ReadResult::Failure("The document is too large to open.");
    }
    librevenge::RVNGStringStream stream(reinterpret_cast<const unsigned char*>(data.data()),
                                        static_cast<unsigned int>(data.size()));
    const libwpd::WPDConfidence confidence = libwpd::WPDocument::isFileFormatSupported(&stream);
    if (confidence == libwpd::WPD_CONFIDENCE_NONE) {
      return ReadResult::Failure("The file is not a WordPerfect document.");
    }
    if (confidence == libwpd::WPD_CONFIDENCE_UNSUPPORTED_ENCRYPTION) {
      return ReadResult::Failure(kPasswordIncorrectMessage);
    }
    const char* password = nullptr;
    if (confidence == libwpd::WPD_CONFIDENCE_SUPPORTED_ENCRYPTION) {
      if (options.password.empty())
        return ReadResult::Failure(kPasswordIncorrectMessage);
      stream.seek(0, librevenge::RVNG_SEEK_SET);
      // Some versions cannot tell before parsing; the parser reports a
      // mismatch then.
      if (libwpd::WPDocument::verifyPassword(&stream, options.password.c_str()) ==
          libwpd::WPD_PASSWORD_MATCH_NONE) {
        return ReadResult::Failure(kPasswordIncorrectMessage);
      }
      password = options.password.c_str();
    }
    stream.seek(0, librevenge::RVNG_SEEK_SET);
    doc = Document{};
    ModelBuilder builder(doc, options.limits);
    const libwpd::WPDResult result = libwpd::WPDocument::parse(&stream, &builder, password);
    if (builder.too_large()) {
      doc = Document{};
      return ReadResult::Failure("The document is too large to open.");
    }
    switch (result) {
      case libwpd::WPD_OK:
        break;
      case libwpd::WPD_PASSWORD_MISSMATCH_ERROR:
      case libwpd::WPD_UNSUPPORTED_ENCRYPTION_ERROR:
        doc = Document{};
        return ReadResult::Failure(kPasswordIncorrectMessage);
      default:
        doc = Document{};
        return ReadResult::Failure("The WordPerfect document is damaged and cannot be read.");
    }
    doc.format = SourceFormat::kWordPerfect;
    // Not a text file: the system's ANSI code page, as for every such document.
    doc.open_encoding = AnsiCodePage();
    return ReadResult::Success();
  }
};

}  // namespace

std::unique_ptr<Reader> MakeWordPerfectReader() {
  return std::make_unique<WordPerfectReader>();
}

}  // namespace quillon::docengine
