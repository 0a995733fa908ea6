#include "tests/support/engine_processes.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace quillon::testing {

namespace fs = std::filesystem;

std::string ReadProc(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<pid_t> EngineProcesses(const std::string& engine_program,
                                   const std::string& runtime_folder) {
  const std::string runtime = "XDG_RUNTIME_DIR=" + runtime_folder + '\0';
  std::vector<pid_t> found;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/proc", ec)) {
    const std::string name = entry.path().filename().string();
    if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) {
      continue;
    }
    std::error_code link_ec;
    if (fs::read_symlink(entry.path() / "exe", link_ec).string() != engine_program) {
      continue;
    }
    const std::string environ = ReadProc(entry.path().string() + "/environ");
    // The first variable has no '\0' before it.
    if (environ.rfind(runtime, 0) == 0 || environ.find('\0' + runtime) != std::string::npos) {
      found.push_back(static_cast<pid_t>(std::stoi(name)));
    }
  }
  return found;
}

}  // namespace quillon::testing
