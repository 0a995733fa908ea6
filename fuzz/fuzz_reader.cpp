// libFuzzer target for one document reader, chosen at build time by
// QUILLON_FUZZ_READER (the reader's Name(): "rtf", "docx", "doc", "html",
// "text", "wordperfect"). Any bytes are read as that format, with the limits
// the engine uses; a document that reads is rendered as text too, so the
// writers see every model a reader builds. A reader must never crash, hang
// or read outside the data; an error text is a fine answer.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "docengine/reader.h"
#include "docengine/text_writer.h"

namespace {

const quillon::docengine::Reader& TheReader() {
  static const quillon::docengine::Reader* reader = [] {
    for (const auto& candidate : quillon::docengine::BuiltInReaders()) {
      if (candidate->Name() == QUILLON_FUZZ_READER)
        return candidate.get();
    }
    std::abort();  // a target built for a reader that does not exist
  }();
  return *reader;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillon::docengine;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  OpenOptions options;
  options.path = std::string("input.") + QUILLON_FUZZ_READER;
  options.password = "qz";
  // Smaller than the engine's, so that one input stays quick.
  options.limits.max_inflated_bytes = 64u << 20;
  options.limits.max_text_chars = 4u << 20;
  Document doc;
  if (TheReader().Read(bytes, options, doc).ok) {
    std::string text;
    std::string error;
    RenderTextFile(doc, kSaveFormatText, 65001, text, error);
  }
  return 0;
}
