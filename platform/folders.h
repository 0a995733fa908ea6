#pragma once
// Where the program's files live.
//
// Read-only side files (help.htm, License.txt, locale/, plugin.bas, samples)
// come with the program: beside the executable, or in ../share/quillon when
// the program is installed. The helper programs it starts (quillon-engine,
// wordcnv.dll) lie beside the executable too, or in ../libexec/quillon when
// installed. Writable files live in the state folder:
// - QUILLON_HOME, when set, holds everything (tests use it);
// - else a "set.ini" beside the executable means portable use, and the
//   executable's folder holds everything;
// - else "set.ini" and "watcher.ini" go to $XDG_CONFIG_HOME/quillon (default
//   ~/.config/quillon) and the logs to $XDG_STATE_HOME/quillon (default
//   ~/.local/state/quillon).
//
// Every folder is returned with a trailing "/". The state folders are worked
// out anew at each call (the environment may change in tests) and may not
// exist yet: writers create them with EnsureFolder.
//
// Thread: any thread.

#include <string>

namespace quillon {

// The folder of the running program file (/proc/self/exe).
std::string ProgramFolder();

// The full path of the running program file, as the system reports it.
std::string ProgramPath();

// The folder of the read-only side files.
std::string ResourceFolder();

// The full path of the helper program `name`: beside the executable when it
// lies there, else in ../libexec/quillon/ (returned even when absent there, so
// that the start fails naming the installed place).
std::string HelperProgramPath(const std::string& name);

// The folder of "set.ini" and "watcher.ini".
std::string ConfigFolder();

// The folder of the day logs and "error.log".
std::string LogFolder();

// True when the state lives beside the executable (QUILLON_HOME not set and
// a "set.ini" lies there).
bool IsPortable();

// The user's private folder for lock files and sockets, made on first use
// with mode 0700: $XDG_RUNTIME_DIR/quillon/, else /tmp/quillon-<uid>/.
// Empty, with `error` set, when it cannot be made or is not the user's own
// folder (a planted symbolic link or a folder of another user is refused).
std::string RuntimeFolder(std::string* error = nullptr);

// Makes the folder and its missing parents. True when it exists afterwards.
bool EnsureFolder(const std::string& folder, std::string* error = nullptr);

// The inputs of the state-folder rule, so that it can be checked without
// touching the real environment.
struct StateEnvironment {
  std::string quillon_home;     // QUILLON_HOME
  std::string xdg_config_home;  // XDG_CONFIG_HOME
  std::string xdg_state_home;   // XDG_STATE_HOME
  std::string home;             // HOME
};

struct StateFolders {
  std::string config;  // set.ini, watcher.ini
  std::string logs;    // day logs, error.log
  bool portable = false;
};

// The state-folder rule above for a program living in `program_folder`
// (trailing "/"). Relative XDG values are ignored, as the XDG rules ask.
StateFolders ResolveStateFolders(const std::string& program_folder, const StateEnvironment& env);

// The current environment's values.
StateEnvironment CurrentStateEnvironment();

}  // namespace quillon
