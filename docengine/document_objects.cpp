#include "docengine/document_objects.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <functional>

#include "docengine/document_state.h"
#include "docengine/macro_value.h"
#include "docengine/story_text.h"

namespace quillon::docengine {
namespace {

using automation::Args;
using automation::AutomationError;
using automation::CallKind;
using automation::NameEquals;
using automation::Object;
using automation::ObjectPtr;
using automation::Variant;

constexpr int kMaxDepth = 512;
constexpr int kReplaceOne = 1;
constexpr int kReplaceAll = 2;

[[noreturn]] void Unknown(const char* object, std::string_view name) {
  throw AutomationError(std::string("The ") + object +
                        " object has no property or method named \"" + std::string(name) + "\".");
}

[[noreturn]] void NoSuchItem() {
  throw AutomationError("The requested member of the collection does not exist.");
}

template <class T, class... A>
Variant Make(A&&... a) {
  return Variant(std::static_pointer_cast<Object>(std::make_shared<T>(std::forward<A>(a)...)));
}

const Variant* Arg(const Args& args, std::string_view name, std::size_t position) {
  if (const Variant* named = args.Named(name))
    return named;
  const Variant* v = args.At(position);
  return v != nullptr && !v->is_empty() ? v : nullptr;
}

const Variant& PutValue(const Args& args) {
  if (args.positional.empty())
    throw AutomationError("No value was given.");
  return args.positional.back();
}

int IndexOf(const Args& args, const char* collection) {
  const Variant* index = args.At(0);
  if (index == nullptr)
    throw AutomationError(std::string(collection) + ".Item needs an index.");
  return index->ToInt();
}

bool IsGet(CallKind kind) {
  return kind != CallKind::kPut;
}

// --- Walking the model ---------------------------------------------------------

void ForEachParagraph(std::vector<Block>& blocks, const std::function<void(Paragraph&)>& f,
                      int depth = 0) {
  if (depth > kMaxDepth)
    return;
  for (Block& block : blocks) {
    if (block.is_table()) {
      for (TableRow& row : block.table->rows) {
        for (TableCell& cell : row.cells)
          ForEachParagraph(cell.blocks, f, depth + 1);
      }
    } else {
      f(block.paragraph);
    }
  }
}

// Every story of the document: where revisions are accepted or rejected.
void ForEachStory(Document& doc, const std::function<void(std::vector<Block>&)>& f) {
  f(doc.body);
  for (Note& note : doc.footnotes)
    f(note.blocks);
  for (Note& note : doc.endnotes)
    f(note.blocks);
  for (Comment& comment : doc.comments)
    f(comment.blocks);
  f(doc.header);
  f(doc.footer);
}

std::vector<std::uint32_t> FieldIds(Document& doc) {
  std::vector<std::uint32_t> ids;
  ForEachParagraph(doc.body, [&](Paragraph& p) {
    for (const Run& run : p.runs) {
      if (run.field != 0 && std::find(ids.begin(), ids.end(), run.field) == ids.end())
        ids.push_back(run.field);
    }
  });
  return ids;
}

std::string FieldPart(Document& doc, std::uint32_t id, bool code) {
  std::string text;
  ForEachParagraph(doc.body, [&](Paragraph& p) {
    for (const Run& run : p.runs) {
      if (run.field == id && run.field_code == code && (code || !run.hidden))
        text += run.text;
    }
  });
  return text;
}

std::string TrimBlanks(const std::string& s) {
  std::size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos)
    return {};
  std::size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

bool IsHyperlinkCode(const std::string& code) {
  const std::string t = TrimBlanks(code);
  return t.size() >= 9 && NameEquals(std::string_view(t).substr(0, 9), "HYPERLINK");
}

std::vector<std::uint32_t> HyperlinkIds(Document& doc) {
  std::vector<std::uint32_t> out;
  for (std::uint32_t id : FieldIds(doc)) {
    if (IsHyperlinkCode(FieldPart(doc, id, true)))
      out.push_back(id);
  }
  return out;
}

// Unlink keeps the result as plain text; Delete removes the whole field.
void RemoveField(Document& doc, std::uint32_t id, bool keep_result) {
  ForEachParagraph(doc.body, [&](Paragraph& p) {
    std::vector<Run>& runs = p.runs;
    runs.erase(std::remove_if(
                   runs.begin(), runs.end(),
                   [&](const Run& r) { return r.field == id && (r.field_code || !keep_result); }),
               runs.end());
    for (Run& run : runs) {
      if (run.field == id)
        run.field = 0;
    }
  });
  StoryText::Tidy(doc.body);
}

void SetFieldPart(Document& doc, std::uint32_t id, bool code, const std::string& text) {
  bool placed = false;
  Paragraph* last_paragraph = nullptr;
  std::size_t last_run = 0;
  ForEachParagraph(doc.body, [&](Paragraph& p) {
    for (std::size_t i = 0; i < p.runs.size(); ++i) {
      Run& run = p.runs[i];
      if (run.field != id)
        continue;
      last_paragraph = &p;
      last_run = i;
      if (run.field_code != code)
        continue;
      run.text = placed ? std::string() : text;
      placed = true;
    }
  });
  if (!placed && last_paragraph != nullptr) {
    Run run = last_paragraph->runs[last_run];
    run.field_code = code;
    run.hidden = false;
    run.deleted = false;
    run.text = text;
    last_paragraph->runs.insert(
        last_paragraph->runs.begin() + static_cast<std::ptrdiff_t>(last_run) + 1, std::move(run));
  }
  StoryText::Tidy(doc.body);
}

int RevisionState(const Run& run) {
  return run.inserted ? 1 : (run.deleted ? 2 : 0);
}

int CountRevisions(Document& doc) {
  int count = 0;
  ForEachParagraph(doc.body, [&](Paragraph& p) {
    int previous = 0;
    for (const Run& run : p.runs) {
      const int state = RevisionState(run);
      if (state != 0 && state != previous)
        ++count;
      previous = state;
    }
  });
  return count;
}

// Accepting keeps insertions and drops deletions; rejecting the reverse.
bool ResolveRevisions(Document& doc, bool accept) {
  bool any = false;
  ForEachStory(doc, [&](std::vector<Block>& story) {
    ForEachParagraph(story, [&](Paragraph& p) {
      std::vector<Run>& runs = p.runs;
      const std::size_t before = runs.size();
      runs.erase(std::remove_if(runs.begin(), runs.end(),
                                [&](const Run& r) { return accept ? r.deleted : r.inserted; }),
                 runs.end());
      any = any || runs.size() != before;
      for (Run& run : runs) {
        any = any || run.inserted || run.deleted;
        run.inserted = false;
        run.deleted = false;
      }
    });
    StoryText::Tidy(story);
  });
  return any;
}

// --- Stories -------------------------------------------------------------------

struct StoryRef {
  enum class Kind { kMain, kComment, kFootnote, kEndnote, kHeader, kFooter, kAbsent };
  Kind kind = Kind::kMain;
  std::shared_ptr<ItemRef> item;
};

// The blocks of the story; null for a header or footer this engine does
// not keep. Throws when the story's item was deleted.
std::vector<Block>* StoryBlocks(DocumentState& s, const StoryRef& ref) {
  auto check = [&](std::size_t size) {
    if (!ref.item || ref.item->deleted || ref.item->index >= size)
      throw AutomationError("The object has been deleted.");
    return ref.item->index;
  };
  switch (ref.kind) {
    case StoryRef::Kind::kMain:
      return &s.doc.body;
    case StoryRef::Kind::kComment:
      return &s.doc.comments[check(s.doc.comments.size())].blocks;
    case StoryRef::Kind::kFootnote:
      return &s.doc.footnotes[check(s.doc.footnotes.size())].blocks;
    case StoryRef::Kind::kEndnote:
      return &s.doc.endnotes[check(s.doc.endnotes.size())].blocks;
    case StoryRef::Kind::kHeader:
      return &s.doc.header;
    case StoryRef::Kind::kFooter:
      return &s.doc.footer;
    case StoryRef::Kind::kAbsent:
      return nullptr;
  }
  return nullptr;
}

std::size_t StorySize(DocumentState& s, const StoryRef& ref) {
  std::vector<Block>* blocks = StoryBlocks(s, ref);
  return blocks == nullptr ? 0 : StoryText(*blocks).size();
}

// --- Find ----------------------------------------------------------------------

struct FindSettings {
  std::string text;
  std::string replacement;
  bool match_case = false;
  bool whole_word = false;
  bool forward = true;
  int wrap = 0;
};

// "^p" and the other special characters of find and replacement texts.
std::u32string ExpandSpecials(const std::string& text, bool replacement) {
  std::u32string in = macro::ToCodePoints(text);
  std::u32string out;
  for (std::size_t i = 0; i < in.size(); ++i) {
    if (in[i] != U'^' || i + 1 >= in.size()) {
      out.push_back(in[i]);
      continue;
    }
    const char32_t c = in[i + 1];
    if (c == U'p') {
      out.push_back(U'\r');
    } else if (c == U't') {
      out.push_back(U'\t');
    } else if (c == U'l') {
      out.push_back(U'\v');
    } else if (c == U'^') {
      out.push_back(U'^');
    } else if (c == U'&' && replacement) {
      out.push_back(U'\x1');  // stands for the found text until replaced
    } else {
      out.push_back(U'^');
      continue;
    }
    ++i;
  }
  return out;
}

char32_t Fold(char32_t c) {
  return static_cast<char32_t>(u_foldCase(static_cast<UChar32>(c), U_FOLD_CASE_DEFAULT));
}

bool IsWordChar(char32_t c) {
  return u_isalnum(static_cast<UChar32>(c)) || c == U'_';
}

struct Match {
  std::size_t start;
  std::size_t end;
};

std::vector<Match> Search(std::u32string text, std::u32string pattern, std::size_t from,
                          std::size_t to, const FindSettings& f, bool all) {
  std::vector<Match> found;
  to = std::min(to, text.size());
  if (pattern.empty() || from >= to)
    return found;
  if (!f.match_case) {
    for (char32_t& c : text)
      c = Fold(c);
    for (char32_t& c : pattern)
      c = Fold(c);
  }
  std::size_t pos = from;
  while (pos + pattern.size() <= to) {
    const std::size_t at = text.find(pattern, pos);
    if (at == std::u32string::npos || at + pattern.size() > to)
      break;
    const std::size_t end = at + pattern.size();
    const bool whole = !f.whole_word || ((at == 0 || !IsWordChar(text[at - 1])) &&
                                         (end >= text.size() || !IsWordChar(text[end])));
    if (whole) {
      found.push_back({at, end});
      if (!all && f.forward)
        break;
      pos = end;
    } else {
      pos = at + 1;
    }
  }
  if (!all && !f.forward && found.size() > 1)
    found.erase(found.begin(), found.end() - 1);
  return found;
}

class RangeObject : public Object, public std::enable_shared_from_this<RangeObject> {
 public:
  RangeObject(std::shared_ptr<DocumentState> state, StoryRef story, std::size_t start,
              std::size_t end)
      : state_(std::move(state)), story_(std::move(story)), start_(start), end_(end) {}

  Variant Invoke(CallKind kind, std::string_view name, const Args& args) override;

  DocumentState& state() { return *state_; }
  std::vector<Block>* Blocks() { return StoryBlocks(*state_, story_); }
  std::vector<Block>& EditableBlocks() {
    std::vector<Block>* blocks = Blocks();
    if (blocks == nullptr)
      throw AutomationError(
          "This header or footer does not exist in the document; only the "
          "primary one can be edited.");
    return *blocks;
  }
  void Clamp(std::size_t size) {
    end_ = std::min(end_, size);
    start_ = std::min(start_, end_);
  }
  std::size_t start() const { return start_; }
  std::size_t end() const { return end_; }
  void Set(std::size_t start, std::size_t end) {
    start_ = start;
    end_ = end;
  }
  // After a find moved the range onto what it found, where the search
  // goes on and where it stops.
  bool moved_by_find = false;
  std::size_t scope_start = 0;
  std::size_t scope_end = 0;
  // The range's one Find: its settings last as long as the range.
  std::shared_ptr<FindSettings> find = std::make_shared<FindSettings>();

 private:
  std::shared_ptr<DocumentState> state_;
  StoryRef story_;
  std::size_t start_;
  std::size_t end_;
};

class ReplacementObject : public Object {
 public:
  explicit ReplacementObject(std::shared_ptr<FindSettings> settings)
      : settings_(std::move(settings)) {}
  Variant Invoke(CallKind kind, std::string_view name, const Args& args) override {
    if (NameEquals(name, "Text") || name.empty()) {
      if (kind == CallKind::kPut) {
        settings_->replacement = PutValue(args).ToText();
        return {};
      }
      return Variant(settings_->replacement);
    }
    if (IsGet(kind) && NameEquals(name, "ClearFormatting"))
      return {};
    Unknown("Replacement", name);
  }

 private:
  std::shared_ptr<FindSettings> settings_;
};

class FindObject : public Object {
 public:
  explicit FindObject(std::shared_ptr<RangeObject> range)
      : range_(std::move(range)), settings_(range_->find) {}

  Variant Invoke(CallKind kind, std::string_view name, const Args& args) override {
    range_->state().CheckOpen();
    FindSettings& f = *settings_;
    if (kind == CallKind::kPut) {
      const Variant& v = PutValue(args);
      if (NameEquals(name, "Text")) {
        f.text = v.ToText();
      } else if (NameEquals(name, "MatchCase")) {
        f.match_case = v.ToBool();
      } else if (NameEquals(name, "MatchWholeWord")) {
        f.whole_word = v.ToBool();
      } else if (NameEquals(name, "Forward")) {
        f.forward = v.ToBool();
      } else if (NameEquals(name, "Wrap")) {
        f.wrap = v.ToInt();
      } else if (NameEquals(name, "MatchWildcards") || NameEquals(name, "MatchSoundsLike") ||
                 NameEquals(name, "MatchAllWordForms")) {
        RefuseOption(name, v);
      } else if (!NameEquals(name, "Format") && !NameEquals(name, "MatchByte") &&
                 !NameEquals(name, "MatchPrefix") && !NameEquals(name, "MatchSuffix")) {
        Unknown("Find", name);
      }
      return {};
    }
    if (NameEquals(name, "Text"))
      return Variant(f.text);
    if (NameEquals(name, "MatchCase"))
      return Variant(f.match_case);
    if (NameEquals(name, "MatchWholeWord"))
      return Variant(f.whole_word);
    if (NameEquals(name, "Forward"))
      return Variant(f.forward);
    if (NameEquals(name, "Wrap"))
      return Variant(static_cast<std::int32_t>(f.wrap));
    if (NameEquals(name, "MatchWildcards") || NameEquals(name, "Format"))
      return Variant(false);
    if (NameEquals(name, "Replacement"))
      return Make<ReplacementObject>(settings_);
    if (NameEquals(name, "ClearFormatting") || NameEquals(name, "ClearAllFuzzyOptions"))
      return {};
    if (NameEquals(name, "Execute"))
      return Variant(Execute(args));
    Unknown("Find", name);
  }

 private:
  static void RefuseOption(std::string_view name, const Variant& v) {
    if (v.ToBool())
      throw AutomationError(std::string(name) + " is not supported by this engine's Find.");
  }

  bool Execute(const Args& args) {
    FindSettings& f = *settings_;
    if (const Variant* v = Arg(args, "FindText", 0))
      f.text = v->ToText();
    if (const Variant* v = Arg(args, "MatchCase", 1))
      f.match_case = v->ToBool();
    if (const Variant* v = Arg(args, "MatchWholeWord", 2))
      f.whole_word = v->ToBool();
    if (const Variant* v = Arg(args, "MatchWildcards", 3))
      RefuseOption("MatchWildcards", *v);
    if (const Variant* v = Arg(args, "MatchSoundsLike", 4))
      RefuseOption("MatchSoundsLike", *v);
    if (const Variant* v = Arg(args, "MatchAllWordForms", 5))
      RefuseOption("MatchAllWordForms", *v);
    if (const Variant* v = Arg(args, "Forward", 6))
      f.forward = v->ToBool();
    if (const Variant* v = Arg(args, "Wrap", 7))
      f.wrap = v->ToInt();
    if (const Variant* v = Arg(args, "ReplaceWith", 9))
      f.replacement = v->ToText();
    int replace = 0;
    if (const Variant* v = Arg(args, "Replace", 10))
      replace = v->ToInt();

    RangeObject& r = *range_;
    std::vector<Block>* blocks = r.Blocks();
    if (blocks == nullptr)
      return false;
    StoryText index(*blocks);
    r.Clamp(index.size());
    if (!r.moved_by_find) {
      r.scope_start = r.start();
      // A collapsed range searches on to the story's end.
      r.scope_end = r.start() == r.end() ? index.size() : r.end();
    }
    std::size_t from = r.scope_start;
    std::size_t to = r.scope_end;
    if (r.moved_by_find && replace == 0) {
      if (f.forward)
        from = r.end();
      else
        to = r.start();
    }
    const std::u32string text = index.Chars(0, index.size());
    const std::u32string pattern = ExpandSpecials(f.text, false);
    std::vector<Match> matches =
        Search(text, pattern, from, std::min(to, index.size()), f, replace == kReplaceAll);
    if (matches.empty() && f.wrap == 1 && replace != kReplaceAll && r.moved_by_find) {
      // Go round once: from the scope's other end up to where this began.
      matches = f.forward ? Search(text, pattern, r.scope_start, from, f, false)
                          : Search(text, pattern, to, r.scope_end, f, false);
    }
    if (matches.empty())
      return false;
    if (replace == 0) {
      r.Set(matches.front().start, matches.front().end);
      r.moved_by_find = true;
      return true;
    }
    const std::u32string with = ExpandSpecials(f.replacement, true);
    std::ptrdiff_t growth = 0;
    std::size_t last_end = 0;
    // From the last match to the first, so the index stays valid.
    for (auto it = matches.rbegin(); it != matches.rend(); ++it) {
      std::u32string piece;
      for (char32_t c : with) {
        if (c == U'\x1')
          piece += text.substr(it->start, it->end - it->start);
        else
          piece.push_back(c);
      }
      const std::string utf8 = macro::FromCodePoints(piece);
      index.Erase(it->start, it->end);
      index.Insert(it->start, utf8);
      const std::size_t length = StoryLength(utf8);
      growth +=
          static_cast<std::ptrdiff_t>(length) - static_cast<std::ptrdiff_t>(it->end - it->start);
      if (it == matches.rbegin())
        last_end = it->start + length;
    }
    StoryText::Tidy(*blocks);
    r.state().MarkChanged();
    if (replace == kReplaceOne) {
      r.Set(matches.front().start, last_end);
      r.moved_by_find = true;
    } else {
      r.scope_end = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(r.scope_end) + growth);
      if (!r.moved_by_find)
        r.Set(r.start(), static_cast<std::size_t>(static_cast<std::ptrdiff_t>(r.end()) + growth));
    }
    return true;
  }

  std::shared_ptr<RangeObject> range_;
  std::shared_ptr<FindSettings> settings_;
};

Variant RangeObject::Invoke(CallKind kind, std::string_view name, const Args& args) {
  state_->CheckOpen();
  std::vector<Block>* blocks = Blocks();
  const std::size_t size = blocks == nullptr ? 0 : StoryText(*blocks).size();
  Clamp(size);
  if (NameEquals(name, "Text") || name.empty()) {
    if (kind == CallKind::kPut) {
      const std::string text = PutValue(args).ToText();
      end_ = ReplaceStoryText(EditableBlocks(), start_, end_, text);
      moved_by_find = false;
      state_->MarkChanged();
      return {};
    }
    return Variant(blocks == nullptr ? std::string() : StoryText(*blocks).Text(start_, end_));
  }
  if (NameEquals(name, "Start") || NameEquals(name, "End")) {
    const bool is_start = NameEquals(name, "Start");
    if (kind == CallKind::kPut) {
      const int v = PutValue(args).ToInt();
      const std::size_t at = static_cast<std::size_t>(std::clamp(v, 0, static_cast<int>(size)));
      if (is_start) {
        start_ = at;
        end_ = std::max(end_, at);
      } else {
        end_ = at;
        start_ = std::min(start_, at);
      }
      moved_by_find = false;
      return {};
    }
    return Variant(static_cast<std::int32_t>(is_start ? start_ : end_));
  }
  if (!IsGet(kind))
    Unknown("Range", name);
  if (NameEquals(name, "Delete")) {
    if (start_ == end_)
      return Variant(static_cast<std::int32_t>(0));
    ReplaceStoryText(EditableBlocks(), start_, end_, "");
    end_ = start_;
    state_->MarkChanged();
    return Variant(static_cast<std::int32_t>(1));
  }
  if (NameEquals(name, "InsertBefore") || NameEquals(name, "InsertAfter")) {
    const Variant* text = Arg(args, "Text", 0);
    if (text == nullptr)
      throw AutomationError(std::string(name) + " needs a text.");
    const std::string t = text->ToText();
    const std::size_t at = NameEquals(name, "InsertBefore") ? start_ : end_;
    ReplaceStoryText(EditableBlocks(), at, at, t);
    end_ += StoryLength(t);
    state_->MarkChanged();
    return {};
  }
  if (NameEquals(name, "Find"))
    return Make<FindObject>(shared_from_this());
  Unknown("Range", name);
}

ObjectPtr NewRange(const std::shared_ptr<DocumentState>& state, StoryRef story, std::size_t start,
                   std::size_t end) {
  return std::make_shared<RangeObject>(state, std::move(story), start, end);
}

ObjectPtr WholeStory(const std::shared_ptr<DocumentState>& state, StoryRef story) {
  const std::size_t size = StorySize(*state, story);
  return NewRange(state, std::move(story), 0, size);
}

// --- Collections -------------------------------------------------------------------

// The shape every collection shares: "Count", "Item" (1-based) and the
// collection called with an index.
class CollectionObject : public Object {
 public:
  CollectionObject(std::shared_ptr<DocumentState> state, const char* name)
      : state_(std::move(state)), name_(name) {}

  Variant Invoke(CallKind kind, std::string_view name, const Args& args) override {
    state_->CheckOpen();
    if (IsGet(kind)) {
      if (NameEquals(name, "Count"))
        return Variant(static_cast<std::int32_t>(Count()));
      if (NameEquals(name, "Item") || name.empty()) {
        const int index = IndexOf(args, name_);
        if (index < 1 || index > Count())
          NoSuchItem();
        return Variant(Item(static_cast<std::size_t>(index - 1)));
      }
      Variant result;
      if (Member(name, args, result))
        return result;
    }
    Unknown(name_, name);
  }

 protected:
  virtual int Count() = 0;
  virtual ObjectPtr Item(std::size_t index) = 0;
  virtual bool Member(std::string_view, const Args&, Variant&) { return false; }

  std::shared_ptr<DocumentState> state_;
  const char* name_;
};

// An item that lives at a place of a document vector (comments, notes,
// tables).
class PlacedItem : public Object {
 public:
  PlacedItem(std::shared_ptr<DocumentState> state, std::shared_ptr<ItemRef> ref)
      : state_(std::move(state)), ref_(std::move(ref)) {}

 protected:
  std::size_t Index(std::size_t size) const {
    state_->CheckOpen();
    if (ref_->deleted || ref_->index >= size)
      throw AutomationError("The object has been deleted.");
    return ref_->index;
  }
  std::shared_ptr<DocumentState> state_;
  std::shared_ptr<ItemRef> ref_;
};

class CommentObject : public PlacedItem {
 public:
  using PlacedItem::PlacedItem;
  Variant Invoke(CallKind kind, std::string_view name, const Args&) override {
    std::vector<Comment>& comments = state_->doc.comments;
    const std::size_t i = Index(comments.size());
    if (IsGet(kind)) {
      if (NameEquals(name, "Range"))
        return Variant(WholeStory(state_, {StoryRef::Kind::kComment, ref_}));
      if (NameEquals(name, "Author"))
        return Variant(comments[i].author);
      if (NameEquals(name, "Initial"))
        return Variant(comments[i].initials);
      if (NameEquals(name, "Index"))
        return Variant(static_cast<std::int32_t>(i + 1));
      if (NameEquals(name, "Delete")) {
        comments.erase(comments.begin() + static_cast<std::ptrdiff_t>(i));
        state_->Removed(ItemRef::Kind::kComment, i);
        state_->MarkChanged();
        return {};
      }
    }
    Unknown("Comment", name);
  }
};

class CommentsObject : public CollectionObject {
 public:
  explicit CommentsObject(std::shared_ptr<DocumentState> state)
      : CollectionObject(std::move(state), "Comments") {}

 protected:
  int Count() override { return static_cast<int>(state_->doc.comments.size()); }
  ObjectPtr Item(std::size_t i) override {
    return std::make_shared<CommentObject>(state_, state_->Ref(ItemRef::Kind::kComment, i));
  }
};

// The reference mark of a note goes with the note.
void RemoveNoteMark(Document& doc, std::uint32_t id) {
  if (id == 0)
    return;
  ForEachParagraph(doc.body, [&](Paragraph& p) {
    p.runs.erase(
        std::remove_if(p.runs.begin(), p.runs.end(), [&](const Run& r) { return r.note == id; }),
        p.runs.end());
  });
}

class NoteObject : public PlacedItem {
 public:
  NoteObject(std::shared_ptr<DocumentState> state, std::shared_ptr<ItemRef> ref)
      : PlacedItem(std::move(state), std::move(ref)) {}
  Variant Invoke(CallKind kind, std::string_view name, const Args&) override {
    const bool foot = ref_->kind == ItemRef::Kind::kFootnote;
    std::vector<Note>& notes = foot ? state_->doc.footnotes : state_->doc.endnotes;
    const std::size_t i = Index(notes.size());
    if (IsGet(kind)) {
      if (NameEquals(name, "Range"))
        return Variant(WholeStory(
            state_, {foot ? StoryRef::Kind::kFootnote : StoryRef::Kind::kEndnote, ref_}));
      if (NameEquals(name, "Index"))
        return Variant(static_cast<std::int32_t>(i + 1));
      if (NameEquals(name, "Delete")) {
        RemoveNoteMark(state_->doc, notes[i].id);
        notes.erase(notes.begin() + static_cast<std::ptrdiff_t>(i));
        state_->Removed(ref_->kind, i);
        state_->MarkChanged();
        return {};
      }
    }
    Unknown(foot ? "Footnote" : "Endnote", name);
  }
};

class NotesObject : public CollectionObject {
 public:
  NotesObject(std::shared_ptr<DocumentState> state, bool foot)
      : CollectionObject(std::move(state), foot ? "Footnotes" : "Endnotes"), foot_(foot) {}

 protected:
  std::vector<Note>& Notes() { return foot_ ? state_->doc.footnotes : state_->doc.endnotes; }
  int Count() override { return static_cast<int>(Notes().size()); }
  ObjectPtr Item(std::size_t i) override {
    return std::make_shared<NoteObject>(
        state_, state_->Ref(foot_ ? ItemRef::Kind::kFootnote : ItemRef::Kind::kEndnote, i));
  }
  bool foot_;
};

// The top-level block indexes of the body's tables.
std::vector<std::size_t> TableBlocks(const Document& doc) {
  std::vector<std::size_t> out;
  for (std::size_t i = 0; i < doc.body.size(); ++i) {
    if (doc.body[i].is_table())
      out.push_back(i);
  }
  return out;
}

class TableObject : public PlacedItem {
 public:
  using PlacedItem::PlacedItem;
  Variant Invoke(CallKind kind, std::string_view name, const Args&) override {
    const std::vector<std::size_t> tables = TableBlocks(state_->doc);
    const std::size_t i = Index(tables.size());
    const std::size_t block = tables[i];
    if (IsGet(kind)) {
      if (NameEquals(name, "Range")) {
        StoryText index(state_->doc.body);
        const auto [start, end] = index.BlockSpan(block);
        return Variant(NewRange(state_, {}, start, end));
      }
      if (NameEquals(name, "Delete")) {
        state_->doc.body.erase(state_->doc.body.begin() + static_cast<std::ptrdiff_t>(block));
        if (state_->doc.body.empty())
          state_->doc.body.push_back(Block::FromParagraph(Paragraph{}));
        state_->Removed(ItemRef::Kind::kTable, i);
        state_->MarkChanged();
        return {};
      }
      if (NameEquals(name, "NestingLevel"))
        return Variant(static_cast<std::int32_t>(1));
    }
    Unknown("Table", name);
  }
};

class TablesObject : public CollectionObject {
 public:
  explicit TablesObject(std::shared_ptr<DocumentState> state)
      : CollectionObject(std::move(state), "Tables") {}

 protected:
  int Count() override { return static_cast<int>(TableBlocks(state_->doc).size()); }
  ObjectPtr Item(std::size_t i) override {
    return std::make_shared<TableObject>(state_, state_->Ref(ItemRef::Kind::kTable, i));
  }
};

class ParagraphObject : public Object {
 public:
  ParagraphObject(std::shared_ptr<DocumentState> state, std::size_t start, std::size_t end)
      : state_(std::move(state)), start_(start), end_(end) {}
  Variant Invoke(CallKind kind, std::string_view name, const Args&) override {
    state_->CheckOpen();
    if (IsGet(kind) && NameEquals(name, "Range"))
      return Variant(NewRange(state_, {}, start_, end_));
    Unknown("Paragraph", name);
  }

 private:
  std::shared_ptr<DocumentState> state_;
  std::size_t start_;
  std::size_t end_;
};

class ParagraphsObject : public CollectionObject {
 public:
  explicit ParagraphsObject(std::shared_ptr<DocumentState> state)
      : CollectionObject(std::move(state), "Paragraphs") {}

 protected:
  int Count() override { return static_cast<int>(StoryText(state_->doc.body).Paragraphs().size()); }
  ObjectPtr Item(std::size_t i) override {
    const auto paragraphs = StoryText(state_->doc.body).Paragraphs();
    return std::make_shared<ParagraphObject>(state_, paragraphs[i].first, paragraphs[i].second);
  }
};

// A field, by its number: stable while other fields go.
class FieldPartObject : public Object {
 public:
  FieldPartObject(std::shared_ptr<DocumentState> state, std::uint32_t id, bool code)
      : state_(std::move(state)), id_(id), code_(code) {}
  Variant Invoke(CallKind kind, std::string_view name, const Args& args) override {
    state_->CheckOpen();
    const std::vector<std::uint32_t> ids = FieldIds(state_->doc);
    if (std::find(ids.begin(), ids.end(), id_) == ids.end())
      throw AutomationError("The object has been deleted.");
    if (NameEquals(name, "Text") || name.empty()) {
      if (kind == CallKind::kPut) {
        SetFieldPart(state_->doc, id_, code_, PutValue(args).ToText());
        state_->MarkChanged();
        return {};
      }
      return Variant(FieldPart(state_->doc, id_, code_));
    }
    Unknown("Range", name);
  }

 private:
  std::shared_ptr<DocumentState> state_;
  std::uint32_t id_;
  bool code_;
};

// The characters of a field's result as a range of the main story.
std::pair<std::size_t, std::size_t> FieldSpan(Document& doc, std::uint32_t id) {
  StoryText index(doc.body);
  std::size_t start = SIZE_MAX;
  std::size_t end = 0;
  for (std::size_t i = 0; i < index.size(); ++i) {
    const StoryChar& c = index.chars()[i];
    if (c.kind != StoryChar::Kind::kText)
      continue;
    if ((*c.list)[c.block].paragraph.runs[c.run].field == id) {
      start = std::min(start, i);
      end = i + 1;
    }
  }
  return start == SIZE_MAX ? std::pair<std::size_t, std::size_t>{0, 0}
                           : std::pair<std::size_t, std::size_t>{start, end};
}

class FieldObject : public Object {
 public:
  FieldObject(std::shared_ptr<DocumentState> state, std::uint32_t id, bool hyperlink)
      : state_(std::move(state)), id_(id), hyperlink_(hyperlink) {}
  Variant Invoke(CallKind kind, std::string_view name, const Args&) override {
    state_->CheckOpen();
    const std::vector<std::uint32_t> ids = FieldIds(state_->doc);
    if (std::find(ids.begin(), ids.end(), id_) == ids.end())
      throw AutomationError("The object has been deleted.");
    if (IsGet(kind)) {
      if (!hyperlink_ && (NameEquals(name, "Code") || NameEquals(name, "Result")))
        return Make<FieldPartObject>(state_, id_, NameEquals(name, "Code"));
      if (!hyperlink_ && NameEquals(name, "Unlink")) {
        RemoveField(state_->doc, id_, true);
        state_->MarkChanged();
        return {};
      }
      if (NameEquals(name, "Delete")) {
        // A hyperlink's Delete removes the link and keeps its text.
        RemoveField(state_->doc, id_, hyperlink_);
        state_->MarkChanged();
        return {};
      }
      if (hyperlink_ && NameEquals(name, "Range")) {
        const auto [start, end] = FieldSpan(state_->doc, id_);
        return Variant(NewRange(state_, {}, start, end));
      }
      if (hyperlink_ && NameEquals(name, "TextToDisplay"))
        return Variant(FieldPart(state_->doc, id_, false));
      if (hyperlink_ && (NameEquals(name, "Address") || NameEquals(name, "SubAddress")))
        return Variant(Address(NameEquals(name, "SubAddress")));
    }
    Unknown(hyperlink_ ? "Hyperlink" : "Field", name);
  }

 private:
  // HYPERLINK "address" \l "sub-address"
  std::string Address(bool sub) {
    const std::string code = FieldPart(state_->doc, id_, true);
    std::string address;
    std::string sub_address;
    bool next_is_sub = false;
    for (std::size_t i = 0; i < code.size(); ++i) {
      if (code.compare(i, 2, "\\l") == 0) {
        next_is_sub = true;
        ++i;
        continue;
      }
      if (code[i] != '"')
        continue;
      const std::size_t close = code.find('"', i + 1);
      const std::string value =
          code.substr(i + 1, (close == std::string::npos ? code.size() : close) - i - 1);
      (next_is_sub ? sub_address : address) = value;
      next_is_sub = false;
      i = close == std::string::npos ? code.size() : close;
    }
    return sub ? sub_address : address;
  }

  std::shared_ptr<DocumentState> state_;
  std::uint32_t id_;
  bool hyperlink_;
};

class FieldsObject : public CollectionObject {
 public:
  FieldsObject(std::shared_ptr<DocumentState> state, bool hyperlinks)
      : CollectionObject(std::move(state), hyperlinks ? "Hyperlinks" : "Fields"),
        hyperlinks_(hyperlinks) {}

 protected:
  std::vector<std::uint32_t> Ids() {
    return hyperlinks_ ? HyperlinkIds(state_->doc) : FieldIds(state_->doc);
  }
  int Count() override { return static_cast<int>(Ids().size()); }
  ObjectPtr Item(std::size_t i) override {
    return std::make_shared<FieldObject>(state_, Ids()[i], hyperlinks_);
  }
  bool Member(std::string_view name, const Args&, Variant& result) override {
    if (!hyperlinks_ && NameEquals(name, "Unlink")) {
      for (std::uint32_t id : Ids())
        RemoveField(state_->doc, id, true);
      state_->MarkChanged();
      result = Variant();
      return true;
    }
    return false;
  }
  bool hyperlinks_;
};

class RevisionsObject : public Object {
 public:
  explicit RevisionsObject(std::shared_ptr<DocumentState> state) : state_(std::move(state)) {}
  Variant Invoke(CallKind kind, std::string_view name, const Args&) override {
    state_->CheckOpen();
    if (IsGet(kind)) {
      if (NameEquals(name, "Count"))
        return Variant(static_cast<std::int32_t>(CountRevisions(state_->doc)));
      if (NameEquals(name, "AcceptAll") || NameEquals(name, "RejectAll")) {
        if (ResolveRevisions(state_->doc, NameEquals(name, "AcceptAll")))
          state_->MarkChanged();
        return {};
      }
    }
    Unknown("Revisions", name);
  }

 private:
  std::shared_ptr<DocumentState> state_;
};

constexpr int kHeaderFooterPrimary = 1;

class HeaderFooterObject : public Object {
 public:
  HeaderFooterObject(std::shared_ptr<DocumentState> state, bool header, int which)
      : state_(std::move(state)), header_(header), which_(which) {}
  Variant Invoke(CallKind kind, std::string_view name, const Args&) override {
    state_->CheckOpen();
    if (IsGet(kind)) {
      const bool primary = which_ == kHeaderFooterPrimary;
      if (NameEquals(name, "Range")) {
        StoryRef ref;
        ref.kind = !primary ? StoryRef::Kind::kAbsent
                            : (header_ ? StoryRef::Kind::kHeader : StoryRef::Kind::kFooter);
        return Variant(WholeStory(state_, ref));
      }
      if (NameEquals(name, "Exists"))
        return Variant(primary);
      if (NameEquals(name, "Index"))
        return Variant(static_cast<std::int32_t>(which_));
    }
    Unknown(header_ ? "Header" : "Footer", name);
  }

 private:
  std::shared_ptr<DocumentState> state_;
  bool header_;
  int which_;
};

class SectionObject : public Object {
 public:
  explicit SectionObject(std::shared_ptr<DocumentState> state) : state_(std::move(state)) {}
  Variant Invoke(CallKind kind, std::string_view name, const Args& args) override {
    state_->CheckOpen();
    if (IsGet(kind) && (NameEquals(name, "Headers") || NameEquals(name, "Footers"))) {
      const Variant* which = args.At(0);
      if (which == nullptr)
        throw AutomationError(std::string(name) +
                              " needs the kind of header or footer (wdHeaderFooterPrimary).");
      const int w = which->ToInt();
      if (w < 1 || w > 3)
        NoSuchItem();
      return Make<HeaderFooterObject>(state_, NameEquals(name, "Headers"), w);
    }
    if (IsGet(kind) && NameEquals(name, "Index"))
      return Variant(static_cast<std::int32_t>(1));
    Unknown("Section", name);
  }

 private:
  std::shared_ptr<DocumentState> state_;
};

// The model keeps one section's header and footer: the document is one
// section.
class SectionsObject : public CollectionObject {
 public:
  explicit SectionsObject(std::shared_ptr<DocumentState> state)
      : CollectionObject(std::move(state), "Sections") {}

 protected:
  int Count() override { return 1; }
  ObjectPtr Item(std::size_t) override { return std::make_shared<SectionObject>(state_); }
};

// A collection, or its item when called with an index.
Variant CollectionOrItem(ObjectPtr collection, const Args& args) {
  if (!args.positional.empty())
    return collection->Invoke(CallKind::kGet, "Item", args);
  return Variant(std::move(collection));
}

}  // namespace

bool InvokeDocumentContent(const std::shared_ptr<DocumentState>& state, CallKind kind,
                           std::string_view name, const Args& args, Variant& result) {
  DocumentState& s = *state;
  if (NameEquals(name, "TrackRevisions") || NameEquals(name, "Saved")) {
    bool& flag = NameEquals(name, "Saved") ? s.saved : s.track_revisions;
    if (kind == CallKind::kPut) {
      flag = PutValue(args).ToBool();
      result = Variant();
    } else {
      result = Variant(flag);
    }
    return true;
  }
  if (kind == CallKind::kPut)
    return false;
  if (NameEquals(name, "Content")) {
    result = Variant(WholeStory(state, {}));
    return true;
  }
  if (NameEquals(name, "Range")) {
    const std::size_t size = StoryText(s.doc.body).size();
    const Variant* start = Arg(args, "Start", 0);
    const Variant* end = Arg(args, "End", 1);
    const int b = start != nullptr ? start->ToInt() : 0;
    const int e = end != nullptr ? end->ToInt() : static_cast<int>(size);
    if (b < 0 || e < b)
      throw AutomationError("The range's start and end are not valid.");
    result = Variant(NewRange(state, {}, static_cast<std::size_t>(b),
                              std::min(static_cast<std::size_t>(e), size)));
    return true;
  }
  ObjectPtr collection;
  if (NameEquals(name, "Comments")) {
    collection = std::make_shared<CommentsObject>(state);
  } else if (NameEquals(name, "Footnotes") || NameEquals(name, "Endnotes")) {
    collection = std::make_shared<NotesObject>(state, NameEquals(name, "Footnotes"));
  } else if (NameEquals(name, "Tables")) {
    collection = std::make_shared<TablesObject>(state);
  } else if (NameEquals(name, "Paragraphs")) {
    collection = std::make_shared<ParagraphsObject>(state);
  } else if (NameEquals(name, "Fields") || NameEquals(name, "Hyperlinks")) {
    collection = std::make_shared<FieldsObject>(state, NameEquals(name, "Hyperlinks"));
  } else if (NameEquals(name, "Sections")) {
    collection = std::make_shared<SectionsObject>(state);
  } else if (NameEquals(name, "Revisions")) {
    result = Make<RevisionsObject>(state);
    return true;
  } else {
    return false;
  }
  result = CollectionOrItem(std::move(collection), args);
  return true;
}

}  // namespace quillon::docengine
