#pragma once
// INI files read and written the way the Windows profile-string functions do
// it, for "set.ini" and any other settings file of the program.
//
// - Every write rewrites the whole file at once (through a temporary file
//   renamed over it), so another process, or the next start after a crash,
//   sees each change. A write of the very line the file already holds for
//   the key leaves the file as it is. The file keeps its permission bits, and a file that
//   is a symbolic link is written at the link's target; the link stays.
// - Every read reads the file anew; nothing is cached.
// - Section and key names match ignoring the case of A-Z. Section names are
//   taken as they stand, backslash included ("Tarvell\Quillon"); keys keep
//   their inner blanks ("Create Log File").
// - Values are trimmed of surrounding blanks and tabs; a value wholly inside
//   one pair of double or single quotes loses them.
// - Integers are written in decimal; read in decimal or, after "0x", in
//   hexadecimal. A value that is no integer reads as the default.
// - Booleans are written as "1" and "0" and read as integers: anything but 0
//   is true.
// - Lines are written with CR LF; files with LF only are read as well. Lines
//   that are neither sections nor keys (comments) are kept.
//
// Failures (missing file, no permission) are not reported: reads yield the
// default, writes return false.
//
// Thread: one object per thread; the file itself is not locked.

#include <optional>
#include <string>
#include <vector>

namespace quillon {

class ProfileFile {
 public:
  explicit ProfileFile(std::string path) : path_(std::move(path)) {}

  const std::string& path() const { return path_; }

  // The raw value, or nothing when the key (or the file) is missing.
  std::optional<std::string> Read(const std::string& section, const std::string& key) const;

  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& default_value) const;
  int ReadInteger(const std::string& section, const std::string& key, int default_value) const;
  bool ReadBool(const std::string& section, const std::string& key, bool default_value) const;

  bool WriteString(const std::string& section, const std::string& key, const std::string& value);
  bool WriteInteger(const std::string& section, const std::string& key, int value);
  bool WriteBool(const std::string& section, const std::string& key, bool value);

  // Removes one key; true when the file no longer holds it.
  bool DeleteKey(const std::string& section, const std::string& key);

  // The key names of a section in file order (empty when it is missing).
  std::vector<std::string> Keys(const std::string& section) const;
  bool SectionExists(const std::string& section) const;

  // Writes go to disk at once; this only exists for callers that end with
  // an explicit flush. Always true.
  bool Flush() { return true; }

 private:
  std::string path_;
};

// Reads an integer as the profile functions do: optional sign, decimal
// digits or "0x" and hexadecimal digits, blanks around allowed. Nothing
// when the text is not such a number or does not fit an int.
std::optional<int> ParseProfileInteger(const std::string& text);

}  // namespace quillon
