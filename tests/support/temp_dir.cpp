#include "tests/support/temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <utility>

namespace fs = std::filesystem;

namespace quillon::testing {

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "quillon-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("mkdtemp failed");
  }
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::string TempDir::File(const std::string& relative) const {
  return path_ + "/" + relative;
}

TempDirVariable::TempDirVariable(std::string variable) : variable_(std::move(variable)) {
  if (const char* old = std::getenv(variable_.c_str())) {
    previous_ = old;
  }
  setenv(variable_.c_str(), dir_.path().c_str(), 1);
}

TempDirVariable::~TempDirVariable() {
  if (previous_) {
    setenv(variable_.c_str(), previous_->c_str(), 1);
  } else {
    unsetenv(variable_.c_str());
  }
}

void WriteFile(const std::string& path, const std::string& content) {
  fs::path p(path);
  if (p.has_parent_path()) {
    fs::create_directories(p.parent_path());
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!out) {
    throw std::runtime_error("cannot write " + path);
  }
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

std::string CorpusDir() {
  const char* env = std::getenv("QUILLON_CORPUS_DIR");
  std::string dir = env != nullptr ? env : QUILLON_CORPUS_DIR_DEFAULT;
  std::error_code ec;
  return fs::is_directory(dir, ec) ? dir : std::string();
}

}  // namespace quillon::testing
