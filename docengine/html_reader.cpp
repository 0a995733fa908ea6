#include "docengine/html_reader.h"

#include <gumbo.h>
#include <unicode/ucsdet.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>

#include "charset/code_page.h"
#include "docengine/docx_reader.h"
#include "docengine/html_markup.h"
#include "docengine/numbering.h"
#include "docengine/reader_factories.h"

namespace quillon::docengine {

namespace {

// Charset declarations are looked for near the top, as browsers do.
constexpr std::size_t kPrescanBytes = 16 * 1024;

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// The names browsers read as Windows-1252 whatever they say.
int CodePageForLabel(std::string label) {
  label = AsciiLower(label);
  while (!label.empty() && IsSpace(label.back()))
    label.pop_back();
  if (label.empty())
    return 0;
  if (label == "iso-8859-1" || label == "iso8859-1" || label == "latin1" || label == "l1" ||
      label == "us-ascii" || label == "ascii" || label == "iso_8859-1" || label == "cp819") {
    return 1252;
  }
  return CodePageFromCharsetName(label);
}

// The charset a "charset=" inside the text starting at `at` names.
std::string CharsetAfter(std::string_view text, std::size_t at) {
  at += 7;  // "charset"
  while (at < text.size() && IsSpace(text[at]))
    ++at;
  if (at >= text.size() || text[at] != '=')
    return std::string();
  ++at;
  while (at < text.size() && IsSpace(text[at]))
    ++at;
  if (at < text.size() && (text[at] == '"' || text[at] == '\''))
    ++at;
  std::string name;
  while (at < text.size() && !IsSpace(text[at]) && text[at] != '"' && text[at] != '\'' &&
         text[at] != ';' && text[at] != '>' && text[at] != '/' && name.size() < 40) {
    name += text[at++];
  }
  return name;
}

int DeclaredCodePage(std::string_view data) {
  const std::string head = AsciiLower(data.substr(0, std::min(data.size(), kPrescanBytes)));
  if (head.compare(0, 5, "<?xml") == 0) {
    const std::size_t end = head.find("?>");
    const std::size_t enc = head.find("encoding");
    if (enc != std::string::npos && enc < end) {
      std::size_t at = enc + 8;
      while (at < head.size() && (IsSpace(head[at]) || head[at] == '='))
        ++at;
      if (at < head.size() && (head[at] == '"' || head[at] == '\''))
        ++at;
      std::string name;
      while (at < head.size() && head[at] != '"' && head[at] != '\'' && name.size() < 40) {
        name += head[at++];
      }
      const int cp = CodePageForLabel(name);
      if (cp != 0)
        return cp;
    }
  }
  std::size_t at = 0;
  while ((at = head.find("<meta", at)) != std::string::npos) {
    const std::size_t end = head.find('>', at);
    const std::string_view tag(head.data() + at,
                               (end == std::string::npos ? head.size() : end) - at);
    std::size_t cs = 0;
    while ((cs = tag.find("charset", cs)) != std::string_view::npos) {
      const int cp = CodePageForLabel(CharsetAfter(tag, cs));
      // A page that is read as bytes cannot be UTF-16 whatever it says.
      if (cp != 0 && cp != kCodePageUtf16Le && cp != kCodePageUtf16Be)
        return cp;
      cs += 7;
    }
    at += 5;
  }
  return 0;
}

int SniffedCodePage(std::string_view data) {
  bool ascii = true;
  for (char c : data) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      ascii = false;
      break;
    }
  }
  if (ascii)
    return AnsiCodePage();
  if (IsValidUtf8(data))
    return kCodePageUtf8;
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<UCharsetDetector, void (*)(UCharsetDetector*)> detector(ucsdet_open(&status),
                                                                          ucsdet_close);
  if (U_FAILURE(status))
    return 1252;
  const std::size_t size = std::min<std::size_t>(data.size(), 1 << 20);
  ucsdet_setText(detector.get(), data.data(), static_cast<int32_t>(size), &status);
  ucsdet_enableInputFilter(detector.get(), true);
  const UCharsetMatch* match = ucsdet_detect(detector.get(), &status);
  if (U_FAILURE(status) || match == nullptr)
    return 1252;
  const char* name = ucsdet_getName(match, &status);
  if (U_FAILURE(status) || name == nullptr)
    return 1252;
  const int cp = CodePageForLabel(name);
  return cp != 0 ? cp : 1252;
}

bool IsAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// ------------------------------------------------------------ tree walk

using Tag = GumboTag;

// What an element is to the text.
enum class Role {
  kInline,   // its content reads on in the paragraph
  kBlock,    // a paragraph of its own
  kSkipped,  // never shown as text
  kBreak,    // <br>
  kTable,    // <table>
  kList,     // <ul>, <ol>
  kItem,     // <li>
  kPreformatted,
  kRule,  // <hr>
};

// The lower-case name of an element the parser does not know ("o:p").
std::string_view UnknownName(const GumboElement& element, std::string& storage) {
  GumboStringPiece piece = element.original_tag;
  gumbo_tag_from_original_text(&piece);
  std::size_t size = 0;
  while (size < piece.length && !IsSpace(piece.data[size]) && piece.data[size] != '/' &&
         piece.data[size] != '>') {
    ++size;
  }
  storage = AsciiLower(std::string_view(piece.data, size));
  return storage;
}

Role RoleOf(const GumboElement& element) {
  switch (element.tag) {
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_HEAD:
    case GUMBO_TAG_TEMPLATE:
    case GUMBO_TAG_NOSCRIPT:
    case GUMBO_TAG_NOEMBED:
    case GUMBO_TAG_NOFRAMES:
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_OBJECT:
    case GUMBO_TAG_EMBED:
    case GUMBO_TAG_APPLET:
    case GUMBO_TAG_SELECT:
    case GUMBO_TAG_SVG:
    case GUMBO_TAG_MATH:
    case GUMBO_TAG_MAP:
    case GUMBO_TAG_AUDIO:
    case GUMBO_TAG_VIDEO:
    case GUMBO_TAG_CANVAS:
    case GUMBO_TAG_DATALIST:
    case GUMBO_TAG_INPUT:
    case GUMBO_TAG_META:
    case GUMBO_TAG_LINK:
    case GUMBO_TAG_BASE:
    case GUMBO_TAG_TITLE:
      return Role::kSkipped;
    case GUMBO_TAG_P:
    case GUMBO_TAG_DIV:
    case GUMBO_TAG_H1:
    case GUMBO_TAG_H2:
    case GUMBO_TAG_H3:
    case GUMBO_TAG_H4:
    case GUMBO_TAG_H5:
    case GUMBO_TAG_H6:
    case GUMBO_TAG_BLOCKQUOTE:
    case GUMBO_TAG_ADDRESS:
    case GUMBO_TAG_CENTER:
    case GUMBO_TAG_SECTION:
    case GUMBO_TAG_ARTICLE:
    case GUMBO_TAG_HEADER:
    case GUMBO_TAG_FOOTER:
    case GUMBO_TAG_NAV:
    case GUMBO_TAG_ASIDE:
    case GUMBO_TAG_MAIN:
    case GUMBO_TAG_FIGURE:
    case GUMBO_TAG_FIGCAPTION:
    case GUMBO_TAG_FORM:
    case GUMBO_TAG_FIELDSET:
    case GUMBO_TAG_LEGEND:
    case GUMBO_TAG_DL:
    case GUMBO_TAG_DT:
    case GUMBO_TAG_DD:
    case GUMBO_TAG_DETAILS:
    case GUMBO_TAG_SUMMARY:
    case GUMBO_TAG_BODY:
    case GUMBO_TAG_HTML:
    case GUMBO_TAG_DIR:
    case GUMBO_TAG_MENU:
    case GUMBO_TAG_FRAMESET:
    case GUMBO_TAG_CAPTION:
    case GUMBO_TAG_HGROUP:
    case GUMBO_TAG_TR:
    case GUMBO_TAG_TD:
    case GUMBO_TAG_TH:
      return Role::kBlock;
    case GUMBO_TAG_PRE:
    case GUMBO_TAG_LISTING:
    case GUMBO_TAG_XMP:
    case GUMBO_TAG_PLAINTEXT:
    case GUMBO_TAG_TEXTAREA:
      return Role::kPreformatted;
    case GUMBO_TAG_BR:
      return Role::kBreak;
    case GUMBO_TAG_TABLE:
      return Role::kTable;
    case GUMBO_TAG_UL:
    case GUMBO_TAG_OL:
      return Role::kList;
    case GUMBO_TAG_LI:
      return Role::kItem;
    case GUMBO_TAG_HR:
      return Role::kRule;
    case GUMBO_TAG_UNKNOWN: {
      std::string storage;
      const std::string_view name = UnknownName(element, storage);
      // Word processors embed their settings as an "xml" island.
      if (name == "xml")
        return Role::kSkipped;
      if (name == "search")
        return Role::kBlock;
      return Role::kInline;
    }
    default:
      return Role::kInline;
  }
}

// Paragraph-like elements that stay as an empty paragraph when empty.
bool KeepsEmpty(Tag tag) {
  switch (tag) {
    case GUMBO_TAG_P:
    case GUMBO_TAG_H1:
    case GUMBO_TAG_H2:
    case GUMBO_TAG_H3:
    case GUMBO_TAG_H4:
    case GUMBO_TAG_H5:
    case GUMBO_TAG_H6:
    case GUMBO_TAG_PRE:
    case GUMBO_TAG_LI:
    case GUMBO_TAG_DT:
    case GUMBO_TAG_DD:
      return true;
    default:
      return false;
  }
}

const char* AttributeValue(const GumboElement& element, const char* name) {
  const GumboAttribute* attribute = gumbo_get_attribute(&element.attributes, name);
  return attribute != nullptr ? attribute->value : nullptr;
}

std::string Attribute(const GumboElement& element, const char* name) {
  const char* value = AttributeValue(element, name);
  return value != nullptr ? std::string(value) : std::string();
}

std::string StyleWithoutBlanks(const GumboElement& element) {
  const char* value = AttributeValue(element, "style");
  if (value == nullptr)
    return std::string();
  std::string style = AsciiLower(value);
  style.erase(std::remove_if(style.begin(), style.end(), IsSpace), style.end());
  return style;
}

bool IsHiddenElement(const GumboElement& element, const std::string& style) {
  if (AttributeValue(element, "hidden") != nullptr)
    return true;
  return style.find("display:none") != std::string::npos ||
         style.find("mso-hide:all") != std::string::npos;
}

bool IsHiddenElement(const GumboElement& element) {
  return IsHiddenElement(element, StyleWithoutBlanks(element));
}

bool IsText(const GumboNode* node) {
  return node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_WHITESPACE ||
         node->type == GUMBO_NODE_CDATA;
}

const GumboNode* ChildAt(const GumboVector& children, unsigned index) {
  return static_cast<const GumboNode*>(children.data[index]);
}

std::string Letters(int value, bool upper) {
  if (value <= 0)
    return std::to_string(value);
  std::string out;
  while (value > 0 && out.size() < 8) {
    --value;
    out += static_cast<char>((upper ? 'A' : 'a') + value % 26);
    value /= 26;
  }
  std::reverse(out.begin(), out.end());
  return out;
}

// A list number as an attribute gives it, kept far enough from the limits
// of int that counting on from it cannot overflow.
int ListNumber(const char* text) {
  const long value = std::strtol(text, nullptr, 10);
  return static_cast<int>(std::clamp(value, -1'000'000'000L, 1'000'000'000L));
}

struct ListState {
  bool ordered = false;
  int next = 1;
  std::string type;  // "1", "a", "A", "i", "I" or a bullet kind
};

bool IsEastAsian(std::uint16_t lcid) {
  const std::uint16_t primary = lcid & 0x3FF;
  return primary == 0x04 || primary == 0x11 || primary == 0x12;
}

class HtmlBuilder {
 public:
  HtmlBuilder(const OpenOptions& options, const PreparedMarkup& prepared, Document& doc)
      : options_(options), prepared_(prepared), doc_(doc) {
    out_ = &doc_.body;
  }

  bool Build(const GumboNode* root) {
    FindHead(root, 0);
    Walk(root, 0);
    Flush();
    return !too_large_;
  }

 private:
  void FindHead(const GumboNode* node, int depth) {
    if (depth > 8 || (node->type != GUMBO_NODE_DOCUMENT && node->type != GUMBO_NODE_ELEMENT))
      return;
    const GumboVector& children =
        node->type == GUMBO_NODE_DOCUMENT ? node->v.document.children : node->v.element.children;
    for (unsigned i = 0; i < children.length; ++i) {
      const GumboNode* c = ChildAt(children, i);
      if (c->type != GUMBO_NODE_ELEMENT)
        continue;
      const GumboElement& element = c->v.element;
      if (element.tag == GUMBO_TAG_TITLE && doc_.properties.title.empty()) {
        doc_.properties.title = CollapsedText(element);
      } else if (element.tag == GUMBO_TAG_META) {
        const std::string meta = AsciiLower(Attribute(element, "name"));
        const std::string content = Attribute(element, "content");
        if (meta == "author")
          doc_.properties.author = content;
        if (meta == "keywords")
          doc_.properties.keywords = content;
        if (meta == "description")
          doc_.properties.comments = content;
        if (meta == "subject")
          doc_.properties.subject = content;
      } else if (element.tag == GUMBO_TAG_HTML || element.tag == GUMBO_TAG_HEAD) {
        FindHead(c, depth + 1);
      }
    }
  }

  std::string CollapsedText(const GumboElement& element) const {
    std::string text;
    for (unsigned i = 0; i < element.children.length; ++i) {
      const GumboNode* c = ChildAt(element.children, i);
      if (IsText(c))
        AppendWithRuns(c->v.text.text, prepared_, text);
    }
    std::string out;
    bool space = false;
    for (char c : text) {
      if (IsSpace(c)) {
        space = !out.empty();
      } else {
        if (space)
          out += ' ';
        space = false;
        out += c;
      }
    }
    return out;
  }

  void AddRaw(std::string_view text) {
    if (text.empty() || too_large_)
      return;
    chars_ += text.size();
    if (chars_ > options_.limits.max_text_chars) {
      too_large_ = true;
      return;
    }
    open_ = true;
    std::uint16_t lang = lang_stack_.empty() ? 0 : lang_stack_.back();
    std::uint16_t lang_fe = IsEastAsian(lang) ? lang : 0;
    if (!current_.runs.empty() && current_.runs.back().lang == lang) {
      current_.runs.back().text.append(text);
      return;
    }
    Run run;
    run.text = std::string(text);
    run.lang = lang;
    run.lang_fe = lang_fe;
    current_.runs.push_back(std::move(run));
  }

  void AddText(std::string_view text) {
    if (pre_depth_ > 0) {
      preserve_ = true;
      // Preformatted text keeps its blanks; its lines become paragraphs.
      // CR LF, CR and LF each end a line, as the parser reads them.
      std::size_t start = 0;
      while (start <= text.size()) {
        const std::size_t nl = text.find_first_of("\r\n", start);
        AddRaw(
            text.substr(start, nl == std::string_view::npos ? std::string_view::npos : nl - start));
        if (nl == std::string_view::npos)
          break;
        // A newline right after the opening tag does not count.
        if (!(nl == 0 && !open_ && current_.runs.empty())) {
          keep_empty_ = true;
          Flush();
        }
        start = nl + 1;
        if (text[nl] == '\r' && start < text.size() && text[start] == '\n')
          ++start;
      }
      return;
    }
    std::string collapsed;
    collapsed.reserve(text.size());
    for (char c : text) {
      if (IsSpace(c)) {
        pending_space_ = true;
        continue;
      }
      if (pending_space_ && (!collapsed.empty() || HasText()))
        collapsed += ' ';
      pending_space_ = false;
      collapsed += c;
    }
    AddRaw(collapsed);
  }

  void AddNodeText(std::string_view text) {
    if (text.find(kRunMark) == std::string_view::npos) {
      AddText(text);
      return;
    }
    node_text_.clear();
    AppendWithRuns(text, prepared_, node_text_);
    AddText(node_text_);
  }

  bool HasText() const {
    for (const Run& r : current_.runs) {
      if (!r.text.empty() && r.text.back() != '\n')
        return true;
    }
    return false;
  }

  void Flush() {
    pending_space_ = false;
    // A line break that ends a block draws no empty line.
    if (!current_.runs.empty()) {
      std::string& last = current_.runs.back().text;
      while (!preserve_ && !last.empty() && last.back() == ' ')
        last.pop_back();
      if (!preserve_ && !last.empty() && last.back() == '\n' && HasText())
        last.pop_back();
      if (last.empty())
        current_.runs.pop_back();
    }
    const bool has_content = !current_.runs.empty() || !current_.list_label.empty();
    if (has_content || keep_empty_) {
      out_->push_back(Block::FromParagraph(std::move(current_)));
    }
    current_ = Paragraph{};
    open_ = false;
    keep_empty_ = false;
    preserve_ = false;
  }

  std::string NextLabel(const GumboElement& li) {
    if (lists_.empty())
      return "\u2022";
    ListState& list = lists_.back();
    if (!list.ordered) {
      if (list.type == "circle")
        return "o";
      if (list.type == "square")
        return "\u25AA";
      return "\u2022";
    }
    if (const char* value = AttributeValue(li, "value"); value != nullptr && *value != '\0')
      list.next = ListNumber(value);
    const int n = list.next++;
    std::string text;
    if (list.type == "a") {
      text = Letters(n, false);
    } else if (list.type == "A") {
      text = Letters(n, true);
    } else if (list.type == "i") {
      text = RomanNumeral(n, false);
    } else if (list.type == "I") {
      text = RomanNumeral(n, true);
    } else {
      text = std::to_string(n);
    }
    return text + ".";
  }

  // Below the depth limit the markup no longer shapes the text, and the
  // walk goes on without recursion so that no page can exhaust the stack.
  void WalkFlat(const GumboNode* top) {
    if (top->v.element.children.length == 0)
      return;
    const GumboNode* node = ChildAt(top->v.element.children, 0);
    while (node != nullptr && !too_large_) {
      bool descend = false;
      if (IsText(node)) {
        AddNodeText(node->v.text.text);
      } else if (node->type == GUMBO_NODE_ELEMENT) {
        const Role role = RoleOf(node->v.element);
        if (role == Role::kBreak) {
          AddRaw("\n");
        } else if (role != Role::kSkipped && !IsHiddenElement(node->v.element)) {
          descend = node->v.element.children.length > 0;
        }
      }
      if (descend) {
        node = ChildAt(node->v.element.children, 0);
        continue;
      }
      // On to the next sibling, climbing while a node is the last child.
      while (node != top) {
        const GumboNode* parent = node->parent;
        const unsigned next = static_cast<unsigned>(node->index_within_parent) + 1;
        if (next < parent->v.element.children.length) {
          node = ChildAt(parent->v.element.children, next);
          break;
        }
        node = parent;
      }
      if (node == top)
        break;
    }
  }

  void WalkChildren(const GumboElement& element, int depth) {
    for (unsigned i = 0; i < element.children.length && !too_large_; ++i)
      Walk(ChildAt(element.children, i), depth + 1);
  }

  void WalkCell(const GumboElement& cell, int depth, TableRow& row) {
    TableCell table_cell;
    if (!IsHiddenElement(cell)) {
      std::vector<Block>* saved = out_;
      std::vector<ListState> saved_lists;
      saved_lists.swap(lists_);
      out_ = &table_cell.blocks;
      WalkChildren(cell, depth + 2);
      Flush();
      out_ = saved;
      lists_.swap(saved_lists);
    }
    if (table_cell.blocks.empty())
      table_cell.blocks.push_back(Block::FromParagraph({}));
    row.cells.push_back(std::move(table_cell));
  }

  void WalkTable(const GumboElement& table_element, int depth) {
    Flush();
    Table table;
    std::vector<const GumboElement*> captions;
    // The parser puts rows into sections; the rows of every section read
    // in the order of the page.
    auto add_rows = [&](auto&& self, const GumboElement& container, int level) -> void {
      for (unsigned i = 0; i < container.children.length; ++i) {
        const GumboNode* c = ChildAt(container.children, i);
        if (c->type != GUMBO_NODE_ELEMENT)
          continue;
        const GumboElement& element = c->v.element;
        if (element.tag == GUMBO_TAG_TR) {
          if (IsHiddenElement(element))
            continue;
          TableRow row;
          for (unsigned k = 0; k < element.children.length; ++k) {
            const GumboNode* cell = ChildAt(element.children, k);
            if (cell->type == GUMBO_NODE_ELEMENT &&
                (cell->v.element.tag == GUMBO_TAG_TD || cell->v.element.tag == GUMBO_TAG_TH)) {
              WalkCell(cell->v.element, depth, row);
            }
          }
          if (!row.cells.empty())
            table.rows.push_back(std::move(row));
        } else if ((element.tag == GUMBO_TAG_THEAD || element.tag == GUMBO_TAG_TBODY ||
                    element.tag == GUMBO_TAG_TFOOT) &&
                   level < 4 && !IsHiddenElement(element)) {
          self(self, element, level + 1);
        } else if (element.tag == GUMBO_TAG_CAPTION) {
          captions.push_back(&element);
        }
      }
    };
    add_rows(add_rows, table_element, 0);
    for (const GumboElement* caption : captions) {
      WalkChildren(*caption, depth + 1);
      Flush();
    }
    if (!table.rows.empty())
      out_->push_back(Block::FromTable(std::move(table)));
  }

  void WalkList(const GumboElement& element, int depth) {
    Flush();
    ListState list;
    list.ordered = element.tag == GUMBO_TAG_OL;
    list.type = Attribute(element, "type");
    if (list.ordered && list.type.empty())
      list.type.push_back('1');
    if (!list.ordered)
      list.type = AsciiLower(list.type);
    if (const char* start = AttributeValue(element, "start"); start != nullptr && *start != '\0')
      list.next = ListNumber(start);
    lists_.push_back(list);
    WalkChildren(element, depth);
    Flush();
    lists_.pop_back();
  }

  void Walk(const GumboNode* node, int depth) {
    if (too_large_)
      return;
    if (IsText(node)) {
      AddNodeText(node->v.text.text);
      return;
    }
    if (node->type == GUMBO_NODE_DOCUMENT) {
      const GumboVector& children = node->v.document.children;
      for (unsigned i = 0; i < children.length && !too_large_; ++i)
        Walk(ChildAt(children, i), depth + 1);
      return;
    }
    // Comments show nothing; template content is not part of the page.
    if (node->type != GUMBO_NODE_ELEMENT)
      return;
    const GumboElement& element = node->v.element;
    const Role role = RoleOf(element);
    if (role == Role::kSkipped)
      return;
    const std::string style = StyleWithoutBlanks(element);
    if (IsHiddenElement(element, style))
      return;
    // Deeper than the limit, the markup no longer shapes the text.
    if (depth > options_.limits.max_depth) {
      WalkFlat(node);
      return;
    }
    const char* lang_attr = AttributeValue(element, "lang");
    const bool has_lang = lang_attr != nullptr && *lang_attr != '\0';
    if (has_lang)
      lang_stack_.push_back(LcidFromLanguageTag(lang_attr));

    // Blanks that a style keeps are kept as in preformatted text.
    const bool keep_spaces = style.find("white-space:pre") != std::string::npos;
    if (keep_spaces)
      ++pre_depth_;
    const std::size_t tab_count = style.find("mso-tab-count:");
    if (role == Role::kBreak) {
      pending_space_ = false;
      // Pages saved by word processors mark a page break so.
      AddRaw(style.find("page-break-before:always") != std::string::npos ? "\f" : "\n");
    } else if (tab_count != std::string::npos) {
      // Word-saved pages write a tab as blanks in a span that says so.
      const int count = std::max(1, std::atoi(style.c_str() + tab_count + 14));
      pending_space_ = false;
      AddRaw(std::string(static_cast<std::size_t>(std::min(count, 64)), '\t'));
    } else if (role == Role::kTable) {
      WalkTable(element, depth);
    } else if (role == Role::kList) {
      WalkList(element, depth);
    } else if (role == Role::kItem) {
      Flush();
      current_.list_label = NextLabel(element);
      current_.list_level = lists_.empty() ? 0 : static_cast<int>(lists_.size()) - 1;
      WalkChildren(element, depth);
      Flush();
    } else if (role == Role::kPreformatted) {
      Flush();
      ++pre_depth_;
      WalkChildren(element, depth);
      --pre_depth_;
      if (open_ || !current_.runs.empty())
        Flush();
    } else if (role == Role::kRule) {
      Flush();
    } else if (role == Role::kBlock) {
      Flush();
      WalkChildren(element, depth);
      if (KeepsEmpty(element.tag))
        keep_empty_ = true;
      Flush();
    } else {
      WalkChildren(element, depth);
    }
    if (keep_spaces)
      --pre_depth_;
    if (has_lang)
      lang_stack_.pop_back();
  }

  const OpenOptions& options_;
  const PreparedMarkup& prepared_;
  Document& doc_;
  std::vector<Block>* out_;
  std::string node_text_;  // a text node with its runs put back
  Paragraph current_;
  bool open_ = false;
  bool keep_empty_ = false;
  bool preserve_ = false;  // the paragraph holds blanks a style keeps
  bool pending_space_ = false;
  int pre_depth_ = 0;
  std::vector<ListState> lists_;
  std::vector<std::uint16_t> lang_stack_;
  std::size_t chars_ = 0;
  bool too_large_ = false;
};

// ------------------------------------------------------------ damaged pages

// The byte order of UTF-16 markup written without a byte-order mark: the
// page starts with '<' (after blanks) and every other byte is zero.
int UnmarkedUtf16(std::string_view data) {
  const std::size_t size = std::min<std::size_t>(data.size(), 512) & ~std::size_t{1};
  if (size < 8)
    return 0;
  std::size_t even_zeros = 0;
  std::size_t odd_zeros = 0;
  for (std::size_t i = 0; i < size; i += 2) {
    even_zeros += data[i] == '\0';
    odd_zeros += data[i + 1] == '\0';
  }
  const std::size_t units = size / 2;
  if (odd_zeros * 10 >= units * 9 && even_zeros == 0 && data[0] == '<')
    return kCodePageUtf16Le;
  if (even_zeros * 10 >= units * 9 && odd_zeros == 0 && data[1] == '<')
    return kCodePageUtf16Be;
  return 0;
}

// True when the page holds at least one tag a browser would act on.
bool HasMarkup(std::string_view text) {
  std::size_t at = 0;
  while ((at = text.find('<', at)) != std::string_view::npos) {
    ++at;
    if (at < text.size() &&
        (IsAsciiLetter(text[at]) || text[at] == '!' || text[at] == '/' || text[at] == '?')) {
      return true;
    }
  }
  return false;
}

// C0 control characters (but tab, line feed, form feed and carriage
// return) and DEL carry no text, and the parser would show each as a
// replacement character. C1 controls stay: a page in a Windows code page
// holds them where it has bytes the code page leaves undefined, and they
// reach the text as they always did, through the text runs set aside.
void DropControlCharacters(std::string& text) {
  std::size_t to = 0;
  for (std::size_t from = 0; from < text.size(); ++from) {
    const unsigned char c = static_cast<unsigned char>(text[from]);
    if ((c < 0x20 && c != '\t' && c != '\n' && c != '\f' && c != '\r') || c == 0x7F)
      continue;
    text[to++] = text[from];
  }
  text.resize(to);
}

// Signatures of binary formats that a page name does not make a page.
bool IsOtherBinaryFormat(std::string_view head) {
  for (std::string_view signature :
       {std::string_view("PK\x03\x04"), std::string_view("\xD0\xCF\x11\xE0"),
        std::string_view("\xFFWPC"), std::string_view("%PDF")}) {
    if (head.substr(0, signature.size()) == signature)
      return true;
  }
  return false;
}

}  // namespace

int DetectHtmlCodePage(std::string_view data) {
  if (data.size() >= 3 && data.compare(0, 3, "\xEF\xBB\xBF") == 0)
    return kCodePageUtf8;
  if (data.size() >= 2 && data.compare(0, 2, "\xFF\xFE") == 0)
    return kCodePageUtf16Le;
  if (data.size() >= 2 && data.compare(0, 2, "\xFE\xFF") == 0)
    return kCodePageUtf16Be;
  if (const int utf16 = UnmarkedUtf16(data); utf16 != 0)
    return utf16;
  const int declared = DeclaredCodePage(data);
  if (declared != 0)
    return declared;
  return SniffedCodePage(data);
}

ReadResult ReadHtmlDocument(std::string_view data, const OpenOptions& options, Document& doc) {
  if (data.size() > options.limits.max_input_bytes) {
    return ReadResult::Failure("The document is too large to open.");
  }
  const int code_page = DetectHtmlCodePage(data);
  std::string_view body = data;
  if (code_page == kCodePageUtf8 && body.compare(0, 3, "\xEF\xBB\xBF") == 0)
    body.remove_prefix(3);
  if ((code_page == kCodePageUtf16Le || code_page == kCodePageUtf16Be) && body.size() >= 2 &&
      (body.compare(0, 2, "\xFF\xFE") == 0 || body.compare(0, 2, "\xFE\xFF") == 0)) {
    body.remove_prefix(2);
  }
  // The parser gets UTF-8 only, decoded as the detection found.
  std::string utf8;
  std::string error;
  if (code_page == kCodePageUtf8 && IsValidUtf8(body)) {
    utf8.assign(body);
  } else if (!DecodeText(body, code_page, utf8, error) &&
             !DecodeText(body, kCodePageUtf8, utf8, error)) {
    return ReadResult::Failure(error);
  }
  // What is no page at all (a file of that name, damaged past its markup)
  // shows its text, as a word processor opens it: line by line. It stays a
  // page for saving, so that Save never rewrites the user's file as text.
  if (!HasMarkup(utf8)) {
    doc = Document{};
    ReadResult result = MakeTextReader()->Read(utf8, options, doc);
    doc.format = SourceFormat::kHtml;
    doc.open_encoding = code_page;
    return result;
  }
  DropControlCharacters(utf8);
  const PreparedMarkup prepared =
      PrepareMarkup(utf8, static_cast<std::size_t>(std::max(options.limits.max_depth, 16)) * 2);
  GumboOptions parse_options = kGumboDefaultOptions;
  // Parse errors are of no use here; recording them costs time and memory.
  parse_options.max_errors = 0;
  std::unique_ptr<GumboOutput, void (*)(GumboOutput*)> html(
      gumbo_parse_with_options(&parse_options, prepared.markup.data(), prepared.markup.size()),
      [](GumboOutput* output) { gumbo_destroy_output(&kGumboDefaultOptions, output); });
  doc = Document{};
  doc.format = SourceFormat::kHtml;
  doc.open_encoding = code_page;
  if (!html) {
    return ReadResult::Failure("The page could not be parsed.");
  }
  HtmlBuilder builder(options, prepared, doc);
  if (!builder.Build(html->document)) {
    doc = Document{};
    return ReadResult::Failure("The document is too large to open.");
  }
  return ReadResult::Success();
}

namespace {

class HtmlReader : public Reader {
 public:
  std::string_view Name() const override { return "html"; }

  int Sniff(std::string_view head, const std::string& path) const override {
    std::string unmarked;
    std::string_view text = head;
    if (UnmarkedUtf16(head) != 0) {
      // Markup in UTF-16 without a mark: look at its ASCII.
      unmarked.assign(head.begin(), head.end());
      unmarked.erase(std::remove(unmarked.begin(), unmarked.end(), '\0'), unmarked.end());
      text = unmarked;
    }
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
      text.remove_prefix(3);
    std::size_t at = 0;
    while (at < text.size() && IsSpace(text[at]))
      ++at;
    const std::string start = AsciiLower(text.substr(at, 256));
    if (start.compare(0, 9, "<!doctype") == 0 && start.find("html") != std::string::npos) {
      return 70;
    }
    if (start.compare(0, 5, "<html") == 0)
      return 70;
    const std::string lower = AsciiLower(text);
    const bool markup = lower.find("<html") != std::string::npos ||
                        lower.find("<body") != std::string::npos ||
                        lower.find("<head") != std::string::npos;
    const std::string name = AsciiLower(path);
    const bool html_name =
        name.size() >= 4 && (name.substr(name.size() - 4) == ".htm" ||
                             (name.size() >= 5 && name.substr(name.size() - 5) == ".html"));
    if (!text.empty() && text[0] == '{')
      return 0;  // rich text claims its own
    if (markup)
      return html_name ? 65 : 50;
    // A page of that name is read whatever state it is in, unless it is
    // plainly a file of another format.
    if (html_name && !head.empty() && !IsOtherBinaryFormat(head))
      return 30;
    return 0;
  }

  ReadResult Read(std::string_view data, const OpenOptions& options, Document& doc) const override {
    return ReadHtmlDocument(data, options, doc);
  }
};

}  // namespace

std::unique_ptr<Reader> MakeHtmlReader() {
  return std::make_unique<HtmlReader>();
}

}  // namespace quillon::docengine
