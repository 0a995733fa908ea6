#include "tests/support/test_automation_server_control.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <thread>

#include "automation/client.h"

namespace quillon::testing {

std::string TestServerProgram() {
  // Every program of the build lands in one folder.
  char buffer[4096];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  std::string self(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
  return self.substr(0, self.rfind('/')) + "/test_automation_server";
}

TestServerScope::TestServerScope(std::vector<std::string> class_ids)
    : saved_options_(automation::DefaultConnectionOptions()) {
  automation::ConnectionOptions options;
  options.call_timeout = std::chrono::seconds(10);
  options.start_timeout = std::chrono::seconds(10);
  automation::SetDefaultConnectionOptions(options);
  for (std::string& id : class_ids) {
    std::optional<std::string> previous = automation::RegisteredServer(id);
    automation::RegisterServer(id, TestServerProgram());
    saved_programs_.emplace_back(std::move(id), std::move(previous));
  }
}

TestServerScope::~TestServerScope() {
  for (const auto& [id, program] : saved_programs_) {
    automation::RegisterServer(id, program.value_or(""));
  }
  automation::SetDefaultConnectionOptions(saved_options_);
}

pid_t StartServerByHand(const std::string& class_id) {
  int ready[2];
  if (pipe2(ready, O_CLOEXEC) != 0)
    return -1;
  pid_t pid = -1;
  try {
    pid = automation::StartServerProcess(TestServerProgram(), class_id, false, ready[1]);
  } catch (const automation::AutomationError&) {
  }
  close(ready[1]);
  char byte = 0;
  pollfd p{ready[0], POLLIN, 0};
  const bool up = pid > 0 && poll(&p, 1, 10000) == 1 && read(ready[0], &byte, 1) == 1;
  close(ready[0]);
  if (!up && pid > 0)
    KillProcessGroup(pid);
  return up ? pid : -1;
}

bool ProcessGone(pid_t pid) {
  if (kill(pid, 0) != 0 && errno == ESRCH)
    return true;
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string pid_text, name, state;
  // The name field has no blanks for the programs these tests start.
  if (!(stat >> pid_text >> name >> state))
    return true;
  return state == "Z" || state == "X";
}

bool WaitProcessGone(pid_t pid, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!ProcessGone(pid)) {
    if (std::chrono::steady_clock::now() > end)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

void KillProcessGroup(pid_t pid) {
  if (pid > 0)
    kill(-pid, SIGKILL);
}

}  // namespace quillon::testing
