#include "docengine/html_reader.h"

#include <libxml/HTMLparser.h>
#include <libxml/tree.h>
#include <unicode/ucsdet.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <memory>

#include "docengine/code_page.h"
#include "docengine/docx_reader.h"
#include "docengine/numbering.h"

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

std::string Attribute(xmlNode* node, const char* name) {
  xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
  if (value == nullptr)
    return std::string();
  std::string out(reinterpret_cast<const char*>(value));
  xmlFree(value);
  return out;
}

bool HasAttribute(xmlNode* node, const char* name) {
  return xmlHasProp(node, reinterpret_cast<const xmlChar*>(name)) != nullptr;
}

std::string Name(xmlNode* node) {
  return node->name != nullptr ? AsciiLower(reinterpret_cast<const char*>(node->name))
                               : std::string();
}

bool IsOneOf(const std::string& name, std::initializer_list<const char*> names) {
  for (const char* n : names) {
    if (name == n)
      return true;
  }
  return false;
}

bool IsBlock(const std::string& name) {
  return IsOneOf(
      name, {"p",       "div",      "h1",         "h2",       "h3",      "h4",      "h5",
             "h6",      "pre",      "blockquote", "address",  "center",  "section", "article",
             "header",  "footer",   "nav",        "aside",    "main",    "figure",  "figcaption",
             "form",    "fieldset", "legend",     "dl",       "dt",      "dd",      "hr",
             "details", "summary",  "body",       "html",     "listing", "xmp",     "plaintext",
             "dir",     "menu",     "noframes",   "frameset", "caption", "hgroup",  "search"});
}

// Elements whose content is never shown as text.
bool IsSkipped(const std::string& name) {
  return IsOneOf(
      name, {"script", "style",    "head",  "template", "noscript", "iframe", "object", "embed",
             "applet", "select",   "svg",   "math",     "xml",      "map",    "audio",  "video",
             "canvas", "datalist", "input", "meta",     "link",     "base",   "title"});
}

// Paragraph-like elements that stay as an empty paragraph when empty.
bool KeepsEmpty(const std::string& name) {
  return IsOneOf(name, {"p", "h1", "h2", "h3", "h4", "h5", "h6", "pre", "li", "dt", "dd"});
}

std::string StyleWithoutBlanks(xmlNode* node) {
  std::string style = AsciiLower(Attribute(node, "style"));
  style.erase(std::remove_if(style.begin(), style.end(), IsSpace), style.end());
  return style;
}

bool IsHiddenElement(xmlNode* node) {
  if (HasAttribute(node, "hidden"))
    return true;
  const std::string style = StyleWithoutBlanks(node);
  return style.find("display:none") != std::string::npos ||
         style.find("mso-hide:all") != std::string::npos;
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
  HtmlBuilder(const OpenOptions& options, Document& doc) : options_(options), doc_(doc) {
    out_ = &doc_.body;
  }

  bool Build(xmlNode* root) {
    FindHead(root->children, 0);
    Walk(root, 0);
    Flush();
    return !too_large_;
  }

 private:
  void FindHead(xmlNode* node, int depth) {
    if (depth > 8)
      return;
    for (xmlNode* c = node; c != nullptr; c = c->next) {
      if (c->type != XML_ELEMENT_NODE)
        continue;
      const std::string name = Name(c);
      if (name == "title" && doc_.properties.title.empty()) {
        doc_.properties.title = CollapsedText(c);
      } else if (name == "meta") {
        const std::string meta = AsciiLower(Attribute(c, "name"));
        const std::string content = Attribute(c, "content");
        if (meta == "author")
          doc_.properties.author = content;
        if (meta == "keywords")
          doc_.properties.keywords = content;
        if (meta == "description")
          doc_.properties.comments = content;
        if (meta == "subject")
          doc_.properties.subject = content;
      } else if (name == "html" || name == "head") {
        FindHead(c->children, depth + 1);
      }
    }
  }

  static std::string CollapsedText(xmlNode* node) {
    xmlChar* content = xmlNodeGetContent(node);
    if (content == nullptr)
      return std::string();
    std::string raw(reinterpret_cast<const char*>(content));
    xmlFree(content);
    std::string out;
    bool space = false;
    for (char c : raw) {
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
      std::size_t start = 0;
      while (start <= text.size()) {
        std::size_t nl = text.find('\n', start);
        std::string_view line =
            text.substr(start, nl == std::string_view::npos ? std::string_view::npos : nl - start);
        if (!line.empty() && line.back() == '\r')
          line.remove_suffix(1);
        AddRaw(line);
        if (nl == std::string_view::npos)
          break;
        // A newline right after the opening tag does not count.
        if (!(nl == 0 && !open_ && current_.runs.empty())) {
          keep_empty_ = true;
          Flush();
        }
        start = nl + 1;
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

  std::string NextLabel(xmlNode* li) {
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
    const std::string value = Attribute(li, "value");
    if (!value.empty())
      list.next = std::atoi(value.c_str());
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
  void WalkFlat(xmlNode* top) {
    xmlNode* node = top->children;
    while (node != nullptr && !too_large_) {
      bool descend = false;
      if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) {
        if (node->content != nullptr)
          AddText(reinterpret_cast<const char*>(node->content));
      } else if (node->type == XML_ELEMENT_NODE) {
        const std::string name = Name(node);
        if (name == "br") {
          AddRaw("\n");
        } else if (!IsSkipped(name) && !IsHiddenElement(node)) {
          descend = node->children != nullptr;
        }
      }
      if (descend) {
        node = node->children;
        continue;
      }
      while (node != nullptr && node != top && node->next == nullptr)
        node = node->parent;
      if (node == nullptr || node == top)
        break;
      node = node->next;
    }
  }

  void WalkChildren(xmlNode* node, int depth) {
    for (xmlNode* c = node->children; c != nullptr && !too_large_; c = c->next)
      Walk(c, depth + 1);
  }

  void WalkTable(xmlNode* table_node, int depth) {
    Flush();
    Table table;
    std::vector<xmlNode*> captions;
    auto add_rows = [&](auto&& self, xmlNode* container, int level) -> void {
      for (xmlNode* c = container->children; c != nullptr; c = c->next) {
        if (c->type != XML_ELEMENT_NODE)
          continue;
        const std::string name = Name(c);
        if (name == "tr") {
          TableRow row;
          for (xmlNode* cell = c->children; cell != nullptr; cell = cell->next) {
            if (cell->type != XML_ELEMENT_NODE)
              continue;
            const std::string cell_name = Name(cell);
            if (cell_name != "td" && cell_name != "th")
              continue;
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
          if (!row.cells.empty() && !IsHiddenElement(c))
            table.rows.push_back(std::move(row));
        } else if ((name == "thead" || name == "tbody" || name == "tfoot") && level < 4 &&
                   !IsHiddenElement(c)) {
          self(self, c, level + 1);
        } else if (name == "caption") {
          captions.push_back(c);
        }
      }
    };
    add_rows(add_rows, table_node, 0);
    for (xmlNode* caption : captions) {
      WalkChildren(caption, depth + 1);
      Flush();
    }
    if (!table.rows.empty())
      out_->push_back(Block::FromTable(std::move(table)));
  }

  void Walk(xmlNode* node, int depth) {
    if (too_large_)
      return;
    if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) {
      if (node->content != nullptr)
        AddText(reinterpret_cast<const char*>(node->content));
      return;
    }
    if (node->type == XML_ENTITY_REF_NODE)
      return;
    if (node->type != XML_ELEMENT_NODE && node->type != XML_DOCUMENT_NODE &&
        node->type != XML_HTML_DOCUMENT_NODE) {
      return;
    }
    if (node->type != XML_ELEMENT_NODE) {
      WalkChildren(node, depth);
      return;
    }
    // Deeper than the limit, the markup no longer shapes the text.
    const bool flat = depth > options_.limits.max_depth;
    const std::string name = Name(node);
    if (IsSkipped(name) || IsHiddenElement(node))
      return;
    if (flat) {
      WalkFlat(node);
      return;
    }
    const std::string lang_attr = Attribute(node, "lang");
    const bool has_lang = !lang_attr.empty();
    if (has_lang)
      lang_stack_.push_back(LcidFromLanguageTag(lang_attr));

    const std::string style = StyleWithoutBlanks(node);
    // Blanks that a style keeps are kept as in preformatted text.
    const bool keep_spaces = style.find("white-space:pre") != std::string::npos;
    if (keep_spaces)
      ++pre_depth_;
    if (name == "br") {
      pending_space_ = false;
      // Pages saved by word processors mark a page break so.
      AddRaw(style.find("page-break-before:always") != std::string::npos ? "\f" : "\n");
    } else if (style.find("mso-tab-count:") != std::string::npos) {
      // Word-saved pages write a tab as blanks in a span that says so.
      const int count = std::max(1, std::atoi(style.c_str() + style.find("mso-tab-count:") + 14));
      pending_space_ = false;
      AddRaw(std::string(static_cast<std::size_t>(std::min(count, 64)), '\t'));
    } else if (name == "table") {
      WalkTable(node, depth);
    } else if (name == "ul" || name == "ol") {
      Flush();
      ListState list;
      list.ordered = name == "ol";
      list.type = Attribute(node, "type");
      if (list.ordered && list.type.empty())
        list.type.push_back('1');
      if (!list.ordered)
        list.type = AsciiLower(list.type);
      const std::string start = Attribute(node, "start");
      if (!start.empty())
        list.next = std::atoi(start.c_str());
      lists_.push_back(list);
      WalkChildren(node, depth);
      Flush();
      lists_.pop_back();
    } else if (name == "li") {
      Flush();
      current_.list_label = NextLabel(node);
      current_.list_level = lists_.empty() ? 0 : static_cast<int>(lists_.size()) - 1;
      WalkChildren(node, depth);
      Flush();
    } else if (name == "pre" || name == "listing" || name == "xmp" || name == "plaintext" ||
               name == "textarea") {
      Flush();
      ++pre_depth_;
      WalkChildren(node, depth);
      --pre_depth_;
      if (open_ || !current_.runs.empty())
        Flush();
    } else if (name == "hr") {
      Flush();
    } else if (IsBlock(name) || name == "tr" || name == "td" || name == "th") {
      Flush();
      WalkChildren(node, depth);
      if (KeepsEmpty(name))
        keep_empty_ = true;
      Flush();
    } else {
      WalkChildren(node, depth);
    }
    if (keep_spaces)
      --pre_depth_;
    if (has_lang)
      lang_stack_.pop_back();
  }

  const OpenOptions& options_;
  Document& doc_;
  std::vector<Block>* out_;
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

void SilentErrors(void*, const char*, ...) {}

bool StartsWithNoCase(std::string_view text, std::size_t at, std::string_view word) {
  if (text.size() - at < word.size())
    return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    char c = text[at + i];
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
    if (c != word[i])
      return false;
  }
  return true;
}

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-' || c == '.';
}

// Word processors write markup the HTML parser misreads: the markers of
// downlevel-revealed conditionals ("<![if !supportLists]>") would show as
// text, and prefixed elements lose their prefix ("<o:p>" would open a
// paragraph). The markers go; prefixed names become unknown inline ones.
std::string PrepareMarkup(const std::string& in) {
  std::string out;
  out.reserve(in.size());
  std::size_t i = 0;
  while (i < in.size()) {
    const std::size_t lt = in.find('<', i);
    if (lt == std::string::npos) {
      out.append(in, i, std::string::npos);
      break;
    }
    out.append(in, i, lt - i);
    i = lt;
    if (in.compare(i, 4, "<!--") == 0) {
      const std::size_t end = in.find("-->", i + 4);
      const std::size_t stop = end == std::string::npos ? in.size() : end + 3;
      out.append(in, i, stop - i);
      i = stop;
      continue;
    }
    if (StartsWithNoCase(in, i, "<![if") || StartsWithNoCase(in, i, "<![endif")) {
      const std::size_t end = in.find('>', i);
      i = end == std::string::npos ? in.size() : end + 1;
      continue;
    }
    out += '<';
    ++i;
    std::size_t name = i;
    if (name < in.size() && in[name] == '/')
      ++name;
    std::size_t end = name;
    while (end < in.size() && (IsNameChar(in[end]) || in[end] == ':'))
      ++end;
    const std::size_t colon = in.find(':', name);
    if (end > name && colon != std::string::npos && colon < end && colon > name) {
      out.append(in, i, colon - i);
      out += '-';
      i = colon + 1;
    }
  }
  return out;
}

}  // namespace

int DetectHtmlCodePage(std::string_view data) {
  if (data.size() >= 3 && data.compare(0, 3, "\xEF\xBB\xBF") == 0)
    return kCodePageUtf8;
  if (data.size() >= 2 && data.compare(0, 2, "\xFF\xFE") == 0)
    return kCodePageUtf16Le;
  if (data.size() >= 2 && data.compare(0, 2, "\xFE\xFF") == 0)
    return kCodePageUtf16Be;
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
  if ((code_page == kCodePageUtf16Le || code_page == kCodePageUtf16Be) && body.size() >= 2) {
    body.remove_prefix(2);
  }
  // libxml2 gets UTF-8 only: it would otherwise switch to Latin-1 at the
  // first bad byte, or follow a meta element the detection overruled.
  std::string utf8;
  std::string error;
  if (!DecodeText(body, code_page, utf8, error) && !DecodeText(body, kCodePageUtf8, utf8, error)) {
    return ReadResult::Failure(error);
  }
  // A NUL character would end the parser's input early.
  utf8.erase(std::remove(utf8.begin(), utf8.end(), '\0'), utf8.end());
  utf8 = PrepareMarkup(utf8);
  if (utf8.size() > static_cast<std::size_t>(INT32_MAX)) {
    return ReadResult::Failure("The document is too large to open.");
  }
  xmlSetGenericErrorFunc(nullptr, SilentErrors);
  const int parse_options = HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING |
                            HTML_PARSE_NONET | HTML_PARSE_IGNORE_ENC | XML_PARSE_HUGE;
  std::unique_ptr<xmlDoc, void (*)(xmlDocPtr)> html(
      htmlReadMemory(utf8.data(), static_cast<int>(utf8.size()), nullptr, "UTF-8", parse_options),
      xmlFreeDoc);
  doc = Document{};
  doc.format = SourceFormat::kHtml;
  doc.open_encoding = code_page;
  if (!html) {
    // Nothing a parser in recovery mode could read: an empty page.
    return ReadResult::Success();
  }
  HtmlBuilder builder(options, doc);
  if (!builder.Build(reinterpret_cast<xmlNode*>(html.get()))) {
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
    std::string_view text = head;
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
    const std::string lower = AsciiLower(head);
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
    if (html_name && !head.empty() && head.find('\0') == std::string_view::npos)
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
