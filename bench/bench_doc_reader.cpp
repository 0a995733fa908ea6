// Converts every .doc of a folder to text through the Word 97-2003 reader
// and the text writer, in one process, and prints documents and megabytes
// per second. With --one FILE it converts one file to standard output, so
// that a script can time it per file beside other converters.
//
// With --big it builds one large document (MB megabytes of text: paragraphs
// in several languages, hidden text, fields, tables and footnotes) and
// times each stage on it in megabytes of text out per second: the reader,
// the text writers, and the engine's whole .doc road (open, save as RTF,
// close, open the RTF, save as text). --write-big writes that document to
// FILE for scripts that time other converters on it.
//
// Usage: bench_doc_reader [FOLDER] [REPEATS]   (default: the shared corpus)
//        bench_doc_reader --one FILE
//        bench_doc_reader --big [MB] [REPEATS]
//        bench_doc_reader --write-big FILE [MB]

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "automation/variant.h"
#include "docengine/doc_reader.h"
#include "docengine/object_model.h"
#include "docengine/reader_factories.h"
#include "docengine/rtf_writer.h"
#include "docengine/text_writer.h"
#include "tests/docengine/doc_fixture.h"

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

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A document of about `megabytes` MB of text, the same every run.
std::string BuildBigDoc(double megabytes) {
  using quillon::testing::Sprm;
  static const char* const kWords[] = {"the",     "conversion", "of",     "documents", "runs",
                                       "through", "every",      "reader", "and",       "writer",
                                       "while",   "tables",     "keep",   "their",     "cells",
                                       "apart",   "français",   "größe",  "naïve",     "déjà"};
  quillon::testing::DocFixture f;
  std::u16string& text = f.text;
  std::uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) & 0x7FFF;
  };
  auto add_word = [&](int k) {
    std::string w = kWords[k];
    // The words are UTF-8; the text is UTF-16 (all of them below U+0100).
    for (std::size_t i = 0; i < w.size(); ++i) {
      unsigned char c = static_cast<unsigned char>(w[i]);
      if (c >= 0xC0) {
        text.push_back(static_cast<char16_t>(((c & 0x1F) << 6) | (w[i + 1] & 0x3F)));
        ++i;
      } else {
        text.push_back(c);
      }
    }
  };
  const std::size_t target = static_cast<std::size_t>(megabytes * 1e6);
  int paragraph = 0;
  while (text.size() < target) {
    ++paragraph;
    const bool table_row = paragraph % 25 >= 22;
    const int cells = table_row ? 3 : 1;
    for (int cell = 0; cell < cells; ++cell) {
      const int begin = static_cast<int>(text.size());
      const int words = table_row ? 4 + next() % 4 : 12 + next() % 10;
      for (int w = 0; w < words; ++w) {
        if (w > 0)
          text.push_back(u' ');
        if (w == 5 && paragraph % 7 == 0) {
          text += u"\x13 HYPERLINK \"http://example.org\" \x14";
          add_word(next() % 20);
          text.push_back(0x15);
          continue;
        }
        add_word(next() % 20);
      }
      text += u".";
      const int end = static_cast<int>(text.size());
      // Two or three runs per paragraph: a language change, now and then
      // hidden text.
      const int split = begin + (end - begin) / 2;
      f.char_runs.push_back({begin, split, Sprm(0x486D, {0x09, 0x04})});
      f.char_runs.push_back({split, end, Sprm(0x486D, {0x0C, 0x04})});
      if (paragraph % 11 == 0) {
        f.char_runs.back().cp_end = end - 1;
        f.char_runs.push_back({end - 1, end, Sprm(0x083C, {1})});
      }
      const int mark = static_cast<int>(text.size());
      text.push_back(table_row ? 0x07 : 0x0D);
      if (table_row)
        f.para_props.push_back({mark, Sprm(0x2416, {1})});
    }
    if (table_row) {
      const int mark = static_cast<int>(text.size());
      text.push_back(0x07);
      f.para_props.push_back({mark, Sprm(0x2416, {1}) + Sprm(0x2417, {1})});
    }
  }
  f.ccp_text = static_cast<int>(text.size());
  f.title = "Big document";
  return quillon::testing::BuildDoc(f);
}

std::string TempPath(const std::string& name) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir != nullptr && *dir ? dir : "/tmp") + "/bench_doc_reader_" +
         std::to_string(getpid()) + "_" + name;
}

// The time of a stage over its passes: all of them, and the fastest one
// (the machine's own noise only ever adds time).
struct StageTime {
  double total = 0;
  double best = 0;
};

template <typename Pass>
StageTime TimePasses(int repeats, Pass pass) {
  StageTime t;
  for (int r = 0; r < repeats; ++r) {
    auto start = std::chrono::steady_clock::now();
    pass();
    const double s = SecondsSince(start);
    t.total += s;
    t.best = r == 0 ? s : std::min(t.best, s);
  }
  return t;
}

void Report(const char* stage, std::size_t text_bytes, int repeats, StageTime t) {
  const double mb = static_cast<double>(text_bytes) / 1e6;
  std::printf("  %-34s %8.3f s per pass %8.1f MB/s of text out, best pass %6.1f MB/s\n", stage,
              t.total / repeats, mb * repeats / t.total, mb / t.best);
}

// The engine's .doc road through its object model, in process.
StageTime TimeEngineRoad(const std::string& doc_path, int repeats, std::string& text) {
  using quillon::automation::Args;
  using quillon::automation::NamedArg;
  using quillon::automation::Variant;
  auto named = [](std::vector<NamedArg> args) {
    Args a;
    a.named = std::move(args);
    return a;
  };
  const std::string rtf = TempPath("road.rtf");
  const std::string txt = TempPath("road.txt");
  auto app = quillon::docengine::MakeApplication();
  auto documents = app->Get("Documents").AsObject();
  StageTime t = TimePasses(repeats, [&] {
    auto doc = documents->Call("Open", named({{"FileName", Variant(doc_path)}})).AsObject();
    doc->Call("SaveAs", named({{"FileName", Variant(rtf)}, {"FileFormat", Variant(6)}}));
    doc->Call("Close", named({{"SaveChanges", Variant(0)}}));
    doc = documents->Call("Open", named({{"FileName", Variant(rtf)}})).AsObject();
    doc->Call("SaveAs", named({{"FileName", Variant(txt)}, {"FileFormat", Variant(2)}}));
    doc->Call("Close", named({{"SaveChanges", Variant(0)}}));
  });
  text = Slurp(txt);
  std::remove(rtf.c_str());
  std::remove(txt.c_str());
  return t;
}

int RunBig(double megabytes, int repeats) {
  const std::string bytes = BuildBigDoc(megabytes);
  auto reader = quillon::docengine::MakeDocReader();
  OpenOptions options;
  Document doc;
  std::printf("big document: %.2f MB of .doc, %d repeats\n", bytes.size() / 1e6, repeats);
  bool read_ok = true;
  const StageTime read = TimePasses(repeats, [&] {
    doc = Document();
    read_ok = read_ok && reader->Read(bytes, options, doc).ok;
  });
  if (!read_ok) {
    std::cerr << "the big document does not read\n";
    return 1;
  }
  std::string text;
  const StageTime render = TimePasses(repeats, [&] { text = quillon::docengine::RenderText(doc); });
  std::string encoded, error;
  const StageTime encode =
      TimePasses(repeats, [&] { quillon::docengine::EncodeTextFile(text, 1252, encoded, error); });
  std::string wrapped;
  const StageTime wrap = TimePasses(
      repeats, [&] { quillon::docengine::RenderTextFile(doc, 3, 1252, wrapped, error); });
  std::string rtf;
  const StageTime rtf_time = TimePasses(repeats, [&] { rtf = quillon::docengine::RenderRtf(doc); });
  std::printf("  %zu bytes of text out, %zu of RTF\n", text.size(), rtf.size());
  Report("read .doc", text.size(), repeats, read);
  Report("render text (UTF-8)", text.size(), repeats, render);
  Report("encode as Windows-1252", text.size(), repeats, encode);
  Report("save 3 (wrapped lines)", text.size(), repeats, wrap);
  Report("render RTF", text.size(), repeats, rtf_time);
  Report("read + save 2", text.size(), repeats,
         {read.total + render.total + encode.total, read.best + render.best + encode.best});

  // The same road when the RTF is parsed again, as it was before the
  // engine took back the document it had just written.
  auto rtf_reader = quillon::docengine::MakeRtfReader();
  const StageTime again = TimePasses(repeats, [&] {
    Document first;
    reader->Read(bytes, options, first);
    Document second;
    rtf_reader->Read(quillon::docengine::RenderRtf(first), options, second);
    quillon::docengine::EncodeTextFile(quillon::docengine::RenderText(second), 1252, encoded,
                                       error);
  });
  Report("road, RTF parsed again (no files)", encoded.size(), repeats, again);

  const std::string doc_path = TempPath("big.doc");
  {
    std::ofstream out(doc_path, std::ios::binary);
    out << bytes;
  }
  std::string road_text;
  const StageTime road = TimeEngineRoad(doc_path, repeats, road_text);
  std::remove(doc_path.c_str());
  Report("engine .doc road (via RTF)", road_text.size(), repeats, road);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::string(argv[1]) == "--big") {
    double megabytes = argc > 2 ? std::atof(argv[2]) : 3.0;
    int repeats = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    return RunBig(megabytes > 0 ? megabytes : 3.0, repeats);
  }
  if (argc >= 3 && std::string(argv[1]) == "--write-big") {
    double megabytes = argc > 3 ? std::atof(argv[3]) : 3.0;
    std::ofstream out(argv[2], std::ios::binary);
    out << BuildBigDoc(megabytes > 0 ? megabytes : 3.0);
    return out ? 0 : 1;
  }
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
