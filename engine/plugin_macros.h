#pragma once
// The user's macro module "plugin.bas" run inside the word processor just
// before and just after a document is saved as text.
//
// The module is imported afresh for each run and removed again afterwards,
// so the document is left without it (except when the macro itself fails).
// Thread: main thread only.

#include <string>

#include "automation/variant.h"

namespace quillon::engine {

inline constexpr char kPluginModuleName[] = "plugin.bas";

// EngineFileFolder() + "plugin.bas".
std::string PluginModulePath();

// Imports the module into the document's macro project. On failure the
// component stays null and error_text is "%s is not existed" (the module
// file is missing) or the word processor's message. error_text is cleared
// first.
void ImportPluginModule(automation::Object& document, automation::ObjectPtr& component,
                        std::string& error_text);

// Import, run "BeforeConversion" through the held application, remove.
// Returns the first failure's text, empty on success.
std::string RunBeforeConversionMacro(automation::Object& document);

// The same with "AfterConversion".
std::string RunAfterConversionMacro(automation::Object& document);

}  // namespace quillon::engine
