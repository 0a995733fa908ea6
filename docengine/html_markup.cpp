#include "docengine/html_markup.h"

#include <algorithm>
#include <initializer_list>
#include <map>
#include <utility>

#include "charset/code_page.h"

namespace quillon::docengine {
namespace {

// Runs shorter than this cost the parser less than their placeholder.
constexpr std::size_t kShortestRun = 8;

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool IsAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsAsciiAlnum(char c) {
  return IsAsciiLetter(c) || (c >= '0' && c <= '9');
}

char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsOneOf(std::string_view name, std::initializer_list<std::string_view> names) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// Elements that never have content or an end tag.
bool IsVoidElement(std::string_view name) {
  return IsOneOf(name, {"area",   "base",     "br",      "col",   "embed",  "hr",     "img",
                        "input",  "link",     "meta",    "param", "source", "track",  "wbr",
                        "keygen", "basefont", "bgsound", "frame", "image",  "isindex"});
}

// Raw text elements whose content never shows.
bool IsHiddenRawText(std::string_view name) {
  return IsOneOf(name, {"script", "style", "noscript", "noembed", "noframes", "iframe"});
}

// Raw text elements whose content shows as it stands (character references
// still count in title and textarea).
bool IsShownRawText(std::string_view name) {
  return IsOneOf(name, {"title", "textarea", "xmp"});
}

// Elements that keep the blanks of their text.
bool IsPreformatted(std::string_view name) {
  return IsOneOf(name, {"pre", "listing"});
}

// Elements that a start tag of their own kind closes ("<li>a<li>b").
bool ClosesItself(std::string_view name) {
  return IsOneOf(name, {"p", "li", "dt", "dd", "option", "tr", "td", "th", "thead", "tbody",
                        "tfoot", "rb", "rt", "rp"});
}

bool ClosesPrevious(std::string_view name, std::string_view previous) {
  if (!ClosesItself(name))
    return false;
  return previous == name || (name == "dt" && previous == "dd") ||
         (name == "dd" && previous == "dt") || (name == "td" && previous == "th") ||
         (name == "th" && previous == "td");
}

// The attributes the reader reads; every other one goes.
bool IsKeptAttribute(std::string_view name) {
  return IsOneOf(name, {"lang", "hidden", "type", "start", "value", "name", "content"});
}

// Position of the first case-insensitive "</name" at or after `at`.
std::size_t FindEndTag(std::string_view text, std::size_t at, std::string_view name) {
  while ((at = text.find("</", at)) != std::string_view::npos) {
    std::size_t i = 0;
    while (i < name.size() && at + 2 + i < text.size() && LowerAscii(text[at + 2 + i]) == name[i])
      ++i;
    if (i == name.size())
      return at;
    at += 2;
  }
  return std::string_view::npos;
}

// The style declarations the reader acts on, from the attribute's value,
// blanks and letter case aside.
std::string KeptStyle(std::string_view value, bool& preformatted) {
  std::string compact;
  compact.reserve(value.size());
  for (char c : value) {
    if (!IsSpace(c))
      compact += LowerAscii(c);
  }
  std::string kept;
  for (std::string_view declaration :
       {std::string_view("display:none"), std::string_view("mso-hide:all"),
        std::string_view("page-break-before:always")}) {
    if (compact.find(declaration) != std::string::npos) {
      kept.append(declaration);
      kept += ';';
    }
  }
  // "pre", "pre-wrap" and "pre-line" all keep blanks.
  if (compact.find("white-space:pre") != std::string::npos) {
    kept += "white-space:pre;";
    preformatted = true;
  }
  const std::size_t tabs = compact.find("mso-tab-count:");
  if (tabs != std::string::npos) {
    std::size_t end = tabs + 14;
    while (end < compact.size() && compact[end] >= '0' && compact[end] <= '9' && end < tabs + 20)
      ++end;
    kept.append(compact, tabs, end - tabs);
    kept += ';';
  }
  return kept;
}

// True when UTF-8 `text` holds a C1 control (U+0080 to U+009F).
bool HasC1Control(std::string_view text) {
  for (std::size_t at = 0; (at = text.find('\xC2', at)) != std::string_view::npos; ++at) {
    if (at + 1 < text.size() && static_cast<unsigned char>(text[at + 1]) >= 0x80 &&
        static_cast<unsigned char>(text[at + 1]) <= 0x9F)
      return true;
  }
  return false;
}

// The length of the character reference at `at` ('&'), as the tokenizer
// reads it: a name or a number and an optional ';'. 1 for a bare '&'.
std::size_t ReferenceLength(std::string_view text, std::size_t at) {
  std::size_t end = at + 1;
  if (end < text.size() && text[end] == '#') {
    ++end;
    if (end < text.size() && (text[end] == 'x' || text[end] == 'X'))
      ++end;
  }
  while (end < text.size() && IsAsciiAlnum(text[end]))
    ++end;
  if (end < text.size() && text[end] == ';')
    ++end;
  return end - at;
}

// True for a numeric reference to the placeholder mark ("&#xFFF9;").
bool NamesRunMark(std::string_view reference) {
  if (reference.size() < 3 || reference[1] != '#')
    return false;
  const bool hex = reference[2] == 'x' || reference[2] == 'X';
  unsigned long value = 0;
  for (std::size_t i = hex ? 3 : 2; i < reference.size() && reference[i] != ';'; ++i) {
    const char c = LowerAscii(reference[i]);
    int digit = -1;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (hex && c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    if (digit < 0)
      return false;
    value = value * (hex ? 16 : 10) + static_cast<unsigned>(digit);
    if (value > 0x10FFFF)
      return false;
  }
  return value == 0xFFF9;
}

class Preparer {
 public:
  Preparer(std::string_view in, std::size_t max_open) : in_(in), max_open_(max_open) {
    result_.markup.reserve(in.size() / 2);
  }

  PreparedMarkup Run() {
    std::size_t i = 0;
    while (i < in_.size()) {
      const std::size_t lt = NextMarkup(i);
      Text(in_.substr(i, lt - i));
      if (lt >= in_.size())
        break;
      i = Markup(lt);
    }
    return std::move(result_);
  }

 private:
  struct Open {
    std::string name;
    bool preformatted = false;
    bool foreign = false;  // inside svg or math
  };

  // The next '<' that starts markup (a tag, a comment, a declaration);
  // any other '<' is text.
  std::size_t NextMarkup(std::size_t at) const {
    while ((at = in_.find('<', at)) != std::string_view::npos) {
      if (at + 1 < in_.size()) {
        const char next = in_[at + 1];
        if (IsAsciiLetter(next) || next == '/' || next == '!' || next == '?')
          return at;
      }
      ++at;
    }
    return in_.size();
  }

  void Verbatim(std::string_view text) { result_.markup.append(text); }

  void Placeholder(std::string_view run) {
    result_.markup.append(kRunMark);
    result_.markup.append(std::to_string(result_.runs.size()));
    result_.markup.append(kRunMark);
    result_.runs.push_back(run);
  }

  // A piece of text without character references. C1 controls always go
  // aside: the parser would turn them into replacement characters.
  void PlainText(std::string_view text) {
    if (text.size() >= kShortestRun || HasC1Control(text))
      Placeholder(text);
    else
      VerbatimText(text);
  }

  // Text as it stands, but never with a mark of its own.
  void VerbatimText(std::string_view text) {
    std::size_t start = 0;
    std::size_t mark = 0;
    while ((mark = text.find(kRunMark, start)) != std::string_view::npos) {
      Verbatim(text.substr(start, mark - start));
      Placeholder(kRunMark);
      start = mark + kRunMark.size();
    }
    Verbatim(text.substr(start));
  }

  void Text(std::string_view text) {
    if (text.empty())
      return;
    if (foreign_ > 0) {
      VerbatimText(text);
      return;
    }
    if (std::all_of(text.begin(), text.end(), IsSpace)) {
      // Blanks between tags: one does what many do, but where they are kept.
      if (preformatted_ > 0)
        Verbatim(text);
      else
        result_.markup += text.find('\n') != std::string_view::npos ? '\n' : ' ';
      return;
    }
    // Character references stay for the parser, which knows every one.
    std::size_t start = 0;
    std::size_t amp = 0;
    while ((amp = text.find('&', start)) != std::string_view::npos) {
      PlainText(text.substr(start, amp - start));
      const std::size_t length = ReferenceLength(text, amp);
      const std::string_view reference = text.substr(amp, length);
      if (NamesRunMark(reference)) {
        Placeholder(kRunMark);
      } else {
        Verbatim(reference);
      }
      start = amp + length;
    }
    PlainText(text.substr(start));
  }

  // The markup at `at`; returns where the text goes on.
  std::size_t Markup(std::size_t at) {
    if (in_.compare(at, 4, "<!--") == 0)
      return Comment(at);
    const char next = in_[at + 1];
    if (next == '!' || next == '?' ||
        (next == '/' && (at + 2 >= in_.size() || !IsAsciiLetter(in_[at + 2])))) {
      // Document type, bogus comment or CDATA section: as it stands.
      std::size_t end;
      if (foreign_ > 0 && in_.compare(at, 9, "<![CDATA[") == 0) {
        end = in_.find("]]>", at + 9);
        end = end == std::string_view::npos ? in_.size() : end + 3;
      } else {
        end = in_.find('>', at);
        end = end == std::string_view::npos ? in_.size() : end + 1;
      }
      Verbatim(in_.substr(at, end - at));
      return end;
    }
    return Tag(at);
  }

  std::size_t Comment(std::size_t at) {
    std::size_t end;
    if (in_.compare(at, 5, "<!-->") == 0) {
      end = at + 5;
    } else if (in_.compare(at, 6, "<!--->") == 0) {
      end = at + 6;
    } else {
      end = in_.find("-->", at + 4);
      end = end == std::string_view::npos ? in_.size() : end + 3;
    }
    // A comment shows nothing; where it sits does not matter to the tree.
    if (foreign_ > 0)
      Verbatim(in_.substr(at, end - at));
    return end;
  }

  // The end of the tag whose attributes start at `at`: the position of
  // its '>', quoted values skipped; npos when the page ends first.
  std::size_t TagClose(std::size_t at) const {
    std::size_t i = at;
    while (i < in_.size()) {
      const char c = in_[i];
      if (c == '>')
        return i;
      if (c == '=') {
        ++i;
        while (i < in_.size() && IsSpace(in_[i]))
          ++i;
        if (i < in_.size() && (in_[i] == '"' || in_[i] == '\'')) {
          const std::size_t close = in_.find(in_[i], i + 1);
          if (close == std::string_view::npos)
            return std::string_view::npos;
          i = close + 1;
        }
        continue;
      }
      ++i;
    }
    return std::string_view::npos;
  }

  // Writes the attributes of in_[from, to) the reader needs; tells whether
  // the style keeps blanks.
  bool KeptAttributes(std::size_t from, std::size_t to) {
    bool preformatted = false;
    std::size_t i = from;
    while (i < to) {
      while (i < to && (IsSpace(in_[i]) || in_[i] == '/'))
        ++i;
      if (i >= to)
        break;
      const std::size_t name_at = i;
      // A name may start with '='; it ends at a blank, '/', '>' or '='.
      ++i;
      while (i < to && !IsSpace(in_[i]) && in_[i] != '/' && in_[i] != '=')
        ++i;
      const std::string name = AsciiLower(in_.substr(name_at, i - name_at));
      while (i < to && IsSpace(in_[i]))
        ++i;
      std::string_view value;     // as written, quotes and all
      std::string_view unquoted;  // what the value says
      if (i < to && in_[i] == '=') {
        ++i;
        while (i < to && IsSpace(in_[i]))
          ++i;
        const std::size_t value_at = i;
        if (i < to && (in_[i] == '"' || in_[i] == '\'')) {
          const std::size_t close = in_.find(in_[i], i + 1);
          i = close == std::string_view::npos || close >= to ? to : close + 1;
          unquoted = in_.substr(value_at + 1, i - value_at - 2);
        } else {
          while (i < to && !IsSpace(in_[i]))
            ++i;
          unquoted = in_.substr(value_at, i - value_at);
        }
        value = in_.substr(value_at, i - value_at);
      }
      if (name == "style") {
        const std::string style = KeptStyle(unquoted, preformatted);
        if (!style.empty()) {
          result_.markup += " style=\"";
          result_.markup += style;
          result_.markup += '"';
        }
      } else if (IsKeptAttribute(name)) {
        result_.markup += ' ';
        result_.markup += name;
        if (!value.empty()) {
          result_.markup += '=';
          result_.markup.append(value);
        }
      }
    }
    return preformatted;
  }

  std::size_t Tag(std::size_t at) {
    const bool closing = in_[at + 1] == '/';
    const std::size_t name_at = at + (closing ? 2 : 1);
    std::size_t name_end = name_at;
    while (name_end < in_.size() && !IsSpace(in_[name_end]) && in_[name_end] != '/' &&
           in_[name_end] != '>') {
      ++name_end;
    }
    const std::size_t close = TagClose(name_end);
    if (close == std::string_view::npos) {
      // A tag the page never ends: the parser drops it.
      Verbatim(in_.substr(at));
      return in_.size();
    }
    const std::size_t end = close + 1;
    const std::string name = AsciiLower(in_.substr(name_at, name_end - name_at));
    if (closing) {
      EndTag(name, in_.substr(at, end - at));
      return end;
    }
    const bool self_closed = close > name_end && in_[close - 1] == '/';
    if (foreign_ > 0 || name == "svg" || name == "math") {
      // Foreign content keeps its markup whole: its rules differ, and none
      // of it shows.
      Verbatim(in_.substr(at, end - at));
      if (!self_closed)
        Push(name, false, true);
      return end;
    }
    if (!open_.empty() && ClosesPrevious(name, open_.back().name))
      Pop(open_.size() - 1);
    const bool raw = IsHiddenRawText(name) || IsShownRawText(name) || name == "plaintext";
    if (!raw && !IsVoidElement(name) && open_.size() >= max_open_) {
      ++dropped_[name];
      return end;
    }
    result_.markup += '<';
    result_.markup.append(in_.substr(name_at, name_end - name_at));
    const bool preformatted = KeptAttributes(name_end, close) || IsPreformatted(name);
    result_.markup += '>';
    if (name == "plaintext") {
      Verbatim(in_.substr(end));
      return in_.size();
    }
    if (raw) {
      const std::size_t stop = std::min(FindEndTag(in_, end, name), in_.size());
      if (IsShownRawText(name)) {
        // Its blanks count in textarea and xmp, and are collapsed in the
        // title anyway.
        const bool keeps_blanks = name != "title";
        preformatted_ += keeps_blanks;
        Text(in_.substr(end, stop - end));
        preformatted_ -= keeps_blanks;
      }
      return stop;
    }
    if (!IsVoidElement(name))
      Push(name, preformatted, false);
    return end;
  }

  void EndTag(const std::string& name, std::string_view tag) {
    const bool foreign = foreign_ > 0;
    auto write = [&] {
      if (foreign) {
        Verbatim(tag);
      } else {
        result_.markup += "</";
        result_.markup += name;
        result_.markup += '>';
      }
    };
    for (std::size_t k = open_.size(); k-- > 0;) {
      if (open_[k].name == name) {
        Pop(k);
        write();
        return;
      }
    }
    auto gone = dropped_.find(name);
    if (!foreign && gone != dropped_.end() && gone->second > 0) {
      --gone->second;
      return;
    }
    write();
  }

  void Push(const std::string& name, bool preformatted, bool foreign) {
    open_.push_back({name, preformatted, foreign});
    if (preformatted)
      ++preformatted_;
    if (foreign)
      ++foreign_;
  }

  // Closes the element at `index` and every one inside it.
  void Pop(std::size_t index) {
    for (std::size_t k = index; k < open_.size(); ++k) {
      if (open_[k].preformatted)
        --preformatted_;
      if (open_[k].foreign)
        --foreign_;
    }
    open_.resize(index);
  }

  std::string_view in_;
  std::size_t max_open_;
  PreparedMarkup result_;
  std::vector<Open> open_;
  std::map<std::string, int> dropped_;
  int foreign_ = 0;
  int preformatted_ = 0;
};

}  // namespace

PreparedMarkup PrepareMarkup(std::string_view text, std::size_t max_open) {
  return Preparer(text, max_open).Run();
}

void AppendWithRuns(std::string_view text, const PreparedMarkup& prepared, std::string& out) {
  std::size_t start = 0;
  std::size_t mark = 0;
  while ((mark = text.find(kRunMark, start)) != std::string_view::npos) {
    out.append(text.substr(start, mark - start));
    std::size_t digits = mark + kRunMark.size();
    std::size_t index = 0;
    // No digits is no number: an empty placeholder stands for nothing.
    bool valid = digits < text.size() && text[digits] >= '0' && text[digits] <= '9';
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') {
      if (valid) {
        index = index * 10 + static_cast<std::size_t>(text[digits] - '0');
        valid = index < prepared.runs.size();
      }
      ++digits;
    }
    if (text.compare(digits, kRunMark.size(), kRunMark) != 0) {
      // Not a placeholder: the mark stands for itself.
      out.append(text.substr(mark, kRunMark.size()));
      start = mark + kRunMark.size();
      continue;
    }
    if (valid)
      out.append(prepared.runs[index]);
    start = digits + kRunMark.size();
  }
  out.append(text.substr(start));
}

}  // namespace quillon::docengine
