#pragma once
// Runs the built `quillon` program the way a script does, in a private
// world: its own state folder (QUILLON_HOME), its own runtime folder (so it
// starts its own word-processor server and takes its own lock), no display,
// a pinned UTF-8 locale, and a working folder of its own.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace quillon::testing {

struct CliResult {
  int exit_code = -1;
  std::string out;  // standard output
  std::string err;  // standard error
};

class CliHarness {
 public:
  CliHarness() {
    std::filesystem::create_directories(Work());
    std::filesystem::create_directories(dir_.File("run"));
    ::chmod(dir_.File("run").c_str(), 0700);
  }

  static std::string BinDir() { return QUILLON_BIN_DIR; }
  static std::string Program() { return BinDir() + "/quillon"; }
  // Empty when both programs are built; else what is missing.
  static std::string Missing() {
    for (const char* name : {"/quillon", "/quillon-engine"}) {
      if (::access((BinDir() + name).c_str(), X_OK) != 0) {
        return BinDir() + name + " is not built";
      }
    }
    return {};
  }

  const std::string& Root() const { return dir_.path(); }
  std::string Home(const std::string& file = "") const { return dir_.File("home/" + file); }
  std::string Work(const std::string& file = "") const { return dir_.File("work/" + file); }

  // Copies a corpus document (path below the corpus folder) to `relative`
  // below the working folder.
  void CopyCorpus(const std::string& corpus_file, const std::string& relative) const {
    std::filesystem::path to(Work(relative));
    std::filesystem::create_directories(to.parent_path());
    std::filesystem::copy_file(CorpusDir() + "/" + corpus_file, to,
                               std::filesystem::copy_options::overwrite_existing);
  }

  CliResult Run(const std::vector<std::string>& args) const { return RunIn(Work(), args); }

  // Runs `program` instead of the built one (a copy with its own side
  // files), with extra environment variables.
  void UseProgram(const std::string& program) { program_ = program; }
  void SetEnv(const std::string& name, const std::string& value) { env_.emplace_back(name, value); }

  CliResult RunIn(const std::string& folder, const std::vector<std::string>& args) const {
    return Wait(StartIn(folder, args));
  }

  // Starts the program in the working folder without waiting for it, in a
  // process group of its own (as a shell starts a job, so that a signal to
  // the group reaches it as Ctrl-C would). Standard error goes to
  // `stderr_fd` when given, else to a file that Wait reads.
  pid_t Start(const std::vector<std::string>& args, int stderr_fd = -1) const {
    return StartIn(Work(), args, stderr_fd);
  }

  // Waits for a started program; its standard output and (unless it went
  // elsewhere) standard error.
  CliResult Wait(pid_t pid) const {
    CliResult result;
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
      result.exit_code = WEXITSTATUS(status);
    }
    result.out = ReadFile(dir_.File("stdout.txt"));
    result.err = ReadFile(dir_.File("stderr.txt"));
    return result;
  }

  // Runs the program with standard error on a pseudo-terminal of `columns`
  // columns (standard output still to a file); `err` receives what the
  // terminal showed.
  CliResult RunOnTerminal(const std::vector<std::string>& args, int columns) const {
    int master = -1, slave = -1;
    struct winsize size {};
    size.ws_row = 24;
    size.ws_col = static_cast<unsigned short>(columns);
    CliResult result;
    if (::openpty(&master, &slave, nullptr, nullptr, &size) != 0) {
      ADD_FAILURE() << "no pseudo-terminal";
      return result;
    }
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    pid_t pid = Start(args, slave);
    ::close(slave);
    std::string shown;
    auto drain = [&](int timeout_ms) {
      struct pollfd p {
        master, POLLIN, 0
      };
      char buffer[4096];
      while (::poll(&p, 1, timeout_ms) > 0) {
        ssize_t n = ::read(master, buffer, sizeof(buffer));
        if (n <= 0) {
          return false;  // EIO: the program's side is closed
        }
        shown.append(buffer, static_cast<size_t>(n));
      }
      return true;
    };
    int status = 0;
    while (pid > 0 && ::waitpid(pid, &status, WNOHANG) == 0) {
      drain(50);
    }
    drain(0);
    ::close(master);
    if (pid > 0 && WIFEXITED(status)) {
      result.exit_code = WEXITSTATUS(status);
    }
    result.out = ReadFile(dir_.File("stdout.txt"));
    result.err = shown;
    return result;
  }

  // Two documents the word processor cannot read, in `folder` below the
  // working folder.
  void MakeBrokenFiles(const std::string& folder) const {
    WriteFile(Work(folder + "/broken.docx"), std::string("PK\x03\x04not a package", 18));
    WriteFile(Work(folder + "/damaged.doc"),
              std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1 no compound file", 25));
  }

  // The lines of a CR LF file (empty when it is missing).
  static std::vector<std::string> Lines(const std::string& path) {
    std::vector<std::string> lines;
    std::string content = ReadFile(path);
    size_t start = 0;
    while (start < content.size()) {
      size_t end = content.find("\r\n", start);
      if (end == std::string::npos) {
        lines.push_back(content.substr(start));
        break;
      }
      lines.push_back(content.substr(start, end - start));
      start = end + 2;
    }
    return lines;
  }

  // Every regular file below `folder`, relative to it, sorted.
  static std::vector<std::string> FilesBelow(const std::string& folder) {
    std::vector<std::string> files;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
      if (it->is_regular_file()) {
        files.push_back(std::filesystem::relative(it->path(), folder).string());
      }
    }
    std::sort(files.begin(), files.end());
    return files;
  }

  // The paths of the day logs ("DD.log") in the state folder, sorted.
  std::vector<std::string> DayLogs() const {
    std::vector<std::string> logs;
    for (const std::string& name : FilesBelow(Home())) {
      if (name.size() == 6 && name.substr(2) == ".log") {
        logs.push_back(Home(name));
      }
    }
    return logs;
  }

 private:
  pid_t StartIn(const std::string& folder, const std::vector<std::string>& args,
                int stderr_fd = -1) const {
    std::string out_path = dir_.File("stdout.txt");
    std::string err_path = dir_.File("stderr.txt");
    if (stderr_fd >= 0) {
      ::unlink(err_path.c_str());  // an old run's text is never taken for this one's
    }
    pid_t pid = ::fork();
    if (pid == 0) {
      ::setpgid(0, 0);
      int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      int err =
          stderr_fd >= 0 ? stderr_fd : ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      int in = ::open("/dev/null", O_RDONLY);
      if (out < 0 || err < 0 || in < 0 || ::chdir(folder.c_str()) != 0) {
        ::_exit(126);
      }
      ::dup2(in, 0);
      ::dup2(out, 1);
      ::dup2(err, 2);
      ::setenv("QUILLON_HOME", Home().c_str(), 1);
      ::setenv("XDG_RUNTIME_DIR", dir_.File("run").c_str(), 1);
      ::setenv("LANG", "C.UTF-8", 1);
      ::setenv("LC_ALL", "C.UTF-8", 1);
      ::unsetenv("LANGUAGE");
      ::unsetenv("DISPLAY");
      ::unsetenv("WAYLAND_DISPLAY");
      for (const auto& [name, value] : env_)
        ::setenv(name.c_str(), value.c_str(), 1);
      std::vector<std::string> argv_strings = {program_};
      argv_strings.insert(argv_strings.end(), args.begin(), args.end());
      std::vector<char*> argv;
      for (std::string& s : argv_strings) {
        argv.push_back(s.data());
      }
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    return pid;
  }

  TempDir dir_;
  std::string program_ = Program();
  std::vector<std::pair<std::string, std::string>> env_;
};

// Fixture of the tests that run the program: each test has its own harness;
// without the built programs or the corpus the test is skipped, saying why.
class CliRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string missing = CliHarness::Missing();
    if (!missing.empty()) {
      GTEST_SKIP() << missing;
    }
    if (CorpusDir().empty()) {
      GTEST_SKIP() << "the document corpus (../shared/corpus) is absent";
    }
  }

  CliHarness h_;
};

}  // namespace quillon::testing
