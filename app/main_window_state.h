#pragma once
// The long-lived state of the main window and the two fixed sequences that
// build it up at start and take it down at the end.
//
// SetUpMainWindow and ShutDownMainWindow run their numbered steps in one fixed order; every step
// is a function of its own in main_window_state.cpp. Steps whose feature is
// not built yet are empty and say what fills them: a feature joins the
// start-up by filling its step, never by a call elsewhere.
//
// Life of a process: MainWindowState state(args); SetUpMainWindow(state); then, when
// state.timer1_enabled, Timer1Timer(state) once the event loop runs; at the
// end ShutDownMainWindow(state), whose result is the process exit code.
//
// Thread: main thread only.

#include <memory>
#include <string>
#include <vector>

#include "app/command_line_run.h"
#include "app/language_menu.h"
#include "app/run_mode.h"
#include "app/settings.h"
#include "engine/conversion_options.h"
#include "jobs/destination_formats.h"
#include "jobs/manual_list.h"
#include "platform/named_lock.h"
#include "support/logs.h"
#include "watch/watch_list.h"
#include "watch/watch_processing.h"

namespace quillon {

// The name of the lock that makes command-line runs wait for each other.
inline constexpr const char* kCommandLineLockName = "Quillon";

// The lock held while the main window lives, for other programs to see that
// folders are being watched.
inline constexpr const char* kFolderWatchLockName = "Quillon-FolderWatch";

// The fixed value of ApplicationKind: the program drives the word processor.
inline constexpr const char* kApplicationKindWord = "word";

// The window's side of the set-up steps. The steps run in the order of
// SetUpMainWindow whether or not a window exists; a window registers itself
// in MainWindowState::view before the set-up and is called from the step
// that owns the work. A command-line run has no view.
class MainWindowView {
 public:
  virtual ~MainWindowView() = default;
  virtual void TranslateTexts() {}           // [1]
  virtual void InstallDropHandling() {}      // [10]
  virtual void ShowCaption() {}              // [11] MainWindowState::caption
  virtual void ShowOptionPanels() {}         // [12] filters, panels for ApplicationKind
  virtual void ShowLanguageMenu() {}         // [14] MainWindowState::language_menu
  virtual void ShowDestinationFormats() {}   // [15] the format list
  virtual void ShowLoadedSettings() {}       // [16] check marks, choices, start page
  virtual void InstallMinimiseHandling() {}  // [18] outside a command-line run
  // After a switch of the interface language: every text again from its
  // English original, the caption kept as it is.
  virtual void RetranslateTexts() {}
};

struct MainWindowState {
  explicit MainWindowState(std::vector<std::string> start_arguments);

  // Fixed at start.
  std::vector<std::string> arguments;
  RunMode run_mode;
  // A tray start without a display: the headless watch service.
  bool watch_service = false;

  // Filled by the set-up steps (the step number in brackets).
  bool tray_icon_active = false;                      // [3] shown by the tray icon once it exists
  int conversion_param_count = 0;                     // [4] CountConversionParams
  NamedLock command_line_lock{kCommandLineLockName};  // [4] held in a command-line run
  std::string tray_hint;                              // [5]
  std::string program_folder;                         // [6] with a trailing "/"
  Logs logs;  // [7], [8] BatchErrors and DailyLogLines live here
  // [2] The queue of watch events and its idle handler; its log is the
  // program's logs.
  std::unique_ptr<LogsBatchLog> watch_log;
  std::unique_ptr<WatchProcessor> watch_processing;
  NamedLock folder_watch_lock{kFolderWatchLockName};
  WatchListModel watch_list;                   // [9] from "watcher.ini"
  std::string caption;                         // [11]
  std::string application_kind;                // [12]
  LanguageMenu language_menu;                  // [14] "Change GUI Language"
  DestinationFormatTable destination_formats;  // [15]
  std::unique_ptr<Settings> settings;          // [16] set.ini; null in an automation start
  // The manual list; a command-line run puts its one row here.
  ManualList manual_list;
  // The values of the option panels, from which every request block is built.
  engine::ConversionOptions options;
  bool timer1_enabled = false;  // [18] the command-line run is due
  // The window, when there is one (not owned).
  MainWindowView* view = nullptr;

  // The set-up steps that ran, in order; an "-Embedding" start ends after 13.
  std::vector<int> completed_steps;
};

// The set-up sequence of the main window. In a command-line run it waits
// (without a time limit) for the command-line lock before it goes on.
void SetUpMainWindow(MainWindowState& state);

// Switches the interface language to `code` (the settings' hook for
// "Language"): moves the menu's check mark when an entry has the code,
// switches the catalog and translates the window again.
void SwitchInterfaceLanguage(MainWindowState& state, const std::string& code);

// The command-line run, once, as soon as the event loop runs.
void Timer1Timer(MainWindowState& state);

// The shut-down sequence. Returns the process exit code: the number of lines
// in BatchErrors, held at 255 (a larger count would wrap around and could
// read as success).
int ShutDownMainWindow(MainWindowState& state);

}  // namespace quillon
