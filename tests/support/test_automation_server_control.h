#pragma once
// Helpers for tests that run real automation servers: the test server
// program, starting a server "by hand" (as a user would, so that clients
// attach to it) and watching processes end. Their private runtime folder is
// RuntimeFolderScope (temp_dir.h).

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "automation/client.h"
#include "tests/support/temp_dir.h"

namespace quillon::testing {

// The test automation server program built beside the tests.
std::string TestServerProgram();

// While it lives, the test server program answers for each of `class_ids`
// and new connections wait at most 10 s for a call or a start: room for a
// loaded machine, yet a hung server fails the test instead of stalling the
// suite. Then the earlier registrations and time limits come back.
class TestServerScope {
 public:
  explicit TestServerScope(std::vector<std::string> class_ids);
  ~TestServerScope();
  TestServerScope(const TestServerScope&) = delete;
  TestServerScope& operator=(const TestServerScope&) = delete;

 private:
  automation::ConnectionOptions saved_options_;
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_programs_;
};

// Starts the test server for class_id without the client's "create" and waits
// until it listens. Returns its process id, or -1 when it did not come up.
pid_t StartServerByHand(const std::string& class_id);

// True once the process has ended (an unreaped zombie counts as ended).
bool ProcessGone(pid_t pid);
// Waits up to limit for ProcessGone.
bool WaitProcessGone(pid_t pid, std::chrono::milliseconds limit = std::chrono::seconds(5));

// SIGKILL to the process group led by pid, if it is still there.
void KillProcessGroup(pid_t pid);

}  // namespace quillon::testing
