#include "app/main_window_state.h"

#include <algorithm>
#include <cstdio>

#include "app/command_line_run.h"
#include "app/watch_service.h"
#include "engine/word_connection.h"
#include "platform/folders.h"
#include "platform/prompter.h"
#include "support/auto_run.h"
#include "util/command_line.h"
#include "util/translate.h"

namespace quillon {
namespace {

constexpr int kHighestExitCode = 255;

bool NoParameters(const MainWindowState& state) {
  return state.arguments.empty();
}

// ---- Set-up steps -------------------------------------------------------

// [1] The windows translate their texts when the interface language is
// built (language selection walks the widgets). Nothing to translate
// without a window.
void TranslateWindowTexts(MainWindowState& state) {
  if (state.view != nullptr) {
    state.view->TranslateTexts();
  }
}

std::string WatchListPath() {
  return ConfigFolder() + kWatchListFileName;
}

// What the option controls say when a watched file converts; the format is
// the entry's.
BatchChoices WatchChoices(const MainWindowState& state) {
  BatchChoices choices;
  choices.options = state.options;
  if (state.settings) {
    choices.options.text_delimited_index = state.settings->text_delimited_index();
    choices.delete_source = state.settings->delete_source();
  }
  return choices;
}

// [2] The queue and its idle handler; the lock other programs can see.
void CreateWatchEventQueue(MainWindowState& state) {
  state.watch_log = std::make_unique<LogsBatchLog>(state.logs);
  state.watch_processing = std::make_unique<WatchProcessor>(
      state.watch_list, state.destination_formats, *state.watch_log);
  state.watch_processing->SetChoicesSource([&state] { return WatchChoices(state); });
  state.watch_processing->SetTrayUpdates(NoParameters(state));
  state.folder_watch_lock.TryAcquire();
}

// [3]
void ActivateTrayIconWhenAsked(MainWindowState& state) {
  if (NoParameters(state)) {
    state.tray_icon_active = true;
  }
  for (const std::string& arg : state.arguments) {
    if (arg == "/min") {
      state.tray_icon_active = true;
    }
  }
}

// [4] Command-line runs wait here for each other. An automation start never
// converts, so it leaves the lock alone (see DetermineRunMode).
void TakeCommandLineLock(MainWindowState& state) {
  state.conversion_param_count = CountConversionParams(state.arguments);
  if (state.run_mode != RunMode::kCommandLine) {
    return;
  }
  std::string error;
  if (!state.command_line_lock.Acquire(&error)) {
    // Better to convert without waiting for other runs than not at all.
    CurrentPrompter().Error(TrFormat("Error, reason is %s", {error}));
  }
}

// [5]
void SetIdleTrayHint(MainWindowState& state) {
  if (NoParameters(state)) {
    state.tray_hint = Tr("Idle, ") + QUILLON_VERSION_TEXT;
  }
}

// [6]
void DetermineProgramFolder(MainWindowState& state) {
  state.program_folder = ProgramFolder();
}

// [7]
void CreateLists(MainWindowState& state) {
  state.logs.ClearBatchErrors();
  state.destination_formats.Clear();
}

// [8]
void LoadTodaysLog(MainWindowState& state) {
  std::string folder = LogFolder();
  EnsureFolder(folder);
  state.logs.SetLogFolder(folder);
  state.logs.LoadDailyLog();
}

// [9]
void LoadWatchListStep(MainWindowState& state) {
  LoadWatchList(WatchListPath(), state.watch_list);
}

// [10] The main window registers its list as a drop target here.
void InstallDropHandling(MainWindowState& state) {
  if (state.view != nullptr) {
    state.view->InstallDropHandling();
  }
}

// [11]
void SetCaption(MainWindowState& state) {
  state.caption = QUILLON_VERSION_TEXT;
  if (state.view != nullptr) {
    state.view->ShowCaption();
  }
}

// [12] The main window also sets its file filters and option panels here.
void SetApplicationKind(MainWindowState& state) {
  state.application_kind = kApplicationKindWord;
  if (state.view != nullptr) {
    state.view->ShowOptionPanels();
  }
}

// [14] One entry per catalog folder beside the program, the check mark on
// the language the program started in.
void BuildLanguageMenu(MainWindowState& state) {
  state.language_menu.Build(ResourceFolder() + "locale", StartUpLanguageCode());
  if (state.view != nullptr) {
    state.view->ShowLanguageMenu();
  }
}

// [15] The main window also puts the list texts into its format list here.
void FillDestinationFormats(MainWindowState& state) {
  state.destination_formats.Fill();
  if (state.view != nullptr) {
    state.view->ShowDestinationFormats();
  }
}

// [16] Reads "set.ini" (or writes its first-start defaults); the window then
// chooses its start page from the watch list. The settings' side effects
// come in through SettingsHooks: the interface language (language
// selection), the auto-start entry (tray and auto-run) and starting the
// watches (watch processing) still have none.
void LoadSettingsStep(MainWindowState& state) {
  std::string folder = ConfigFolder();
  EnsureFolder(folder);
  state.settings = std::make_unique<Settings>(folder + "set.ini", &state.logs);
  SettingsHooks hooks;
  hooks.start_all_watches = [&state] { state.watch_processing->StartWatch(); };
  // A failure to write the auto-start entry is shown when the user asked
  // for it; during the start the settings load swallows it.
  hooks.apply_auto_run = [&state](bool on) {
    try {
      ApplyAutoRunEntry(on, ProgramPath());
    } catch (const AutoRunError& e) {
      if (std::find(state.completed_steps.begin(), state.completed_steps.end(), 16) ==
          state.completed_steps.end()) {
        throw;
      }
      CurrentPrompter().Error(e.what());
    }
  };
  hooks.apply_language = [&state](const std::string& code) {
    SwitchInterfaceLanguage(state, code);
  };
  state.settings->SetHooks(std::move(hooks));
  std::vector<std::string> codes;
  for (const DestinationFormat& format : state.destination_formats.Entries()) {
    codes.push_back(format.code);
  }
  state.settings->SetFormatCodes(std::move(codes));
  state.settings->SetTextDelimitedCount(static_cast<int>(engine::TextDelimitedItems().size()));
  state.settings->LoadSettings();
  if (state.view != nullptr) {
    state.view->ShowLoadedSettings();
  }
}

// [17] Saves the selected destination format, as choosing it in the list does.
void SaveSelectedDestinationFormat(MainWindowState& state) {
  if (state.settings) {
    state.settings->SaveDestinationFormat();
  }
}

// [18] Outside a command-line run the window installs its minimise-to-tray
// handling here. The watch service has no window to minimise: it watches
// every checked folder, whatever "Auto Start Watch When Run" says.
void EnableTimerOrMinimiseHandling(MainWindowState& state) {
  state.timer1_enabled =
      state.conversion_param_count > 0 && state.run_mode == RunMode::kCommandLine;
  if (!state.timer1_enabled && state.view != nullptr) {
    state.view->InstallMinimiseHandling();
  }
  if (state.watch_service) {
    // Told on standard error (the journal of a service), once each folder is
    // watched: files arriving from then on are converted.
    QObject::connect(
        state.watch_processing.get(), &WatchProcessor::watchReady, state.watch_processing.get(),
        [&state](quint64 id) {
          int row = state.watch_list.RowOfId(id);
          if (row >= 0) {
            std::fprintf(
                stderr, "%s\n",
                TrFormat("Watching %s", {state.watch_list.entry(row).source_path}).c_str());
            std::fflush(stderr);
          }
        });
    state.watch_processing->StartWatch();
  }
}

// ---- Shut-down steps ----------------------------------------------------

// [1] Language selection stores the checked language here.
// [1] The checked entry of the language menu goes back to "set.ini"; with
// no entry checked the stored choice stays.
void StoreInterfaceLanguage(MainWindowState& state) {
  if (state.settings) {
    state.settings->ApplyLanguage(state.language_menu.CurrentCode());
  }
}

// [2] Saved before the watchers stop.
void SaveWatchListStep(MainWindowState& state) {
  SaveWatchList(WatchListPath(), state.watch_list);
}

// [3]
void StopAllWatches(MainWindowState& state) {
  if (state.watch_processing) {
    state.watch_processing->StopAllWatches();
  }
}

// [4]
void DiscardPendingWatchEvents(MainWindowState& state) {
  if (state.watch_processing) {
    state.watch_processing->DiscardPendingEvents();
  }
}

// [5] Quits the word processor this program started, or hands an attached
// one back to its user.
void ReleaseWordProcessor(MainWindowState& /*state*/) {
  engine::ReleaseWord();
}

// [6]
void WriteLogFilesStep(MainWindowState& state) {
  if (!state.logs.log_folder().empty()) {
    state.logs.WriteLogFiles();
  }
}

// [7] The settings store is flushed and closed here as well.
int FreeListsAndNoteErrors(MainWindowState& state) {
  if (state.settings) {
    state.settings->Flush();
  }
  auto errors = static_cast<int>(
      std::min<size_t>(state.logs.batch_errors().size(), static_cast<size_t>(kHighestExitCode)));
  state.logs.ClearBatchErrors();
  state.destination_formats.Clear();
  return errors;
}

// [8]
void ReleaseCommandLineLock(MainWindowState& state) {
  state.command_line_lock.Release();
  state.folder_watch_lock.Release();
}

// [Timer1] The command-line run: parameters, the one row, the batch.
void RunCommandLineConversion(MainWindowState& state) {
  if (!state.settings) {
    return;
  }
  RunCommandLine(state.arguments, {state.logs, *state.settings, state.destination_formats,
                                   state.manual_list, state.options});
}

}  // namespace

MainWindowState::MainWindowState(std::vector<std::string> start_arguments)
    : arguments(std::move(start_arguments)),
      run_mode(DetermineRunMode(arguments)),
      watch_service(RunsAsWatchService(run_mode)) {}

void SetUpMainWindow(MainWindowState& state) {
  state.completed_steps.clear();
  auto step = [&state](int number, void (*run)(MainWindowState&)) {
    run(state);
    state.completed_steps.push_back(number);
  };
  step(1, TranslateWindowTexts);
  step(2, CreateWatchEventQueue);
  step(3, ActivateTrayIconWhenAsked);
  step(4, TakeCommandLineLock);
  step(5, SetIdleTrayHint);
  step(6, DetermineProgramFolder);
  step(7, CreateLists);
  step(8, LoadTodaysLog);
  step(9, LoadWatchListStep);
  step(10, InstallDropHandling);
  step(11, SetCaption);
  step(12, SetApplicationKind);
  // [13] A start to serve automation goes no further.
  if (HasEmbeddingParam(state.arguments)) {
    state.completed_steps.push_back(13);
    return;
  }
  state.completed_steps.push_back(13);
  step(14, BuildLanguageMenu);
  step(15, FillDestinationFormats);
  step(16, LoadSettingsStep);
  step(17, SaveSelectedDestinationFormat);
  step(18, EnableTimerOrMinimiseHandling);
}

void SwitchInterfaceLanguage(MainWindowState& state, const std::string& code) {
  if (code.empty()) {
    return;
  }
  state.language_menu.Check(code);
  SetInterfaceLanguage(code);
  state.language_menu.RefreshCaptions();
  if (state.view != nullptr) {
    state.view->RetranslateTexts();
  }
}

void Timer1Timer(MainWindowState& state) {
  state.timer1_enabled = false;  // the run happens once
  RunCommandLineConversion(state);
}

int ShutDownMainWindow(MainWindowState& state) {
  StoreInterfaceLanguage(state);                  // 1
  SaveWatchListStep(state);                       // 2
  StopAllWatches(state);                          // 3
  DiscardPendingWatchEvents(state);               // 4
  ReleaseWordProcessor(state);                    // 5
  WriteLogFilesStep(state);                       // 6
  int exit_code = FreeListsAndNoteErrors(state);  // 7
  ReleaseCommandLineLock(state);                  // 8
  return exit_code;                               // 9
}

}  // namespace quillon
