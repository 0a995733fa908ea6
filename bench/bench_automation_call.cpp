// Cost of one automation call round trip to a server process over its Unix
// socket: a property read, a call with named arguments as opening a document
// makes, and a call that returns an object handle which is then released.

#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "automation/client.h"
#include "automation/server.h"

namespace {

using namespace quillon::automation;

constexpr char kClass[] = "Quillon.Bench";

class Leaf : public Object {
 public:
  Variant Invoke(CallKind, std::string_view, const Args&) override { return Variant(1); }
};

class Root : public Object {
 public:
  Variant Invoke(CallKind kind, std::string_view name, const Args& args) override {
    if (kind == CallKind::kGet && NameEquals(name, "Version"))
      return Variant("16.0");
    if (NameEquals(name, "Open"))
      return Variant(args.Named("ReadOnly") != nullptr);
    if (NameEquals(name, "Child"))
      return Variant(ObjectPtr(std::make_shared<Leaf>()));
    return Variant();
  }
};

struct ServerProcess {
  pid_t pid = -1;
  std::string folder;
  ObjectPtr root;

  ServerProcess() {
    char pattern[] = "/tmp/quillon-bench-XXXXXX";
    folder = mkdtemp(pattern);
    setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
    pid = fork();
    if (pid == 0) {
      std::string socket = ServerSocketPath(kClass);
      const char* argv[] = {"bench-server", "--automation-server", "--class", kClass,
                            "--socket",     socket.c_str(),        nullptr};
      _exit(AutomationServerMain(6, const_cast<char**>(argv),
                                 [](const std::string&) { return std::make_shared<Root>(); }));
    }
    for (int i = 0; i < 2000 && root == nullptr; ++i) {
      root = AttachAutomationObject(kClass);
      if (root == nullptr)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (root == nullptr) {
      std::fprintf(stderr, "the benchmark server did not come up\n");
      std::exit(1);
    }
  }
  ~ServerProcess() {
    try {
      root->Call("Quit");
    } catch (const AutomationError&) {
    }
    root.reset();
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    std::filesystem::remove_all(folder);
  }
};

ServerProcess& Server() {
  static ServerProcess server;
  return server;
}

void BM_PropertyGet(benchmark::State& state) {
  Object& root = *Server().root;
  for (auto _ : state)
    benchmark::DoNotOptimize(root.Get("Version"));
}
BENCHMARK(BM_PropertyGet);

void BM_CallWithNamedArguments(benchmark::State& state) {
  Object& root = *Server().root;
  Args args;
  args.named = {{"FileName", Variant("/home/user/documents/report of the year.doc")},
                {"ReadOnly", Variant(true)},
                {"PasswordDocument", Variant("xx")}};
  for (auto _ : state)
    benchmark::DoNotOptimize(root.Call("Open", args));
}
BENCHMARK(BM_CallWithNamedArguments);

void BM_ObjectReturnedAndReleased(benchmark::State& state) {
  Object& root = *Server().root;
  for (auto _ : state) {
    ObjectPtr child = root.Call("Child").AsObject();
    benchmark::DoNotOptimize(child);
  }
}
BENCHMARK(BM_ObjectReturnedAndReleased);

// The floor under every call: one byte there and back over a Unix socket
// pair between two processes, with no protocol at all.
void BM_RawSocketPingPong(benchmark::State& state) {
  int pair[2];
  if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0) {
    state.SkipWithError("socketpair failed");
    return;
  }
  const pid_t echo = fork();
  if (echo == 0) {
    close(pair[0]);
    char byte;
    while (read(pair[1], &byte, 1) == 1) {
      if (write(pair[1], &byte, 1) != 1)
        break;
    }
    _exit(0);
  }
  close(pair[1]);
  char byte = 'x';
  for (auto _ : state) {
    if (write(pair[0], &byte, 1) != 1 || read(pair[0], &byte, 1) != 1) {
      state.SkipWithError("echo process gone");
      break;
    }
  }
  close(pair[0]);
  waitpid(echo, nullptr, 0);
}
BENCHMARK(BM_RawSocketPingPong);

}  // namespace

BENCHMARK_MAIN();
