#pragma once
// The character references the package and page writers share.

namespace quillon::docengine {

// The entity `c` needs in XML and HTML text and attribute values, or
// nullptr when it stands as itself.
inline const char* MarkupEntity(char c) {
  switch (c) {
    case '&':
      return "&amp;";
    case '<':
      return "&lt;";
    case '>':
      return "&gt;";
    case '"':
      return "&quot;";
    default:
      return nullptr;
  }
}

}  // namespace quillon::docengine
