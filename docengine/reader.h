#pragma once
// The reader interface: one reader per file format, chosen by content.
//
// A reader turns the bytes of one file into a Document. Readers never read
// outside `data`, never throw for bad input (they return an error text), and
// respect the limits in ReadLimits so that a hostile file costs an error,
// not the machine.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "docengine/document.h"

namespace quillon::docengine {

struct ReadLimits {
  // Largest input file accepted.
  std::size_t max_input_bytes = std::size_t{1} << 30;
  // Largest total of inflated / decoded data (zip parts, streams).
  std::size_t max_inflated_bytes = std::size_t{1} << 30;
  // Largest ratio inflated : compressed of one zip member before it counts
  // as a bomb (only checked for members above 1 MiB inflated).
  std::size_t max_inflate_ratio = 200;
  // Largest number of characters in the built document.
  std::size_t max_text_chars = std::size_t{256} << 20;
  // Deepest nesting of groups, tables or elements.
  int max_depth = 256;
};

struct OpenOptions {
  std::string path;      // the file's path (for messages and format sniffing)
  std::string password;  // "PasswordDocument"; may be empty or a placeholder
  bool read_only = true;
  bool recover_any = false;  // open "Format" 20: recover text from any file
  ReadLimits limits;
};

// Result of a read: `ok` with the document filled, or an error text that
// becomes the automation error message ("The password is incorrect", ...).
struct ReadResult {
  bool ok = false;
  std::string error;

  static ReadResult Success() { return {true, {}}; }
  static ReadResult Failure(std::string message) { return {false, std::move(message)}; }
};

class Reader {
 public:
  virtual ~Reader() = default;
  // A short name for messages and benchmarks ("rtf", "docx", ...).
  virtual std::string_view Name() const = 0;
  // How sure the reader is that `head` (the first bytes of the file, at most
  // 4096) is its format: 0 = not mine, higher wins. Must be cheap.
  virtual int Sniff(std::string_view head, const std::string& path) const = 0;
  // Reads the whole file content. `doc` starts empty.
  virtual ReadResult Read(std::string_view data, const OpenOptions& options,
                          Document& doc) const = 0;
};

// Every built-in reader, best match first when two tie.
const std::vector<std::unique_ptr<Reader>>& BuiltInReaders();

// Reads the file at options.path: loads it (bounded by the limits), picks
// the reader by content and reads. The message of a failure is ready to be
// shown to the user.
ReadResult ReadDocumentFile(const OpenOptions& options, Document& doc);

// The message for a protected file whose decryption is not implemented.
inline constexpr const char* kPasswordIncorrectMessage = "The password is incorrect.";

}  // namespace quillon::docengine
