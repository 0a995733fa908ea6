// Watched folders, in process, with the real engine server:
//
// - drop_10000: 10,000 small documents dropped into a watched folder at
//   once; each must be converted exactly once (converted, twice, missing are
//   counted from the log lines and the results).
// - idle_cpu_10000: the CPU the watcher thread uses over an idle folder of
//   10,000 files, in per cent of one core (goal: at most 3).
// - arrival_to_text: files dropped one at a time; the delay from a file's
//   arrival to its text file (median and 90th percentile, milliseconds).
//
// Everything lives in a scratch folder under $TMPDIR that is removed at the
// end; the engine server runs with a private runtime folder.

#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <benchmark/benchmark.h>
#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "engine/word_connection.h"
#include "jobs/batch_driver.h"
#include "jobs/destination_formats.h"
#include "watch/watch_list.h"
#include "watch/watch_processing.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const char kDocument[] =
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Times New Roman;}}\\pard A watched document with a "
    "few words of text.\\par}\n";

std::string BinDir() {
  std::error_code ec;
  return fs::read_symlink("/proc/self/exe", ec).parent_path().string();
}

std::string MakeScratch() {
  std::string scratch = (fs::temp_directory_path() / "quillon-watch-bench-XXXXXX").string();
  if (mkdtemp(scratch.data()) == nullptr) {
    return {};
  }
  return scratch;
}

void WriteDocument(const std::string& path) {
  std::ofstream(path, std::ios::binary) << kDocument;
}

double ProcessCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

bool RunEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  auto until = Clock::now() + limit;
  while (!done()) {
    if (Clock::now() >= until) {
      return false;
    }
    QCoreApplication::processEvents();
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

class CountingLog : public quillon::BatchLog {
 public:
  void AddLogLine(const std::string& line) override {
    const std::string marker = "successfully convert ";
    size_t at = line.find(marker);
    if (at != std::string::npos) {
      std::string rest = line.substr(at + marker.size());
      ++converted[rest.substr(0, rest.find(" to "))];
    }
  }
  void ReportError(const std::string& message) override { errors.push_back(message); }
  void WriteLogFiles() override {}
  void ClearBatchErrors() override { errors.clear(); }
  std::vector<std::string> BatchErrors() override { return errors; }
  std::string TimeText() override { return "00:00:00"; }

  std::map<std::string, int> converted;
  std::vector<std::string> errors;
};

// One watched folder with its list, processor and log.
struct Watched {
  explicit Watched(const std::string& scratch)
      : in(scratch + "/in"), out(scratch + "/out"), processor(list, formats, log) {
    fs::create_directories(in);
    fs::create_directories(out);
    formats.Fill();
  }
  bool Start() {
    int row = list.AddWatchRow(true, in, out, "*.rtf", "", "No", formats.ListTexts().front());
    processor.StartWatchEntry(row);
    const quillon::TFileSystemWatcher* watcher = list.entry(row).watcher.get();
    return RunEventsUntil([watcher] { return watcher->Ready(); }, 60s);
  }

  std::string in;
  std::string out;
  quillon::DestinationFormatTable formats;
  quillon::WatchListModel list;
  CountingLog log;
  quillon::WatchProcessor processor;
};

bool EngineMissing(benchmark::State& state) {
  if (access((BinDir() + "/quillon-engine").c_str(), X_OK) != 0) {
    state.SkipWithError("quillon-engine is not built");
    return true;
  }
  return false;
}

void BM_Drop10000(benchmark::State& state) {
  if (EngineMissing(state)) {
    return;
  }
  constexpr int kFiles = 10000;
  for (auto _ : state) {
    std::string scratch = MakeScratch();
    {
      Watched watched(scratch);
      if (!watched.Start()) {
        state.SkipWithError("the watcher never took its first listing");
        break;
      }
      // Written beside the folder and moved in, so every file arrives whole.
      fs::create_directories(scratch + "/staging");
      for (int i = 0; i < kFiles; ++i) {
        WriteDocument(scratch + "/staging/d" + std::to_string(i) + ".rtf");
      }
      auto start = Clock::now();
      for (int i = 0; i < kFiles; ++i) {
        std::string name = "/d" + std::to_string(i) + ".rtf";
        fs::rename(scratch + "/staging" + name, watched.in + name);
      }
      auto all_done = [&watched] {
        return static_cast<int>(watched.log.converted.size() + watched.log.errors.size()) >=
                   kFiles &&
               watched.processor.pending_events().empty() && !watched.processor.busy();
      };
      RunEventsUntil(all_done, 1800s);
      double seconds = std::chrono::duration<double>(Clock::now() - start).count();
      // A few more listings: a second report of any file would show now.
      RunEventsUntil([] { return false; }, 3s);
      int once = 0;
      int twice = 0;
      int missing = 0;
      for (int i = 0; i < kFiles; ++i) {
        auto it = watched.log.converted.find(watched.in + "/d" + std::to_string(i) + ".rtf");
        int times = it == watched.log.converted.end() ? 0 : it->second;
        bool result = fs::exists(watched.out + "/d" + std::to_string(i) + ".txt");
        once += times == 1 && result;
        twice += times > 1;
        missing += times == 0 || !result;
      }
      state.counters["converted_once"] = once;
      state.counters["converted_twice_or_more"] = twice;
      state.counters["missing"] = missing;
      state.counters["errors"] = static_cast<double>(watched.log.errors.size());
      state.counters["seconds"] = seconds;
      state.counters["files_per_s"] = kFiles / seconds;
      watched.processor.StopAllWatches();
    }
    fs::remove_all(scratch);
  }
}

void BM_IdleCpu10000(benchmark::State& state) {
  constexpr int kFiles = 10000;
  const auto kWindow = std::chrono::seconds(state.range(0));
  for (auto _ : state) {
    std::string scratch = MakeScratch();
    {
      Watched watched(scratch);
      for (int i = 0; i < kFiles; ++i) {
        WriteDocument(watched.in + "/d" + std::to_string(i) + ".rtf");
      }
      if (!watched.Start()) {
        state.SkipWithError("the watcher never took its first listing");
        break;
      }
      double cpu_before = ProcessCpuSeconds();
      auto start = Clock::now();
      // The main thread only waits; what the process uses is the watcher's.
      while (Clock::now() - start < kWindow) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(100ms);
      }
      double wall = std::chrono::duration<double>(Clock::now() - start).count();
      double cpu = ProcessCpuSeconds() - cpu_before;
      state.counters["cpu_percent_of_one_core"] = 100.0 * cpu / wall;
      state.counters["events"] = static_cast<double>(watched.log.converted.size());
      watched.processor.StopAllWatches();
    }
    fs::remove_all(scratch);
  }
}

void BM_ArrivalToText(benchmark::State& state) {
  if (EngineMissing(state)) {
    return;
  }
  const int files = static_cast<int>(state.range(0));
  for (auto _ : state) {
    std::string scratch = MakeScratch();
    {
      Watched watched(scratch);
      if (!watched.Start()) {
        state.SkipWithError("the watcher never took its first listing");
        break;
      }
      fs::create_directories(scratch + "/staging");
      std::vector<double> delays;
      for (int i = 0; i < files; ++i) {
        std::string name = "/a" + std::to_string(i) + ".rtf";
        WriteDocument(scratch + "/staging" + name);
        // Arrivals spread over the listing interval.
        RunEventsUntil([] { return false; }, std::chrono::milliseconds(137 * (i % 7)));
        auto arrived = Clock::now();
        fs::rename(scratch + "/staging" + name, watched.in + name);
        std::string result = watched.out + "/a" + std::to_string(i) + ".txt";
        if (!RunEventsUntil([&result] { return fs::exists(result); }, 60s)) {
          state.SkipWithError(("no text file for " + name).c_str());
          break;
        }
        delays.push_back(std::chrono::duration<double, std::milli>(Clock::now() - arrived).count());
      }
      std::sort(delays.begin(), delays.end());
      if (!delays.empty()) {
        state.counters["median_ms"] = delays[delays.size() / 2];
        state.counters["p90_ms"] = delays[delays.size() * 9 / 10];
        state.counters["max_ms"] = delays.back();
      }
      watched.processor.StopAllWatches();
    }
    fs::remove_all(scratch);
  }
}

BENCHMARK(BM_Drop10000)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_IdleCpu10000)->Arg(20)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_ArrivalToText)->Arg(30)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  // A private runtime folder: the engine server of this run meets no other.
  std::string runtime = MakeScratch();
  setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  quillon::engine::ReleaseWord();
  fs::remove_all(runtime);
  return 0;
}
