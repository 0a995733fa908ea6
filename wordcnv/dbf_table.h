#pragma once
// dBase III/IV and FoxPro tables (.dbf) into one HTML table: the field
// names as the header row, one row per record that is not marked deleted,
// memo fields from the ".dbt" or ".fpt" file beside the table, the text in
// the table's code page (its ".cpg" file, else its language-driver byte,
// else what the detector finds in its text).
//
// Shapelib reads the header, the field list and the records; this layer
// adds the checks against damage, the field types beyond dBase III, the
// memo files and the code pages. Not thread-safe (one table at a time).

#include <cstdint>
#include <string>
#include <string_view>

#include "wordcnv/html_tables.h"

namespace quillon::wordcnv {

struct DbfField {
  std::string name;
  char type = 'C';
  int width = 0;
  int decimals = 0;
};

// True when the first bytes of a file are a dBase or FoxPro header (the
// version byte and plausible header and record sizes).
bool LooksLikeDbf(std::string_view head);

// The Windows code page a language-driver byte names, 0 for none or for
// one no converter is known for.
int CodePageOfLanguageDriver(unsigned char driver);

// The text of one field of a record, for every type but memos: characters
// trimmed, numbers as stored, dates as YYYY-MM-DD, logicals as T or F, and
// the binary FoxPro types (integer, currency, double, date-time) as
// numbers and dates. Character fields stay in the table's code page.
std::string FieldText(const DbfField& field, std::string_view raw);

// The block number a memo field refers to (0: no memo): ten digits in
// dBase and FoxPro 2, four little-endian bytes in Visual FoxPro.
std::uint64_t MemoBlock(std::string_view raw);

// Appends the table at `path` to `page`. False with a reason naming the
// file (or its memo file) when either is missing pieces or damaged.
bool ConvertDbfTable(const std::string& path, HtmlTables& page, std::string& error);

}  // namespace quillon::wordcnv
