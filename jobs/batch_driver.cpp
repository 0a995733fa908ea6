#include "jobs/batch_driver.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>

#include "engine/engine_dispatch.h"
#include "engine/request_block.h"
#include "engine/word_connection.h"
#include "fileio/files.h"
#include "fileio/in_use.h"
#include "jobs/destination_naming.h"
#include "platform/prompter.h"
#include "util/files.h"
#include "util/mask.h"
#include "util/translate.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

std::string WithSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') {
    folder += '/';
  }
  return folder;
}

bool NameBeginsWithTilde(const std::string& path) {
  std::string name = NamePart(path);
  return !name.empty() && name.front() == '~';
}

// Orders pending folders alphabetically, letter case aside; paths that
// differ only in case keep a fixed order.
struct FolderOrder {
  bool operator()(const std::string& a, const std::string& b) const {
    int order = CompareIgnoringAsciiCase(a, b);
    return order != 0 ? order < 0 : a < b;
  }
};

// The plain files of one folder whose names match `mask`, by name.
std::vector<std::string> FilesOf(const std::string& folder, const FileMask& mask) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code type_ec;
    if (!it->is_regular_file(type_ec)) {
      continue;
    }
    std::string name = it->path().filename().string();
    if (mask.Matches(name)) {
      names.push_back(name);
    }
  }
  std::sort(names.begin(), names.end(), FolderOrder());
  return names;
}

// The sub-folders of one folder. Links to folders are not followed, so a
// link back up the tree cannot make the search endless.
std::vector<std::string> SubFoldersOf(const std::string& folder) {
  std::vector<std::string> folders;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code type_ec;
    if (it->is_directory(type_ec) && !it->is_symlink(type_ec)) {
      folders.push_back(folder + it->path().filename().string() + "/");
    }
  }
  return folders;
}

int conversions_under_way = 0;

// Marks a batch or a conversion as running for as long as it lives.
class ConversionScope {
 public:
  ConversionScope() { ++conversions_under_way; }
  ~ConversionScope() { --conversions_under_way; }
  ConversionScope(const ConversionScope&) = delete;
  ConversionScope& operator=(const ConversionScope&) = delete;
};

}  // namespace

bool ConversionUnderWay() {
  return conversions_under_way > 0;
}

std::vector<std::string> SplitMasks(const std::string& mask_text) {
  std::vector<std::string> masks;
  std::string current;
  for (char c : mask_text) {
    if (c == ';' || c == '\n' || c == '\r') {
      if (!current.empty()) {
        masks.push_back(current);
      }
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) {
    masks.push_back(current);
  }
  return masks;
}

BatchDriver::BatchDriver(BatchLog& log)
    : log_(log),
      convert_(engine::ConvertDocument),
      ensure_word_(engine::EnsureWord),
      is_locked_(IsFileLocked) {}

BatchChoices BatchDriver::Choices() const {
  return choices_ ? choices_() : BatchChoices();
}

bool BatchDriver::Aborting() const {
  return abort_requested_ || (abort_check_ && abort_check_());
}

void BatchDriver::Pump() {
  if (observer_ != nullptr) {
    observer_->PumpEvents();
  }
}

void BatchDriver::ConvertAction(const ManualList& list) {
  stop_requested_ = false;
  abort_requested_ = false;
  if (observer_ != nullptr) {
    observer_->BatchStarted();
  }
  try {
    RunBatch(list);
  } catch (const std::exception& e) {
    log_.ReportError(
        TrFormat("Can not batch conversion, error reason is %s", {std::string(e.what())}));
  }
  if (observer_ != nullptr) {
    observer_->BatchFinished();
  }
  if (abort_requested_) {
    return;
  }
  std::vector<std::string> errors = log_.BatchErrors();
  if (errors.empty()) {
    CurrentPrompter().Message(Tr("OK, Convert Complete!"));
    return;
  }
  std::string joined;
  for (const std::string& error : errors) {
    if (!joined.empty()) {
      joined += "\n";
    }
    joined += error;
  }
  CurrentPrompter().Message(TrFormat("Can not Convert, error reason is \"%s\"", {joined}));
}

bool BatchDriver::RunBatch(const ManualList& list) {
  ConversionScope running;
  log_.ClearBatchErrors();
  Pump();
  std::string error;
  if (!ensure_word_(error)) {
    log_.ReportError(error);
    return false;
  }
  if (observer_ != nullptr) {
    observer_->WordReady();
    observer_->ProgressRange(static_cast<int>(list.size()));
  }
  for (size_t i = 0; i < list.size() && !Aborting(); ++i) {
    ConvertRow(list, i);
  }
  if (observer_ != nullptr) {
    observer_->ProgressPosition(0);
    observer_->ProgressLine("");
  }
  log_.WriteLogFiles();
  return true;
}

void BatchDriver::ConvertRow(const ManualList& list, size_t index) {
  if (list.size() == 0 || index >= list.size() || !list.list().row(index).checked) {
    return;
  }
  const FileListRow& row = list.list().row(index);
  BatchChoices choices = Choices();
  if (observer_ != nullptr) {
    observer_->ProgressPosition(static_cast<int>(index) + 1);
  }
  std::string path = RowSource(row);
  std::string destination_text = RowDestination(row);

  std::error_code ec;
  if (fs::is_directory(path, ec)) {
    std::string masks;
    bool sub_folders = RowFolderSetting(row, masks);
    std::string exclude_words = RowExcludeWords(row);
    int counter = 0;
    std::string folder = WithSlash(path);
    int listed =
        SearchFolder(folder, masks, sub_folders, exclude_words, [&](const std::string& file) {
          return ConvertFoundFile(file, folder, destination_text, exclude_words, counter);
        });
    if (listed == 0) {
      log_.ReportError(TrFormat("Error, Can not convert %s! Error Reason is %s",
                                {folder + masks, Tr("\"can not find files\"")}));
    }
    return;
  }
  if (NameBeginsWithTilde(path)) {
    return;
  }
  std::string destination = BuildDestinationPath(path, destination_text, "", choices.extension);
  if (observer_ != nullptr) {
    observer_->ProgressLine(TrFormat("(%d/%d) Converting %s to %s",
                                     {static_cast<std::int64_t>(index) + 1,
                                      static_cast<std::int64_t>(list.size()), path, destination}));
  }
  ConvertOne(path, destination, engine::BuildRequestBlock(choices.options, choices.format_index),
             choices.format_code);
}

int BatchDriver::SearchFolder(const std::string& folder, const std::string& mask_text,
                              bool sub_folders, const std::string& exclude_words,
                              const std::function<bool(const std::string& file)>& found) {
  int listed = 0;
  std::string root = WithSlash(folder);
  for (const std::string& mask_text_entry : SplitMasks(mask_text)) {
    // "*.*" means every file, as it always has, names without a dot included.
    // Brackets are part of file names here, never sets: "[a].rtf" must not
    // pick "a.rtf", which the row would then convert and maybe delete.
    FileMask mask =
        FileMask::ForListing(mask_text_entry == "*.*" ? std::string("*") : mask_text_entry);
    std::set<std::string, FolderOrder> pending;
    pending.insert(root);
    while (!pending.empty()) {
      std::string current = *pending.begin();
      pending.erase(pending.begin());
      for (const std::string& name : FilesOf(current, mask)) {
        std::string file = current + name;
        if (!exclude_words.empty() && MatchesAnyPattern(file, exclude_words)) {
          Pump();
          continue;
        }
        ++listed;
        if (!found(file)) {
          return listed;
        }
      }
      if (!sub_folders) {
        break;
      }
      for (std::string& sub : SubFoldersOf(current)) {
        pending.insert(std::move(sub));
      }
    }
  }
  return listed;
}

bool BatchDriver::ConvertFoundFile(const std::string& file, const std::string& folder,
                                   const std::string& destination_text,
                                   const std::string& exclude_words, int& counter) {
  if (Aborting()) {
    return false;
  }
  if (NameBeginsWithTilde(file)) {
    return true;
  }
  if (!exclude_words.empty() && MatchesAnyPattern(file, exclude_words)) {
    return true;
  }
  ++counter;
  if (stop_requested_) {
    PromptAnswer answer =
        CurrentPrompter().Show(Tr("Do you want to stop this conversion?"), Tr("Confirm"),
                               PromptIcon::kQuestion, PromptButtons::kYesNo, PromptAnswer::kNo);
    if (answer == PromptAnswer::kYes) {
      return false;
    }
    stop_requested_ = false;
  }
  BatchChoices choices = Choices();
  std::string destination = BuildDestinationPath(file, destination_text, folder, choices.extension);
  if (observer_ != nullptr) {
    observer_->ProgressLine(
        TrFormat("Converting Folder \"%s\" (No.%d File: %s to %s)",
                 {folder, static_cast<std::int64_t>(counter), file, destination}));
  }
  ConvertOne(file, destination, engine::BuildRequestBlock(choices.options, choices.format_index),
             choices.format_code);
  return true;
}

void BatchDriver::DeleteConvertedSource(const std::string& source, const std::string& written,
                                        std::string& error, bool& ok) {
  std::error_code ec;
  // A result written over its own source is all that is left of it.
  if (fs::equivalent(source, written, ec)) {
    return;
  }
  // The text must be on disk before its source goes: a crash or power cut
  // right after the deletion would otherwise lose both.
  std::string reason;
  if (!fileio::SyncFileAndFolder(written, reason)) {
    reason = TrFormat("%s is not safely on disk: %s", {written, reason});
  } else {
    fileio::InUseWait wait;
    wait.limit = lock_wait_limit_;
    wait.poll = lock_poll_;
    wait.in_use = is_locked_;
    wait.between = [this] {
      Pump();
      return true;
    };
    fileio::WaitWhileInUse(source, wait);
    if (::unlink(source.c_str()) == 0) {
      return;
    }
    reason = fileio::ErrorText(errno);
  }
  if (!error.empty()) {
    error += ";";
  }
  error += TrFormat("Can not delete %s, error reason is %s", {source, reason});
  ok = false;
}

bool BatchDriver::ConvertOne(const std::string& source, const std::string& destination,
                             const std::string& request_block, const std::string& format_code) {
  ConversionScope running;
  auto started = std::chrono::steady_clock::now();
  if (observer_ != nullptr) {
    observer_->FileStarting(source);
  }
  FileOutcome outcome;
  outcome.source = source;
  outcome.destination = destination;
  // Measured now: a successful conversion may delete the source.
  outcome.input_bytes = FileSizeOf(source);
  std::string error;
  bool ok = false;
  // Read for every file: a change of the check box in the middle of a
  // folder row applies to the next file.
  engine::SetRecoverAnyTypeFlag(Choices().options.recover_any_type);
  try {
    ok = convert_(source, destination, format_code, request_block, error);
  } catch (const std::exception& e) {
    ok = false;
    error = e.what();
  } catch (...) {
    ok = false;
    error = Tr("unknown error");
  }
  if (ok && Choices().delete_source) {
    DeleteConvertedSource(source, engine::WrittenDestinationPath(destination), error, ok);
  }
  if (ok) {
    log_.AddLogLine(TrFormat("%s        successfully convert %s to %s",
                             {log_.TimeText(), source, destination}));
  } else {
    log_.ReportError(TrFormat("Error, Can not convert %s! Error Reason is %s", {source, error}));
  }
  if (observer_ != nullptr) {
    outcome.ok = ok;
    outcome.error = ok ? std::string() : error;
    outcome.output_bytes = ok ? FileSizeOf(destination) : 0;
    outcome.milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::steady_clock::now() - started)
                               .count();
    observer_->FileFinished(outcome);
  }
  return ok;
}

}  // namespace quillon
