// Whole command-line runs of the built program, as a script starts them:
// the sample documents beside the program, and every document of the shared
// corpus. Each run starts its own word-processor server (a private runtime
// folder) and writes its logs into a private state folder, so the times
// include the start and end of both processes. "per_file" is the wall time
// of a run divided by the files it converts.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::string kMasks = "*.doc;*.docx;*.rtf;*.htm;*.html";

std::string BinDir() {
  std::error_code ec;
  return fs::read_symlink("/proc/self/exe", ec).parent_path().string();
}

int CountDocuments(const std::string& folder) {
  int count = 0;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(folder, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    std::string ext = it->path().extension().string();
    if (it->is_regular_file() &&
        (ext == ".doc" || ext == ".docx" || ext == ".rtf" || ext == ".htm" || ext == ".html")) {
      ++count;
    }
  }
  return count;
}

// Runs quillon with `args`; its exit code, or -1.
int RunQuillon(const std::string& scratch, const std::vector<std::string>& args) {
  pid_t pid = fork();
  if (pid == 0) {
    int null_fd = open("/dev/null", O_RDWR);
    dup2(null_fd, 0);
    dup2(null_fd, 1);
    dup2(null_fd, 2);
    setenv("QUILLON_HOME", (scratch + "/home").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (scratch + "/run").c_str(), 1);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    std::vector<std::string> strings = {BinDir() + "/quillon"};
    strings.insert(strings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& s : strings) {
      argv.push_back(s.data());
    }
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
    return -1;
  }
  return WEXITSTATUS(status);
}

void RunFolder(benchmark::State& state, const std::string& folder, const std::string& extra) {
  if (!fs::is_directory(folder) || access((BinDir() + "/quillon-engine").c_str(), X_OK) != 0) {
    state.SkipWithError((folder + " or quillon-engine is missing").c_str());
    return;
  }
  std::string scratch = (fs::temp_directory_path() / "quillon-bench-XXXXXX").string();
  if (mkdtemp(scratch.data()) == nullptr) {
    state.SkipWithError("no scratch folder");
    return;
  }
  fs::create_directories(scratch + "/run");
  chmod((scratch + "/run").c_str(), 0700);
  int files = CountDocuments(folder);
  int errors = 0;
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(scratch + "/out");
    fs::remove_all(scratch + "/home");
    state.ResumeTiming();
    std::vector<std::string> args = {"/d:" + scratch + "/out", "/s", folder + "/" + kMasks};
    if (!extra.empty()) {
      args.insert(args.begin(), extra);
    }
    errors = RunQuillon(scratch, args);
  }
  fs::remove_all(scratch);
  state.counters["files"] = files;
  state.counters["errors"] = errors;
  state.counters["per_file"] = benchmark::Counter(
      files, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_CommandLineSamples(benchmark::State& state) {
  RunFolder(state, BinDir() + "/samples", "");
}
BENCHMARK(BM_CommandLineSamples)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_CommandLineCorpus(benchmark::State& state) {
  // The corpus holds one password-protected document; its password is given.
  RunFolder(state, QUILLON_CORPUS_DIR, "/p:tika");
}
BENCHMARK(BM_CommandLineCorpus)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(5.0);

}  // namespace

BENCHMARK_MAIN();
