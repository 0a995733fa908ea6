// A small automation server for the tests of the transport and of the
// word-processor connection. It answers a few application properties the
// connection uses ("Version", "Visible", "DisplayAlerts", "Quit") and methods
// that misbehave on request: sleep, hang, crash, fail, spawn a helper.
//
// Environment:
//   QUILLON_TEST_SERVER_VERSION   the "Version" text (default "16.0")
//   QUILLON_TEST_SERVER_PID_FILE  write the process id there at start
//   QUILLON_TEST_SERVER_STALL     never start serving (a server that hangs
//                                 before it answers)

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>

#include "automation/server.h"
#include "tests/support/describe_args.h"

namespace {

using quillon::automation::Args;
using quillon::automation::AutomationError;
using quillon::automation::CallKind;
using quillon::automation::NameEquals;
using quillon::automation::Object;
using quillon::automation::ObjectPtr;
using quillon::automation::Variant;

std::atomic<int> live_children{0};

class Child : public Object {
 public:
  explicit Child(int number) : number_(number) { ++live_children; }
  ~Child() override { --live_children; }
  int number() const { return number_; }

  Variant Invoke(CallKind kind, std::string_view name, const Args&) override {
    if (kind == CallKind::kGet && NameEquals(name, "Name")) {
      return Variant("child " + std::to_string(number_));
    }
    throw AutomationError("Unknown name \"" + std::string(name) + "\"");
  }

 private:
  int number_;
};

std::string NameChild(Object& object) {
  auto* child = dynamic_cast<Child*>(&object);
  return child ? "child " + std::to_string(child->number()) : "?";
}

class Application : public Object {
 public:
  explicit Application(std::string class_id) : class_id_(std::move(class_id)) {
    const char* version = std::getenv("QUILLON_TEST_SERVER_VERSION");
    version_ = version ? version : "16.0";
  }

  Variant Invoke(CallKind kind, std::string_view name, const Args& args) override {
    auto is = [&](CallKind k, const char* n) { return kind == k && NameEquals(name, n); };
    const Variant* first = args.At(0);
    if (is(CallKind::kGet, "Version"))
      return Variant(version_);
    if (is(CallKind::kGet, "ClassId"))
      return Variant(class_id_);
    if (is(CallKind::kGet, "ProcessId"))
      return Variant(static_cast<std::int32_t>(getpid()));
    if (is(CallKind::kGet, "LiveObjects"))
      return Variant(static_cast<std::int32_t>(live_children));
    if (is(CallKind::kGet, "Visible"))
      return Variant(visible_);
    if (is(CallKind::kPut, "Visible") && first) {
      visible_ = first->ToBool();
      return Variant();
    }
    if (is(CallKind::kGet, "DisplayAlerts"))
      return Variant(alerts_);
    if (is(CallKind::kPut, "DisplayAlerts") && first) {
      alerts_ = first->ToBool();
      return Variant();
    }
    if (is(CallKind::kMethod, "MakeChild"))
      return Variant(ObjectPtr(std::make_shared<Child>(++made_)));
    if (is(CallKind::kMethod, "Echo"))
      return first ? *first : Variant();
    if (is(CallKind::kMethod, "Describe"))
      return Variant(quillon::testing::DescribeArgs(args, NameChild));
    if (is(CallKind::kMethod, "Sleep") && first) {
      usleep(static_cast<useconds_t>(first->ToInt()) * 1000);
      return Variant(true);
    }
    if (is(CallKind::kMethod, "Hang")) {
      for (;;)
        pause();
    }
    if (is(CallKind::kMethod, "Crash"))
      raise(SIGKILL);
    if (is(CallKind::kMethod, "Fail"))
      throw AutomationError(first ? first->ToText() : "failed");
    if (is(CallKind::kMethod, "FailStd"))
      throw std::runtime_error("standard failure");
    if (is(CallKind::kMethod, "Spawn")) {
      // A helper in the server's process group, as a reader might start one.
      const pid_t pid = fork();
      if (pid == 0) {
        execl("/bin/sleep", "sleep", "600", static_cast<char*>(nullptr));
        _exit(127);
      }
      return Variant(static_cast<std::int32_t>(pid));
    }
    if (is(CallKind::kMethod, "Quit"))
      return Variant();
    throw AutomationError("Unknown name \"" + std::string(name) + "\"");
  }

 private:
  std::string class_id_;
  std::string version_;
  bool visible_ = false;
  bool alerts_ = true;
  int made_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (const char* pid_file = std::getenv("QUILLON_TEST_SERVER_PID_FILE")) {
    if (FILE* f = std::fopen(pid_file, "w")) {
      std::fprintf(f, "%d\n", static_cast<int>(getpid()));
      std::fclose(f);
    }
  }
  if (std::getenv("QUILLON_TEST_SERVER_STALL") != nullptr) {
    for (;;)
      pause();
  }
  if (!quillon::automation::IsAutomationServerInvocation(argc, argv)) {
    std::fprintf(stderr, "usage: %s --automation-server --class ID [--socket PATH]\n", argv[0]);
    return 2;
  }
  return quillon::automation::AutomationServerMain(argc, argv,
                                                   [](const std::string& class_id) -> ObjectPtr {
                                                     return std::make_shared<Application>(class_id);
                                                   });
}
