// Round trips to the word-processor server per converted document: every
// corpus document of one format converted to text through the real engine
// server, as a batch converts it, and the calls that waited for an answer
// counted by the client transport.
//
// Counters: docs (converted per pass), failed, round_trips_per_doc (the goal
// is at most 10), and docs_per_s.

#include <unistd.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "automation/client.h"
#include "engine/engine_dispatch.h"
#include "engine/word_connection.h"

namespace {

namespace fs = std::filesystem;

std::string BinDir() {
  std::error_code ec;
  return fs::read_symlink("/proc/self/exe", ec).parent_path().string();
}

std::string MakeScratch() {
  std::string scratch = (fs::temp_directory_path() / "quillon-trips-bench-XXXXXX").string();
  if (mkdtemp(scratch.data()) == nullptr) {
    return {};
  }
  return scratch;
}

std::vector<std::string> CorpusFiles(const std::string& format) {
  std::vector<std::string> files;
  std::error_code ec;
  for (const auto& entry :
       fs::directory_iterator(std::string(QUILLON_CORPUS_DIR) + "/" + format, ec)) {
    if (entry.is_regular_file() && entry.path().extension() == "." + format) {
      files.push_back(entry.path().string());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

void BM_RoundTrips(benchmark::State& state, const std::string& format) {
  const std::vector<std::string> files = CorpusFiles(format);
  if (files.empty() || access((BinDir() + "/quillon-engine").c_str(), X_OK) != 0) {
    state.SkipWithError("the corpus or quillon-engine is missing");
    return;
  }
  const std::string out = MakeScratch();
  // The corpus holds one password-protected document; its password is given.
  const std::string block = "\r\nopenpassword=tika\r\ntextdelimit=0\r\n\r\n";
  std::string error;
  // The server is started before the timing, as a running batch has it.
  quillon::engine::EnsureWord(error);
  std::uint64_t waited = 0;
  std::int64_t converted = 0;
  int failed = 0;
  for (auto _ : state) {
    failed = 0;
    for (const std::string& file : files) {
      const std::string destination = out + "/" + fs::path(file).filename().string() + ".txt";
      const std::uint64_t before = quillon::automation::WaitedCallCount();
      const bool ok = quillon::engine::ConvertDocument(file, destination, "7", block, error);
      waited += quillon::automation::WaitedCallCount() - before;
      ++converted;
      failed += ok ? 0 : 1;
    }
  }
  fs::remove_all(out);
  state.counters["docs"] = static_cast<double>(files.size());
  state.counters["failed"] = failed;
  state.counters["round_trips_per_doc"] =
      converted > 0 ? static_cast<double>(waited) / static_cast<double>(converted) : 0.0;
  state.counters["docs_per_s"] = benchmark::Counter(static_cast<double>(files.size()),
                                                    benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK_CAPTURE(BM_RoundTrips, docx, std::string("docx"))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_RoundTrips, rtf, std::string("rtf"))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_RoundTrips, html, std::string("html"))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_RoundTrips, doc, std::string("doc"))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  // A private runtime folder: the engine server of this run meets no other.
  const std::string runtime = MakeScratch();
  setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  quillon::engine::ReleaseWord();
  fs::remove_all(runtime);
  return 0;
}
