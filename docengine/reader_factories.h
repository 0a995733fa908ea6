#pragma once
// Factories of the readers written in this folder, for the reader list in
// readers.cpp and for tests that want one reader alone.

#include <memory>

#include "docengine/reader.h"

namespace quillon::docengine {

std::unique_ptr<Reader> MakeRtfReader();
std::unique_ptr<Reader> MakeTextReader();

// Text recovered from any file (open "Format" 20): runs of printable
// single-byte text and of UTF-16 LE text, in file order, one paragraph per
// run. Not in BuiltInReaders(); ReadDocumentFile uses it when asked to.
ReadResult RecoverText(std::string_view data, const OpenOptions& options, Document& doc);

}  // namespace quillon::docengine
