#pragma once
// Test helpers for files: a temporary folder removed with its contents at the
// end of the test, whole-file read and write, and the shared corpus folder.

#include <string>

namespace quillon::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // Absolute path without a trailing "/".
  const std::string& path() const { return path_; }
  // path() + "/" + relative
  std::string File(const std::string& relative) const;

 private:
  std::string path_;
};

// Writes `content` to `path`, creating missing parent folders.
void WriteFile(const std::string& path, const std::string& content);
// The whole file; empty when it cannot be read.
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);

// The folder of real documents beside the checkout, or empty when it is
// absent (tests then skip and say so).
std::string CorpusDir();

}  // namespace quillon::testing
