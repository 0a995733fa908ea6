#pragma once
// The pass over a page's markup that comes before the HTML parser.
//
// The tree builder of an HTML5 parser costs several times what the text of
// a page needs: it tokenizes every character one by one, keeps every
// attribute, and checks scopes along all open elements. This pass hands it
// only what decides the tree and the text, and keeps the rest aside:
// - text runs (the text between two tags) go into `runs` and the parser
//   sees a short placeholder for each (see kRunMark); the reader puts the
//   run back when it meets the placeholder in a text node;
// - start tags keep only the attributes the reader looks at, and their
//   style only the declarations it acts on;
// - comments go, and so does the content of elements that never show
//   (script, style, noscript ...). With scripts on, as in every browser,
//   noscript content is raw text that shows nothing, while parsed as
//   markup in the head it would spill into the body;
// - blanks between tags shrink to one outside preformatted text;
// - elements nested deeper than `max_open` lose their tags and keep their
//   text, so that a page of a hundred thousand nested elements cannot make
//   the tree builder take minutes.
// Nothing the reader shows changes, except that past the nesting limit the
// markup no longer shapes the text.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::docengine {

// A placeholder is U+FFF9, the run's number in ASCII digits, and U+FFF9.
// Wherever else the page holds U+FFF9 (as a character or a character
// reference) this pass puts it into a run of its own, so that in a text
// node the character only ever opens or closes a placeholder.
inline constexpr std::string_view kRunMark = "\xEF\xBF\xB9";

struct PreparedMarkup {
  std::string markup;                  // what the parser reads
  std::vector<std::string_view> runs;  // text runs, pointing into the input
};

// `text` is UTF-8 without NUL and C0 control characters; the views in the
// result point into it, so it must outlive the result.
PreparedMarkup PrepareMarkup(std::string_view text, std::size_t max_open);

// Appends `text` to `out` with every placeholder replaced by its run. A
// placeholder whose number is out of range stands for nothing.
void AppendWithRuns(std::string_view text, const PreparedMarkup& prepared, std::string& out);

}  // namespace quillon::docengine
