#pragma once
// What the desktop calls a file's type, and case folding that knows every
// script: the two places where QtCore already does the job.
//
// Thread: any thread.

#include <string>

namespace quillon {

// The description of the path's MIME type, as a file manager shows it in its
// type column ("Word 2007 document", "folder"), in the interface language of
// the desktop. Decided by the name first and the content where the name says
// nothing. Empty when no description is known.
std::string MimeTypeComment(const std::string& path);

// The lower-case form of one Unicode code point (the code point itself when
// it has none).
char32_t FoldCase(char32_t code_point);

}  // namespace quillon
