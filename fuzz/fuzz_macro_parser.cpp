// libFuzzer target: any bytes as a macro module. The parser either builds
// the module or throws SyntaxError; it must never crash, hang or run its
// stack out. Modules that parse are run as well, bounded by a deadline, so
// the interpreter sees every shape the parser accepts.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "docengine/macro_interpreter.h"
#include "docengine/macro_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillon::docengine::macro;
  const std::string_view source(reinterpret_cast<const char*>(data), size);
  std::shared_ptr<Module> module;
  try {
    module = std::make_shared<Module>(ParseModule(source));
  } catch (const SyntaxError&) {
    return 0;
  }
  ModuleRuntime runtime(module);
  for (const Procedure& procedure : module->procedures) {
    RunContext context;
    context.deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(50);
    try {
      runtime.Run(procedure.name, context);
    } catch (const MacroFailure&) {
    } catch (const MacroTimeout&) {
    }
  }
  return 0;
}
