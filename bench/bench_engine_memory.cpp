// The word processor's peak resident memory over the whole corpus in one
// command-line batch (goal: at most 64 MB). The run's engine servers are
// found by their program and runtime folder and their VmHWM is read every
// 10 ms while the batch runs; the largest seen is the result (a peak in an
// engine's last 10 ms before it ends can be missed).

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// VmHWM in KiB of every engine of the run, by process id.
void SampleEngines(const std::string& engine, const std::string& runtime,
                   std::map<int, long>& peaks) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/proc", ec)) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos ||
        fs::read_symlink(entry.path() / "exe", ec).string() != engine ||
        ReadAll(entry.path().string() + "/environ").find(runtime + '\0') == std::string::npos) {
      continue;
    }
    const std::string status = ReadAll(entry.path().string() + "/status");
    const std::size_t at = status.find("VmHWM:");
    if (at != std::string::npos) {
      long& peak = peaks[std::stoi(name)];
      peak = std::max(peak, std::strtol(status.c_str() + at + 6, nullptr, 10));
    }
  }
}

}  // namespace

int main() {
  const std::string bin = fs::read_symlink("/proc/self/exe").parent_path().string();
  const std::string corpus = QUILLON_CORPUS_DIR;
  if (!fs::is_directory(corpus)) {
    std::printf("bench_engine_memory: the corpus %s is absent\n", corpus.c_str());
    return 0;
  }
  char scratch_template[] = "/tmp/quillon-bench-memory-XXXXXX";
  const std::string scratch = ::mkdtemp(scratch_template);
  fs::create_directories(scratch + "/run");
  fs::permissions(scratch + "/run", fs::perms::owner_all);
  fs::create_directories(scratch + "/out");
  const std::string runtime = "XDG_RUNTIME_DIR=" + scratch + "/run";

  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::setenv("QUILLON_HOME", (scratch + "/home").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (scratch + "/run").c_str(), 1);
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    if (std::freopen("/dev/null", "w", stdout) == nullptr ||
        std::freopen("/dev/null", "w", stderr) == nullptr) {
      ::_exit(126);
    }
    const std::string program = bin + "/quillon";
    const std::string destination = "/d:" + scratch + "/out";
    const std::string source = corpus + "/*.doc;*.docx;*.rtf;*.htm;*.html;*.wpd";
    ::execl(program.c_str(), program.c_str(), "/s", destination.c_str(), source.c_str(),
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  std::map<int, long> peaks;
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    SampleEngines(bin + "/quillon-engine", runtime, peaks);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  long peak = 0;
  for (const auto& [engine, kib] : peaks)
    peak = std::max(peak, kib);
  std::printf(
      "engine peak resident memory over the corpus: %.1f MB (goal at most 64 MB); %zu engine "
      "process(es); quillon exit code %d (errors); %.1f s\n",
      static_cast<double>(peak) / 1024.0, peaks.size(),
      WIFEXITED(status) ? WEXITSTATUS(status) : -1, seconds);
  fs::remove_all(scratch);
  return 0;
}
