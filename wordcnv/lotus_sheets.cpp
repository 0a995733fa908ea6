#include "wordcnv/lotus_sheets.h"

#include <librevenge-stream/librevenge-stream.h>
#include <librevenge/librevenge.h>
#include <libwps/libwps.h>

#include <cstdint>
#include <map>
#include <new>
#include <vector>

#include "wordcnv/byte_order.h"
#include "wordcnv/cell_format.h"

namespace quillon::wordcnv {
namespace {

// Columns past this are not sheet data but a damaged cell address.
constexpr long kMaxColumns = 1 << 16;

std::string Text(const librevenge::RVNGPropertyList& list, const char* name) {
  const librevenge::RVNGProperty* property = list[name];
  return property != nullptr ? std::string(property->getStr().cstr()) : std::string();
}

// Collects each sheet's cells as the library reports them and writes the
// sheet as one table when it closes. Rows without any text are left out at
// the top and bottom; a run of them between filled rows becomes one empty
// row, as the gap shows on screen.
class SheetCollector : public librevenge::RVNGSpreadsheetInterface {
 public:
  explicit SheetCollector(HtmlTables& page) : page_(page) {}

  std::size_t Sheets() const { return sheets_; }

  void defineSheetNumberingStyle(const librevenge::RVNGPropertyList& list) override {
    const std::string name = Text(list, "librevenge:name");
    if (!name.empty()) {
      styles_[name] = NumberFormatFromStyle(list);
    }
  }

  void openSheet(const librevenge::RVNGPropertyList& list) override {
    caption_ = Text(list, "librevenge:sheet-name");
    rows_.clear();
    next_row_ = 0;
  }

  void closeSheet() override {
    page_.BeginTable(caption_);
    std::int64_t previous = -1;
    for (const auto& [index, cells] : rows_) {
      if (previous >= 0 && index > previous + 1) {
        page_.BeginRow();
        page_.EndRow();
      }
      page_.BeginRow();
      for (const std::string& cell : cells) {
        page_.Cell(cell);
      }
      page_.EndRow();
      previous = index;
    }
    page_.EndTable();
    rows_.clear();
    ++sheets_;
  }

  void openSheetRow(const librevenge::RVNGPropertyList& list) override {
    row_ = next_row_;
    const librevenge::RVNGProperty* repeated = list["table:number-rows-repeated"];
    row_span_ = repeated != nullptr && repeated->getInt() > 1 ? repeated->getInt() : 1;
    next_column_ = 0;
  }

  void closeSheetRow() override { next_row_ = row_ + row_span_; }

  void openSheetCell(const librevenge::RVNGPropertyList& list) override {
    in_cell_ = true;
    cell_text_.clear();
    paragraphs_ = 0;
    const librevenge::RVNGProperty* column = list["librevenge:column"];
    column_ = column != nullptr ? column->getInt() : next_column_;
    const librevenge::RVNGProperty* row = list["librevenge:row"];
    if (row != nullptr && row->getInt() >= row_) {
      row_ = row->getInt();
    }
    value_text_ = ValueText(list);
  }

  void closeSheetCell() override {
    in_cell_ = false;
    next_column_ = column_ + 1;
    const std::string& shown = cell_text_.empty() ? value_text_ : cell_text_;
    if (shown.empty() || column_ < 0 || column_ >= kMaxColumns) {
      return;
    }
    std::vector<std::string>& cells = rows_[row_];
    if (cells.size() <= static_cast<std::size_t>(column_)) {
      cells.resize(static_cast<std::size_t>(column_) + 1);
    }
    cells[static_cast<std::size_t>(column_)] = shown;
  }

  void openParagraph(const librevenge::RVNGPropertyList&) override {
    if (in_cell_ && paragraphs_++ > 0) {
      cell_text_ += '\n';
    }
  }
  void insertText(const librevenge::RVNGString& text) override {
    if (in_cell_) {
      cell_text_ += text.cstr();
    }
  }
  void insertTab() override {
    if (in_cell_) {
      cell_text_ += '\t';
    }
  }
  void insertSpace() override {
    if (in_cell_) {
      cell_text_ += ' ';
    }
  }
  void insertLineBreak() override {
    if (in_cell_) {
      cell_text_ += '\n';
    }
  }

  // Everything else a sheet may carry (page layout, charts, drawings,
  // headers, notes) holds no cell values.
  void setDocumentMetaData(const librevenge::RVNGPropertyList&) override {}
  void startDocument(const librevenge::RVNGPropertyList&) override {}
  void endDocument() override {}
  void definePageStyle(const librevenge::RVNGPropertyList&) override {}
  void defineEmbeddedFont(const librevenge::RVNGPropertyList&) override {}
  void openPageSpan(const librevenge::RVNGPropertyList&) override {}
  void closePageSpan() override {}
  void openHeader(const librevenge::RVNGPropertyList&) override {}
  void closeHeader() override {}
  void openFooter(const librevenge::RVNGPropertyList&) override {}
  void closeFooter() override {}
  void defineChartStyle(const librevenge::RVNGPropertyList&) override {}
  void openChart(const librevenge::RVNGPropertyList&) override {}
  void closeChart() override {}
  void openChartTextObject(const librevenge::RVNGPropertyList&) override {}
  void closeChartTextObject() override {}
  void openChartPlotArea(const librevenge::RVNGPropertyList&) override {}
  void closeChartPlotArea() override {}
  void insertChartAxis(const librevenge::RVNGPropertyList&) override {}
  void openChartSerie(const librevenge::RVNGPropertyList&) override {}
  void closeChartSerie() override {}
  void defineParagraphStyle(const librevenge::RVNGPropertyList&) override {}
  void closeParagraph() override {}
  void defineCharacterStyle(const librevenge::RVNGPropertyList&) override {}
  void openSpan(const librevenge::RVNGPropertyList&) override {}
  void closeSpan() override {}
  void openLink(const librevenge::RVNGPropertyList&) override {}
  void closeLink() override {}
  void defineSectionStyle(const librevenge::RVNGPropertyList&) override {}
  void openSection(const librevenge::RVNGPropertyList&) override {}
  void closeSection() override {}
  void insertField(const librevenge::RVNGPropertyList&) override {}
  void openOrderedListLevel(const librevenge::RVNGPropertyList&) override {}
  void openUnorderedListLevel(const librevenge::RVNGPropertyList&) override {}
  void closeOrderedListLevel() override {}
  void closeUnorderedListLevel() override {}
  void openListElement(const librevenge::RVNGPropertyList&) override {}
  void closeListElement() override {}
  void openFootnote(const librevenge::RVNGPropertyList&) override {}
  void closeFootnote() override {}
  void openComment(const librevenge::RVNGPropertyList&) override {}
  void closeComment() override {}
  void openFrame(const librevenge::RVNGPropertyList&) override {}
  void closeFrame() override {}
  void insertBinaryObject(const librevenge::RVNGPropertyList&) override {}
  void openTextBox(const librevenge::RVNGPropertyList&) override {}
  void closeTextBox() override {}
  void openTable(const librevenge::RVNGPropertyList&) override {}
  void openTableRow(const librevenge::RVNGPropertyList&) override {}
  void closeTableRow() override {}
  void openTableCell(const librevenge::RVNGPropertyList&) override {}
  void closeTableCell() override {}
  void insertCoveredTableCell(const librevenge::RVNGPropertyList&) override {}
  void closeTable() override {}
  void openGroup(const librevenge::RVNGPropertyList&) override {}
  void closeGroup() override {}
  void defineGraphicStyle(const librevenge::RVNGPropertyList&) override {}
  void drawRectangle(const librevenge::RVNGPropertyList&) override {}
  void drawEllipse(const librevenge::RVNGPropertyList&) override {}
  void drawPolygon(const librevenge::RVNGPropertyList&) override {}
  void drawPolyline(const librevenge::RVNGPropertyList&) override {}
  void drawPath(const librevenge::RVNGPropertyList&) override {}
  void drawConnector(const librevenge::RVNGPropertyList&) override {}
  void insertEquation(const librevenge::RVNGPropertyList&) override {}

 private:
  // The cell's stored value through its numbering style. A formula cell
  // whose result is zero comes without a value: it shows 0.
  std::string ValueText(const librevenge::RVNGPropertyList& list) const {
    const std::string type = Text(list, "librevenge:value-type");
    const std::string style_name = Text(list, "librevenge:numbering-name");
    const auto style = styles_.find(style_name);
    const NumberFormat format =
        style != styles_.end() ? style->second : NumberFormatForValueType(type);
    CellValue value;
    if (const librevenge::RVNGProperty* number = list["librevenge:value"]) {
      value.has_number = true;
      value.number = number->getDouble();
    } else if (list["librevenge:formula"] != nullptr && !type.empty() && type != "date" &&
               type != "time" && type != "text" && type != "string") {
      value.has_number = true;
    }
    if (list["librevenge:year"] != nullptr) {
      value.has_date = true;
      value.year = list["librevenge:year"]->getInt();
      value.month = list["librevenge:month"] != nullptr ? list["librevenge:month"]->getInt() : 1;
      value.day = list["librevenge:day"] != nullptr ? list["librevenge:day"]->getInt() : 1;
    }
    if (list["librevenge:hours"] != nullptr) {
      value.has_time = true;
      value.hours = list["librevenge:hours"]->getInt();
      value.minutes =
          list["librevenge:minutes"] != nullptr ? list["librevenge:minutes"]->getInt() : 0;
      value.seconds =
          list["librevenge:seconds"] != nullptr ? list["librevenge:seconds"]->getInt() : 0;
    }
    return FormatCellValue(format, value);
  }

  HtmlTables& page_;
  std::map<std::string, NumberFormat> styles_;
  std::string caption_;
  std::map<std::int64_t, std::vector<std::string>> rows_;
  std::int64_t row_ = 0;
  std::int64_t row_span_ = 1;
  std::int64_t next_row_ = 0;
  long column_ = 0;
  long next_column_ = 0;
  bool in_cell_ = false;
  int paragraphs_ = 0;
  std::string cell_text_;
  std::string value_text_;
  std::size_t sheets_ = 0;
};

}  // namespace

bool LotusRecordsComplete(std::string_view data) {
  // Every Lotus file starts with its beginning-of-file record (type 0).
  if (data.size() < 4 || Little16(data, 0) != 0 || Little16(data, 2) == 0 ||
      Little16(data, 2) > 64) {
    return true;  // not a plain record stream: the library judges it alone
  }
  std::size_t at = 0;
  while (at + 4 <= data.size()) {
    const std::uint16_t type = Little16(data, at);
    const std::uint16_t length = Little16(data, at + 2);
    if (type == 1 && length == 0) {
      return true;
    }
    at += 4u + length;
  }
  return false;
}

bool ConvertLotusSheets(const std::string& path, std::string_view data, HtmlTables& page,
                        std::string& error) {
  if (!LotusRecordsComplete(data)) {
    error = path + " is damaged: it ends before its last record";
    return false;
  }
  librevenge::RVNGStringStream input(reinterpret_cast<const unsigned char*>(data.data()),
                                     static_cast<unsigned>(data.size()));
  libwps::WPSKind kind = libwps::WPS_TEXT;
  libwps::WPSCreator creator = libwps::WPS_MSWORKS;
  bool needs_encoding = false;
  const libwps::WPSConfidence confidence =
      libwps::WPSDocument::isFileFormatSupported(&input, kind, creator, needs_encoding);
  if (confidence == libwps::WPS_CONFIDENCE_NONE ||
      (kind != libwps::WPS_SPREADSHEET && kind != libwps::WPS_DATABASE)) {
    error = path + " is neither a dBase table nor a sheet this converter reads";
    return false;
  }
  if (confidence == libwps::WPS_CONFIDENCE_SUPPORTED_ENCRYPTION) {
    error = path + " is protected by a password";
    return false;
  }
  SheetCollector sheets(page);
  libwps::WPSResult result = libwps::WPS_UNKNOWN_ERROR;
  try {
    input.seek(0, librevenge::RVNG_SEEK_SET);
    result = libwps::WPSDocument::parse(&input, &sheets);
  } catch (const std::bad_alloc&) {
    error = path + " needs more memory than a sheet may take";
    return false;
  }
  switch (result) {
    case libwps::WPS_OK:
      break;
    case libwps::WPS_ENCRYPTION_ERROR:
      error = path + " is protected by a password";
      return false;
    case libwps::WPS_FILE_ACCESS_ERROR:
    case libwps::WPS_OLE_ERROR:
      error = path + " cannot be read";
      return false;
    default:
      error = path + " is damaged: its sheets cannot be read";
      return false;
  }
  if (sheets.Sheets() == 0) {
    error = path + " holds no sheet";
    return false;
  }
  return true;
}

}  // namespace quillon::wordcnv
