// Converts every .doc of a folder to text through the Word 97-2003 reader
// and the text writer, in one process, and prints documents and megabytes
// per second. With --one FILE it converts one file to standard output, so
// that a script can time it per file beside other converters.
//
// Usage: bench_doc_reader [FOLDER] [REPEATS]   (default: the shared corpus)
//        bench_doc_reader --one FILE

#include <dirent.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "docengine/doc_reader.h"
#include "docengine/text_writer.h"

namespace {

using quillon::docengine::Document;
using quillon::docengine::OpenOptions;

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Read, render as text only and encode as Windows-1252: what a "Save as
// text" of the document costs.
bool Convert(const std::string& bytes, const std::string& path, std::string& out,
             std::string& error) {
  static auto reader = quillon::docengine::MakeDocReader();
  OpenOptions options;
  options.path = path;
  Document doc;
  auto result = reader->Read(bytes, options, doc);
  if (!result.ok) {
    error = result.error;
    return false;
  }
  return quillon::docengine::EncodeTextFile(quillon::docengine::RenderText(doc), 1252, out, error);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--one") {
    std::string out, error;
    if (!Convert(Slurp(argv[2]), argv[2], out, error)) {
      std::cerr << argv[2] << ": " << error << "\n";
      return 1;
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
  }
  std::string folder = argc > 1 ? argv[1] : std::string(QUILLON_CORPUS_DIR) + "/doc";
  int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
  std::vector<std::pair<std::string, std::string>> files;
  if (DIR* d = opendir(folder.c_str())) {
    while (dirent* e = readdir(d)) {
      std::string name = e->d_name;
      if (name.size() > 4 && name.compare(name.size() - 4, 4, ".doc") == 0)
        files.push_back({folder + "/" + name, Slurp(folder + "/" + name)});
    }
    closedir(d);
  }
  if (files.empty()) {
    std::cerr << "no .doc files in " << folder << "\n";
    return 1;
  }
  std::size_t bytes = 0;
  for (const auto& f : files)
    bytes += f.second.size();
  int failures = 0;
  std::size_t out_bytes = 0;
  auto start = std::chrono::steady_clock::now();
  for (int r = 0; r < repeats; ++r) {
    for (const auto& [path, content] : files) {
      std::string out, error;
      if (!Convert(content, path, out, error)) {
        if (r == 0)
          std::cerr << "failed: " << path << ": " << error << "\n";
        ++failures;
      }
      out_bytes += out.size();
    }
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  double docs = static_cast<double>(files.size()) * repeats;
  std::printf("doc reader (in process): %zu files, %.2f MB, %d repeats, %.3f s\n", files.size(),
              bytes / 1e6, repeats, seconds);
  std::printf("  %.1f documents/s, %.2f MB/s, %d failures per pass, %zu text bytes per pass\n",
              docs / seconds, bytes * repeats / 1e6 / seconds, failures / repeats,
              out_bytes / repeats);
  return 0;
}
