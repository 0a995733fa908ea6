#include "util/command_line.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>

namespace quillon {
namespace {

std::mutex& ArgumentsMutex() {
  static std::mutex mutex;
  return mutex;
}

std::optional<std::vector<std::string>>& RecordedArguments() {
  static std::optional<std::vector<std::string>> args;
  return args;
}

std::vector<std::string> ArgumentsFromProc() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> args;
  size_t start = 0;
  while (start < all.size()) {
    size_t end = all.find('\0', start);
    if (end == std::string::npos) {
      end = all.size();
    }
    args.push_back(all.substr(start, end - start));
    start = end + 1;
  }
  if (!args.empty()) {
    args.erase(args.begin());  // the program itself
  }
  return args;
}

}  // namespace

void SetProcessArguments(int argc, const char* const* argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    args.emplace_back(argv[i]);
  }
  std::lock_guard<std::mutex> lock(ArgumentsMutex());
  RecordedArguments() = std::move(args);
}

std::vector<std::string> ProcessArguments() {
  std::lock_guard<std::mutex> lock(ArgumentsMutex());
  if (!RecordedArguments()) {
    RecordedArguments() = ArgumentsFromProc();
  }
  return *RecordedArguments();
}

int CountConversionParams(const std::vector<std::string>& args) {
  auto start_mode_only = [](const std::string& arg) {
    return arg == "-Embedding" || arg == "/min";
  };
  return static_cast<int>(args.size()) -
         static_cast<int>(std::count_if(args.begin(), args.end(), start_mode_only));
}

int CountConversionParams() {
  return CountConversionParams(ProcessArguments());
}

bool HasEmbeddingParam(const std::vector<std::string>& args) {
  return std::find(args.begin(), args.end(), "-Embedding") != args.end();
}

bool HasEmbeddingParam() {
  return HasEmbeddingParam(ProcessArguments());
}

}  // namespace quillon
