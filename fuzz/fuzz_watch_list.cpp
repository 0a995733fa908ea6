// libFuzzer target: any bytes as a watch-list file (watcher.ini). Loading
// must take them without crashing, and the lines the list would be saved as
// must read back into the same list.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "watch/watch_list.h"

namespace {

std::string Folder() {
  static const std::string folder = [] {
    char name[] = "/tmp/quillon-fuzz-watch-XXXXXX";
    if (::mkdtemp(name) == nullptr)
      std::abort();
    return std::string(name);
  }();
  return folder;
}

// A plain write: the program's own writer syncs to disk, which would make
// every run of the target wait on the disk.
void Put(const std::string& path, std::string_view bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!file)
    std::abort();
}

// The lines the list would be saved as, after loading `path`.
std::vector<std::string> LoadedLines(const std::string& path) {
  quillon::WatchListModel list;
  quillon::LoadWatchList(path, list);
  return quillon::WatchListLines(list);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input = Folder() + "/input.ini";
  const std::string saved = Folder() + "/saved.ini";
  Put(input, std::string_view(reinterpret_cast<const char*>(data), size));
  const std::vector<std::string> once = LoadedLines(input);
  std::string content;
  for (const std::string& line : once)
    content += line + "\r\n";
  Put(saved, content);
  if (LoadedLines(saved) != once)
    std::abort();
  return 0;
}
