#include "engine/legacy_preconvert.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <mutex>

#include "engine/engine_text.h"
#include "engine/process_runner.h"
#include "platform/folders.h"
#include "util/translate.h"

namespace quillon::engine {
namespace {

// The converter is told the names of the word processor's own text
// converter modules; it picks its import by them.
constexpr char kImportConverter[] = "LOTUS32.CNV";
constexpr char kExportConverter[] = "html32.cnv";

std::mutex& FolderLock() {
  static std::mutex lock;
  return lock;
}

std::string& ChosenFolder() {
  static std::string folder;
  return folder;
}

bool FileExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

bool IsLegacyExtension(const std::string& lower_extension) {
  return lower_extension == ".dbf" || lower_extension == ".wk1" || lower_extension == ".wk2" ||
         lower_extension == ".wk3" || lower_extension == ".wk4" || lower_extension == ".123";
}

std::string EngineFileFolder() {
  std::lock_guard<std::mutex> guard(FolderLock());
  if (!ChosenFolder().empty()) {
    return ChosenFolder();
  }
  return ResourceFolder();
}

void SetEngineFileFolder(const std::string& folder) {
  std::lock_guard<std::mutex> guard(FolderLock());
  ChosenFolder() = folder;
  if (!folder.empty() && folder.back() != '/') {
    ChosenFolder() += '/';
  }
}

std::string LegacyConverterPath() {
  {
    std::lock_guard<std::mutex> guard(FolderLock());
    if (!ChosenFolder().empty()) {
      return ChosenFolder() + kLegacyConverterName;
    }
  }
  return HelperProgramPath(kLegacyConverterName);
}

std::string LegacyConverterCommandLine(const std::string& converter, const std::string& source,
                                       const std::string& html) {
  return "\"" + converter + "\" \"" + source + "\" \"" + html + "\" \"" + kImportConverter +
         "\" \"" + kExportConverter + "\"";
}

std::string PreconvertLegacyFile(const std::string& source, const std::string& html) {
  std::remove(html.c_str());
  try {
    const std::string converter = LegacyConverterPath();
    const std::string output =
        RunAndCaptureArgs({converter, source, html, kImportConverter, kExportConverter},
                          LegacyConverterCommandLine(converter, source, html));
    if (output.find("error") != std::string::npos) {
      return TrimBlanksAndControls(output);
    }
    if (FileExists(html)) {
      return {};
    }
    if (output.empty()) {
      return TrFormat("call word conversion dll error, can't create destination html file=%s",
                      {html});
    }
    return output;
  } catch (const std::exception& error) {
    return error.what();
  }
}

}  // namespace quillon::engine
