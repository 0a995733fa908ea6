#pragma once
// Lotus 1-2-3 workbooks (.wk1, .wk3, .wk4, .123) and the other sheets
// libwps reads, into one HTML table per sheet holding each cell as the
// sheet shows it: text cells as written, numbers and dates through their
// cell formats, formulas by their stored results.
//
// Not thread-safe (one conversion per process).

#include <string>
#include <string_view>

#include "wordcnv/html_tables.h"

namespace quillon::wordcnv {

// False when the bytes begin like a Lotus record stream but do not reach
// its end-of-file record inside the data: a truncated or damaged file that
// the sheet library would otherwise read in part without a word.
bool LotusRecordsComplete(std::string_view data);

// Appends the sheets of `data` (the file `path`, named in errors) to
// `page`. False with a reason naming the file when it cannot be read.
bool ConvertLotusSheets(const std::string& path, std::string_view data, HtmlTables& page,
                        std::string& error);

}  // namespace quillon::wordcnv
