#include "watch/file_system_watcher.h"

#include <dirent.h>
#include <sys/stat.h>

#include <QMetaObject>
#include <QString>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_set>

#include "util/mask.h"
#include "util/text.h"

namespace quillon {
namespace {

using Clock = std::chrono::steady_clock;

std::string WithSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') {
    folder += '/';
  }
  return folder;
}

// The key under which a path is compared with the listing before: letter
// case folded, fully for non-ASCII paths.
std::string FoldCase(const std::string& path) {
  bool ascii = std::all_of(path.begin(), path.end(),
                           [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (ascii) {
    return LowerAscii(path);
  }
  return QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size()))
      .toCaseFolded()
      .toStdString();
}

bool FolderReadable(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) {
    return false;
  }
  ::closedir(dir);
  return true;
}

struct FolderEntries {
  std::vector<std::string> files;
  std::vector<std::string> folders;
};

// One read of a folder: regular files (links to files included) and real
// sub-folders, each sorted by name.
FolderEntries ReadFolder(const std::string& folder) {
  FolderEntries entries;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) {
    return entries;
  }
  while (const dirent* item = ::readdir(dir)) {
    std::string name = item->d_name;
    if (name == "." || name == "..") {
      continue;
    }
    unsigned char type = item->d_type;
    if (type == DT_UNKNOWN || type == DT_LNK) {
      struct stat info {};
      std::string path = folder + name;
      if (type == DT_UNKNOWN && ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        type = DT_DIR;
      } else if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
        type = DT_REG;
      } else {
        continue;
      }
    }
    if (type == DT_REG) {
      entries.files.push_back(std::move(name));
    } else if (type == DT_DIR) {
      entries.folders.push_back(std::move(name));
    }
  }
  ::closedir(dir);
  std::sort(entries.files.begin(), entries.files.end());
  std::sort(entries.folders.begin(), entries.folders.end());
  return entries;
}

std::vector<std::optional<FileMask>> CompileMasks(const std::string& masks_text) {
  std::vector<std::optional<FileMask>> masks;
  std::string current;
  auto add = [&masks](const std::string& text) {
    if (text.empty()) {
      masks.emplace_back();  // matches nothing, but keeps its turn
      return;
    }
    try {
      // "*.*" has always meant every file, names without a dot included.
      masks.emplace_back(FileMask(text == "*.*" ? std::string("*") : text));
    } catch (const MaskError&) {
      masks.emplace_back();
    }
  };
  for (char c : masks_text) {
    if (c == ';') {
      add(current);
      current.clear();
    } else {
      current += c;
    }
  }
  add(current);
  return masks;
}

void ScanWithMask(const std::string& folder, const FileMask& mask, bool sub_tree,
                  std::vector<std::string>& out) {
  FolderEntries entries = ReadFolder(folder);
  for (const std::string& name : entries.files) {
    if (mask.Matches(name)) {
      out.push_back(folder + name);
    }
  }
  if (sub_tree) {
    for (const std::string& name : entries.folders) {
      ScanWithMask(folder + name + "/", mask, true, out);
    }
  }
}

}  // namespace

std::vector<std::string> ScanFolder(const std::string& folder, const std::string& masks,
                                    bool sub_tree) {
  std::vector<std::string> out;
  std::string root = WithSlash(folder);
  for (const std::optional<FileMask>& mask : CompileMasks(masks)) {
    if (mask) {
      ScanWithMask(root, *mask, sub_tree, out);
    }
  }
  return out;
}

// The worker: one thread, and the state it shares with its watcher. The
// thread holds a reference to this object, so it lives until the thread has
// ended, however long the watcher is gone by then.
class TShellChangeThread : public std::enable_shared_from_this<TShellChangeThread> {
 public:
  struct Parameters {
    std::string folder;
    std::string masks;
    bool sub_tree = true;
    TNotifyFilters filters = 0;
    std::chrono::milliseconds interval{1000};
  };

  TShellChangeThread(TFileSystemWatcher* sender, TFileDealMethod handler, Parameters parameters)
      : sender_(sender), handler_(std::move(handler)), parameters_(std::move(parameters)) {
    parameters_.folder = WithSlash(parameters_.folder);
  }

  void Start() {
    std::thread([self = shared_from_this()] { self->Run(); }).detach();
  }

  // Main thread. After this no handler is called and the worker ends at its
  // next look at the request.
  void RequestStop() {
    {
      std::lock_guard<std::mutex> lock(parameters_mutex_);
      stop_ = true;
      sender_ = nullptr;
    }
    std::lock_guard<std::mutex> lock(wake_mutex_);
    wake_.notify_all();
  }

  // Main thread: new parameters for the next listing.
  void SetParameters(Parameters parameters) {
    std::lock_guard<std::mutex> lock(parameters_mutex_);
    parameters.folder = WithSlash(parameters.folder);
    parameters_ = std::move(parameters);
  }

 private:
  // Ends the worker's wait for its delivery when the call has run on the
  // main thread or was dropped unrun (its watcher destroyed first).
  struct DeliveryDone {
    explicit DeliveryDone(std::shared_ptr<TShellChangeThread> worker) : worker(std::move(worker)) {}
    ~DeliveryDone() {
      std::lock_guard<std::mutex> lock(worker->wake_mutex_);
      ++worker->delivered_;
      worker->wake_.notify_all();
    }
    std::shared_ptr<TShellChangeThread> worker;
  };

  bool Stopped() const { return stop_.load(); }

  Parameters CurrentParameters() {
    std::lock_guard<std::mutex> lock(parameters_mutex_);
    return parameters_;
  }

  std::vector<std::string> Listing(const Parameters& parameters) {
    if (parameters.masks != compiled_text_ || !compiled_) {
      compiled_masks_ = CompileMasks(parameters.masks);
      compiled_text_ = parameters.masks;
      compiled_ = true;
    }
    std::vector<std::string> out;
    for (const std::optional<FileMask>& mask : compiled_masks_) {
      if (mask) {
        ScanWithMask(parameters.folder, *mask, parameters.sub_tree, out);
      }
    }
    return out;
  }

  // Sleeps until `until` or the stop request; true when stopped.
  bool WaitUntil(Clock::time_point until) {
    std::unique_lock<std::mutex> lock(wake_mutex_);
    return wake_.wait_until(lock, until, [this] { return Stopped(); });
  }

  // Queues a call on the main thread; false when stopped first.
  bool Post(std::function<void()> call) {
    std::lock_guard<std::mutex> lock(parameters_mutex_);
    if (stop_ || sender_ == nullptr) {
      return false;
    }
    // The watcher cannot be destroyed meanwhile: its stop request waits for
    // this lock. A call still queued when it is destroyed is dropped.
    QMetaObject::invokeMethod(sender_, std::move(call), Qt::QueuedConnection);
    return true;
  }

  // Runs on the main thread: the sender and handler as they are now, unless
  // the worker was stopped since the call was queued.
  bool Current(TFileSystemWatcher*& sender, TFileDealMethod& handler) {
    std::lock_guard<std::mutex> lock(parameters_mutex_);
    if (stop_ || sender_ == nullptr) {
      return false;
    }
    sender = sender_;
    handler = handler_;
    return true;
  }

  void Deliver(const std::string& path) {
    std::uint64_t wanted = 0;
    {
      std::lock_guard<std::mutex> lock(wake_mutex_);
      wanted = delivered_ + 1;
    }
    auto done = std::make_shared<DeliveryDone>(shared_from_this());
    auto self = shared_from_this();
    bool posted = Post([self, path, done] {
      TFileSystemWatcher* sender = nullptr;
      TFileDealMethod handler;
      if (self->Current(sender, handler) && handler) {
        handler(sender, kFileAdded, path, std::string());
      }
    });
    done.reset();
    if (!posted) {
      return;
    }
    std::unique_lock<std::mutex> lock(wake_mutex_);
    wake_.wait(lock, [this, wanted] { return delivered_ >= wanted || Stopped(); });
  }

  // Tells the watcher when its folder could be read at one listing and not
  // at the next, or the other way round.
  void NoteFolderState(const Parameters& parameters) {
    bool readable = FolderReadable(parameters.folder);
    if (readable == folder_readable_) {
      return;
    }
    folder_readable_ = readable;
    auto self = shared_from_this();
    Post([self, readable] {
      TFileSystemWatcher* sender = nullptr;
      TFileDealMethod handler;
      if (self->Current(sender, handler)) {
        emit sender->folderReadable(readable);
      }
    });
  }

  void Run() {
    Parameters parameters = CurrentParameters();
    std::unordered_set<std::string> previous;
    for (const std::string& path : Listing(parameters)) {
      previous.insert(FoldCase(path));
    }
    NoteFolderState(parameters);
    auto self = shared_from_this();
    Post([self] {
      TFileSystemWatcher* sender = nullptr;
      TFileDealMethod handler;
      if (self->Current(sender, handler)) {
        sender->MarkReady();
      }
    });
    Clock::time_point listing_began = Clock::now();
    while (!Stopped()) {
      if (WaitUntil(listing_began + parameters.interval)) {
        break;
      }
      listing_began = Clock::now();
      parameters = CurrentParameters();
      std::vector<std::string> listing = Listing(parameters);
      NoteFolderState(parameters);
      std::unordered_set<std::string> now;
      now.reserve(listing.size());
      for (const std::string& path : listing) {
        std::string key = FoldCase(path);
        if (!now.insert(key).second) {
          continue;  // listed again under a further mask
        }
        if (previous.count(key) == 0 && !Stopped()) {
          Deliver(path);
        }
      }
      previous = std::move(now);
    }
  }

  std::mutex parameters_mutex_;  // guards the fields below up to the wake lock
  std::atomic<bool> stop_{false};
  TFileSystemWatcher* sender_;
  TFileDealMethod handler_;
  Parameters parameters_;

  std::mutex wake_mutex_;
  std::condition_variable wake_;
  std::uint64_t delivered_ = 0;

  // Worker thread only.
  bool folder_readable_ = true;
  std::string compiled_text_;
  bool compiled_ = false;
  std::vector<std::optional<FileMask>> compiled_masks_;
};

TFileSystemWatcher::TFileSystemWatcher(QObject* parent) : QObject(parent) {}

TFileSystemWatcher::~TFileSystemWatcher() {
  StopWorker();
}

void TFileSystemWatcher::SetActived(bool actived) {
  if (actived == actived_) {
    return;
  }
  actived_ = actived;
  if (actived_) {
    if (on_change_) {
      StartWorker();
    }
  } else {
    StopWorker();
  }
}

void TFileSystemWatcher::SetWatchedDir(const std::string& folder) {
  if (LowerAscii(folder) == LowerAscii(watched_dir_)) {
    return;
  }
  watched_dir_ = folder;
  HandParameters();
}

void TFileSystemWatcher::SetFileFilters(const std::string& masks) {
  if (LowerAscii(masks) == LowerAscii(file_filters_)) {
    return;
  }
  file_filters_ = masks;
  HandParameters();
}

void TFileSystemWatcher::SetWatchSubTree(bool on) {
  if (on == watch_sub_tree_) {
    return;
  }
  watch_sub_tree_ = on;
  HandParameters();
}

void TFileSystemWatcher::SetNotifyFilters(TNotifyFilters filters) {
  if (filters == notify_filters_) {
    return;
  }
  notify_filters_ = filters;
  HandParameters();
}

void TFileSystemWatcher::SetInterval(std::chrono::milliseconds interval) {
  interval_ = std::max(interval, std::chrono::milliseconds(1));
  HandParameters();
}

void TFileSystemWatcher::SetOnChange(TFileDealMethod handler) {
  on_change_ = std::move(handler);
  if (!actived_) {
    return;
  }
  StopWorker();
  if (on_change_) {
    StartWorker();
  }
}

void TFileSystemWatcher::StartWorker() {
  StopWorker();
  TShellChangeThread::Parameters parameters{watched_dir_, file_filters_, watch_sub_tree_,
                                            notify_filters_, interval_};
  worker_ = std::make_shared<TShellChangeThread>(this, on_change_, std::move(parameters));
  worker_->Start();
}

void TFileSystemWatcher::StopWorker() {
  ready_ = false;
  if (worker_) {
    worker_->RequestStop();
    worker_.reset();
  }
}

void TFileSystemWatcher::HandParameters() {
  if (worker_) {
    worker_->SetParameters(
        {watched_dir_, file_filters_, watch_sub_tree_, notify_filters_, interval_});
  }
}

void TFileSystemWatcher::MarkReady() {
  ready_ = true;
  emit ready();
}

}  // namespace quillon
