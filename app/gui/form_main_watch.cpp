// The "Folder Watcher" page of the main window: the watch list's view, its
// commands and the watch dialog. The list, its file and the processing are
// the watch module's; this file only shows them and hands the commands on.

#include <QApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QTreeView>
#include <algorithm>

#include "app/gui/form_main.h"
#include "app/gui/form_set_watch.h"
#include "platform/folders.h"
#include "platform/prompter.h"
#include "ui_form_main.h"
#include "util/translate.h"

namespace quillon {

void TFormMain::SetUpWatchPage() {
  set_watch_ = new TFormSetWatch(this);
  connect(set_watch_, &QDialog::finished, this, [this](int result) {
    std::function<void()> confirmed = std::move(watch_dialog_confirmed_);
    watch_dialog_confirmed_ = {};
    if (result == QDialog::Accepted && confirmed) {
      confirmed();
    }
  });

  QTreeView* view = ui_->ListViewWatcher;
  view->setModel(&state_.watch_list);
  std::vector<int> widths = WatchListColumnWidths();
  // No narrower than the caption, which the interface font may need more
  // room for than the designed width.
  for (int column = 0; column < static_cast<int>(widths.size()); ++column) {
    view->setColumnWidth(column, std::max(widths[static_cast<size_t>(column)],
                                          view->header()->sectionSizeHint(column)));
  }
  view->header()->setStretchLastSection(true);
  view->header()->setSectionsClickable(false);

  auto on = [this](auto* sender, auto signal, void (TFormMain::*handler)()) {
    connect(sender, signal, this, [this, handler] { (this->*handler)(); });
  };
  on(ui_->ToolButtonAddWatch, &QToolButton::clicked, &TFormMain::ToolButtonAddWatchClick);
  on(ui_->AddWatch1, &QAction::triggered, &TFormMain::ToolButtonAddWatchClick);
  on(ui_->ToolButtonEditWatch, &QToolButton::clicked, &TFormMain::ToolButtonEditWatchClick);
  on(ui_->EditWatch1, &QAction::triggered, &TFormMain::ToolButtonEditWatchClick);
  on(view, &QTreeView::doubleClicked, &TFormMain::ToolButtonEditWatchClick);
  on(ui_->ToolButtonWatchCheck, &QToolButton::clicked, &TFormMain::ToolButtonWatchCheckClick);
  on(ui_->ToolButtonWatchUncheck, &QToolButton::clicked, &TFormMain::ToolButtonWatchUncheckClick);
  on(ui_->ToolButtonWatchClear, &QToolButton::clicked, &TFormMain::ToolButtonWatchClearClick);
  on(ui_->ToolButtonStartWatch, &QToolButton::clicked, &TFormMain::ToolButtonStartWatchClick);
  on(ui_->StartWatch1, &QAction::triggered, &TFormMain::ToolButtonStartWatchClick);
  on(ui_->ToolButtonStopWatch, &QToolButton::clicked, &TFormMain::ToolButtonStopWatchClick);
  on(ui_->StopWatch1, &QAction::triggered, &TFormMain::ToolButtonStopWatchClick);
}

// Set up once the state has its watch processing (set-up step 2): watched
// files convert with the option panels of the moment, and the page hears
// when the word processor answered.
void TFormMain::ConnectWatchProcessing() {
  if (!state_.watch_processing) {
    return;
  }
  state_.watch_processing->SetChoicesSource([this] { return CurrentChoices(); });
  state_.watch_processing->SetObserver(this);
}

std::vector<int> TFormMain::SelectedWatchRows() const {
  std::vector<int> rows;
  for (const QModelIndex& index : ui_->ListViewWatcher->selectionModel()->selectedRows()) {
    rows.push_back(index.row());
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

void TFormMain::SaveWatchListNow() {
  SaveWatchList(ConfigFolder() + kWatchListFileName, state_.watch_list);
}

// The filter choices and the formats of the moment, each time the window is
// shown.
void TFormMain::FillWatchDialogLists() {
  set_watch_->FillFilterChoices(FolderFilterChoices());
  std::vector<std::string> formats;
  for (int i = 0; i < ui_->ComboBoxDestFormat->count(); ++i) {
    formats.push_back(ui_->ComboBoxDestFormat->itemText(i).toStdString());
  }
  set_watch_->FillFormats(formats, ui_->ComboBoxDestFormat->currentIndex());
}

// The dialog opens without an event loop of its own, so a conversion that
// lets events run meanwhile is never held up under it.
void TFormMain::OpenWatchDialog(const std::string& caption, std::function<void()> confirmed) {
  if (set_watch_->isVisible()) {
    return;
  }
  watch_dialog_confirmed_ = std::move(confirmed);
  set_watch_->SetCaption(caption);
  set_watch_->open();
}

void TFormMain::ToolButtonAddWatchClick() {
  OpenWatchDialog("Add Watch", [this] {
    TFormSetWatch& dialog = *set_watch_;
    int row = state_.watch_list.AddWatchRow(true, dialog.SourcePath(), dialog.GetDestinationText(),
                                            dialog.Masks(), dialog.ExcludeWords(),
                                            dialog.SubFolderText(), dialog.FormatText());
    QTreeView* view = ui_->ListViewWatcher;
    view->selectionModel()->setCurrentIndex(
        state_.watch_list.index(row, 0),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    view->scrollTo(state_.watch_list.index(row, 0));
    SaveWatchListNow();
    ToolButtonStartWatchClick();
  });
}

void TFormMain::ToolButtonEditWatchClick() {
  if (set_watch_->isVisible()) {
    return;
  }
  QModelIndex current = ui_->ListViewWatcher->selectionModel()->currentIndex();
  if (!current.isValid() || current.row() >= state_.watch_list.size()) {
    return;
  }
  const WatchEntry& entry = state_.watch_list.entry(current.row());
  if (entry.state != WatchState::kIdle) {
    CurrentPrompter().Error(
        Tr("Error, Before you edit this folder watcher, you must stop this folder watcher"));
    return;
  }
  TFormSetWatch& dialog = *set_watch_;
  dialog.SetSourcePath(entry.source_path);
  dialog.SetDestinationText(entry.convert_to);
  dialog.SetMasks(entry.Masks());
  dialog.SetExcludeWords(entry.ExcludeWords());
  dialog.SetSubFolderText(entry.SubFolderText());
  dialog.SelectFormat(entry.dest_format);
  std::uint64_t id = entry.id;
  OpenWatchDialog("Edit Watch", [this, id] {
    // Found again by its id: rows may have moved while the dialog was open.
    int row = state_.watch_list.RowOfId(id);
    if (row < 0) {
      return;
    }
    TFormSetWatch& dialog = *set_watch_;
    state_.watch_list.UpdateWatchRow(
        row, state_.watch_list.entry(row).checked, dialog.SourcePath(), dialog.GetDestinationText(),
        dialog.Masks(), dialog.ExcludeWords(), dialog.SubFolderText(), dialog.FormatText());
    SaveWatchListNow();
  });
}

void TFormMain::ToolButtonWatchCheckClick() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  state_.watch_list.SetCheckedRows(SelectedWatchRows(), true);
  QApplication::restoreOverrideCursor();
  SaveWatchListNow();
}

void TFormMain::ToolButtonWatchUncheckClick() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  state_.watch_list.SetCheckedRows(SelectedWatchRows(), false);
  QApplication::restoreOverrideCursor();
  SaveWatchListNow();
}

void TFormMain::ToolButtonWatchClearClick() {
  std::vector<int> rows = SelectedWatchRows();
  if (rows.empty()) {
    return;
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  state_.watch_list.DeleteRows(rows);
  QApplication::restoreOverrideCursor();
  SaveWatchListNow();
}

void TFormMain::ToolButtonStartWatchClick() {
  if (state_.watch_processing) {
    state_.watch_processing->StartWatch();
  }
}

void TFormMain::ToolButtonStopWatchClick() {
  if (state_.watch_processing) {
    state_.watch_processing->StopWatch(SelectedWatchRows());
  }
}

}  // namespace quillon
