#include "platform/profile.h"

#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "fileio/files.h"

namespace quillon {
namespace {

std::string Trim(const std::string& text) {
  size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string::npos) {
    return {};
  }
  size_t end = text.find_last_not_of(" \t");
  return text.substr(begin, end - begin + 1);
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'A' && x <= 'Z') {
      x = static_cast<char>(x - 'A' + 'a');
    }
    if (y >= 'A' && y <= 'Z') {
      y = static_cast<char>(y - 'A' + 'a');
    }
    if (x != y) {
      return false;
    }
  }
  return true;
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  while (in && std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    lines.push_back(line);
  }
  return lines;
}

// The section name of a "[name]" line, or nothing.
std::optional<std::string> SectionOf(const std::string& line) {
  std::string trimmed = Trim(line);
  if (trimmed.size() < 2 || trimmed.front() != '[') {
    return std::nullopt;
  }
  size_t close = trimmed.find(']');
  if (close == std::string::npos) {
    return std::nullopt;
  }
  return Trim(trimmed.substr(1, close - 1));
}

// The key of a "key=value" line, or nothing.
std::optional<std::string> KeyOf(const std::string& line) {
  size_t equals = line.find('=');
  if (equals == std::string::npos) {
    return std::nullopt;
  }
  std::string key = Trim(line.substr(0, equals));
  if (key.empty() || key.front() == ';') {
    return std::nullopt;
  }
  return key;
}

std::string ValueOf(const std::string& line) {
  std::string value = Trim(line.substr(line.find('=') + 1));
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return value;
}

// Lines [first, last) of the section's body, or nothing when it is missing.
struct SectionRange {
  size_t first;
  size_t last;
};

std::optional<SectionRange> FindSection(const std::vector<std::string>& lines,
                                        const std::string& section) {
  for (size_t i = 0; i < lines.size(); ++i) {
    std::optional<std::string> name = SectionOf(lines[i]);
    if (!name || !SameName(*name, section)) {
      continue;
    }
    size_t end = i + 1;
    while (end < lines.size() && !SectionOf(lines[end])) {
      ++end;
    }
    return SectionRange{i + 1, end};
  }
  return std::nullopt;
}

bool WriteLines(const std::string& path, const std::vector<std::string>& lines) {
  std::string content;
  for (const std::string& line : lines) {
    content += line;
    content += "\r\n";
  }
  // A settings file that is a link (to a dotfiles folder, say) is written
  // where it points, and the link stays; an existing file keeps its mode, so
  // a private set.ini stays private.
  std::string target;
  std::string error;
  if (!fileio::FinalLinkTarget(path, target, error)) {
    return false;
  }
  fileio::MakeFolders(fileio::FolderOf(target), error);
  return fileio::WriteFileWhole(target, content, error);
}

}  // namespace

std::optional<int> ParseProfileInteger(const std::string& text) {
  std::string value = Trim(text);
  if (value.empty()) {
    return std::nullopt;
  }
  size_t pos = 0;
  bool negative = false;
  if (value[pos] == '-' || value[pos] == '+') {
    negative = value[pos] == '-';
    ++pos;
  }
  int base = 10;
  if (value.size() > pos + 1 && value[pos] == '0' &&
      (value[pos + 1] == 'x' || value[pos + 1] == 'X')) {
    base = 16;
    pos += 2;
  }
  if (pos >= value.size()) {
    return std::nullopt;
  }
  long long result = 0;
  for (; pos < value.size(); ++pos) {
    char c = value[pos];
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return std::nullopt;
    }
    result = result * base + digit;
    if (result > static_cast<long long>(UINT_MAX)) {
      return std::nullopt;
    }
  }
  if (base == 16 && !negative && result > INT_MAX) {
    // "0xFFFFFFFF" is -1, as a 32-bit value written in hexadecimal means.
    return static_cast<int>(static_cast<unsigned int>(result));
  }
  if (negative) {
    result = -result;
  }
  if (result < INT_MIN || result > INT_MAX) {
    return std::nullopt;
  }
  return static_cast<int>(result);
}

std::optional<std::string> ProfileFile::Read(const std::string& section,
                                             const std::string& key) const {
  std::vector<std::string> lines = ReadLines(path_);
  std::optional<SectionRange> range = FindSection(lines, section);
  if (!range) {
    return std::nullopt;
  }
  for (size_t i = range->first; i < range->last; ++i) {
    std::optional<std::string> name = KeyOf(lines[i]);
    if (name && SameName(*name, key)) {
      return ValueOf(lines[i]);
    }
  }
  return std::nullopt;
}

std::string ProfileFile::ReadString(const std::string& section, const std::string& key,
                                    const std::string& default_value) const {
  std::optional<std::string> value = Read(section, key);
  return value ? *value : default_value;
}

int ProfileFile::ReadInteger(const std::string& section, const std::string& key,
                             int default_value) const {
  std::optional<std::string> value = Read(section, key);
  if (!value) {
    return default_value;
  }
  std::optional<int> number = ParseProfileInteger(*value);
  return number ? *number : default_value;
}

bool ProfileFile::ReadBool(const std::string& section, const std::string& key,
                           bool default_value) const {
  return ReadInteger(section, key, default_value ? 1 : 0) != 0;
}

bool ProfileFile::WriteString(const std::string& section, const std::string& key,
                              const std::string& value) {
  std::vector<std::string> lines = ReadLines(path_);
  std::string entry = key + "=" + value;
  std::optional<SectionRange> range = FindSection(lines, section);
  if (!range) {
    if (!lines.empty() && !Trim(lines.back()).empty()) {
      lines.emplace_back();
    }
    lines.push_back("[" + section + "]");
    lines.push_back(entry);
    return WriteLines(path_, lines);
  }
  size_t insert_at = range->first;
  for (size_t i = range->first; i < range->last; ++i) {
    std::optional<std::string> name = KeyOf(lines[i]);
    if (name && SameName(*name, key)) {
      // The file already says exactly this: nothing to rewrite (the program
      // stores its settings at every start).
      if (lines[i] == entry)
        return true;
      lines[i] = entry;
      return WriteLines(path_, lines);
    }
    if (!Trim(lines[i]).empty()) {
      insert_at = i + 1;
    }
  }
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insert_at), entry);
  return WriteLines(path_, lines);
}

bool ProfileFile::WriteInteger(const std::string& section, const std::string& key, int value) {
  return WriteString(section, key, std::to_string(value));
}

bool ProfileFile::WriteBool(const std::string& section, const std::string& key, bool value) {
  return WriteString(section, key, value ? "1" : "0");
}

bool ProfileFile::DeleteKey(const std::string& section, const std::string& key) {
  std::vector<std::string> lines = ReadLines(path_);
  std::optional<SectionRange> range = FindSection(lines, section);
  if (!range) {
    return true;
  }
  for (size_t i = range->first; i < range->last; ++i) {
    std::optional<std::string> name = KeyOf(lines[i]);
    if (name && SameName(*name, key)) {
      lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
      return WriteLines(path_, lines);
    }
  }
  return true;
}

std::vector<std::string> ProfileFile::Keys(const std::string& section) const {
  std::vector<std::string> keys;
  std::vector<std::string> lines = ReadLines(path_);
  std::optional<SectionRange> range = FindSection(lines, section);
  if (!range) {
    return keys;
  }
  for (size_t i = range->first; i < range->last; ++i) {
    std::optional<std::string> name = KeyOf(lines[i]);
    if (name) {
      keys.push_back(*name);
    }
  }
  return keys;
}

bool ProfileFile::SectionExists(const std::string& section) const {
  return FindSection(ReadLines(path_), section).has_value();
}

}  // namespace quillon
