#include "app/gui/file_list_model.h"

namespace quillon {

FileListModel::FileListModel(FileList& list, QObject* parent)
    : QAbstractTableModel(parent),
      list_(list),
      shown_rows_(static_cast<int>(list.size())),
      captions_(FileListCaptions()) {}

int FileListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : shown_rows_;
}

int FileListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kFileListColumnCount;
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || static_cast<size_t>(index.row()) >= list_.size()) {
    return {};
  }
  const FileListRow& row = list_.row(static_cast<size_t>(index.row()));
  if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
    return QString::fromStdString(row.cells[static_cast<size_t>(index.column())]);
  }
  if (role == Qt::CheckStateRole && index.column() == kColumnSource) {
    return row.checked ? Qt::Checked : Qt::Unchecked;
  }
  return {};
}

bool FileListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::CheckStateRole || index.column() != kColumnSource || !index.isValid() ||
      static_cast<size_t>(index.row()) >= list_.size()) {
    return false;
  }
  list_.SetChecked(static_cast<size_t>(index.row()), value.value<Qt::CheckState>() == Qt::Checked);
  return true;
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) {
    return Qt::ItemIsDropEnabled;
  }
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (index.column() == kColumnSource) {
    flags |= Qt::ItemIsUserCheckable;
  }
  return flags;
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
      static_cast<size_t>(section) >= captions_.size()) {
    return {};
  }
  return QString::fromStdString(captions_[static_cast<size_t>(section)]);
}

void FileListModel::Refresh() {
  int rows = static_cast<int>(list_.size());
  if (rows != shown_rows_) {
    beginResetModel();
    shown_rows_ = rows;
    endResetModel();
    return;
  }
  if (rows > 0) {
    emit dataChanged(index(0, 0), index(rows - 1, kFileListColumnCount - 1));
  }
}

void FileListModel::RefreshCaptions() {
  captions_ = FileListCaptions();
  emit headerDataChanged(Qt::Horizontal, 0, kFileListColumnCount - 1);
}

}  // namespace quillon
