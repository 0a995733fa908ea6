#include "engine/process_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "fileio/unique_fd.h"
#include "util/translate.h"

extern char** environ;

namespace quillon::engine {
namespace {

using Clock = std::chrono::steady_clock;

// How long one wait for output lasts before the program's state and the
// application's events are looked at again.
constexpr int kPollSliceMs = 10;

using fileio::UniqueFd;

// Appends whatever the pipe holds right now; false once the pipe has no
// writer left (end of file) or fails.
bool ReadAvailable(int fd, std::string& output) {
  char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got > 0) {
      output.append(buffer, static_cast<std::size_t>(got));
      continue;
    }
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      return true;
    }
    return false;
  }
}

bool HasEnded(pid_t pid) {
  siginfo_t info{};
  // WNOWAIT keeps the process a zombie, so that its id (and with it the id of
  // its process group) cannot be reused before the group has been killed.
  for (;;) {
    info.si_pid = 0;
    if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0) {
      return info.si_pid == pid;
    }
    if (errno != EINTR) {
      return true;  // nothing left to wait for
    }
  }
}

void Reap(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

std::string CanNotRunText(const std::string& command_text, int error) {
  return "can not run \"" + command_text + "\", " + std::strerror(error);
}

}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& command_line) {
  std::vector<std::string> arguments;
  std::string current;
  bool in_argument = false;
  bool quoted = false;
  for (const char c : command_line) {
    if (c == '"') {
      quoted = !quoted;
      in_argument = true;
    } else if (!quoted && (c == ' ' || c == '\t' || c == '\n' || c == '\r')) {
      if (in_argument) {
        arguments.push_back(current);
        current.clear();
        in_argument = false;
      }
    } else {
      current += c;
      in_argument = true;
    }
  }
  if (in_argument) {
    arguments.push_back(current);
  }
  return arguments;
}

std::string NormaliseLineBreaks(const std::string& text) {
  std::string result;
  result.reserve(text.size() + text.size() / 16);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      continue;  // the LF that follows brings its own CR
    }
    if (text[i] == '\n') {
      result += "\r\n";
    } else {
      result += text[i];
    }
  }
  return result;
}

void LetPendingMessagesRun() {
  if (QCoreApplication::instance() != nullptr) {
    QCoreApplication::processEvents();
  }
}

bool ApplicationTerminating() {
  return QCoreApplication::closingDown();
}

std::string RunAndCapture(const std::string& command_line, std::chrono::milliseconds time_limit) {
  return RunAndCaptureArgs(SplitCommandLine(command_line), command_line, time_limit);
}

std::string RunAndCaptureArgs(const std::vector<std::string>& arguments,
                              const std::string& command_text,
                              std::chrono::milliseconds time_limit) {
  if (arguments.empty()) {
    return CanNotRunText(command_text, ENOENT);
  }
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) {
    throw std::system_error(errno, std::generic_category(), "pipe");
  }
  UniqueFd read_end(ends[0]);
  UniqueFd write_end(ends[1]);

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attributes);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, write_end.get(), STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, write_end.get(), STDERR_FILENO);
  // Its own process group, so that a time-out or a leftover helper can be
  // ended as a whole; default signal handling and an open mask whatever the
  // caller has set up.
  sigset_t no_signals;
  sigset_t default_signals;
  sigemptyset(&no_signals);
  sigemptyset(&default_signals);
  sigaddset(&default_signals, SIGPIPE);
  sigaddset(&default_signals, SIGINT);
  sigaddset(&default_signals, SIGTERM);
  sigaddset(&default_signals, SIGCHLD);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setsigmask(&attributes, &no_signals);
  posix_spawnattr_setsigdefault(&attributes, &default_signals);
  posix_spawnattr_setflags(&attributes,
                           POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  std::vector<char*> argv;
  argv.reserve(arguments.size() + 1);
  for (const std::string& argument : arguments) {
    argv.push_back(const_cast<char*>(argument.c_str()));
  }
  argv.push_back(nullptr);

  pid_t pid = 0;
  const int spawn_error =
      ::posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (spawn_error != 0) {
    return CanNotRunText(command_text, spawn_error);
  }
  // Only the child may hold the write end now, so that end of file means
  // every writer is gone.
  write_end.Close();
  ::fcntl(read_end.get(), F_SETFL, ::fcntl(read_end.get(), F_GETFL) | O_NONBLOCK);

  std::string output;
  bool pipe_open = true;
  bool timed_out = false;
  const Clock::time_point deadline = Clock::now() + time_limit;
  for (;;) {
    if (pipe_open) {
      pollfd waiting{read_end.get(), POLLIN, 0};
      if (::poll(&waiting, 1, kPollSliceMs) > 0) {
        pipe_open = ReadAvailable(read_end.get(), output);
      }
    } else {
      ::usleep(kPollSliceMs * 1000);
    }
    if (HasEnded(pid)) {
      break;
    }
    if (Clock::now() >= deadline) {
      timed_out = true;
      break;
    }
    LetPendingMessagesRun();
    if (ApplicationTerminating()) {
      break;
    }
  }
  // Whatever the program or its helpers still run in its group is ended;
  // what the program wrote before it ended is still in the pipe and kept.
  ::kill(-pid, SIGKILL);
  if (pipe_open) {
    ReadAvailable(read_end.get(), output);
  }
  Reap(pid);
  read_end.Close();

  if (timed_out) {
    if (!output.empty() && output.back() != '\n') {
      output += '\n';
    }
    output +=
        TrFormat("run error, \"%s\" did not end within %d seconds and was stopped",
                 {command_text, static_cast<std::int64_t>((time_limit.count() + 999) / 1000)});
    output += '\n';
  }
  return NormaliseLineBreaks(output);
}

}  // namespace quillon::engine
