#pragma once
// Helpers for tests that run real automation servers: a private runtime
// folder, the test server program, starting a server "by hand" (as a user
// would, so that clients attach to it) and watching processes end.

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>

#include "tests/support/temp_dir.h"

namespace quillon::testing {

// Points XDG_RUNTIME_DIR at a fresh temporary folder while it lives, so that
// servers of different tests never meet.
class RuntimeFolderScope {
 public:
  RuntimeFolderScope();
  ~RuntimeFolderScope();
  RuntimeFolderScope(const RuntimeFolderScope&) = delete;
  RuntimeFolderScope& operator=(const RuntimeFolderScope&) = delete;
  const std::string& path() const { return dir_.path(); }

 private:
  TempDir dir_;
  std::optional<std::string> previous_;
};

// The test automation server program built beside the tests.
std::string TestServerProgram();

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
