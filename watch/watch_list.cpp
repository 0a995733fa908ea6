#include "watch/watch_list.h"

#include <algorithm>
#include <charconv>

#include "support/logs.h"
#include "util/text.h"
#include "util/translate.h"

namespace quillon {
namespace {

constexpr int kLinesPerEntry = 6;
constexpr std::string_view kCurrentHeader = "record count2=";
constexpr std::string_view kOlderHeader = "record count=";

// The stored words stay English whatever the interface language, so a file
// reads the same under every language.
constexpr const char* kStoredYes = "Yes";
constexpr const char* kStoredNo = "No";

bool ParseCount(std::string_view text, long long& count) {
  if (text.empty()) {
    return false;
  }
  const char* end = text.data() + text.size();
  auto [stop, error] = std::from_chars(text.data(), end, count);
  return error == std::errc() && stop == end && count >= 0;
}

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

}  // namespace

std::string WatchEntry::Masks() const {
  // After exclude words, the masks follow the "->" that ends them, even
  // where the words begin with ">" ("<->..."); else the first "->".
  const std::size_t words =
      file_filter.rfind("<-", 0) == 0 ? file_filter.find("->", 2) : std::string::npos;
  if (words != std::string::npos) {
    return file_filter.substr(words + 2);
  }
  return TextBetween(file_filter, "->", "", false);
}

std::string WatchEntry::ExcludeWords() const {
  return TextBetween(file_filter, "<-", "->", true);
}

std::string WatchEntry::StatusText() const {
  switch (state) {
    case WatchState::kIdle:
      return Tr("idle");
    case WatchState::kWatching:
      return Tr("watching");
    case WatchState::kConverting:
      return Tr("converting") + " " + converting_path;
  }
  return {};
}

std::string WatchEntry::SubFolderText() const {
  return sub_folder ? Tr("Yes") : Tr("No");
}

std::string ComposeFileFilter(const std::string& masks, const std::string& exclude_words) {
  // Masks that hold "->" themselves get the empty word list in front, or
  // they would read back as the text after their own "->".
  if (exclude_words.empty()) {
    return masks.find("->") == std::string::npos ? masks : "<-->" + masks;
  }
  return "<-" + exclude_words + "->" + masks;
}

bool IsYesText(const std::string& text) {
  return text == kStoredYes || text == Tr("Yes");
}

std::vector<std::string> WatchListCaptions() {
  return {Tr("Source Path"), Tr("Convert to"),         Tr("File Filter"),
          Tr("Sub-Folder"),  Tr("Destination Format"), Tr("Status")};
}

std::vector<int> WatchListColumnWidths() {
  return {190, 250, 150, 70, 100, 128};
}

// ---- The model -------------------------------------------------------------

WatchListModel::WatchListModel(QObject* parent) : QAbstractTableModel(parent) {}

WatchListModel::~WatchListModel() = default;

int WatchListModel::RowOfId(std::uint64_t id) const {
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i]->id == id) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

void WatchListModel::FillRow(WatchEntry& entry, bool checked, const std::string& source_path,
                             const std::string& convert_to, const std::string& masks,
                             const std::string& exclude_words, bool sub_folder,
                             const std::string& format_text) {
  entry.checked = checked;
  entry.source_path = source_path;
  entry.convert_to = convert_to;
  entry.file_filter = ComposeFileFilter(masks, exclude_words);
  entry.sub_folder = sub_folder;
  entry.dest_format = format_text;
}

int WatchListModel::AddWatchRow(bool checked, const std::string& source_path,
                                const std::string& convert_to, const std::string& masks,
                                const std::string& exclude_words,
                                const std::string& sub_folder_text,
                                const std::string& format_text) {
  int row = size();
  beginInsertRows(QModelIndex(), row, row);
  auto entry = std::make_unique<WatchEntry>();
  entry->id = next_id_++;
  FillRow(*entry, checked, source_path, convert_to, masks, exclude_words,
          IsYesText(sub_folder_text), format_text);
  entries_.push_back(std::move(entry));
  endInsertRows();
  return row;
}

void WatchListModel::UpdateWatchRow(int row, bool checked, const std::string& source_path,
                                    const std::string& convert_to, const std::string& masks,
                                    const std::string& exclude_words,
                                    const std::string& sub_folder_text,
                                    const std::string& format_text) {
  if (row < 0 || row >= size()) {
    return;
  }
  WatchEntry& e = entry(row);
  FillRow(e, checked, source_path, convert_to, masks, exclude_words, IsYesText(sub_folder_text),
          format_text);
  SetState(row, WatchState::kIdle);
  RowChanged(row);
}

void WatchListModel::SetChecked(int row, bool checked) {
  if (row < 0 || row >= size() || entry(row).checked == checked) {
    return;
  }
  entry(row).checked = checked;
  QModelIndex cell = index(row, kWatchColumnSourcePath);
  emit dataChanged(cell, cell, {Qt::CheckStateRole});
}

void WatchListModel::SetCheckedRows(const std::vector<int>& rows, bool checked) {
  for (int row : rows) {
    SetChecked(row, checked);
  }
}

void WatchListModel::DeleteRows(const std::vector<int>& rows) {
  std::vector<int> order = rows;
  std::sort(order.begin(), order.end());
  order.erase(std::unique(order.begin(), order.end()), order.end());
  // From the last to the first, so the positions still to go stay valid.
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    int row = *it;
    if (row < 0 || row >= size()) {
      continue;
    }
    beginRemoveRows(QModelIndex(), row, row);
    // The watcher goes first; it never calls back once stopped.
    entries_[static_cast<size_t>(row)]->watcher.reset();
    entries_.erase(entries_.begin() + row);
    endRemoveRows();
  }
}

void WatchListModel::Clear() {
  if (entries_.empty()) {
    return;
  }
  beginResetModel();
  for (auto& e : entries_) {
    e->watcher.reset();
  }
  entries_.clear();
  endResetModel();
}

void WatchListModel::SetState(int row, WatchState state, const std::string& converting_path) {
  if (row < 0 || row >= size()) {
    return;
  }
  WatchEntry& e = entry(row);
  e.state = state;
  e.converting_path = state == WatchState::kConverting ? converting_path : std::string();
  if (state == WatchState::kIdle && e.watcher) {
    e.watcher->SetActived(false);
    e.watcher.reset();
  }
  QModelIndex cell = index(row, kWatchColumnStatus);
  emit dataChanged(cell, cell, {Qt::DisplayRole});
}

void WatchListModel::AttachWatcher(int row, std::unique_ptr<TFileSystemWatcher> watcher) {
  if (row < 0 || row >= size()) {
    return;
  }
  entry(row).watcher = std::move(watcher);
  SetState(row, WatchState::kWatching);
}

void WatchListModel::RowChanged(int row) {
  emit dataChanged(index(row, 0), index(row, kWatchListColumnCount - 1));
}

int WatchListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : size();
}

int WatchListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kWatchListColumnCount;
}

QVariant WatchListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= size()) {
    return {};
  }
  const WatchEntry& e = entry(index.row());
  if (role == Qt::CheckStateRole && index.column() == kWatchColumnSourcePath) {
    return e.checked ? Qt::Checked : Qt::Unchecked;
  }
  if (role != Qt::DisplayRole && role != Qt::ToolTipRole) {
    return {};
  }
  switch (index.column()) {
    case kWatchColumnSourcePath:
      return Q(e.source_path);
    case kWatchColumnConvertTo:
      return Q(e.convert_to);
    case kWatchColumnFileFilter:
      return Q(e.file_filter);
    case kWatchColumnSubFolder:
      return Q(e.SubFolderText());
    case kWatchColumnDestFormat:
      return Q(e.dest_format);
    case kWatchColumnStatus:
      return Q(e.StatusText());
    default:
      return {};
  }
}

bool WatchListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  // The row's own check box: takes effect at once, reaches the file at the
  // next save.
  if (!index.isValid() || index.row() >= size() || role != Qt::CheckStateRole ||
      index.column() != kWatchColumnSourcePath) {
    return false;
  }
  SetChecked(index.row(), value.toInt() == Qt::Checked);
  return true;
}

Qt::ItemFlags WatchListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) {
    return Qt::NoItemFlags;
  }
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (index.column() == kWatchColumnSourcePath) {
    flags |= Qt::ItemIsUserCheckable;
  }
  return flags;
}

QVariant WatchListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
      section >= kWatchListColumnCount) {
    return QAbstractTableModel::headerData(section, orientation, role);
  }
  return Q(WatchListCaptions()[static_cast<size_t>(section)]);
}

// ---- watcher.ini -------------------------------------------------------------

std::vector<WatchRecord> ParseWatchListLines(const std::vector<std::string>& file_lines) {
  std::vector<WatchRecord> records;
  if (file_lines.empty()) {
    return records;
  }
  std::vector<std::string> lines = file_lines;
  std::string first = LowerAscii(lines.front());
  long long count = 0;
  // The lines one entry takes in this layout; the current layout always
  // takes six, so a cut-short file cannot shift its entries.
  long long per_entry = 0;
  if (first.rfind(kCurrentHeader, 0) == 0) {
    if (!ParseCount(std::string_view(first).substr(kCurrentHeader.size()), count)) {
      return records;
    }
    per_entry = kLinesPerEntry;
  } else if (first.rfind(kOlderHeader, 0) == 0) {
    if (!ParseCount(std::string_view(first).substr(kOlderHeader.size()), count)) {
      return records;
    }
  } else {
    count = static_cast<long long>(lines.size()) / 4;
    lines.insert(lines.begin(), std::string());
  }
  if (count == 0) {
    return records;
  }
  if (per_entry == 0) {
    // Older layouts: the lines an entry takes follow from the file itself.
    per_entry =
        std::min<long long>((static_cast<long long>(lines.size()) - 1) / count, kLinesPerEntry);
    if (per_entry == 0) {
      return records;
    }
    if (per_entry < kLinesPerEntry) {
      std::vector<std::string> padded{lines.front()};
      size_t next = 1;
      for (long long k = 0; k < count; ++k) {
        if (next + static_cast<size_t>(per_entry) > lines.size()) {
          break;  // an entry cut short is not read
        }
        for (long long i = 0; i < per_entry; ++i) {
          padded.push_back(lines[next++]);
        }
        padded.insert(padded.end(), static_cast<size_t>(kLinesPerEntry - per_entry), std::string());
      }
      lines = std::move(padded);
    }
  }
  for (long long k = 0; k < count; ++k) {
    size_t base = static_cast<size_t>(kLinesPerEntry * k + 1);
    if (base + kLinesPerEntry > lines.size()) {
      break;  // cut short: keep what was read
    }
    WatchRecord record;
    record.checked = lines[base] == "1";
    record.source_path = lines[base + 1];
    record.convert_to = lines[base + 2];
    record.file_filter = lines[base + 3];
    record.sub_folder = lines[base + 4];
    record.dest_format = lines[base + 5];
    records.push_back(std::move(record));
  }
  return records;
}

std::vector<std::string> WatchListLines(const WatchListModel& list) {
  std::vector<std::string> lines;
  lines.push_back(std::string(kCurrentHeader) + std::to_string(list.size()));
  for (int row = 0; row < list.size(); ++row) {
    const WatchEntry& e = list.entry(row);
    lines.push_back(e.checked ? "1" : "0");
    lines.push_back(e.source_path);
    lines.push_back(e.convert_to);
    lines.push_back(e.file_filter);
    lines.push_back(e.sub_folder ? kStoredYes : kStoredNo);
    lines.push_back(e.dest_format);
  }
  return lines;
}

void LoadWatchList(const std::string& path, WatchListModel& list) {
  std::vector<std::string> lines;
  if (!ReadLineFile(path, lines)) {
    return;
  }
  for (const WatchRecord& record : ParseWatchListLines(lines)) {
    WatchEntry probe;
    probe.file_filter = record.file_filter;
    list.AddWatchRow(record.checked, record.source_path, record.convert_to, probe.Masks(),
                     probe.ExcludeWords(), record.sub_folder, record.dest_format);
  }
}

bool SaveWatchList(const std::string& path, const WatchListModel& list) {
  std::string error;
  return WriteLineFile(path, WatchListLines(list), error);
}

}  // namespace quillon
