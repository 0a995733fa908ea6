#pragma once
// The reader of Word 97-2003 documents, inside the docengine. Its parts:
// doc_reader.cpp opens the streams, decrypts them and reads the document in
// order; doc_fib.cpp reads the file information block; doc_pieces.cpp the
// piece table and the characters of a range of positions;
// doc_formatting.cpp the style sheet, the formatted disk pages and the
// property modifiers; doc_lists.cpp list labels and numbers; doc_story.cpp
// turns a range of text into paragraphs and tables, fields included;
// doc_notes.cpp reads footnotes, endnotes and comments.

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "docengine/document.h"
#include "docengine/ole_storage.h"
#include "docengine/reader.h"

namespace quillon::docengine::msdoc {

inline constexpr const char* kNotWordMessage = "The file is not a Word document or is damaged.";
inline constexpr const char* kDamagedMessage = "The Word document is damaged.";
inline constexpr const char* kTooLargeMessage = "The document is too large to open.";

// ---------------------------------------------------------------------------
// Little-endian access that never reads outside the buffer: an offset past
// the end reads as zero, and callers check sizes where a zero would mislead.

inline std::uint8_t U8(std::string_view s, std::size_t at) {
  return at < s.size() ? static_cast<std::uint8_t>(s[at]) : 0;
}
inline std::uint16_t U16(std::string_view s, std::size_t at) {
  return static_cast<std::uint16_t>(U8(s, at) | (U8(s, at + 1) << 8));
}
inline std::uint32_t U32(std::string_view s, std::size_t at) {
  return U16(s, at) | (static_cast<std::uint32_t>(U16(s, at + 2)) << 16);
}
inline bool Fits(std::string_view s, std::uint64_t at, std::uint64_t size) {
  return at <= s.size() && size <= s.size() - at;
}
inline std::string_view Slice(std::string_view s, std::uint64_t at, std::uint64_t size) {
  if (!Fits(s, at, size))
    return {};
  return s.substr(static_cast<std::size_t>(at), static_cast<std::size_t>(size));
}

// ---------------------------------------------------------------------------
// File information block.

struct FcLcb {
  std::uint32_t fc = 0;
  std::uint32_t lcb = 0;
};

// Positions of the (fc, lcb) pairs we use, as numbered in the Word 97 block;
// Word 6 and 95 keep the same order for the first ones.
enum FcIndex {
  kStshf = 1,
  kPlcffndRef = 2,
  kPlcffndTxt = 3,
  kPlcfandRef = 4,
  kPlcfandTxt = 5,
  kPlcfSed = 6,
  kPlcfBteChpx = 12,
  kPlcfBtePapx = 13,
  kDop = 31,
  kClx = 33,
  kGrpXstAtnOwners = 36,
  kPlcfendRef = 46,
  kPlcfendTxt = 47,
  kPlfLst = 73,
  kPlfLfo = 74,
};

struct Fib {
  std::uint16_t nfib = 0;
  std::uint16_t lid = 0;
  std::uint16_t lid_fe = 0;
  bool complex = false;
  bool encrypted = false;
  bool obfuscated = false;
  bool table1 = false;
  bool far_east = false;
  std::uint32_t lkey = 0;
  std::uint32_t fc_min = 0, fc_mac = 0;  // Word 6 / 95: contiguous text
  std::int64_t ccp_text = 0, ccp_ftn = 0, ccp_hdd = 0, ccp_mcr = 0, ccp_atn = 0, ccp_edn = 0;
  std::vector<FcLcb> pairs;

  bool word97() const { return nfib > 105; }  // Word 6 and 95 stop at 105
  FcLcb at(int index) const {
    return index >= 0 && static_cast<std::size_t>(index) < pairs.size() ? pairs[index] : FcLcb{};
  }
};

// With `base_only`, stops after the first 32 bytes: the rest of an encrypted
// file's block is unreadable until decrypted.
bool ParseFib(std::string_view w, Fib& fib, std::string& error, bool base_only = false);

// ---------------------------------------------------------------------------
// Properties: the part of character and paragraph formatting the text needs.

struct CharProps {
  bool hidden = false;
  bool deleted = false;
  bool inserted = false;
  bool special = false;
  std::uint16_t lang = 0;
  std::uint16_t lang_fe = 0;
  char32_t symbol = 0;
};

struct ParaProps {
  bool in_table = false;
  bool ttp = false;
  bool inner_cell = false;
  bool inner_ttp = false;
  int itap = -1;  // -1: not given
  int ilfo = 0;
  int ilvl = 0;
  int istd = 0;
  int depth() const { return itap >= 0 ? itap : (in_table ? 1 : 0); }
};

// Size of a property modifier's operand (after its 2-byte opcode), or
// nothing when the operand does not fit.
std::optional<std::size_t> SprmOperandSize(std::uint16_t sprm, std::string_view g, std::size_t at);

// Calls f(sprm, operand) for each modifier of a property list.
template <typename F>
void ForEachSprm(std::string_view g, F&& f) {
  std::size_t pos = 0;
  while (pos + 2 <= g.size()) {
    std::uint16_t sprm = U16(g, pos);
    auto size = SprmOperandSize(sprm, g, pos + 2);
    if (!size || !Fits(g, pos + 2, *size))
      return;
    f(sprm, g.substr(pos + 2, *size));
    pos += 2 + *size;
  }
}

// ---------------------------------------------------------------------------
// Style sheet: for every style the chain of property lists it inherits.

struct Style {
  int stk = 0;  // 1 paragraph, 2 character
  int base = 0x0FFF;
  std::string_view papx;
  std::string_view chpx;
  bool present = false;
};

struct StyleSheet {
  std::vector<Style> styles;

  // The chain from the root style down to `istd`.
  std::vector<const Style*> Chain(int istd) const;
};

StyleSheet ParseStyles(std::string_view t, FcLcb where);

// ---------------------------------------------------------------------------
// Formatted disk pages: runs of byte positions (in the main stream) with
// their property lists.

struct FkpRun {
  std::uint32_t fc_begin = 0, fc_end = 0;
  std::string_view grpprl;
  int istd = 0;
};

class FkpRuns {
 public:
  void Reserve(std::size_t n) { runs_.reserve(n); }
  void Add(FkpRun run) { runs_.push_back(run); }
  void Finish() {
    // Pages usually come in order already.
    const auto by_begin = [](const FkpRun& a, const FkpRun& b) { return a.fc_begin < b.fc_begin; };
    if (std::is_sorted(runs_.begin(), runs_.end(), by_begin))
      return;
    std::stable_sort(runs_.begin(), runs_.end(),
                     [](const FkpRun& a, const FkpRun& b) { return a.fc_begin < b.fc_begin; });
  }
  // The run holding byte position `fc`, or -1.
  int Find(std::uint32_t fc) const {
    auto it = std::upper_bound(runs_.begin(), runs_.end(), fc,
                               [](std::uint32_t v, const FkpRun& r) { return v < r.fc_begin; });
    if (it == runs_.begin())
      return -1;
    --it;
    if (fc >= it->fc_end)
      return -1;
    return static_cast<int>(it - runs_.begin());
  }
  // Find(fc) for positions asked for mostly in order: run `hint` (the one
  // found last) and the one after it are tried before the search.
  int FindNear(int hint, std::uint32_t fc) const {
    if (hint >= 0) {
      if (Holds(hint, fc))
        return hint;
      if (static_cast<std::size_t>(hint) + 1 < runs_.size() && Holds(hint + 1, fc))
        return hint + 1;
    }
    return Find(fc);
  }
  // Whether Find(fc) gives run `i`: `fc` lies in it and before the next.
  bool Holds(int i, std::uint32_t fc) const {
    const FkpRun& r = runs_[i];
    return fc >= r.fc_begin && fc < r.fc_end &&
           (static_cast<std::size_t>(i) + 1 == runs_.size() || fc < runs_[i + 1].fc_begin);
  }
  // The end of the positions for which Find gives run `i`, from within it.
  std::uint32_t LimitOf(int i) const {
    const FkpRun& r = runs_[i];
    return static_cast<std::size_t>(i) + 1 == runs_.size()
               ? r.fc_end
               : std::min(r.fc_end, runs_[i + 1].fc_begin);
  }
  const FkpRun& operator[](int i) const { return runs_[i]; }

 private:
  std::vector<FkpRun> runs_;
};

void ReadChpxPages(std::string_view w, std::string_view plc, std::size_t bte_size, FkpRuns& out);
void ReadPapxPages(std::string_view w, std::string_view data_stream, std::string_view plc,
                   std::size_t bte_size, bool word97, FkpRuns& out);

// Applies a character property list; `depth` bounds the styles it names.
void ApplyCharSprms(std::string_view g, const StyleSheet& styles, CharProps& p, int depth = 0);

// ---------------------------------------------------------------------------
// Piece table.

struct Piece {
  std::int64_t cp_begin = 0, cp_end = 0;
  std::uint32_t fc = 0;  // byte position of the first character
  bool compressed = false;
  std::uint16_t prm = 0;
};

struct PieceTable {
  std::vector<Piece> pieces;
  std::vector<std::string_view> prcs;  // property lists the pieces may name
};

bool ParsePieceTable(std::string_view clx, bool word97, PieceTable& table);

// ---------------------------------------------------------------------------
// Lists.

// Numbers list paragraphs in document order.
class ListNumberer {
 public:
  virtual ~ListNumberer() = default;
  // The label of a paragraph in list override `ilfo` (1-based) at `ilvl`.
  virtual std::string Label(int ilfo, int ilvl) = 0;
};

// The numberer of the list and list override tables in table stream `t`.
std::unique_ptr<ListNumberer> MakeListNumberer(std::string_view t, FcLcb lst, FcLcb lfo);

// `n` in number format `nfc` ("1", "iv", "C", "3rd" ...).
std::string FormatNumber(int n, int nfc);

// Symbol-font characters (private use area) as the characters they look like.
char32_t MapSymbol(char32_t c);

// ---------------------------------------------------------------------------
// Story text: the characters of a range of positions, each with the byte
// position its formatting is looked up by. The characters taken from one
// piece form a stretch: the first one's byte position, and how far each
// next one lies from it (2 for 16-bit text, 1 for 8-bit text, 0 where a
// multi-byte code page leaves positions approximate).

// An allocator whose new elements are left as they are (the text loader
// writes every one of them right after making room).
template <typename T>
struct UninitializedAllocator : std::allocator<T> {
  template <typename U>
  struct rebind {
    using other = UninitializedAllocator<U>;
  };
  UninitializedAllocator() = default;
  template <typename U>
  UninitializedAllocator(const UninitializedAllocator<U>&) noexcept {}
  template <typename U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};

class StoryText {
 public:
  std::vector<char32_t, UninitializedAllocator<char32_t>> chars;

  void StartStretch(std::uint32_t fc, std::uint32_t step, std::uint32_t piece) {
    if (!stretches_.empty() && stretches_.back().begin == chars.size())
      stretches_.pop_back();  // the last one holds no characters
    stretches_.push_back({chars.size(), fc, step, piece});
  }

  // The byte position and the piece of character `k` (below chars.size()).
  std::uint32_t FcOf(std::size_t k) const {
    const Stretch& s = At(k);
    return s.fc + s.step * static_cast<std::uint32_t>(k - s.begin);
  }
  std::uint32_t PieceOf(std::size_t k) const { return At(k).piece; }

  // Where character `k` lies: its byte position, the step to the next
  // one, its piece, and the end of its stretch (a character index).
  struct Location {
    std::uint32_t fc;
    std::uint32_t step;
    std::uint32_t piece;
    std::size_t end;
  };
  Location Locate(std::size_t k) const {
    const Stretch& s = At(k);
    const std::size_t end =
        cursor_ + 1 < stretches_.size() ? stretches_[cursor_ + 1].begin : chars.size();
    return {s.fc + s.step * static_cast<std::uint32_t>(k - s.begin), s.step, s.piece, end};
  }

 private:
  struct Stretch {
    std::size_t begin;
    std::uint32_t fc;
    std::uint32_t step;
    std::uint32_t piece;
  };
  // Characters are mostly asked for in order: the stretch found last is
  // where the search starts.
  const Stretch& At(std::size_t k) const {
    while (cursor_ > 0 && k < stretches_[cursor_].begin)
      --cursor_;
    while (cursor_ + 1 < stretches_.size() && stretches_[cursor_ + 1].begin <= k)
      ++cursor_;
    return stretches_[cursor_];
  }

  std::vector<Stretch> stretches_;
  mutable std::size_t cursor_ = 0;
};

// ---------------------------------------------------------------------------
// The reader proper.

struct NoteRef {
  std::int64_t cp = 0;
  bool automatic = true;
};

// Story kinds: what a footnote reference character turns into.
enum StoryKind { kMainStory = 0, kNoteStory = 1, kOtherStory = 2 };

class DocParser {
 public:
  DocParser(const OpenOptions& options, Document& doc) : options_(options), doc_(doc) {}

  ReadResult Parse(std::string_view data);

 private:
  // doc_reader.cpp
  ReadResult ReadWord97Or6();
  void ReadSummary();
  void ReadPageSetup();
  void ReadProtection();

  // doc_fib.cpp
  int Word6CodePage() const;

  // doc_pieces.cpp
  bool LoadText(std::int64_t cp_begin, std::int64_t cp_end, StoryText& out);

  // doc_formatting.cpp
  CharProps ResolveChar(int para_istd, int chpx_run, std::uint32_t piece);
  ParaProps ResolvePara(std::uint32_t fc, std::uint32_t piece);
  CharProps ComputeChar(int para_istd, std::string_view grpprl, std::uint16_t prm) const;
  ParaProps ComputePara(int istd, std::string_view grpprl, std::uint16_t prm) const;

  // doc_story.cpp
  void BuildStory(std::int64_t cp_begin, std::int64_t cp_end, int story_kind,
                  std::vector<Block>& out);

  // doc_notes.cpp
  std::vector<NoteRef> ReadNoteRefs(FcLcb where) const;
  std::vector<std::int64_t> ReadCps(FcLcb where) const;
  void ReadNotes(FcLcb ref, FcLcb txt, std::int64_t story_begin, std::int64_t story_size, int nfc,
                 std::vector<Note>& out, std::map<std::int64_t, std::string>& marks);
  void ReadComments(std::int64_t story_begin, std::int64_t story_size);

  const OpenOptions& options_;
  Document& doc_;
  std::unique_ptr<OleStorage> storage_;
  std::string word_, table_, data_;
  Fib fib_;
  PieceTable pieces_;
  StyleSheet styles_;
  FkpRuns chpx_, papx_;
  int last_papx_run_ = -1;  // the paragraph run ResolvePara found last
  std::unique_ptr<ListNumberer> numberer_;
  // Properties as resolved, by what they depend on: the style, the run's
  // property list (by its bytes: many runs share the same list) and the
  // piece's modifier.
  struct PropsKey {
    std::string_view grpprl;
    int istd = 0;
    std::uint16_t prm = 0;
    bool operator==(const PropsKey& o) const {
      return istd == o.istd && prm == o.prm && grpprl == o.grpprl;
    }
  };
  struct PropsKeyHash {
    std::size_t operator()(const PropsKey& k) const {
      return std::hash<std::string_view>()(k.grpprl) ^
             (static_cast<std::size_t>(k.istd) << 20 | k.prm) * 0x9E3779B97F4A7C15ull;
    }
  };
  std::unordered_map<PropsKey, CharProps, PropsKeyHash> char_props_;
  std::unordered_map<PropsKey, ParaProps, PropsKeyHash> para_props_;
  std::map<std::int64_t, std::string> note_marks_;  // main-text position -> mark
  std::size_t text_chars_ = 0;
  std::uint32_t field_counter_ = 0;  // fields numbered across every story
  // Characters the stories may still load: each position once, plus a
  // little for note marks. A damaged table of notes that names the same
  // text again and again runs out of it.
  std::uint64_t load_budget_ = 0;
  bool too_large_ = false;
  bool damaged_ = false;
  int code_page_ = 1252;
};

}  // namespace quillon::docengine::msdoc
