#include "app/settings.h"

#include <exception>

#include "engine/call_time_limit.h"
#include "support/logs.h"
#include "util/translate.h"

namespace quillon {

Settings::Settings(std::string ini_path, Logs* logs) : profile_(std::move(ini_path)), logs_(logs) {
  if (logs_ != nullptr) {
    logs_->SetCreateLogFile(create_log_file_);
  }
}

void Settings::SetFormatCodes(std::vector<std::string> codes) {
  format_codes_ = std::move(codes);
  destination_format_index_ = 0;
}

std::string Settings::destination_format_code() const {
  if (destination_format_index_ < 0 ||
      destination_format_index_ >= static_cast<int>(format_codes_.size())) {
    return {};
  }
  return format_codes_[static_cast<size_t>(destination_format_index_)];
}

void Settings::Changed(const char* key) {
  if (hooks_.changed) {
    hooks_.changed(key);
  }
}

void Settings::WriteBool(const char* key, bool value) {
  profile_.WriteBool(kSettingsSection, key, value);
  Changed(key);
}

void Settings::LoadSettings() {
  first_start_ = false;
  try {
    if (!profile_.Keys(kSettingsSection).empty()) {
      ApplyLanguage(profile_.ReadString(kSettingsSection, kLanguageKey, ""));
      ApplyAutoRun(profile_.ReadBool(kSettingsSection, kAutoRunKey, auto_run_));
      ApplyAutoStartWatch(
          profile_.ReadBool(kSettingsSection, kAutoStartWatchKey, auto_start_watch_));
      ApplyMinimizedTray(profile_.ReadBool(kSettingsSection, kMinimizedTrayKey, minimized_tray_));
      ApplyAutoCheckUpdate(
          profile_.ReadBool(kSettingsSection, kAutoCheckUpdateKey, auto_check_update_));
      ApplyDeleteSource(profile_.ReadBool(kSettingsSection, kDeleteSourceKey, delete_source_));
      ApplyCreateLogFile(profile_.ReadBool(kSettingsSection, kCreateLogFileKey, create_log_file_));

      std::string code =
          profile_.ReadString(kSettingsSection, kDestinationFormatKey, destination_format_code());
      int index = -1;
      for (size_t i = 0; i < format_codes_.size(); ++i) {
        if (format_codes_[i] == code) {
          index = static_cast<int>(i);
          break;
        }
      }
      if (index < 0) {
        if (logs_ != nullptr) {
          logs_->ReportError(TrFormat("Error, File Format %s do not exist!", {code}));
        }
        destination_format_index_ = 0;
      } else {
        destination_format_index_ = index;
      }
      Changed(kDestinationFormatKey);

      SelectTextDelimited(
          profile_.ReadInteger(kSettingsSection, kTextDelimitedKey, text_delimited_index_));
      Changed(kTextDelimitedKey);

      engine::CallTimeLimit limit;
      limit.base =
          std::chrono::seconds(profile_.ReadInteger(kSettingsSection, kEngineTimeLimitKey, 0));
      limit.per_mebibyte =
          std::chrono::seconds(profile_.ReadInteger(kSettingsSection, kEngineTimeLimitPerMbKey, 0));
      engine::SetCallTimeLimit(limit);
    } else {
      first_start_ = true;
      engine::SetCallTimeLimit({});
      profile_.WriteBool(kSettingsSection, kAutoRunKey, auto_run_);
      profile_.WriteBool(kSettingsSection, kAutoStartWatchKey, auto_start_watch_);
      profile_.WriteBool(kSettingsSection, kMinimizedTrayKey, minimized_tray_);
      profile_.WriteBool(kSettingsSection, kAutoCheckUpdateKey, auto_check_update_);
      profile_.WriteBool(kSettingsSection, kDeleteSourceKey, delete_source_);
      profile_.WriteBool(kSettingsSection, kCreateLogFileKey, create_log_file_);
      profile_.WriteString(kSettingsSection, kDestinationFormatKey, destination_format_code());
      profile_.WriteInteger(kSettingsSection, kTextDelimitedKey, text_delimited_index_);
    }
    if (auto_start_watch_ && hooks_.start_all_watches) {
      hooks_.start_all_watches();
    }
  } catch (const std::exception&) {
    // Settings that cannot be read leave the options as they were; there is
    // no one to tell at this point of the start.
  }
}

void Settings::ApplyLanguage(const std::string& code) {
  if (code.empty()) {
    return;
  }
  language_ = code;
  profile_.WriteString(kSettingsSection, kLanguageKey, code);
  if (hooks_.apply_language) {
    hooks_.apply_language(code);
  }
  Changed(kLanguageKey);
}

void Settings::ApplyAutoRun(bool on) {
  auto_run_ = on;
  profile_.WriteBool(kSettingsSection, kAutoRunKey, on);
  if (hooks_.apply_auto_run) {
    hooks_.apply_auto_run(on);
  }
  Changed(kAutoRunKey);
}

void Settings::ApplyAutoStartWatch(bool on) {
  auto_start_watch_ = on;
  WriteBool(kAutoStartWatchKey, on);
}

void Settings::ApplyMinimizedTray(bool on) {
  minimized_tray_ = on;
  WriteBool(kMinimizedTrayKey, on);
}

void Settings::ApplyAutoCheckUpdate(bool on) {
  auto_check_update_ = on;
  WriteBool(kAutoCheckUpdateKey, on);
}

void Settings::ApplyDeleteSource(bool on) {
  delete_source_ = on;
  WriteBool(kDeleteSourceKey, on);
}

void Settings::ApplyCreateLogFile(bool on) {
  create_log_file_ = on;
  if (logs_ != nullptr) {
    logs_->SetCreateLogFile(on);
  }
  WriteBool(kCreateLogFileKey, on);
}

void Settings::ApplyDestinationFormat(int index) {
  SelectDestinationFormat(index);
  SaveDestinationFormat();
}

void Settings::SaveDestinationFormat() {
  profile_.WriteString(kSettingsSection, kDestinationFormatKey, destination_format_code());
  Changed(kDestinationFormatKey);
}

void Settings::ApplyTextDelimited(int index) {
  SelectTextDelimited(index);
  profile_.WriteInteger(kSettingsSection, kTextDelimitedKey, text_delimited_index_);
  Changed(kTextDelimitedKey);
}

void Settings::SelectDestinationFormat(int index) {
  if (index >= 0 && index < static_cast<int>(format_codes_.size())) {
    destination_format_index_ = index;
  }
}

void Settings::SelectTextDelimited(int index) {
  text_delimited_index_ = index >= 0 && index < text_delimited_count_ ? index : -1;
}

}  // namespace quillon
