// Footnotes, endnotes and comments.

#include "charset/code_page.h"
#include "docengine/doc_parser.h"

namespace quillon::docengine::msdoc {

std::vector<std::int64_t> DocParser::ReadCps(FcLcb where) const {
  std::vector<std::int64_t> cps;
  std::string_view plc = Slice(table_, where.fc, where.lcb);
  for (std::size_t i = 0; i + 4 <= plc.size(); i += 4)
    cps.push_back(U32(plc, i));
  return cps;
}

std::vector<NoteRef> DocParser::ReadNoteRefs(FcLcb where) const {
  std::vector<NoteRef> refs;
  std::string_view plc = Slice(table_, where.fc, where.lcb);
  if (plc.size() < 4)
    return refs;
  std::size_t n = (plc.size() - 4) / 6;
  for (std::size_t i = 0; i < n; ++i) {
    NoteRef r;
    r.cp = U32(plc, 4 * i);
    r.automatic = U16(plc, 4 * (n + 1) + 2 * i) != 0;
    refs.push_back(r);
  }
  return refs;
}

void DocParser::ReadNotes(FcLcb ref, FcLcb txt, std::int64_t story_begin, std::int64_t story_size,
                          int nfc, std::vector<Note>& out,
                          std::map<std::int64_t, std::string>& marks) {
  std::vector<NoteRef> refs = ReadNoteRefs(ref);
  std::vector<std::int64_t> cps = ReadCps(txt);
  int automatic = 0;
  for (std::size_t i = 0; i < refs.size() && i + 1 < cps.size() && !too_large_; ++i) {
    Note note;
    if (refs[i].automatic) {
      note.mark = FormatNumber(++automatic, nfc);
    } else {
      // A custom mark is ordinary text at the reference.
      StoryText t;
      if (LoadText(refs[i].cp, refs[i].cp + 1, t) && !t.chars.empty() && t.chars[0] >= 0x20)
        AppendUtf8(note.mark, t.chars[0]);
    }
    if (refs[i].automatic)
      marks[refs[i].cp] = note.mark;
    std::int64_t a = std::clamp<std::int64_t>(cps[i], 0, story_size);
    std::int64_t b = std::clamp<std::int64_t>(cps[i + 1], a, story_size);
    BuildStory(story_begin + a, story_begin + b, kNoteStory, note.blocks);
    out.push_back(std::move(note));
  }
}

void DocParser::ReadComments(std::int64_t story_begin, std::int64_t story_size) {
  FcLcb ref = fib_.at(kPlcfandRef);
  std::string_view plc = Slice(table_, ref.fc, ref.lcb);
  if (plc.size() < 4)
    return;
  std::size_t n = (plc.size() - 4) / 34;
  std::vector<std::string> authors;
  FcLcb owners = fib_.at(kGrpXstAtnOwners);
  std::string_view names = Slice(table_, owners.fc, owners.lcb);
  for (std::size_t pos = 0; pos + 2 <= names.size() && authors.size() < 65536;) {
    std::size_t cch = U16(names, pos);
    if (!Fits(names, pos + 2, cch * 2))
      break;
    std::string name;
    for (std::size_t k = 0; k < cch; ++k)
      AppendUtf8(name, U16(names, pos + 2 + 2 * k));
    authors.push_back(std::move(name));
    pos += 2 + cch * 2;
  }
  std::vector<std::int64_t> cps = ReadCps(fib_.at(kPlcfandTxt));
  for (std::size_t i = 0; i < n && i + 1 < cps.size() && !too_large_; ++i) {
    std::size_t atrd = 4 * (n + 1) + 30 * i;
    Comment comment;
    std::size_t initials = std::min<std::size_t>(U16(plc, atrd), 9);
    for (std::size_t k = 0; k < initials; ++k)
      AppendUtf8(comment.initials, U16(plc, atrd + 2 + 2 * k));
    std::size_t author = U16(plc, atrd + 20);
    if (author < authors.size())
      comment.author = authors[author];
    std::int64_t a = std::clamp<std::int64_t>(cps[i], 0, story_size);
    std::int64_t b = std::clamp<std::int64_t>(cps[i + 1], a, story_size);
    BuildStory(story_begin + a, story_begin + b, kOtherStory, comment.blocks);
    doc_.comments.push_back(std::move(comment));
  }
}

}  // namespace quillon::docengine::msdoc
