#pragma once
// The per-conversion options that the main window's option panels show and
// that every request block is built from.
//
// A plain value: the window copies its controls into one, the command line
// and watch processing fill their own. Nothing here is shared state.

#include <string>
#include <vector>

namespace quillon::engine {

struct ConversionOptions {
  // Sent exactly as typed (blanks included); empty means "none entered".
  std::string open_password;
  std::string workbook_protect_password;
  std::string worksheet_protect_password;

  bool run_plugin_macro = false;  // CheckBoxRunPluginMacro
  bool plugin_save = false;       // CheckBoxPluginSave

  // Item index of ComboBoxTextDelimited; -1 when nothing is selected.
  int text_delimited_index = 0;

  // RadioButtonSheetRange_AppointedSheet and its spin edit.
  bool sheet_range_appointed = false;
  int appointed_sheet = 1;

  // RadioButtonPageRange_PagesFromTo and its two spin edits.
  bool page_range_from_to = false;
  int page_from = 0;
  int page_to = 0;

  // "recovering text from any type": copied into RecoverAnyTypeFlag by the
  // caller before each conversion; it is not part of the request block.
  bool recover_any_type = false;
};

// The items of ComboBoxTextDelimited, index 0 to 6, untranslated.
const std::vector<std::string>& TextDelimitedItems();

}  // namespace quillon::engine
