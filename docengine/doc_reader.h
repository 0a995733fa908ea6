#pragma once
// The reader of Word 97-2003 documents (.doc), and the text a "Save" of
// such a document answers with: the engine does not write the binary
// format back.
//
// Also reads the text of Word 6 and Word 95 files, decrypts files protected
// with the RC4 schemes when given the right password, and refuses other
// protected compound files (an encrypted OOXML package included) with
// kPasswordIncorrectMessage.

#include <memory>

#include "docengine/reader.h"

namespace quillon::docengine {

std::unique_ptr<Reader> MakeDocReader();

// The error text of saving a document back as .doc.
inline constexpr const char* kDocSaveNotSupportedMessage =
    "Saving in the Word 97-2003 format is not supported; save the document in another format.";

}  // namespace quillon::docengine
