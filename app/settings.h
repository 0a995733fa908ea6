#pragma once
// The settings store: the user's options in "set.ini", one section, written
// through at every change.
//
// The store holds the state that the option controls show (menu check marks,
// the chosen destination format, the chosen text delimiter). Each option has
// one Apply setter: it sets the state, writes its key at once and performs
// the option's side effect through a hook, so that the window, the tray menu
// and the command line all go the same way. LoadSettings calls the same
// setters.
//
// The command line sets the destination format and the delimiter through the
// Select... calls, which change the state but never the file.
//
// Owner: the start-up sequence creates one store and keeps it until the end.
// Thread: main thread only.

#include <functional>
#include <string>
#include <vector>

#include "platform/profile.h"

namespace quillon {

class Logs;

inline constexpr const char* kSettingsSection = "Tarvell\\Quillon";
inline constexpr const char* kLanguageKey = "Language";
inline constexpr const char* kAutoRunKey = "Auto Run At Startup";
inline constexpr const char* kAutoStartWatchKey = "Auto Start Watch When Run";
inline constexpr const char* kMinimizedTrayKey = "Minimized TrayIcon";
inline constexpr const char* kAutoCheckUpdateKey = "Auto Check Update Information";
inline constexpr const char* kDeleteSourceKey = "Delete Source File After Conversion";
inline constexpr const char* kCreateLogFileKey = "Create Log File";
inline constexpr const char* kDestinationFormatKey = "Manual Destination File Format";
inline constexpr const char* kTextDelimitedKey = "Text File Delimited Format";
// The word processor's time limit per call (engine/call_time_limit.h), in
// seconds: read when present, never written, so that only a user who needs
// longer (or shorter) limits has them in the file.
inline constexpr const char* kEngineTimeLimitKey = "Engine Time Limit";
inline constexpr const char* kEngineTimeLimitPerMbKey = "Engine Time Limit Per MB";

// Side effects that belong to other parts of the program. Any of them may be
// left empty.
struct SettingsHooks {
  // Switches the interface language (called with a non-empty code).
  std::function<void(const std::string& code)> apply_language;
  // Writes (true) or removes (false) the auto-start entry.
  std::function<void(bool on)> apply_auto_run;
  // Starts every checked watch; called by LoadSettings when "Auto Start
  // Watch When Run" is on.
  std::function<void()> start_all_watches;
  // Told after any option changed (key name), so that a window can refresh
  // a check mark and its tray-menu mirror.
  std::function<void(const std::string& key)> changed;
};

class Settings {
 public:
  // `ini_path`: the full path of "set.ini". `logs` (not owned, may be null)
  // receives the "Create Log File" state and the start-up error about an
  // unknown saved format.
  Settings(std::string ini_path, Logs* logs);

  void SetHooks(SettingsHooks hooks) { hooks_ = std::move(hooks); }

  // The codes of DestinationFormatTable, in order; selects the first one.
  void SetFormatCodes(std::vector<std::string> codes);
  // The number of entries of the delimiter list (7 in the window).
  void SetTextDelimitedCount(int count) { text_delimited_count_ = count; }

  // Reads "set.ini" (or writes the first-start defaults), applies every
  // option through its setter, then starts the watches when so asked.
  // Errors are swallowed: the options keep their states.
  void LoadSettings();

  // True when the last LoadSettings found no settings and wrote the defaults.
  bool first_start() const { return first_start_; }

  // The setters: state, file, side effect.
  void ApplyLanguage(const std::string& code);
  void ApplyAutoRun(bool on);
  void ApplyAutoStartWatch(bool on);
  void ApplyMinimizedTray(bool on);
  void ApplyAutoCheckUpdate(bool on);
  void ApplyDeleteSource(bool on);
  void ApplyCreateLogFile(bool on);
  // A destination format chosen in the list: selects it and writes its code.
  void ApplyDestinationFormat(int index);
  // A delimiter chosen in the list; an index outside the list selects none.
  void ApplyTextDelimited(int index);
  // Writes the code of the selected destination format (as a choice in the
  // list does); the start-up sequence calls it after LoadSettings.
  void SaveDestinationFormat();

  // Changes of the command line: state only, the file stays as it is.
  void SelectDestinationFormat(int index);
  void SelectTextDelimited(int index);

  const std::string& language() const { return language_; }
  bool auto_run() const { return auto_run_; }
  bool auto_start_watch() const { return auto_start_watch_; }
  bool minimized_tray() const { return minimized_tray_; }
  bool auto_check_update() const { return auto_check_update_; }
  bool delete_source() const { return delete_source_; }
  bool create_log_file() const { return create_log_file_; }
  // Index into the format codes; 0 unless another one was chosen.
  int destination_format_index() const { return destination_format_index_; }
  std::string destination_format_code() const;
  const std::vector<std::string>& format_codes() const { return format_codes_; }
  // -1 when no delimiter is selected.
  int text_delimited_index() const { return text_delimited_index_; }

  ProfileFile& profile() { return profile_; }
  // Writes are already on disk; kept for the shut-down step that flushes.
  void Flush() { profile_.Flush(); }

 private:
  void Changed(const char* key);
  void WriteBool(const char* key, bool value);

  ProfileFile profile_;
  Logs* logs_;
  SettingsHooks hooks_;
  std::vector<std::string> format_codes_;
  int text_delimited_count_ = 7;
  bool first_start_ = false;

  // The initial states of the controls, which a first start writes.
  std::string language_;
  bool auto_run_ = false;
  bool auto_start_watch_ = true;
  bool minimized_tray_ = false;
  bool auto_check_update_ = false;
  bool delete_source_ = false;
  bool create_log_file_ = true;
  int destination_format_index_ = 0;
  int text_delimited_index_ = -1;
};

}  // namespace quillon
