#pragma once
// Finding the word-processor server of one test among the machine's
// processes: the engine program started with that test's private runtime
// folder.

#include <sys/types.h>

#include <string>
#include <vector>

namespace quillon::testing {

// The whole content of a /proc file (empty when it cannot be read).
std::string ReadProc(const std::string& path);

// The processes running `engine_program` whose XDG_RUNTIME_DIR is
// `runtime_folder`.
std::vector<pid_t> EngineProcesses(const std::string& engine_program,
                                   const std::string& runtime_folder);

}  // namespace quillon::testing
