#pragma once
// Test helpers for files: a temporary folder removed with its contents at the
// end of the test, private folders named by environment variables, whole-file
// read and write, and the shared corpus folder.

#include <optional>
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

// Points an environment variable at a fresh temporary folder while it lives,
// then puts back what was there before (or unsets it), so that the state of
// one test never leaks into the next.
class TempDirVariable {
 public:
  explicit TempDirVariable(std::string variable);
  ~TempDirVariable();
  TempDirVariable(const TempDirVariable&) = delete;
  TempDirVariable& operator=(const TempDirVariable&) = delete;

  const std::string& path() const { return dir_.path(); }
  std::string File(const std::string& relative) const { return dir_.File(relative); }

 private:
  std::string variable_;
  TempDir dir_;
  std::optional<std::string> previous_;
};

// A private XDG_RUNTIME_DIR: the locks and automation servers of different
// tests never meet, nor those of programs running beside the tests.
class RuntimeFolderScope : public TempDirVariable {
 public:
  RuntimeFolderScope() : TempDirVariable("XDG_RUNTIME_DIR") {}
};

// A private QUILLON_HOME: the program's settings and logs start empty.
class StateFolderScope : public TempDirVariable {
 public:
  StateFolderScope() : TempDirVariable("QUILLON_HOME") {}
};

// A private TMPDIR: the program's temporary files and its work folder land
// where the test can see them. TempDirs made while it lives are made inside
// it, so a fixture declares it after its other folders.
class TempFolderScope : public TempDirVariable {
 public:
  TempFolderScope() : TempDirVariable("TMPDIR") {}
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
