#pragma once
// The converter program's work: one legacy file (a dBase or FoxPro table,
// a Lotus 1-2-3 workbook) into one HTML page. The kind is told by the
// file's content, not its name.

#include <string>

namespace quillon::wordcnv {

struct ConversionCounts {
  std::size_t tables = 0;
  std::size_t rows = 0;
  std::size_t cells = 0;
};

// Converts `source` into the HTML page `destination`, written whole or not
// at all (an existing file there is replaced only on success). Returns ""
// on success, else a one-line reason that names the file.
std::string ConvertLegacyFile(const std::string& source, const std::string& destination,
                              ConversionCounts* counts = nullptr);

// The program's entry: arguments as the engine passes them (source,
// destination, import converter name, export converter name; the names
// are accepted and not needed). Failures print one line holding "error"
// on standard error and give a non-zero status.
int ConverterMain(int argc, char** argv);

}  // namespace quillon::wordcnv
