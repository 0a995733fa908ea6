#pragma once
// Watch processing: gives every checked, idle entry of the watch list a
// running directory watcher, queues each file they report, and converts the
// queued files one at a time whenever the event loop is otherwise idle.
//
// A queued event names its entry by the entry's id, so it converts with the
// settings of the entry whose watcher saw it, and it is dropped when that
// entry has been deleted meanwhile.
//
// Each file: a name beginning with "~" is skipped, as is a path matching an
// exclude word (folders included); while another program has the file open
// for writing the conversion waits (letting events run), at most the lock
// wait limit (five minutes), then converts anyway; the result goes where the
// entry's destination text says, sub-folders of the watched folder kept
// below a destination folder. The format options are those of the main
// window at the moment of the conversion.
//
// Only one file converts at a time: the idle handler is never re-entered,
// also not from the event loops that run while a file waits or converts.
//
// Owner: the main window's state; it must outlive nothing it is handed.
// Thread: main thread only; needs a running event loop for the idle handler.

#include <QObject>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "jobs/batch_driver.h"
#include "jobs/destination_formats.h"
#include "watch/watch_list.h"

namespace quillon {

struct WatchEvent {
  std::string path;            // full path as the watcher reported it
  std::uint64_t entry_id = 0;  // the WatchEntry whose watcher saw it
};

// The window's side of watch processing; every call may be ignored.
class WatchObserver {
 public:
  virtual ~WatchObserver() = default;
  // The tray icon's hint (only in a start without parameters).
  virtual void TrayHintChanged(const std::string& /*hint*/) {}
  // The tray icon shows this image of the watch image list.
  virtual void TrayImageChanged(int /*index*/) {}
  // The word processor answered: the watch page clears its status text.
  virtual void WordReady() {}
};

class WatchProcessor : public QObject {
  Q_OBJECT

 public:
  using EnsureWordFunction = std::function<bool(std::string& error_text)>;

  // `list`, `formats` and `log` must outlive the processor.
  WatchProcessor(WatchListModel& list, const DestinationFormatTable& formats, BatchLog& log,
                 QObject* parent = nullptr);
  ~WatchProcessor() override;

  // What the option controls say when a file converts (options, "Delete
  // Source File After Conversion"); the format comes from the entry.
  void SetChoicesSource(std::function<BatchChoices()> source);
  void SetObserver(WatchObserver* observer) { observer_ = observer; }
  // The program started without parameters: the tray icon follows the
  // watches.
  void SetTrayUpdates(bool on) { tray_updates_ = on; }
  // The wait for a file in use: at most `limit`, testing every `poll`.
  void SetLockWait(std::chrono::milliseconds limit, std::chrono::milliseconds poll);
  void SetFileLockedFunction(std::function<bool(const std::string&)> locked);
  void SetEnsureWordFunction(EnsureWordFunction ensure) { ensure_word_ = std::move(ensure); }
  // The conversion step shared with the manual list (engine, deletion of
  // the source, log line).
  BatchDriver& driver() { return driver_; }
  // The time between two listings of every watcher started from now on.
  void SetWatchInterval(std::chrono::milliseconds interval) { watch_interval_ = interval; }

  // Start Watch: every checked, idle row starts.
  void StartWatch();
  // Starts one row when it is checked and idle; true when it started.
  bool StartWatchEntry(int row);
  // Stop Watch: the given (selected) rows that are checked and running stop.
  void StopWatch(const std::vector<int>& rows);
  // The end of the program: every running row stops and the queue is
  // dropped unhandled.
  void StopAllWatches();
  void DiscardPendingEvents() { queue_.clear(); }

  // The handler given to every watcher: queues the file and returns.
  void QueueWatchEvent(TFileSystemWatcher* sender, TFileOperation operation,
                       const std::string& new_file_name, const std::string& old_file_name);

  // The idle handler: lets pending events run, then handles the first queued
  // event. True ("done") when there was nothing to do.
  bool ProcessNextWatchEvent();
  void HandleWatchedFile(const WatchEvent& event);
  void ConvertWatchedFile(const WatchEvent& event);

  const std::deque<WatchEvent>& pending_events() const { return queue_; }
  bool busy() const { return busy_; }

  // Ends a wait for a file in use at once, without converting it: the
  // program is closing. Also set when the application is told to quit.
  void RequestClose() { closing_ = true; }
  bool closing() const { return closing_; }

 signals:
  // The watcher of the entry has taken its first listing: files arriving
  // from now on are converted.
  void watchReady(quint64 entry_id);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ArmIdleHandler();
  void OnIdle();
  BatchChoices Choices() const;
  void SetTrayHint(const std::string& status);
  bool WaitWhileLocked(const std::string& path);
  int FormatPosition(const std::string& format_text) const;
  void FinishConversion(std::uint64_t entry_id);
  void FolderStateChanged(std::uint64_t entry_id, bool readable);

  WatchListModel& list_;
  const DestinationFormatTable& formats_;
  BatchLog& log_;
  BatchDriver driver_;
  std::function<BatchChoices()> choices_;
  WatchObserver* observer_ = nullptr;
  EnsureWordFunction ensure_word_;
  std::function<bool(const std::string&)> is_locked_;
  std::chrono::milliseconds lock_wait_limit_{300000};
  std::chrono::milliseconds lock_poll_{50};
  std::chrono::milliseconds watch_interval_{1000};
  bool tray_updates_ = false;
  bool busy_ = false;
  bool closing_ = false;
  std::deque<WatchEvent> queue_;
  QTimer idle_timer_;
};

}  // namespace quillon
