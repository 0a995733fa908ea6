#pragma once
// The content members of a document in the object model, editable where
// they touch the document model:
//
// "Content", "Range" (Start, End)  a range of the main story: "Text" (get /
//     put), "Start", "End", "Delete", "InsertBefore", "InsertAfter", "Find"
// Range "Find"  "Text", "Replacement" ("Text", "ClearFormatting"),
//     "Forward", "Wrap", "MatchCase", "MatchWholeWord", "MatchWildcards"
//     (false only), "Format", "ClearFormatting", "Execute" (FindText,
//     MatchCase, MatchWholeWord, MatchWildcards, MatchSoundsLike,
//     MatchAllWordForms, Forward, Wrap, Format, ReplaceWith, Replace; by
//     name or position). "^p", "^t", "^l" and "^^" stand for a paragraph
//     mark, a tab, a line break and "^"; "^&" in a replacement for the
//     found text. A find without replacement moves the range onto what it
//     found; the next Execute searches on from there.
// "Comments"    "Count", "Item" -> "Range", "Author", "Initial", "Delete"
// "Revisions"   "Count", "AcceptAll", "RejectAll"
// "Paragraphs"  "Count", "Item" -> "Range"
// "Fields"      "Count", "Item" -> "Code" / "Result" ("Text" get / put),
//               "Unlink", "Delete"; "Unlink" of the collection unlinks all
// "Hyperlinks"  "Count", "Item" -> "Range", "Address", "TextToDisplay",
//               "Delete" (the link goes, its text stays)
// "Footnotes", "Endnotes", "Tables"  "Count", "Item" -> "Range", "Delete"
// "Sections"    "Count", "Item" -> "Headers" / "Footers" (index) ->
//               "Range", "Exists"
// "TrackRevisions", "Saved" (get / put)
//
// A collection called with an index ("Comments(1)") gives the item; an
// object's empty member name is its default ("Text" of a range). Every
// edit marks the document changed. Items handed out keep naming the same
// item after others are deleted; a deleted item refuses further calls.

#include <memory>
#include <string_view>

#include "automation/variant.h"

namespace quillon::docengine {

struct DocumentState;

// Answers the members above; false when `name` is none of them.
bool InvokeDocumentContent(const std::shared_ptr<DocumentState>& state, automation::CallKind kind,
                           std::string_view name, const automation::Args& args,
                           automation::Variant& result);

}  // namespace quillon::docengine
