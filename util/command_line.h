#pragma once
// The start parameters and the two questions the start-up asks of them.
//
// Parameters are the command-line arguments after the program name.
// Comparisons here are exact and case-sensitive: "/MIN" is not "/min".
//
// Thread: SetProcessArguments on the main thread before anything else runs;
// the rest from any thread.

#include <string>
#include <vector>

namespace quillon {

// Records the process's parameters (argv[1..argc-1]).
void SetProcessArguments(int argc, const char* const* argv);

// The recorded parameters; read from /proc/self/cmdline when
// SetProcessArguments was never called.
std::vector<std::string> ProcessArguments();

// The number of parameters, less one for each that equals "-Embedding" and
// one for each that equals "/min". Above 0 means a command-line conversion.
int CountConversionParams(const std::vector<std::string>& args);
int CountConversionParams();  // of ProcessArguments()

// True when some parameter equals "-Embedding".
bool HasEmbeddingParam(const std::vector<std::string>& args);
bool HasEmbeddingParam();  // of ProcessArguments()

}  // namespace quillon
