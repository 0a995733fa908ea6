#pragma once
// The HTML page the converter writes: UTF-8 with its charset declared, one
// table per sheet or table, each cell's text escaped. The page is built in
// memory and written in one step, so a failed conversion never leaves a
// partial page behind.
//
// Not thread-safe; one page per conversion.

#include <string>
#include <string_view>

namespace quillon::wordcnv {

class HtmlTables {
 public:
  // `title` names the page (the source file's name).
  explicit HtmlTables(std::string_view title);

  // A table, with `caption` above it when not empty.
  void BeginTable(std::string_view caption);
  void EndTable();

  // Rows hold data cells; a header row holds heading cells.
  void BeginRow();
  void BeginHeaderRow();
  void EndRow();

  // One cell of the open row. Line breaks in the text become <br>.
  void Cell(std::string_view utf8_text);

  std::size_t TableCount() const { return tables_; }
  std::size_t RowCount() const { return rows_; }
  std::size_t CellCount() const { return cells_; }

  // The whole page, closed.
  std::string Finish();

 private:
  void AppendEscaped(std::string_view text);

  std::string page_;
  bool header_row_ = false;
  std::size_t tables_ = 0;
  std::size_t rows_ = 0;
  std::size_t cells_ = 0;
};

// Writes the page to `path`, replacing an existing file only once every
// byte is written. False with a reason naming the file otherwise.
bool WritePage(const std::string& path, const std::string& page, std::string& error);

}  // namespace quillon::wordcnv
