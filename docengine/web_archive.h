#pragma once
// Web archives (MIME "multipart/related" files, .mht): the page inside one.

#include <string>

namespace quillon::docengine {

// The HTML part of a MIME web archive (or the body of a single-part one),
// decoded from quoted-printable or base64. A part in a charset other than
// UTF-8 comes back as UTF-8 with a byte-order mark, so that the HTML reader
// keeps the archive's charset. Empty when the archive holds no HTML part.
std::string HtmlFromWebArchive(const std::string& mime);

}  // namespace quillon::docengine
