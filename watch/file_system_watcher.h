#pragma once
// The directory watcher: reports every file that newly appears in one folder
// (and, when asked, in its sub-folders) and matches one of its masks.
//
// The work is done by a worker thread, TShellChangeThread, which lists the
// folder once a second and compares the listing with the one before: a path
// that was not there before is new. Paths are compared ignoring letter case,
// so a file renamed from a.doc to A.DOC is not new. The files present at the
// first listing are never reported. A folder that cannot be read lists as
// empty, so when it comes back every file in it is new again.
//
// Each new file is handed to the OnChange handler on the main thread, and the
// worker waits until the handler has returned (handlers must be short). A
// path matching several masks is reported once.
//
// Stopping never waits for the worker: SetActived(false) and destruction set
// the stop request and forget the worker, which ends and frees itself. After
// the stop request no handler is called, even when a listing was under way
// or a delivery was already on its way to the main thread.
//
// Thread: the watcher lives on the main thread (the thread that runs the
// event loop) and is used there only; the worker touches the file system
// read-only and reads only its own copy of the parameters.

#include <QObject>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quillon {

enum TNotifyFilter : unsigned {
  nfFileNameChange = 1u << 0,
  nfDirNameChange = 1u << 1,
  nfAttributeChange = 1u << 2,
  nfSizeChange = 1u << 3,
  nfWriteChange = 1u << 4,
  nfAccessChange = 1u << 5,
  nfCreationDateChange = 1u << 6,
  nfSecurityChange = 1u << 7,
};
// A set of TNotifyFilter bits. It is stored and handed on; the listing
// reports new file names whatever it holds.
using TNotifyFilters = unsigned;

// 0: NewFileName has appeared (the only operation the worker reports).
using TFileOperation = std::uint8_t;
inline constexpr TFileOperation kFileAdded = 0;

class TFileSystemWatcher;
using TFileDealMethod =
    std::function<void(TFileSystemWatcher* sender, TFileOperation operation,
                       const std::string& new_file_name, const std::string& old_file_name)>;

// The listing of `folder` for a masks text: the regular files whose names
// match a mask (";" separates masks; an empty or malformed mask matches
// nothing), each as folder + name; with `sub_tree` the sub-folders at any
// depth as well, depth first. Names are taken in byte order in each folder;
// links to folders are not followed. Mask by mask, so a file matching two
// masks is listed twice. A folder that cannot be read gives nothing.
std::vector<std::string> ScanFolder(const std::string& folder, const std::string& masks,
                                    bool sub_tree);

class TShellChangeThread;

class TFileSystemWatcher : public QObject {
  Q_OBJECT

 public:
  explicit TFileSystemWatcher(QObject* parent = nullptr);
  ~TFileSystemWatcher() override;  // stops the worker

  bool Actived() const { return actived_; }
  // True starts a worker when a handler is set; false stops it.
  void SetActived(bool actived);

  const std::string& WatchedDir() const { return watched_dir_; }
  void SetWatchedDir(const std::string& folder);
  const std::string& FileFilters() const { return file_filters_; }
  void SetFileFilters(const std::string& masks);
  bool WatchSubTree() const { return watch_sub_tree_; }
  void SetWatchSubTree(bool on);
  TNotifyFilters NotifyFilters() const { return notify_filters_; }
  void SetNotifyFilters(TNotifyFilters filters);
  // Replaces the handler; an active watcher gets a new worker that calls it,
  // or stops when the handler is empty.
  void SetOnChange(TFileDealMethod handler);

  // A value that travels with the watcher; watch processing keeps its
  // entry's id here.
  std::uint64_t Tag() const { return tag_; }
  void SetTag(std::uint64_t tag) { tag_ = tag; }

  // The time from the start of one listing to the start of the next
  // (1000 ms).
  void SetInterval(std::chrono::milliseconds interval);

  // True once the current worker has taken its first listing: files that
  // appear from then on are reported.
  bool Ready() const { return ready_; }

 signals:
  // The current worker has taken its first listing.
  void ready();
  // The watched folder could not be read at a listing (false: it was
  // deleted, renamed or made unreadable) or can be read again (true). Told
  // on each change only; a folder that is there at the start says nothing.
  void folderReadable(bool readable);

 private:
  friend class TShellChangeThread;
  void StartWorker();
  void StopWorker();
  void HandParameters();
  void MarkReady();

  bool actived_ = false;
  bool ready_ = false;
  std::string watched_dir_ = "/";
  std::string file_filters_;
  bool watch_sub_tree_ = true;
  TNotifyFilters notify_filters_ = nfFileNameChange | nfDirNameChange;
  TFileDealMethod on_change_;
  std::uint64_t tag_ = 0;
  std::chrono::milliseconds interval_{1000};
  std::shared_ptr<TShellChangeThread> worker_;
};

}  // namespace quillon
