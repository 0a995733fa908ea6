#pragma once
// Runs a console program and collects what it prints, for the legacy
// converter program and any other helper the engine starts.
//
// Thread: the calling thread blocks until the program ends, letting pending
// application events run meanwhile when a QCoreApplication exists (so call it
// from the main thread there). Nothing is left behind: the program and
// anything it started in its process group are ended and reaped, every pipe
// is closed, and no descriptor leaks into other children (close-on-exec).

#include <chrono>
#include <string>
#include <vector>

namespace quillon::engine {

inline constexpr std::chrono::milliseconds kDefaultRunTimeLimit{std::chrono::minutes(10)};

// Splits a command line into arguments: blanks separate, double quotes group
// (and are removed). The first argument names the program; without a "/" it
// is searched on PATH.
std::vector<std::string> SplitCommandLine(const std::string& command_line);

// Runs the program, standard input from /dev/null, standard output and
// standard error both into one pipe so that their chunks keep the order in
// which they were written. Returns the output with every line break made
// CR LF.
//
// - When the program cannot be started the result is: can not run
//   "<command line>", <system message>.
// - Output written after the program has ended (by something it left
//   running) is not collected; such leftovers are killed.
// - When `time_limit` passes, the program's process group is killed and a
//   line saying so (with the word "error") ends the output.
// Throws std::system_error when the pipe cannot be made.
std::string RunAndCapture(const std::string& command_line,
                          std::chrono::milliseconds time_limit = kDefaultRunTimeLimit);

// The same with the arguments already split, so that paths holding quotes
// or blanks reach the program intact; `command_text` is what the "can not
// run" and time-limit texts show.
std::string RunAndCaptureArgs(const std::vector<std::string>& arguments,
                              const std::string& command_text,
                              std::chrono::milliseconds time_limit = kDefaultRunTimeLimit);

// Every CR LF becomes LF, then every LF becomes CR LF.
std::string NormaliseLineBreaks(const std::string& text);

// Lets queued application events run (nothing without a QCoreApplication).
void LetPendingMessagesRun();

// True once the application has begun to shut down.
bool ApplicationTerminating();

}  // namespace quillon::engine
