// The RTF reader: a single pass over the tokens with a stack of group
// states. Text is collected per story (body, each note, each comment);
// table structure is rebuilt from paragraph table levels and the cell and
// row marks, which is how writers that nest tables describe them.

#include <algorithm>
#include <cstring>
#include <map>
#include <unordered_map>

#include "charset/code_page.h"
#include "docengine/model_building.h"
#include "docengine/reader_factories.h"

namespace quillon::docengine {
namespace {

enum class Dest {
  kText,       // visible text of the current story
  kFieldCode,  // field instruction: runs marked as field code
  kListLabel,  // \listtext, \pntext
  kSkip,       // ignored destination
  kFontTable,  // \fonttbl: font numbers and character sets
  kInfo,       // \info: its children name the property
  kTitle,
  kSubject,
  kAuthor,
  kKeywords,
  kDocComment,
  kAnnotationId,      // \atnid: a comment's initials
  kAnnotationAuthor,  // \atnauthor
  kNestProps,         // \nesttableprops: no text, but holds \nestrow
  kObject,            // \object: skipped except for its \result
  kUpr,               // \upr: the ANSI half is skipped, \ud is read
};

using Story = StoryBuilder;

struct State {
  Dest dest = Dest::kText;
  Story* story = nullptr;
  int font = -1;
  int uc = 1;
  bool hidden = false;
  bool deleted = false;
  bool inserted = false;
  std::uint16_t lang = 0;
  std::uint16_t lang_fe = 0;
  std::uint32_t field = 0;  // the field whose group this is, 0 = none
  bool in_table = false;
  int itap = 0;
  bool itap_set = false;
  int font_def = -1;  // inside \fonttbl: the font being described
};

int CodePageForCharset(int charset, int document_code_page) {
  switch (charset) {
    case 0:
    case 1:
      // Many writers mark every font "ANSI" and rely on \ansicpg.
      return document_code_page;
    case 2:
      return 1252;
    case 77:
      return 10000;
    case 128:
      return 932;
    case 129:
      return 949;
    case 130:
      return 1361;
    case 134:
      return 936;
    case 136:
      return 950;
    case 161:
      return 1253;
    case 162:
      return 1254;
    case 163:
      return 1258;
    case 177:
      return 1255;
    case 178:
      return 1256;
    case 186:
      return 1257;
    case 204:
      return 1251;
    case 222:
      return 874;
    case 238:
      return 1250;
    case 254:
      return 437;
    case 255:
      return 850;
    default:
      return document_code_page;
  }
}

// Control words that start a destination whose text is not document text.
enum class Word {
  kOther,
  kSkipDest,  // a destination whose text is never document text
  kFonttbl,
  kInfo,
  kTitle,
  kSubject,
  kAuthor,
  kKeywords,
  kDoccomm,
  kUd,
  kUpr,
  kResult,
  kObject,
  kFldinst,
  kFldrslt,
  kField,
  kListtext,
  kNesttableprops,
  kFootnote,
  kHeader,
  kFooter,
  kAnnotation,
  kAtnid,
  kAtnauthor,
  kF,
  kFcharset,
  kCpg,
  kAnsicpg,
  kMac,
  kPc,
  kPca,
  kDeff,
  kDeflang,
  kDeflangfe,
  kU,
  kUc,
  kPlain,
  kV,
  kDeleted,
  kRevised,
  kLang,
  kLangfe,
  kPaperw,
  kMargl,
  kMargr,
  kFormprot,
  kRevprot,
  kAnnotprot,
  kReadprot,
  kPard,
  kIntbl,
  kItap,
  kPar,
  kCell,
  kNestcell,
  kRow,
  kNestrow,
  kChar,
  kChftn,
  kFtnalt,
};

struct WordInfo {
  Word id = Word::kOther;
  const char* text = nullptr;  // for kChar: the UTF-8 text it stands for
};

// One hash lookup per control word: parsing spends most of its time here.
WordInfo LookUpWord(std::string_view word) {
  static const std::unordered_map<std::string_view, WordInfo> table = [] {
    std::unordered_map<std::string_view, WordInfo> t;
    const char* const skipped[] = {
        "buptim",      "colortbl",     "comment",
        "creatim",     "filetbl",      "footer",
        "footerf",     "footerl",      "footerr",
        "header",      "headerf",      "headerl",
        "headerr",     "operator",     "pict",
        "printim",     "revtim",       "rxe",
        "stylesheet",  "tc",           "txe",
        "xe",          "listtable",    "listoverridetable",
        "revtbl",      "rsidtbl",      "pn",
        "pntxta",      "pntxtb",       "nonesttables",
        "shprslt",     "themedata",    "colorschememapping",
        "datastore",   "latentstyles", "generator",
        "xmlnstbl",    "mmathPr",      "fldtype",
        "template",    "userprops",    "docvar",
        "objdata",     "background",   "shp",
        "do",          "private",      "bkmkstart",
        "bkmkend",     "pgdsctbl",     "ftnsep",
        "ftnsepc",     "aftnsep",      "aftnsepc",
        "ftncn",       "aftncn",       "listpicture",
        "protusertbl", "passwordhash", "wgrffmtfilter",
        "company",     "category",     "manager",
        "hlinkbase",   "nextfile",     "version",
        "vern",        "edmins",       "nofpages",
        "nofwords",    "nofchars",     "nofcharsws",
        "id",          "atnref",       "atndate",
        "atnparent",   "atrfstart",    "atrfend",
        "fchars",      "lchars",       "sp",
        "sn",          "sv",
    };
    for (const char* name : skipped)
      t[name] = {Word::kSkipDest, nullptr};
    const std::pair<const char*, Word> words[] = {
        {"fonttbl", Word::kFonttbl},
        {"info", Word::kInfo},
        {"title", Word::kTitle},
        {"subject", Word::kSubject},
        {"author", Word::kAuthor},
        {"keywords", Word::kKeywords},
        {"doccomm", Word::kDoccomm},
        {"ud", Word::kUd},
        {"upr", Word::kUpr},
        {"result", Word::kResult},
        {"object", Word::kObject},
        {"fldinst", Word::kFldinst},
        {"fldrslt", Word::kFldrslt},
        {"field", Word::kField},
        {"listtext", Word::kListtext},
        {"pntext", Word::kListtext},
        {"nesttableprops", Word::kNesttableprops},
        {"footnote", Word::kFootnote},
        // The primary header and footer (of every page, or of the right-hand
        // pages when the two sides differ) are read; the others are skipped.
        {"header", Word::kHeader},
        {"headerr", Word::kHeader},
        {"footer", Word::kFooter},
        {"footerr", Word::kFooter},
        {"annotation", Word::kAnnotation},
        {"atnid", Word::kAtnid},
        {"atnauthor", Word::kAtnauthor},
        {"f", Word::kF},
        {"fcharset", Word::kFcharset},
        {"cpg", Word::kCpg},
        {"ansicpg", Word::kAnsicpg},
        {"mac", Word::kMac},
        {"pc", Word::kPc},
        {"pca", Word::kPca},
        {"deff", Word::kDeff},
        {"deflang", Word::kDeflang},
        {"deflangfe", Word::kDeflangfe},
        {"u", Word::kU},
        {"uc", Word::kUc},
        {"plain", Word::kPlain},
        {"v", Word::kV},
        {"deleted", Word::kDeleted},
        {"revised", Word::kRevised},
        {"lang", Word::kLang},
        {"langnp", Word::kLang},
        {"langfe", Word::kLangfe},
        {"langfenp", Word::kLangfe},
        {"paperw", Word::kPaperw},
        {"margl", Word::kMargl},
        {"margr", Word::kMargr},
        {"formprot", Word::kFormprot},
        {"revprot", Word::kRevprot},
        {"annotprot", Word::kAnnotprot},
        {"readprot", Word::kReadprot},
        {"pard", Word::kPard},
        {"intbl", Word::kIntbl},
        {"itap", Word::kItap},
        {"par", Word::kPar},
        {"sect", Word::kPar},
        {"cell", Word::kCell},
        {"nestcell", Word::kNestcell},
        {"row", Word::kRow},
        {"nestrow", Word::kNestrow},
        {"chftn", Word::kChftn},
        {"ftnalt", Word::kFtnalt},
    };
    for (const auto& [name, id] : words)
      t[name] = {id, nullptr};
    const std::pair<const char*, const char*> chars[] = {
        {"tab", "\t"},
        {"line", "\n"},
        {"emdash", "\xE2\x80\x94"},
        {"endash", "\xE2\x80\x93"},
        {"bullet", "\xE2\x80\xA2"},
        {"lquote", "\xE2\x80\x98"},
        {"rquote", "\xE2\x80\x99"},
        {"ldblquote", "\xE2\x80\x9C"},
        {"rdblquote", "\xE2\x80\x9D"},
        {"emspace", "\xE2\x80\x83"},
        {"enspace", "\xE2\x80\x82"},
        {"qmspace", "\xE2\x80\x85"},
    };
    for (const auto& [name, text] : chars)
      t[name] = {Word::kChar, text};
    return t;
  }();
  auto found = table.find(word);
  return found == table.end() ? WordInfo{} : found->second;
}

class RtfParser {
 public:
  RtfParser(std::string_view data, const OpenOptions& options, Document& doc)
      : data_(data), limits_(options.limits), doc_(doc) {}

  ReadResult Parse() {
    doc_.format = SourceFormat::kRtf;
    body_.blocks = &doc_.body;
    state_.story = &body_;
    std::size_t start = 0;
    while (start < data_.size() && data_[start] != '{')
      ++start;
    if (data_.substr(start, 5) != "{\\rtf")
      return ReadResult::Failure(kNotRtf);
    pos_ = start;
    while (pos_ < data_.size() && !done_) {
      if (!error_.empty())
        break;
      Step();
    }
    FlushBytes();
    if (!error_.empty())
      return ReadResult::Failure(error_);
    // A file cut short still gives what it held: close what is open.
    while (!stack_.empty())
      CloseGroup();
    body_.Finish();
    FinishPage();
    doc_.open_encoding = code_page_;
    return ReadResult::Success();
  }

 private:
  static constexpr const char* kNotRtf = "The file is not an RTF document.";

  void Step() {
    const char c = data_[pos_];
    switch (c) {
      case '{':
        FlushBytes();
        ++pos_;
        OpenGroup();
        break;
      case '}':
        FlushBytes();
        ++pos_;
        if (skip_chars_ > 0)
          skip_chars_ = 0;
        CloseGroup();
        break;
      case '\\':
        ControlToken();
        break;
      case '\r':
      case '\n':
        ++pos_;
        break;
      case '\t':
        FlushBytes();
        ++pos_;
        if (!SkipOne())
          AppendText("\t");
        break;
      case '\0':
        ++pos_;
        break;
      default:
        ++pos_;
        if (SkipOne())
          break;
        if (static_cast<unsigned char>(c) < 0x80 && !expect_trail_) {
          FlushBytes();
          pending_ascii_.push_back(c);
          if (pending_ascii_.size() >= 4096)
            FlushAscii();
        } else {
          AddByte(static_cast<unsigned char>(c));
        }
    }
  }

  // Inside the fallback text after \u: each character counts as one.
  bool SkipOne() {
    if (skip_chars_ <= 0)
      return false;
    --skip_chars_;
    return true;
  }

  void OpenGroup() {
    FlushAscii();
    if (static_cast<int>(stack_.size()) >= limits_.max_depth) {
      error_ = "The document is nested too deeply to open.";
      return;
    }
    stack_.push_back(state_);
    star_ = false;
  }

  void CloseGroup() {
    FlushAscii();
    if (stack_.empty()) {
      done_ = true;  // the closing brace of the document
      return;
    }
    State closing = state_;
    state_ = stack_.back();
    stack_.pop_back();
    if (closing.story != state_.story && closing.story != nullptr)
      EndStory(closing.story);
    if (stack_.empty())
      done_ = true;
  }

  void ControlToken() {
    ++pos_;  // the backslash
    if (pos_ >= data_.size())
      return;
    char c = data_[pos_];
    if (!std::isalpha(static_cast<unsigned char>(c))) {
      ++pos_;
      ControlSymbol(c);
      return;
    }
    std::size_t start = pos_;
    while (pos_ < data_.size() && std::isalpha(static_cast<unsigned char>(data_[pos_])) &&
           pos_ - start < 32) {
      ++pos_;
    }
    std::string_view word = data_.substr(start, pos_ - start);
    bool has_param = false;
    long param = 0;
    bool negative = false;
    if (pos_ < data_.size() && data_[pos_] == '-') {
      negative = true;
      ++pos_;
    }
    std::size_t digits = 0;
    while (pos_ < data_.size() && std::isdigit(static_cast<unsigned char>(data_[pos_]))) {
      if (digits < 10)
        param = param * 10 + (data_[pos_] - '0');
      ++digits;
      ++pos_;
    }
    if (digits > 0)
      has_param = true;
    if (negative)
      param = -param;
    if (pos_ < data_.size() && data_[pos_] == ' ')
      ++pos_;
    if (word == "bin") {
      FlushBytes();
      // Binary data: skipped whole, and it never counts as fallback text.
      std::size_t length = has_param && param > 0 ? static_cast<std::size_t>(param) : 0;
      pos_ += std::min(length, data_.size() - pos_);
      return;
    }
    if (skip_chars_ > 0) {
      --skip_chars_;
      if (word != "par" && word != "cell" && word != "row")
        return;
      skip_chars_ = 0;
    }
    FlushBytes();
    ControlWord(word, has_param, static_cast<int>(std::clamp(param, -2147483647L, 2147483647L)));
  }

  void ControlSymbol(char c) {
    if (c == '\'') {
      if (pos_ + 2 > data_.size()) {
        pos_ = data_.size();
        return;
      }
      int value = 0;
      for (int i = 0; i < 2; ++i) {
        char h = data_[pos_ + static_cast<std::size_t>(i)];
        int digit = std::isdigit(static_cast<unsigned char>(h)) ? h - '0'
                    : (h >= 'a' && h <= 'f')                    ? h - 'a' + 10
                    : (h >= 'A' && h <= 'F')                    ? h - 'A' + 10
                                                                : -1;
        if (digit < 0)
          return;  // not a hex escape; the characters stay text
        value = value * 16 + digit;
      }
      pos_ += 2;
      if (SkipOne())
        return;
      AddByte(static_cast<unsigned char>(value));
      return;
    }
    if (SkipOne())
      return;
    FlushBytes();
    switch (c) {
      case '\\':
      case '{':
      case '}':
        AppendText(std::string(1, c));
        break;
      case '~':
        AppendText("\xC2\xA0");
        break;
      case '_':
        AppendText("\xE2\x80\x91");
        break;
      case '-':  // optional hyphen: shown only at a line end
        break;
      case '*':
        star_ = true;
        break;
      case '\r':
      case '\n':
        EndParagraph();
        break;
      case '\t':
        AppendText("\t");
        break;
      default:
        break;
    }
  }

  void StartDestination(Dest dest) {
    state_.dest = dest;
    star_ = false;
  }

  bool InTextDest() const { return state_.dest == Dest::kText || state_.dest == Dest::kFieldCode; }

  void ControlWord(std::string_view w, bool has_param, int p) {
    const bool star = star_;
    star_ = false;
    const WordInfo info = LookUpWord(w);
    const Word id = info.id;
    // Destinations first: a starred unknown one is skipped with its group.
    if (id == Word::kFonttbl)
      return StartDestination(Dest::kFontTable);
    if (id == Word::kInfo)
      return StartDestination(Dest::kInfo);
    if (state_.dest == Dest::kInfo) {
      switch (id) {
        case Word::kTitle:
          return StartDestination(Dest::kTitle);
        case Word::kSubject:
          return StartDestination(Dest::kSubject);
        case Word::kAuthor:
          return StartDestination(Dest::kAuthor);
        case Word::kKeywords:
          return StartDestination(Dest::kKeywords);
        case Word::kDoccomm:
          return StartDestination(Dest::kDocComment);
        default:
          return StartDestination(Dest::kSkip);
      }
    }
    if (state_.dest == Dest::kSkip)
      return;
    switch (id) {
      case Word::kUd:
        if (state_.dest == Dest::kUpr)
          return StartDestination(Dest::kText);
        break;
      case Word::kUpr:
        return StartDestination(Dest::kUpr);
      case Word::kResult:
        if (state_.dest == Dest::kObject)
          return StartDestination(Dest::kText);
        break;
      case Word::kObject:
        return StartDestination(Dest::kObject);
      case Word::kFldinst:
        return StartDestination(Dest::kFieldCode);
      case Word::kFldrslt:
        return StartDestination(Dest::kText);
      case Word::kField:
        // Everything in the field's group, instruction and result, belongs
        // to one field; a nested field keeps the outer one's number.
        if (state_.field == 0)
          state_.field = ++field_counter_;
        return;
      case Word::kListtext:
        return StartDestination(Dest::kListLabel);
      case Word::kNesttableprops:
        return StartDestination(Dest::kNestProps);
      case Word::kFootnote:
        return StartNote();
      case Word::kHeader:
        return StartHeaderFooter(header_);
      case Word::kFooter:
        return StartHeaderFooter(footer_);
      case Word::kAnnotation:
        return StartComment();
      case Word::kAtnid:
        return StartDestination(Dest::kAnnotationId);
      case Word::kAtnauthor:
        return StartDestination(Dest::kAnnotationAuthor);
      case Word::kSkipDest:
      case Word::kTitle:
      case Word::kSubject:
      case Word::kAuthor:
      case Word::kKeywords:
      case Word::kDoccomm:
        return StartDestination(Dest::kSkip);
      default:
        break;
    }
    if (star)
      return StartDestination(Dest::kSkip);

    if (state_.dest == Dest::kFontTable) {
      if (id == Word::kF && has_param) {
        state_.font_def = p;
      } else if (id == Word::kFcharset && state_.font_def >= 0) {
        font_charset_[state_.font_def] = p;
      } else if (id == Word::kCpg && state_.font_def >= 0 && p > 0) {
        font_code_page_[state_.font_def] = p;
      }
      return;
    }
    if (state_.dest == Dest::kNestProps) {
      if (id == Word::kNestrow)
        EndRow(NestLevel());
      return;
    }
    if (state_.dest == Dest::kObject || state_.dest == Dest::kUpr)
      return;

    switch (id) {
      // Document and character properties.
      case Word::kAnsicpg:
        if (p > 0)
          code_page_ = p;
        break;
      case Word::kMac:
        code_page_ = 10000;
        break;
      case Word::kPc:
        code_page_ = 437;
        break;
      case Word::kPca:
        code_page_ = 850;
        break;
      case Word::kDeff:
        default_font_ = p;
        break;
      case Word::kDeflang:
        doc_.default_lang = static_cast<std::uint16_t>(p);
        break;
      case Word::kDeflangfe:
        doc_.default_lang_fe = static_cast<std::uint16_t>(p);
        break;
      case Word::kF:
        state_.font = p;
        break;
      case Word::kUc:
        state_.uc = std::clamp(p, 0, 16);
        break;
      case Word::kU:
        UnicodeChar(p);
        break;
      case Word::kPlain:
        state_.font = default_font_;
        state_.hidden = false;
        state_.lang = 0;
        state_.lang_fe = 0;
        state_.deleted = false;
        state_.inserted = false;
        break;
      case Word::kV:
        state_.hidden = !has_param || p != 0;
        break;
      case Word::kDeleted:
        state_.deleted = !has_param || p != 0;
        break;
      case Word::kRevised:
        state_.inserted = !has_param || p != 0;
        break;
      case Word::kLang:
        state_.lang = static_cast<std::uint16_t>(p);
        break;
      case Word::kLangfe:
        state_.lang_fe = static_cast<std::uint16_t>(p);
        break;
      case Word::kPaperw:
        paper_width_ = p;
        break;
      case Word::kMargl:
        margin_left_ = p;
        break;
      case Word::kMargr:
        margin_right_ = p;
        break;
      case Word::kFormprot:
        Protect("forms");
        break;
      case Word::kRevprot:
        Protect("trackedChanges");
        break;
      case Word::kAnnotprot:
        Protect("comments");
        break;
      case Word::kReadprot:
        Protect("readOnly");
        break;
      // Paragraph and table structure.
      case Word::kPard:
        state_.in_table = false;
        state_.itap = 0;
        state_.itap_set = false;
        break;
      case Word::kIntbl:
        state_.in_table = true;
        break;
      case Word::kItap:
        state_.itap = std::clamp(p, 0, 64);
        state_.itap_set = true;
        break;
      case Word::kPar:
        if (InTextDest())
          EndParagraph();
        break;
      case Word::kCell:
        if (InTextDest())
          EndCell(std::max(1, TableLevel()));
        break;
      case Word::kNestcell:
        if (InTextDest())
          EndCell(NestLevel());
        break;
      case Word::kRow:
        if (InTextDest())
          EndRow(1);
        break;
      case Word::kNestrow:
        if (InTextDest())
          EndRow(NestLevel());
        break;
      // Special characters.
      case Word::kChar:
        AppendText(info.text);
        break;
      case Word::kFtnalt:
        MarkEndnote();
        break;
      case Word::kChftn:
        // The reference mark in the text; the note itself numbers the same.
        if (state_.story == &body_ && state_.dest == Dest::kText) {
          mark_of_note_ = static_cast<std::uint32_t>(note_counter_ + 1);
          AppendText(std::to_string(note_counter_ + 1));
          mark_of_note_ = 0;
        }
        break;
      default:
        break;
    }
  }

  void Protect(const char* kind) {
    doc_.protection.is_protected = true;
    doc_.protection.kind = kind;
  }

  int TableLevel() const {
    if (state_.itap_set && state_.itap > 0)
      return state_.itap;
    return state_.in_table ? 1 : 0;
  }
  int NestLevel() const { return std::max(2, TableLevel()); }

  void UnicodeChar(int value) {
    skip_chars_ = state_.uc;
    char32_t unit = static_cast<char32_t>(value < 0 ? value + 65536 : value) & 0xFFFF;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      high_surrogate_ = unit;
      return;
    }
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
      if (high_surrogate_ != 0) {
        char32_t cp = 0x10000 + ((high_surrogate_ - 0xD800) << 10) + (unit - 0xDC00);
        high_surrogate_ = 0;
        std::string text;
        AppendUtf8(text, cp);
        AppendText(text);
      }
      return;
    }
    high_surrogate_ = 0;
    std::string text;
    AppendUtf8(text, unit);
    AppendText(text);
  }

  int CurrentCodePage() const {
    int font = state_.font >= 0 ? state_.font : default_font_;
    auto cp = font_code_page_.find(font);
    if (cp != font_code_page_.end())
      return cp->second;
    auto charset = font_charset_.find(font);
    if (charset != font_charset_.end())
      return CodePageForCharset(charset->second, code_page_);
    return code_page_;
  }

  void AddByte(unsigned char byte) {
    FlushAscii();
    int cp = CurrentCodePage();
    if (!pending_bytes_.empty() && cp != pending_code_page_)
      FlushBytes();
    pending_code_page_ = cp;
    pending_bytes_.push_back(static_cast<char>(byte));
    // Double-byte code pages: writers often leave a trail byte in the ASCII
    // range unescaped ("\\'83e"), so the next plain character belongs here.
    if (expect_trail_) {
      expect_trail_ = false;
    } else if (IsLeadByte(cp, byte)) {
      expect_trail_ = true;
    }
  }

  static bool IsLeadByte(int cp, unsigned char byte) {
    switch (cp) {
      case 932:
        return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
      case 936:
      case 949:
      case 950:
      case 1361:
        return byte >= 0x81 && byte <= 0xFE;
      default:
        return false;
    }
  }

  void FlushAscii() {
    if (pending_ascii_.empty())
      return;
    std::string text;
    text.swap(pending_ascii_);
    AppendText(text);
  }

  void FlushBytes() {
    FlushAscii();
    expect_trail_ = false;
    if (pending_bytes_.empty())
      return;
    std::string utf8;
    std::string error;
    if (!DecodeText(pending_bytes_, pending_code_page_, utf8, error)) {
      DecodeText(pending_bytes_, 1252, utf8, error);
    }
    pending_bytes_.clear();
    AppendText(utf8);
  }

  void AppendText(const std::string& text) {
    if (text.empty())
      return;
    switch (state_.dest) {
      case Dest::kText:
      case Dest::kFieldCode:
        AppendRun(text);
        break;
      case Dest::kListLabel:
        if (state_.story != nullptr)
          state_.story->paragraph.list_label += text;
        break;
      case Dest::kTitle:
        AppendProperty(doc_.properties.title, text);
        break;
      case Dest::kSubject:
        AppendProperty(doc_.properties.subject, text);
        break;
      case Dest::kAuthor:
        AppendProperty(doc_.properties.author, text);
        break;
      case Dest::kKeywords:
        AppendProperty(doc_.properties.keywords, text);
        break;
      case Dest::kDocComment:
        AppendProperty(doc_.properties.comments, text);
        break;
      case Dest::kAnnotationId:
        AppendProperty(annotation_initials_, text);
        break;
      case Dest::kAnnotationAuthor:
        AppendProperty(annotation_author_, text);
        break;
      default:
        break;
    }
  }

  void AppendProperty(std::string& target, const std::string& text) {
    if (target.size() < 65536)
      target += text;
  }

  void AppendRun(const std::string& text) {
    Story* story = state_.story;
    if (story == nullptr)
      return;
    total_chars_ += text.size();
    if (total_chars_ > limits_.max_text_chars) {
      error_ = "The document is too large to open.";
      return;
    }
    Run format;
    format.hidden = state_.hidden;
    format.deleted = state_.deleted;
    format.inserted = state_.inserted;
    format.field_code = state_.dest == Dest::kFieldCode;
    format.field = state_.field;
    format.note = mark_of_note_;
    format.lang = state_.lang;
    format.lang_fe = state_.lang_fe;
    AppendRunText(story->paragraph.runs, format, text);
    story->has_content = true;
  }

  // Notes and comments: each gets a story of its own for its group.
  void StartNote() {
    state_.dest = Dest::kText;
    notes_.push_back(std::make_unique<PendingNote>());
    PendingNote& note = *notes_.back();
    note.note.mark = std::to_string(++note_counter_);
    note.note.id = static_cast<std::uint32_t>(note_counter_);
    note.story.blocks = &note.note.blocks;
    state_.story = &note.story;
    state_.in_table = false;
    state_.itap = 0;
    state_.itap_set = false;
  }

  // The first section's primary header or footer; later sections' ones
  // are skipped (the model keeps one of each).
  void StartHeaderFooter(Story& story) {
    if (story.blocks != nullptr || state_.story != &body_)
      return StartDestination(Dest::kSkip);
    story.blocks = &story == &header_ ? &doc_.header : &doc_.footer;
    state_.dest = Dest::kText;
    state_.story = &story;
    state_.in_table = false;
    state_.itap = 0;
    state_.itap_set = false;
  }

  void StartComment() {
    state_.dest = Dest::kText;
    comments_.push_back(std::make_unique<PendingComment>());
    PendingComment& comment = *comments_.back();
    comment.comment.author = annotation_author_;
    comment.comment.initials = annotation_initials_;
    annotation_author_.clear();
    annotation_initials_.clear();
    comment.story.blocks = &comment.comment.blocks;
    state_.story = &comment.story;
    state_.in_table = false;
    state_.itap = 0;
    state_.itap_set = false;
  }

  void EndStory(Story* story) {
    story->Finish();
    for (auto& note : notes_) {
      if (&note->story == story && !note->done) {
        note->done = true;
        (note->endnote ? doc_.endnotes : doc_.footnotes).push_back(std::move(note->note));
      }
    }
    for (auto& comment : comments_) {
      if (&comment->story == story && !comment->done) {
        comment->done = true;
        doc_.comments.push_back(std::move(comment->comment));
      }
    }
  }

  void EndParagraph() {
    Story* s = state_.story;
    if (s == nullptr)
      return;
    if (++paragraphs_ > limits_.max_text_chars) {
      error_ = "The document is too large to open.";
      return;
    }
    s->EndParagraph(TableLevel());
  }

  void EndCell(int level) {
    if (state_.story != nullptr)
      state_.story->EndCell(level);
  }

  void EndRow(int level) {
    if (state_.story != nullptr)
      state_.story->EndRow(level);
  }

  void FinishPage() {
    if (paper_width_ > 0 || margin_left_ >= 0 || margin_right_ >= 0) {
      int paper = paper_width_ > 0 ? paper_width_ : 12240;
      int left = margin_left_ >= 0 ? margin_left_ : 1800;
      int right = margin_right_ >= 0 ? margin_right_ : 1800;
      doc_.page.text_width_twips = std::max(0, paper - left - right);
    }
  }

  struct PendingNote {
    Note note;
    Story story;
    bool endnote = false;
    bool done = false;
  };
  struct PendingComment {
    Comment comment;
    Story story;
    bool done = false;
  };

  std::string_view data_;
  const ReadLimits& limits_;
  Document& doc_;
  std::size_t pos_ = 0;
  bool done_ = false;
  bool star_ = false;
  std::string error_;
  State state_;
  std::vector<State> stack_;
  Story body_;
  Story header_;  // blocks set once the primary header starts
  Story footer_;
  std::vector<std::unique_ptr<PendingNote>> notes_;
  std::vector<std::unique_ptr<PendingComment>> comments_;
  int note_counter_ = 0;
  std::uint32_t mark_of_note_ = 0;  // while the text of a reference mark is added
  std::uint32_t field_counter_ = 0;
  std::string annotation_author_;
  std::string annotation_initials_;
  int code_page_ = 1252;
  int default_font_ = -1;
  std::map<int, int> font_charset_;
  std::map<int, int> font_code_page_;
  std::string pending_ascii_;
  std::string pending_bytes_;
  int pending_code_page_ = 1252;
  int skip_chars_ = 0;
  bool expect_trail_ = false;
  char32_t high_surrogate_ = 0;
  std::size_t total_chars_ = 0;
  std::size_t paragraphs_ = 0;
  int paper_width_ = 0;
  int margin_left_ = -1;
  int margin_right_ = -1;

 public:
  // \ftnalt arrives inside the note's group, after the note has started.
  void MarkEndnote() {
    for (auto it = notes_.rbegin(); it != notes_.rend(); ++it) {
      if (&(*it)->story == state_.story) {
        (*it)->endnote = true;
        return;
      }
    }
  }
};

class RtfReader : public Reader {
 public:
  std::string_view Name() const override { return "rtf"; }
  int Sniff(std::string_view head, const std::string&) const override {
    std::size_t start = 0;
    if (head.substr(0, 3) == "\xEF\xBB\xBF")
      start = 3;
    while (start < head.size() && std::isspace(static_cast<unsigned char>(head[start])))
      ++start;
    return head.substr(start, 5) == "{\\rtf" ? 100 : 0;
  }
  ReadResult Read(std::string_view data, const OpenOptions& options, Document& doc) const override {
    return RtfParser(data, options, doc).Parse();
  }
};

}  // namespace

std::unique_ptr<Reader> MakeRtfReader() {
  return std::make_unique<RtfReader>();
}

}  // namespace quillon::docengine
