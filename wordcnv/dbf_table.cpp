#include "wordcnv/dbf_table.h"

#include <shapefil.h>
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

#include "charset/code_page.h"
#include "wordcnv/byte_order.h"
#include "wordcnv/cell_format.h"
#include "wordcnv/memo_file.h"

namespace quillon::wordcnv {
namespace {

// Text sampled for detecting the code page of a table that names none.
constexpr std::size_t kSampleBytes = 64 * 1024;

// Shapelib reports trouble through a hook without context; the last
// message is kept for the reason a conversion gives.
thread_local std::string last_library_message;

void KeepLibraryMessage(const char* message) {
  last_library_message = message != nullptr ? message : "";
}

struct DbfCloser {
  void operator()(DBFHandle handle) const { DBFClose(handle); }
};
using DbfPtr = std::unique_ptr<DBFInfo, DbfCloser>;

std::string_view Trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(std::string_view(" \0", 2));
  if (first == std::string_view::npos) {
    return {};
  }
  const std::size_t last = text.find_last_not_of(std::string_view(" \0", 2));
  return text.substr(first, last - first + 1);
}

bool IsAscii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      return false;
    }
  }
  return true;
}

std::string Two(int value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02d", value);
  return buffer;
}

// A Julian day number as YYYY-MM-DD (Gregorian calendar).
std::string JulianDate(std::int64_t julian) {
  const std::int64_t a = julian + 32044;
  const std::int64_t b = (4 * a + 3) / 146097;
  const std::int64_t c = a - 146097 * b / 4;
  const std::int64_t d = (4 * c + 3) / 1461;
  const std::int64_t e = c - 1461 * d / 4;
  const std::int64_t m = (5 * e + 2) / 153;
  const int day = static_cast<int>(e - (153 * m + 2) / 5 + 1);
  const int month = static_cast<int>(m + 3 - 12 * (m / 10));
  const std::int64_t year = 100 * b + d - 4800 + m / 10;
  return std::to_string(year) + "-" + Two(month) + "-" + Two(day);
}

bool IsMemoType(char type, int width) {
  // "B" is a binary memo in dBase but an 8-byte double in Visual FoxPro.
  return type == 'M' || type == 'G' || type == 'P' || type == 'W' || (type == 'B' && width != 8);
}

bool IsTextMemo(char type) {
  return type == 'M';
}

bool IsFoxPro(unsigned char version) {
  return version == 0x30 || version == 0x31 || version == 0x32 || version == 0xF5 ||
         version == 0xFB;
}

std::string Decode(std::string_view bytes, int code_page) {
  if (IsAscii(bytes)) {
    return std::string(bytes);
  }
  std::string text;
  std::string error;
  if (!DecodeText(bytes, code_page, text, error)) {
    return std::string(bytes);
  }
  return text;
}

// The code page a ".cpg" file or the language-driver byte names, as
// shapelib reports them, or 0.
int DeclaredCodePage(DBFHandle table) {
  const char* declared = DBFGetCodePage(table);
  if (declared == nullptr) {
    return 0;
  }
  const std::string text(Trimmed(declared));
  if (text.rfind("LDID/", 0) == 0) {
    return CodePageOfLanguageDriver(static_cast<unsigned char>(std::atoi(text.c_str() + 5)));
  }
  if (!text.empty() && text.find_first_not_of("0123456789") == std::string::npos) {
    const int number = std::atoi(text.c_str());
    return IcuConverterName(number).empty() ? 0 : number;
  }
  return CodePageFromCharsetName(text);
}

// As the plain-text reader decides: UTF-8 when the text is valid UTF-8,
// else the detector's answer, else the single-byte ANSI code page.
int DetectedCodePage(const std::string& sample) {
  if (sample.empty() || IsValidUtf8(sample)) {
    return kCodePageUtf8;
  }
  const int detected = DetectCodePage(sample);
  if (detected != 0) {
    return detected;
  }
  const int ansi = AnsiCodePage();
  return ansi == kCodePageUtf8 ? 1252 : ansi;
}

std::string Damaged(const std::string& path, const std::string& why) {
  return path + " is damaged: " + why;
}

}  // namespace

bool LooksLikeDbf(std::string_view head) {
  if (head.size() < 32) {
    return false;
  }
  const auto version = static_cast<unsigned char>(head[0]);
  const bool known = (version & 0x07) == 0x03 || (version & 0x07) == 0x04 || version == 0x02 ||
                     version == 0x05 || version == 0x30 || version == 0x31 || version == 0x32 ||
                     version == 0x43 || version == 0x63 || version == 0x7B || version == 0xF5 ||
                     version == 0xFB || version == 0xE5;
  const auto month = static_cast<unsigned char>(head[2]);
  const auto day = static_cast<unsigned char>(head[3]);
  return known && month <= 12 && day <= 31 && Little16(head, 8) >= 33 && Little16(head, 10) >= 1;
}

int CodePageOfLanguageDriver(unsigned char driver) {
  struct Entry {
    unsigned char driver;
    int code_page;
  };
  static constexpr Entry kDrivers[] = {
      {0x01, 437},  {0x02, 850},  {0x03, 1252},  {0x04, 10000}, {0x08, 865},   {0x09, 437},
      {0x0A, 850},  {0x0B, 437},  {0x0D, 437},   {0x0E, 850},   {0x0F, 437},   {0x10, 850},
      {0x11, 437},  {0x12, 850},  {0x13, 932},   {0x14, 850},   {0x15, 437},   {0x16, 850},
      {0x17, 865},  {0x18, 437},  {0x19, 437},   {0x1A, 850},   {0x1B, 437},   {0x1C, 863},
      {0x1D, 850},  {0x1F, 852},  {0x22, 852},   {0x23, 852},   {0x24, 860},   {0x25, 850},
      {0x26, 866},  {0x37, 850},  {0x40, 852},   {0x4D, 936},   {0x4E, 949},   {0x4F, 950},
      {0x50, 874},  {0x58, 1252}, {0x59, 1252},  {0x64, 852},   {0x65, 866},   {0x66, 865},
      {0x67, 861},  {0x6A, 737},  {0x6B, 857},   {0x6C, 863},   {0x78, 950},   {0x79, 949},
      {0x7A, 936},  {0x7B, 932},  {0x7C, 874},   {0x7D, 1255},  {0x7E, 1256},  {0x86, 737},
      {0x87, 852},  {0x88, 857},  {0x96, 10007}, {0x97, 10029}, {0x98, 10006}, {0xC8, 1250},
      {0xC9, 1251}, {0xCA, 1254}, {0xCB, 1253},  {0xCC, 1257},
  };
  for (const Entry& entry : kDrivers) {
    if (entry.driver == driver) {
      return IcuConverterName(entry.code_page).empty() ? 0 : entry.code_page;
    }
  }
  if (driver == 0x57) {  // "the current ANSI code page"
    const int ansi = AnsiCodePage();
    return ansi == kCodePageUtf8 ? 1252 : ansi;
  }
  return 0;
}

std::string FieldText(const DbfField& field, std::string_view raw) {
  switch (field.type) {
    case 'D': {
      const std::string_view date = Trimmed(raw);
      if (date.size() == 8 && date.find_first_not_of("0123456789") == std::string_view::npos) {
        if (date == "00000000") {
          return {};
        }
        return std::string(date.substr(0, 4)) + "-" + std::string(date.substr(4, 2)) + "-" +
               std::string(date.substr(6, 2));
      }
      return std::string(date);
    }
    case 'L': {
      const char c = raw.empty() ? ' ' : raw[0];
      if (c == 'T' || c == 't' || c == 'Y' || c == 'y') {
        return "T";
      }
      if (c == 'F' || c == 'f' || c == 'N' || c == 'n') {
        return "F";
      }
      return {};
    }
    case 'I':
      if (raw.size() == 4) {
        return std::to_string(static_cast<std::int32_t>(Little32(raw, 0)));
      }
      break;
    case 'Y':
      if (raw.size() == 8) {
        const auto units = static_cast<std::int64_t>(Little64(raw, 0));
        const std::uint64_t magnitude =
            units < 0 ? ~static_cast<std::uint64_t>(units) + 1 : static_cast<std::uint64_t>(units);
        char fraction[8];
        std::snprintf(fraction, sizeof fraction, "%04u", static_cast<unsigned>(magnitude % 10000));
        return (units < 0 ? "-" : "") + std::to_string(magnitude / 10000) + "." + fraction;
      }
      break;
    case 'B':
      if (raw.size() == 8) {
        const std::uint64_t bits = Little64(raw, 0);
        double value = 0;
        std::memcpy(&value, &bits, sizeof value);
        if (field.decimals > 0) {
          NumberFormat format;
          format.kind = NumberFormat::kNumber;
          format.decimals = field.decimals;
          CellValue cell;
          cell.has_number = true;
          cell.number = value;
          return FormatCellValue(format, cell);
        }
        return GeneralNumber(value);
      }
      break;
    case 'T':
      if (raw.size() == 8) {
        const std::uint32_t julian = Little32(raw, 0);
        const std::uint32_t millis = Little32(raw, 4);
        if (julian == 0) {
          return {};
        }
        const std::uint32_t seconds = millis / 1000;
        return JulianDate(julian) + " " + Two(static_cast<int>(seconds / 3600 % 24)) + ":" +
               Two(static_cast<int>(seconds / 60 % 60)) + ":" + Two(static_cast<int>(seconds % 60));
      }
      break;
    case 'Q':
      return {};  // variable binary: no text
    default:
      break;
  }
  return std::string(Trimmed(raw));
}

std::uint64_t MemoBlock(std::string_view raw) {
  const std::string_view digits = Trimmed(raw);
  if (!digits.empty() && digits.find_first_not_of("0123456789") == std::string_view::npos) {
    return std::strtoull(std::string(digits).c_str(), nullptr, 10);
  }
  if (raw.size() == 4) {
    return Little32(raw, 0);
  }
  return 0;
}

bool ConvertDbfTable(const std::string& path, HtmlTables& page, std::string& error) {
  std::string header(32, '\0');
  struct stat info {};
  {
    std::ifstream file(path, std::ios::binary);
    if (!file || ::stat(path.c_str(), &info) != 0) {
      error = path + " cannot be opened: " + std::strerror(errno);
      return false;
    }
    file.read(header.data(), 32);
    if (file.gcount() < 32) {
      error = Damaged(path, "it ends inside its header");
      return false;
    }
  }
  const auto version = static_cast<unsigned char>(header[0]);
  if ((version & 0x07) == 0x04) {
    // Level 7 tables describe their fields in 48-byte entries.
    error = path + " is a dBase 7 table, which this converter does not read";
    return false;
  }
  const std::uint64_t records = Little32(header, 4);
  const std::uint64_t header_length = Little16(header, 8);
  const std::uint64_t record_length = Little16(header, 10);
  const auto file_size = static_cast<std::uint64_t>(info.st_size);
  if (header_length < 33 || record_length == 0) {
    error = Damaged(path, "its header gives impossible sizes");
    return false;
  }
  if (file_size < header_length) {
    error = Damaged(path, "it ends inside its header");
    return false;
  }
  if (file_size < header_length + records * record_length) {
    const std::uint64_t whole = (file_size - header_length) / record_length;
    error = Damaged(path, "it ends inside record " + std::to_string(whole + 1) + " of " +
                              std::to_string(records));
    return false;
  }

  SAHooks hooks;
  SASetupDefaultHooks(&hooks);
  hooks.Error = KeepLibraryMessage;
  last_library_message.clear();
  DbfPtr table(DBFOpenLL(path.c_str(), "rb", &hooks));
  if (!table) {
    error = Damaged(path, last_library_message.empty() ? "its field list cannot be read"
                                                       : last_library_message);
    return false;
  }
  const int field_count = DBFGetFieldCount(table.get());
  if (field_count <= 0) {
    error = Damaged(path, "it describes no field");
    return false;
  }
  std::vector<DbfField> fields(static_cast<std::size_t>(field_count));
  std::vector<std::size_t> offsets(fields.size());
  std::size_t offset = 1;  // the deletion mark comes first
  bool has_memo = false;
  for (int i = 0; i < field_count; ++i) {
    char name[XBASE_FLDNAME_LEN_READ + 1] = {};
    DbfField& field = fields[static_cast<std::size_t>(i)];
    DBFGetFieldInfo(table.get(), i, name, &field.width, &field.decimals);
    field.name = name;
    field.type = DBFGetNativeFieldType(table.get(), i);
    offsets[static_cast<std::size_t>(i)] = offset;
    offset += static_cast<std::size_t>(field.width);
    has_memo = has_memo || IsMemoType(field.type, field.width);
  }
  if (offset > record_length) {
    error = Damaged(path, "its fields do not fit its records");
    return false;
  }

  MemoFile memo;
  bool memo_open = false;
  auto memo_text = [&](const DbfField& field, std::string_view raw, std::string& bytes) {
    bytes.clear();
    const std::uint64_t block = MemoBlock(raw);
    if (block == 0 || !IsTextMemo(field.type)) {
      return true;
    }
    if (!memo_open) {
      const std::string memo_path = MemoFile::FindBeside(path, IsFoxPro(version));
      if (memo_path.empty()) {
        error = "the memo file of " + path + " is missing";
        return false;
      }
      const bool fpt = AsciiLower(memo_path.substr(memo_path.size() - 4)) == ".fpt";
      const MemoFile::Kind kind = fpt               ? MemoFile::Kind::kFoxPro
                                  : version == 0x83 ? MemoFile::Kind::kDbase3
                                                    : MemoFile::Kind::kDbase4;
      if (!memo.Open(memo_path, kind, error)) {
        return false;
      }
      memo_open = true;
    }
    return memo.Read(block, bytes, error);
  };

  const int record_count = DBFGetRecordCount(table.get());
  auto record_at = [&](int index, const char*& record) {
    last_library_message.clear();
    record = DBFReadTuple(table.get(), index);
    if (record == nullptr) {
      error = Damaged(path, "record " + std::to_string(index + 1) + " cannot be read" +
                                (last_library_message.empty() ? "" : ": " + last_library_message));
      return false;
    }
    return true;
  };
  auto field_bytes = [&](const char* record, std::size_t i) {
    return std::string_view(record + offsets[i], static_cast<std::size_t>(fields[i].width));
  };

  // The code page: declared, or found from the text that needs one.
  int code_page = DeclaredCodePage(table.get());
  if (code_page == 0) {
    code_page = CodePageOfLanguageDriver(static_cast<unsigned char>(header[29]));
  }
  std::string bytes;
  if (code_page == 0) {
    std::string sample;
    for (int r = 0; r < record_count && sample.size() < kSampleBytes; ++r) {
      const char* record = nullptr;
      if (!record_at(r, record)) {
        return false;
      }
      for (std::size_t i = 0; i < fields.size(); ++i) {
        std::string_view text;
        if (IsMemoType(fields[i].type, fields[i].width)) {
          if (!memo_text(fields[i], field_bytes(record, i), bytes)) {
            return false;
          }
          text = bytes;
        } else if (fields[i].type == 'C' || fields[i].type == 'V') {
          text = Trimmed(field_bytes(record, i));
        }
        if (!IsAscii(text)) {
          sample.append(text.substr(0, kSampleBytes));
          sample += '\n';
        }
      }
    }
    code_page = DetectedCodePage(sample);
  }

  page.BeginTable({});
  page.BeginHeaderRow();
  for (const DbfField& field : fields) {
    if (field.type != '0') {  // the hidden null-flags field of Visual FoxPro
      page.Cell(Decode(field.name, code_page));
    }
  }
  page.EndRow();
  for (int r = 0; r < record_count; ++r) {
    const char* record = nullptr;
    if (!record_at(r, record)) {
      return false;
    }
    if (record[0] == '*') {
      continue;  // deleted
    }
    page.BeginRow();
    for (std::size_t i = 0; i < fields.size(); ++i) {
      if (fields[i].type == '0') {
        continue;
      }
      if (IsMemoType(fields[i].type, fields[i].width)) {
        if (!memo_text(fields[i], field_bytes(record, i), bytes)) {
          return false;
        }
        page.Cell(Decode(bytes, code_page));
      } else {
        page.Cell(Decode(FieldText(fields[i], field_bytes(record, i)), code_page));
      }
    }
    page.EndRow();
  }
  page.EndTable();
  return true;
}

}  // namespace quillon::wordcnv
