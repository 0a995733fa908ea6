#pragma once
// Shows a FileList (the manual list's rows) in a QTreeView: six columns,
// the check box in the first. The FileList stays the one place the rows
// live; this model only reads it, and passes the user's check-box clicks on.
//
// Thread: main thread only.

#include <QAbstractTableModel>

#include "util/file_list.h"

namespace quillon {

class FileListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // `list` must outlive the model.
  explicit FileListModel(FileList& list, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // The list changed: a new row count resets the model, otherwise every
  // visible cell is repainted (the view keeps its scroll position).
  void Refresh();
  // The column captions changed (a new interface language).
  void RefreshCaptions();

 private:
  FileList& list_;
  int shown_rows_ = 0;
  std::vector<std::string> captions_;
};

}  // namespace quillon
