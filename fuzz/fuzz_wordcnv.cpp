// libFuzzer target for the converter program: any bytes as a legacy file
// (dBase or FoxPro table, Lotus 1-2-3 sheet). The conversion must end with
// a page or a one-line reason, never a crash; a success leaves the page.

#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fileio/files.h"
#include "wordcnv/legacy_converter.h"

namespace {

std::string Folder() {
  static const std::string folder = [] {
    char name[] = "/tmp/quillon-fuzz-wordcnv-XXXXXX";
    if (::mkdtemp(name) == nullptr)
      std::abort();
    return std::string(name);
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string source = Folder() + "/input.dbf";
  const std::string page = Folder() + "/page.htm";
  std::string error;
  if (!quillon::fileio::WriteFileWhole(
          source, std::string_view(reinterpret_cast<const char*>(data), size), error))
    std::abort();
  ::unlink(page.c_str());
  const std::string reason = quillon::wordcnv::ConvertLegacyFile(source, page);
  struct stat info {};
  const bool written = ::stat(page.c_str(), &info) == 0;
  if (reason.empty() != written)
    std::abort();
  if (!reason.empty() && reason.find('\n') != std::string::npos)
    std::abort();
  return 0;
}
