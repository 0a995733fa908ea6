#include "watch/watch_processing.h"

#include <QCoreApplication>
#include <QEvent>
#include <exception>
#include <filesystem>
#include <thread>

#include "engine/engine_dispatch.h"
#include "engine/request_block.h"
#include "engine/word_connection.h"
#include "fileio/files.h"
#include "fileio/in_use.h"
#include "jobs/destination_naming.h"
#include "jobs/manual_list.h"
#include "platform/prompter.h"
#include "util/files.h"
#include "util/mask.h"
#include "util/text.h"
#include "util/translate.h"

namespace quillon {
namespace {

constexpr int kBusyRetry = 50;  // ms

// The watched folder as an absolute folder with a trailing "/", so that the
// reported paths are full paths and lie below it.
std::string AbsoluteFolder(const std::string& folder) {
  std::error_code ec;
  std::string absolute = std::filesystem::absolute(folder, ec).lexically_normal().string();
  if (ec || absolute.empty()) {
    absolute = folder;
  }
  if (absolute.empty() || absolute.back() != '/') {
    absolute += '/';
  }
  return absolute;
}

}  // namespace

WatchProcessor::WatchProcessor(WatchListModel& list, const DestinationFormatTable& formats,
                               BatchLog& log, QObject* parent)
    : QObject(parent),
      list_(list),
      formats_(formats),
      log_(log),
      driver_(log),
      ensure_word_(engine::EnsureWord),
      is_locked_(IsFileLocked) {
  driver_.SetChoicesSource([this] { return Choices(); });
  idle_timer_.setSingleShot(true);
  idle_timer_.setInterval(0);
  connect(&idle_timer_, &QTimer::timeout, this, &WatchProcessor::OnIdle);
  if (QCoreApplication* app = QCoreApplication::instance()) {
    app->installEventFilter(this);
  }
}

WatchProcessor::~WatchProcessor() {
  if (QCoreApplication* app = QCoreApplication::instance()) {
    app->removeEventFilter(this);
  }
}

void WatchProcessor::SetChoicesSource(std::function<BatchChoices()> source) {
  choices_ = std::move(source);
}

void WatchProcessor::SetLockWait(std::chrono::milliseconds limit, std::chrono::milliseconds poll) {
  lock_wait_limit_ = limit;
  lock_poll_ = poll;
}

void WatchProcessor::SetFileLockedFunction(std::function<bool(const std::string&)> locked) {
  is_locked_ = locked;
  driver_.SetFileLockedFunction(std::move(locked));
}

BatchChoices WatchProcessor::Choices() const {
  return choices_ ? choices_() : BatchChoices();
}

bool WatchProcessor::eventFilter(QObject* watched, QEvent* event) {
  if (watched == QCoreApplication::instance() && event->type() == QEvent::Quit) {
    closing_ = true;
  }
  return QObject::eventFilter(watched, event);
}

// ---- Starting and stopping ---------------------------------------------------

void WatchProcessor::StartWatch() {
  for (int row = 0; row < list_.size(); ++row) {
    StartWatchEntry(row);
  }
}

bool WatchProcessor::StartWatchEntry(int row) {
  if (row < 0 || row >= list_.size()) {
    return false;
  }
  WatchEntry& entry = list_.entry(row);
  if (!entry.checked || entry.state != WatchState::kIdle) {
    return false;
  }
  auto watcher = std::make_unique<TFileSystemWatcher>();
  watcher->SetWatchedDir(AbsoluteFolder(entry.source_path));
  watcher->SetNotifyFilters(nfFileNameChange);
  watcher->SetOnChange([this](TFileSystemWatcher* sender, TFileOperation operation,
                              const std::string& new_name, const std::string& old_name) {
    QueueWatchEvent(sender, operation, new_name, old_name);
  });
  watcher->SetFileFilters(entry.Masks());
  watcher->SetWatchSubTree(entry.sub_folder);
  watcher->SetTag(entry.id);
  watcher->SetInterval(watch_interval_);
  std::uint64_t id = entry.id;
  connect(watcher.get(), &TFileSystemWatcher::ready, this, [this, id] { emit watchReady(id); });
  connect(watcher.get(), &TFileSystemWatcher::folderReadable, this,
          [this, id](bool readable) { FolderStateChanged(id, readable); });
  TFileSystemWatcher* started = watcher.get();
  list_.AttachWatcher(row, std::move(watcher));
  started->SetActived(true);
  return true;
}

// A watched folder that goes away is not an end of watching: the entry
// keeps watching and converts what appears once the folder is back.
void WatchProcessor::FolderStateChanged(std::uint64_t entry_id, bool readable) {
  int row = list_.RowOfId(entry_id);
  if (row < 0) {
    return;
  }
  const std::string& folder = list_.entry(row).source_path;
  if (readable) {
    log_.AddLogLine(TrFormat("%s        The watched folder \"%s\" can be read again",
                             {log_.TimeText(), folder}));
    log_.WriteLogFiles();
  } else {
    log_.ReportError(
        TrFormat("Error, the watched folder \"%s\" is gone or can not be read", {folder}));
  }
}

void WatchProcessor::StopWatch(const std::vector<int>& rows) {
  for (int row : rows) {
    if (row < 0 || row >= list_.size()) {
      continue;
    }
    const WatchEntry& entry = list_.entry(row);
    if (!entry.checked || entry.state == WatchState::kIdle) {
      continue;
    }
    list_.SetState(row, WatchState::kIdle);
    if (tray_updates_ && observer_ != nullptr) {
      observer_->TrayImageChanged(1);
    }
  }
}

void WatchProcessor::StopAllWatches() {
  for (int row = 0; row < list_.size(); ++row) {
    if (list_.entry(row).state != WatchState::kIdle) {
      list_.SetState(row, WatchState::kIdle);
    }
  }
  DiscardPendingEvents();
}

// ---- The queue and its idle handler ----------------------------------------

void WatchProcessor::QueueWatchEvent(TFileSystemWatcher* sender, TFileOperation operation,
                                     const std::string& new_file_name,
                                     const std::string& /*old_file_name*/) {
  if (sender == nullptr || (operation != 0 && operation != 3)) {
    return;
  }
  queue_.push_back({new_file_name, sender->Tag()});
  ArmIdleHandler();
}

void WatchProcessor::ArmIdleHandler() {
  if (!idle_timer_.isActive()) {
    idle_timer_.start(0);
  }
}

void WatchProcessor::OnIdle() {
  if (busy_) {
    return;  // the handler running further down the stack re-arms
  }
  if (ConversionUnderWay()) {
    // A manual batch or the command-line run is converting and lets events
    // run meanwhile; look again shortly rather than spin.
    idle_timer_.start(kBusyRetry);
    return;
  }
  bool done = ProcessNextWatchEvent();
  if (!done || !queue_.empty()) {
    ArmIdleHandler();
  }
}

bool WatchProcessor::ProcessNextWatchEvent() {
  if (busy_ || ConversionUnderWay()) {
    return true;
  }
  busy_ = true;
  QCoreApplication::processEvents();
  if (queue_.empty()) {
    busy_ = false;
    return true;
  }
  // Taken off first: the event is gone whatever its handling does, and the
  // queue may be emptied while the file converts.
  WatchEvent event = queue_.front();
  queue_.pop_front();
  try {
    HandleWatchedFile(event);
  } catch (const std::exception& e) {
    CurrentPrompter().Error(e.what());
    FinishConversion(event.entry_id);
  }
  busy_ = false;
  return false;
}

// ---- One file ------------------------------------------------------------------

bool WatchProcessor::WaitWhileLocked(const std::string& path) {
  fileio::InUseWait wait;
  wait.limit = lock_wait_limit_;  // converted anyway once it has passed
  wait.poll = lock_poll_;
  wait.in_use = is_locked_;
  wait.between = [this] {
    QCoreApplication::processEvents();
    return !closing_;
  };
  fileio::WaitWhileInUse(path, wait);
  return !closing_;
}

void WatchProcessor::HandleWatchedFile(const WatchEvent& event) {
  std::string name = NamePart(event.path);
  if (!name.empty() && name.front() == '~') {
    return;
  }
  int row = list_.RowOfId(event.entry_id);
  if (row < 0) {
    return;  // its entry was deleted
  }
  std::string exclude_words = list_.entry(row).ExcludeWords();
  if (!exclude_words.empty() && MatchesAnyPattern(event.path, exclude_words)) {
    return;
  }
  if (!WaitWhileLocked(event.path)) {
    log_.AddLogLine(
        TrFormat("%s        %s was not converted: the program ended while the file was in use",
                 {log_.TimeText(), event.path}));
    return;
  }
  ConvertWatchedFile(event);
  log_.WriteLogFiles();
}

int WatchProcessor::FormatPosition(const std::string& format_text) const {
  std::vector<std::string> texts = formats_.ListTexts();
  for (size_t i = 0; i < texts.size(); ++i) {
    if (CompareIgnoringAsciiCase(texts[i], format_text) == 0) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

void WatchProcessor::SetTrayHint(const std::string& status) {
  if (tray_updates_ && observer_ != nullptr) {
    observer_->TrayHintChanged(status + ", " + QUILLON_VERSION_TEXT);
  }
}

void WatchProcessor::FinishConversion(std::uint64_t entry_id) {
  int row = list_.RowOfId(entry_id);
  if (row < 0) {
    return;
  }
  const WatchEntry& entry = list_.entry(row);
  if (entry.state == WatchState::kIdle) {
    return;
  }
  list_.SetState(
      row, entry.watcher && entry.watcher->Actived() ? WatchState::kWatching : WatchState::kIdle);
  SetTrayHint(list_.entry(row).StatusText());
}

void WatchProcessor::ConvertWatchedFile(const WatchEvent& event) {
  int row = list_.RowOfId(event.entry_id);
  if (row < 0) {
    return;
  }
  // Copies: the entry may be edited or deleted while the file converts.
  const WatchEntry& entry = list_.entry(row);
  std::string convert_to = entry.convert_to;
  std::string source_path = entry.source_path;
  std::string format_text = entry.dest_format;
  if (convert_to.empty()) {
    log_.ReportError(Tr("Error, destination file path is empty!"));
    return;
  }
  if (entry.state != WatchState::kIdle) {
    list_.SetState(row, WatchState::kConverting, event.path);
    SetTrayHint(list_.entry(row).StatusText());
  }

  std::string error;
  if (!ensure_word_(error)) {
    log_.ReportError(error);
  } else if (observer_ != nullptr) {
    observer_->WordReady();
  }

  int position = FormatPosition(format_text);
  std::string extension = formats_.Extension(position);  // says when there is none
  if (position < 0) {
    FinishConversion(event.entry_id);
    return;
  }
  std::string destination =
      BuildDestinationPath(event.path, convert_to, AbsoluteFolder(source_path), extension);
  BatchChoices choices = Choices();
  engine::SetRecoverAnyTypeFlag(choices.options.recover_any_type);
  std::string request_block = engine::BuildRequestBlock(choices.options, position);
  driver_.ConvertOne(event.path, destination, request_block, formats_.Code(position));
  FinishConversion(event.entry_id);
}

}  // namespace quillon
