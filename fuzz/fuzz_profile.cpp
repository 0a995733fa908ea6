// libFuzzer target: any bytes as a settings file (set.ini). Every read of
// the profile layer and one write-through must take them without crashing;
// the write must leave a file that reads back the value written.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fileio/files.h"
#include "platform/profile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = [] {
    char folder[] = "/tmp/quillon-fuzz-profile-XXXXXX";
    if (::mkdtemp(folder) == nullptr)
      std::abort();
    return std::string(folder) + "/set.ini";
  }();
  std::string error;
  if (!quillon::fileio::WriteFileWhole(
          path, std::string_view(reinterpret_cast<const char*>(data), size), error))
    std::abort();
  quillon::ProfileFile profile(path);
  const std::string section = "Tarvell\\Quillon";
  for (const std::string& key : profile.Keys(section)) {
    profile.ReadString(section, key, "");
    profile.ReadInteger(section, key, -1);
  }
  profile.SectionExists("x");
  profile.WriteString(section, "Language", "de");
  if (profile.ReadString(section, "Language", "") != "de")
    std::abort();
  return 0;
}
