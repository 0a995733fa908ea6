#include "wordcnv/legacy_converter.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <new>

#include "wordcnv/dbf_table.h"
#include "wordcnv/html_tables.h"
#include "wordcnv/lotus_sheets.h"

namespace quillon::wordcnv {
namespace {

// Sheets are read whole; a file this large is no sheet of the 1-2-3 era.
constexpr std::uint64_t kMaxSheetBytes = std::uint64_t{512} << 20;

std::string NamePart(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Messages go out as one line, whatever the paths in them hold.
std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r') {
      c = ' ';
    }
  }
  return text;
}

bool ReadWhole(const std::string& path, std::uint64_t size, std::string& data, std::string& error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = path + " cannot be opened: " + std::strerror(errno);
    return false;
  }
  data.resize(static_cast<std::size_t>(size));
  file.read(data.data(), static_cast<std::streamsize>(size));
  if (static_cast<std::uint64_t>(file.gcount()) != size) {
    error = path + " cannot be read";
    return false;
  }
  return true;
}

}  // namespace

std::string ConvertLegacyFile(const std::string& source, const std::string& destination,
                              ConversionCounts* counts) {
  struct stat info {};
  if (::stat(source.c_str(), &info) != 0) {
    return source + " cannot be opened: " + std::strerror(errno);
  }
  if (!S_ISREG(info.st_mode)) {
    return source + " is not a file";
  }
  const auto size = static_cast<std::uint64_t>(info.st_size);
  if (size == 0) {
    return source + " is empty";
  }
  HtmlTables page(NamePart(source));
  std::string error;
  try {
    std::string head(32, '\0');
    {
      std::ifstream file(source, std::ios::binary);
      if (!file) {
        return source + " cannot be opened: " + std::strerror(errno);
      }
      file.read(head.data(), 32);
      head.resize(static_cast<std::size_t>(file.gcount()));
    }
    bool converted = false;
    if (LooksLikeDbf(head)) {
      converted = ConvertDbfTable(source, page, error);
    } else if (size > kMaxSheetBytes) {
      error = source + " is too large for a sheet";
    } else {
      std::string data;
      converted =
          ReadWhole(source, size, data, error) && ConvertLotusSheets(source, data, page, error);
    }
    if (!converted) {
      return error;
    }
  } catch (const std::bad_alloc&) {
    return source + " needs more memory than the converter may take";
  }
  if (counts != nullptr) {
    counts->tables = page.TableCount();
    counts->rows = page.RowCount();
    counts->cells = page.CellCount();
  }
  if (!WritePage(destination, page.Finish(), error)) {
    return error;
  }
  return {};
}

int ConverterMain(int argc, char** argv) {
  if (argc != 3 && argc != 5) {
    std::fprintf(stderr,
                 "wordcnv.dll error: expected SOURCE DESTINATION [IMPORT-CONVERTER "
                 "EXPORT-CONVERTER]\n");
    return 2;
  }
  const std::string error = ConvertLegacyFile(argv[1], argv[2]);
  if (!error.empty()) {
    std::fprintf(stderr, "wordcnv.dll error: %s\n", OneLine(error).c_str());
    return 1;
  }
  return 0;
}

}  // namespace quillon::wordcnv
