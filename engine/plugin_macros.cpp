#include "engine/plugin_macros.h"

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <exception>
#include <optional>

#include "automation/client.h"

#include "engine/legacy_preconvert.h"
#include "engine/word_calls.h"
#include "engine/word_connection.h"
#include "util/translate.h"

namespace quillon::engine {
namespace {

// How long one macro may run: QUILLON_MACRO_TIME_LIMIT_MS, else the
// connection's own call deadline. A macro that runs past it costs the word
// processor (it is ended and the next conversion starts a fresh one), never
// the batch.
std::optional<std::chrono::milliseconds> MacroTimeLimit() {
  const char* text = std::getenv("QUILLON_MACRO_TIME_LIMIT_MS");
  if (text == nullptr || *text == '\0')
    return std::nullopt;
  char* end = nullptr;
  const long long ms = std::strtoll(text, &end, 10);
  if (*end != '\0' || ms <= 0)
    return std::nullopt;
  return std::chrono::milliseconds(ms);
}

std::string RunPluginMacro(automation::Object& document, const std::string& macro_name) {
  automation::ObjectPtr component;
  std::string error_text;
  ImportPluginModule(document, component, error_text);
  if (!error_text.empty()) {
    return error_text;
  }
  const automation::ObjectPtr application = WordApplication();
  if (!application) {
    return Tr(
        "Can not load Microsoft Word, you must install Microsoft Word first, please try "
        "again!");
  }
  try {
    const std::optional<std::chrono::milliseconds> limit = MacroTimeLimit();
    std::optional<automation::CallTimeoutScope> scope;
    if (limit)
      scope.emplace(*limit);
    RunWordMacro(*application, macro_name);
  } catch (const std::exception& error) {
    return error.what();
  }
  try {
    RemoveMacroModule(*application, component);
  } catch (const std::exception& error) {
    return error.what();
  }
  return {};
}

}  // namespace

std::string PluginModulePath() {
  return EngineFileFolder() + kPluginModuleName;
}

void ImportPluginModule(automation::Object& document, automation::ObjectPtr& component,
                        std::string& error_text) {
  error_text.clear();
  component.reset();
  const std::string path = PluginModulePath();
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    error_text = TrFormat("%s is not existed", {path});
    return;
  }
  try {
    component = ImportMacroModule(document, path);
  } catch (const std::exception& error) {
    error_text = error.what();
  }
}

std::string RunBeforeConversionMacro(automation::Object& document) {
  return RunPluginMacro(document, "BeforeConversion");
}

std::string RunAfterConversionMacro(automation::Object& document) {
  return RunPluginMacro(document, "AfterConversion");
}

}  // namespace quillon::engine
