// Opening a file: load it within the limits, choose the reader by content.

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "charset/code_page.h"
#include "docengine/reader.h"
#include "docengine/reader_factories.h"

namespace quillon::docengine {
namespace {

constexpr std::size_t kSniffBytes = 4096;

bool StartsWith(std::string_view data, std::string_view prefix) {
  return data.size() >= prefix.size() && data.compare(0, prefix.size(), prefix) == 0;
}

bool LoadFile(const std::string& path, const ReadLimits& limits, std::string& data,
              std::string& error) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    error = "The file " + path + " cannot be found.";
    return false;
  }
  if (S_ISDIR(info.st_mode)) {
    error = "The file " + path + " is a folder, not a document.";
    return false;
  }
  if (static_cast<std::uint64_t>(info.st_size) > limits.max_input_bytes) {
    error = "The file " + path + " is too large to open (" + std::to_string(info.st_size) +
            " bytes; the limit is " + std::to_string(limits.max_input_bytes) + ").";
    return false;
  }
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    error = "The file " + path + " cannot be opened: " + std::strerror(errno) + ".";
    return false;
  }
  data.clear();
  data.reserve(static_cast<std::size_t>(info.st_size));
  char buffer[65536];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    // The file may grow while it is read; the limit holds all the same.
    if (data.size() + got > limits.max_input_bytes) {
      std::fclose(file);
      error = "The file " + path + " is too large to open.";
      return false;
    }
    data.append(buffer, got);
  }
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) {
    error = "The file " + path + " cannot be read.";
    return false;
  }
  return true;
}

// A message that names what the file seems to be when no reader took it.
std::string UnsupportedMessage(std::string_view head, const std::string& path) {
  std::string kind;
  if (StartsWith(head, "\xD0\xCF\x11\xE0")) {
    kind = "a compound document (Word 97-2003 or another program's)";
  } else if (StartsWith(head, "PK\x03\x04")) {
    kind = "a zip package";
  } else if (StartsWith(head, "\xFFWPC")) {
    kind = "a WordPerfect document";
  } else if (StartsWith(head, "%PDF")) {
    kind = "a PDF document";
  }
  if (kind.empty())
    return "The file " + path + " is not in a format this engine can open.";
  return "The file " + path + " is " + kind + ", a format this engine cannot open.";
}

// An OOXML package protected by a password travels inside a compound file
// as "EncryptedPackage"; no reader decrypts it.
bool IsEncryptedPackage(std::string_view data) {
  static const std::string kName("E\0n\0c\0r\0y\0p\0t\0e\0d\0P\0a\0c\0k\0a\0g\0e\0", 32);
  return StartsWith(data, "\xD0\xCF\x11\xE0") && data.find(kName) != std::string_view::npos;
}

}  // namespace

ReadResult ReadDocumentFile(const OpenOptions& options, Document& doc) {
  std::string data;
  std::string error;
  if (!LoadFile(options.path, options.limits, data, error))
    return ReadResult::Failure(error);
  doc = Document();
  ReadResult result;
  if (options.recover_any) {
    result = RecoverText(data, options, doc);
  } else {
    const std::string_view head = std::string_view(data).substr(0, kSniffBytes);
    const Reader* best = nullptr;
    int best_score = 0;
    for (const auto& reader : BuiltInReaders()) {
      int score = reader->Sniff(head, options.path);
      if (score > best_score) {
        best_score = score;
        best = reader.get();
      }
    }
    if (best != nullptr)
      result = best->Read(data, options, doc);
    if (best == nullptr || !result.ok) {
      if (IsEncryptedPackage(data))
        return ReadResult::Failure(kPasswordIncorrectMessage);
      if (best == nullptr)
        return ReadResult::Failure(UnsupportedMessage(head, options.path));
    }
  }
  if (!result.ok) {
    doc = Document();
    if (result.error.empty())
      result.error = "The file " + options.path + " cannot be opened.";
    return result;
  }
  if (doc.open_encoding == 0)
    doc.open_encoding = AnsiCodePage();
  return result;
}

}  // namespace quillon::docengine
