// Converts every document of a folder through the engine and prints
// documents per second and megabytes (of source) per second, per source
// type and per save format.
//
//   bench_engine_convert FOLDER [--repeat N] [--engine PATH]
//
// In-process: open (read and parse) plus render in each save format, N
// rounds. With --engine, also one `quillon-engine --convert` process per
// document (format 2), which adds the start-up of a process per file.

#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "docengine/reader.h"
#include "docengine/text_writer.h"

namespace {

using Clock = std::chrono::steady_clock;
using quillon::docengine::Document;

struct Source {
  std::string path;
  std::string type;  // extension without the dot, lower case
  std::size_t bytes = 0;
};

std::vector<Source> ListFolder(const std::string& folder) {
  std::vector<Source> sources;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr)
    return sources;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..")
      continue;
    std::string path = folder + "/" + name;
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
      continue;
    std::size_t dot = name.rfind('.');
    std::string type = dot == std::string::npos ? "" : name.substr(dot + 1);
    std::transform(type.begin(), type.end(), type.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    static const char* const kDocumentTypes[] = {"rtf", "doc", "docx", "htm", "html", "wpd", "txt"};
    if (std::none_of(std::begin(kDocumentTypes), std::end(kDocumentTypes),
                     [&](const char* t) { return type == t; })) {
      continue;
    }
    sources.push_back({path, type, static_cast<std::size_t>(info.st_size)});
  }
  closedir(dir);
  std::sort(sources.begin(), sources.end(),
            [](const Source& a, const Source& b) { return a.path < b.path; });
  return sources;
}

struct Tally {
  std::size_t docs = 0;
  std::size_t bytes = 0;
  std::size_t failures = 0;
  double seconds = 0;
};

void Print(const std::string& label, const Tally& t) {
  double docs_per_s = t.seconds > 0 ? static_cast<double>(t.docs) / t.seconds : 0;
  double mb_per_s = t.seconds > 0 ? static_cast<double>(t.bytes) / 1e6 / t.seconds : 0;
  std::printf("%-28s %6zu docs %9.2f MB %8.3f s %10.1f docs/s %8.2f MB/s  failures %zu\n",
              label.c_str(), t.docs, static_cast<double>(t.bytes) / 1e6, t.seconds, docs_per_s,
              mb_per_s, t.failures);
}

double Seconds(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "Usage: bench_engine_convert FOLDER [--repeat N] [--engine PATH]\n");
    return 2;
  }
  const std::string folder = argv[1];
  int repeat = 3;
  std::string engine;
  for (int i = 2; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--repeat") == 0)
      repeat = std::max(1, std::atoi(argv[i + 1]));
    if (std::strcmp(argv[i], "--engine") == 0)
      engine = argv[i + 1];
  }
  // A fixed code page keeps the numbers independent of the locale.
  setenv("QUILLON_ANSI_CODEPAGE", "1252", 0);
  setenv("QUILLON_OEM_CODEPAGE", "437", 0);
  const std::vector<Source> sources = ListFolder(folder);
  if (sources.empty()) {
    std::fprintf(stderr, "No documents in %s\n", folder.c_str());
    return 1;
  }
  std::printf("Folder %s: %zu documents, %d rounds in-process\n", folder.c_str(), sources.size(),
              repeat);

  // Open (read the file, pick the reader, parse) per source type.
  std::map<std::string, Tally> open_by_type;
  std::vector<Document> docs(sources.size());
  std::vector<bool> opened(sources.size(), false);
  for (int round = 0; round < repeat; ++round) {
    for (std::size_t i = 0; i < sources.size(); ++i) {
      quillon::docengine::OpenOptions options;
      options.path = sources[i].path;
      Document doc;
      auto start = Clock::now();
      auto result = quillon::docengine::ReadDocumentFile(options, doc);
      Tally& t = open_by_type[sources[i].type];
      t.seconds += Seconds(start);
      ++t.docs;
      t.bytes += sources[i].bytes;
      if (!result.ok) {
        ++t.failures;
        if (round == 0)
          std::fprintf(stderr, "  %s: %s\n", sources[i].path.c_str(), result.error.c_str());
      } else if (round == 0) {
        docs[i] = std::move(doc);
        opened[i] = true;
      }
    }
  }
  std::printf("\nOpen (read + parse), per source type:\n");
  Tally all_open;
  for (const auto& [type, t] : open_by_type) {
    Print("open ." + type, t);
    all_open.docs += t.docs;
    all_open.bytes += t.bytes;
    all_open.seconds += t.seconds;
    all_open.failures += t.failures;
  }
  Print("open (all)", all_open);

  // Render per save format, over the documents that opened.
  std::printf("\nSave (render + encode), per save format; MB are source MB:\n");
  const std::vector<std::pair<int, const char*>> formats = {
      {2, "2 text"},          {3, "3 text+breaks"}, {4, "4 MS-DOS"},
      {5, "5 MS-DOS+breaks"}, {7, "7 Unicode"},     {6, "6 RTF"},
  };
  for (const auto& [format, name] : formats) {
    Tally t;
    for (int round = 0; round < repeat; ++round) {
      for (std::size_t i = 0; i < sources.size(); ++i) {
        if (!opened[i])
          continue;
        std::string bytes;
        std::string error;
        auto start = Clock::now();
        bool ok = quillon::docengine::RenderDocument(docs[i], format, 0, bytes, error);
        t.seconds += Seconds(start);
        ++t.docs;
        t.bytes += sources[i].bytes;
        if (!ok)
          ++t.failures;
      }
    }
    Print(std::string("save ") + name, t);
  }

  // Whole conversion in-process (open + format 2 + write the file).
  {
    Tally t;
    const std::string out = "/tmp/bench_engine_convert_" + std::to_string(getpid()) + ".txt";
    for (int round = 0; round < repeat; ++round) {
      for (const Source& source : sources) {
        auto start = Clock::now();
        quillon::docengine::OpenOptions options;
        options.path = source.path;
        Document doc;
        std::string error;
        bool ok = quillon::docengine::ReadDocumentFile(options, doc).ok &&
                  quillon::docengine::SaveDocument(doc, out, 2, 0, error);
        t.seconds += Seconds(start);
        ++t.docs;
        t.bytes += source.bytes;
        if (!ok)
          ++t.failures;
      }
    }
    std::remove(out.c_str());
    std::printf("\nWhole conversion:\n");
    Print("in-process open+save 2", t);
  }

  if (!engine.empty()) {
    Tally t;
    const std::string out = "/tmp/bench_engine_convert_cli_" + std::to_string(getpid()) + ".txt";
    auto start = Clock::now();
    for (const Source& source : sources) {
      std::string command =
          "'" + engine + "' --convert '" + source.path + "' '" + out + "' 2 >/dev/null 2>&1";
      int status = std::system(command.c_str());
      ++t.docs;
      t.bytes += source.bytes;
      if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        ++t.failures;
    }
    t.seconds = Seconds(start);
    std::remove(out.c_str());
    Print("quillon-engine --convert 2", t);
  }
  return 0;
}
