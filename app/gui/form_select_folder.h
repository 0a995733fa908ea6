#pragma once
// The "Add Sub-Folders" dialog: the folder, masks, sub-folder choice,
// exclude words and destination of a folder row of the manual list. A view
// over SelectFolderModel (jobs/select_folder_model.h), which holds the
// fields, the drop-down histories and the OK checks.
//
// Created once per process; its fields and histories stay as the user left
// them until the process ends and are not saved. The main window shows it
// modally for "Add Folders" and for dropped folders and reads the model
// after OK.
//
// Thread: main thread only.

#include <QDialog>
#include <memory>
#include <string>
#include <vector>

#include "jobs/select_folder_model.h"

class QComboBox;

namespace Ui {
class TFormSelectFolder;
}

namespace quillon {

class PatternBox;

// The hint of the exclude-words box, English.
inline constexpr const char* kExcludeWordsHint =
    "use ; as multi words's delmited char, for example this;test\nsupports wildcards (just * and "
    "?), for example *_?_*.xls matchs test_2_sdsd.xls";

class TFormSelectFolder : public QDialog {
  Q_OBJECT

 public:
  explicit TFormSelectFolder(QWidget* parent = nullptr);
  ~TFormSelectFolder() override;

  // The fields as they stand in the widgets.
  const SelectFolderModel& model() const { return model_; }

  // The file-filter choices; the first one is chosen.
  void SetFilterChoices(const std::vector<std::string>& choices);
  // Puts `folder` into the source folder box (a dropped folder).
  void SetSourceFolder(const std::string& folder);

  // The texts in the current interface language.
  void TranslateTexts();

  Ui::TFormSelectFolder& ui() { return *ui_; }

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ConnectFields();
  void CheckBoxSameTreeClick(bool checked);
  void BrowseInto(QComboBox* box);
  void BitBtnOkClick();
  // The box's text on top of its history, and the list shown again.
  void RememberText(QComboBox* box);
  BoxHistory* HistoryOf(QComboBox* box);

  std::unique_ptr<Ui::TFormSelectFolder> ui_;
  PatternBox* pattern_box_ = nullptr;
  SelectFolderModel model_;
};

}  // namespace quillon
