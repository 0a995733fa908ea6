#pragma once
// The watch list: the watched folders, each with its masks, exclude words,
// destination, destination format and check mark, and while it runs its
// directory watcher. The list is a table model, so the "Folder Watcher" page
// shows it as it stands; watch processing, the headless watch service and the
// window all work on the same object.
//
// Each entry carries an id that never changes and is never reused while the
// program runs. Events of a watcher name their entry by this id, not by its
// position, so deleting rows never sends a file to the wrong entry.
//
// Owner: the main window's state. An entry owns its watcher; removing the
// entry stops and destroys it.
// Thread: main thread only.

#include <QAbstractTableModel>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "watch/file_system_watcher.h"

namespace quillon {

enum WatchListColumn : int {
  kWatchColumnSourcePath = 0,  // "Source Path"; also the check box
  kWatchColumnConvertTo = 1,   // "Convert to": a destination text
  kWatchColumnFileFilter = 2,  // "File Filter": masks, or "<-" words "->" masks
  kWatchColumnSubFolder = 3,   // "Sub-Folder": "Yes" or "No"
  kWatchColumnDestFormat = 4,  // "Destination Format": a format's list text
  kWatchColumnStatus = 5,      // "Status"
  kWatchListColumnCount = 6,
};

enum class WatchState { kIdle, kWatching, kConverting };

struct WatchEntry {
  std::uint64_t id = 0;
  bool checked = true;
  std::string source_path;
  std::string convert_to;
  std::string file_filter;
  bool sub_folder = false;
  std::string dest_format;
  WatchState state = WatchState::kIdle;
  std::string converting_path;  // the file being converted, in kConverting
  // Present exactly while the state is not kIdle.
  std::unique_ptr<TFileSystemWatcher> watcher;

  // The masks of the filter: everything after the first "->", or the whole
  // text when it holds none.
  std::string Masks() const;
  // The exclude words: between "<-" and "->"; empty when either is missing.
  std::string ExcludeWords() const;
  // "idle", "watching" or "converting <path>", translated.
  std::string StatusText() const;
  // "Yes" or "No", translated.
  std::string SubFolderText() const;
};

// The filter text of masks and exclude words: the masks alone without
// exclude words (after an empty "<-->" when they hold "->"), else "<-" +
// words + "->" + masks.
std::string ComposeFileFilter(const std::string& masks, const std::string& exclude_words);

// True when a sub-folder text means "Yes" (the English word or its
// translation), so files written under another language still read.
bool IsYesText(const std::string& text);

// The column captions, translated, and their widths in the window.
std::vector<std::string> WatchListCaptions();
std::vector<int> WatchListColumnWidths();

class WatchListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit WatchListModel(QObject* parent = nullptr);
  ~WatchListModel() override;

  int size() const { return static_cast<int>(entries_.size()); }
  bool empty() const { return entries_.empty(); }
  // `row` must be below size().
  const WatchEntry& entry(int row) const { return *entries_.at(static_cast<size_t>(row)); }
  WatchEntry& entry(int row) { return *entries_.at(static_cast<size_t>(row)); }
  // The row of the entry with `id`; -1 when it was deleted.
  int RowOfId(std::uint64_t id) const;

  // Appends an idle row. The sub-folder is on exactly when the text is
  // "Yes". Returns the new row.
  int AddWatchRow(bool checked, const std::string& source_path, const std::string& convert_to,
                  const std::string& masks, const std::string& exclude_words,
                  const std::string& sub_folder_text, const std::string& format_text);
  // Rewrites a row's fields; the row becomes idle (its watcher, if any, is
  // stopped).
  void UpdateWatchRow(int row, bool checked, const std::string& source_path,
                      const std::string& convert_to, const std::string& masks,
                      const std::string& exclude_words, const std::string& sub_folder_text,
                      const std::string& format_text);

  // Check and Uncheck of the given rows; unchecking a running row does not
  // stop it. Rows outside the list are ignored.
  void SetCheckedRows(const std::vector<int>& rows, bool checked);
  void SetChecked(int row, bool checked);
  // Delete: removes the given rows, stopping the watchers of running ones.
  void DeleteRows(const std::vector<int>& rows);
  void Clear();

  // Moves a row between idle, watching and converting. Going idle stops and
  // destroys the row's watcher.
  void SetState(int row, WatchState state, const std::string& converting_path = {});
  // Attaches a watcher to an idle row and makes it "watching".
  void AttachWatcher(int row, std::unique_ptr<TFileSystemWatcher> watcher);

  // The table model.
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 private:
  void FillRow(WatchEntry& entry, bool checked, const std::string& source_path,
               const std::string& convert_to, const std::string& masks,
               const std::string& exclude_words, bool sub_folder, const std::string& format_text);
  void RowChanged(int row);

  std::vector<std::unique_ptr<WatchEntry>> entries_;
  std::uint64_t next_id_ = 1;
};

// "watcher.ini": the line before the entries and the lines of one entry.
inline constexpr const char* kWatchListFileName = "watcher.ini";

// One entry as the file holds it.
struct WatchRecord {
  bool checked = false;
  std::string source_path;
  std::string convert_to;
  std::string file_filter;
  std::string sub_folder;
  std::string dest_format;
};

// The entries held by the lines of a watch-list file, in any of its three
// layouts: "record count2=N" with six lines an entry, "record count=N" with
// five (no format), or no header with four (no sub-folder, no format). The
// header is matched ignoring letter case. Reading stops at the first damage
// (a count that is no number, an entry cut short); what was read before it
// is kept.
std::vector<WatchRecord> ParseWatchListLines(const std::vector<std::string>& lines);

// The lines of the current layout for the list.
std::vector<std::string> WatchListLines(const WatchListModel& list);

// Appends the entries of the file (ANSI code page, CR LF lines) to the list,
// all idle. A missing, empty or damaged file gives the entries read before
// the damage, without a message.
void LoadWatchList(const std::string& path, WatchListModel& list);

// Replaces the file with the list. A failed write leaves the old file and
// gives no message; false then.
bool SaveWatchList(const std::string& path, const WatchListModel& list);

}  // namespace quillon
