#include "app/gui/form_set_dest_path.h"

#include "app/gui/pattern_box.h"
#include "app/gui/translate_widgets.h"
#include "jobs/destination_naming.h"
#include "platform/prompter.h"
#include "ui_form_set_dest_path.h"
#include "util/translate.h"

namespace quillon {

TFormSetDestPath::TFormSetDestPath(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::TFormSetDestPath>()) {
  ui_->setupUi(this);
  pattern_box_ = new PatternBox(this, ui_->GroupBoxDestFile, ui_->ComboBoxSpecialDestFileName,
                                ui_->LabelSpecialDestFileName, ui_->MemoDestFileNameHelp);
  connect(ui_->RadioButtonSourceFilePath, &QRadioButton::clicked, this,
          &TFormSetDestPath::RadioButtonSourceFilePathClick);
  connect(ui_->RadioButtonAppointedFilePath, &QRadioButton::clicked, this,
          &TFormSetDestPath::RadioButtonAppointedFilePathClick);
  connect(ui_->EditDestPath, &QLineEdit::textEdited, this, &TFormSetDestPath::EditDestPathChange);
  connect(ui_->BitBtnDestPath, &QToolButton::clicked, this, &TFormSetDestPath::BitBtnDestPathClick);
  connect(ui_->BitBtn3, &QPushButton::clicked, this, &TFormSetDestPath::BitBtn3Click);
  connect(ui_->BitBtn4, &QPushButton::clicked, this, &QDialog::reject);
  TranslateTexts();
}

TFormSetDestPath::~TFormSetDestPath() = default;

std::string TFormSetDestPath::DestinationText() const {
  return ComposeDestinationText(ui_->RadioButtonSourceFilePath->isChecked(),
                                ui_->EditDestPath->text().toStdString(), pattern_box_->Pattern());
}

void TFormSetDestPath::TranslateTexts() {
  TranslateWidgetTexts(this);
  pattern_box_->FillTexts();
}

void TFormSetDestPath::showEvent(QShowEvent* event) {
  TranslateTexts();
  pattern_box_->HideHelp();
  QDialog::showEvent(event);
}

void TFormSetDestPath::EnableFolderChoice(bool enabled) {
  ui_->EditDestPath->setEnabled(enabled);
  ui_->BitBtnDestPath->setEnabled(enabled);
}

void TFormSetDestPath::RadioButtonSourceFilePathClick() {
  EnableFolderChoice(false);
}

void TFormSetDestPath::RadioButtonAppointedFilePathClick() {
  EnableFolderChoice(true);
}

void TFormSetDestPath::EditDestPathChange() {
  ui_->RadioButtonAppointedFilePath->setChecked(true);
  EnableFolderChoice(true);
}

void TFormSetDestPath::BitBtnDestPathClick() {
  std::string folder = ui_->EditDestPath->text().toStdString();
  std::string chosen;
  if (BrowseForFolder(folder, chosen)) {
    ui_->EditDestPath->setText(QString::fromStdString(chosen));
  }
  activateWindow();
  raise();
}

void TFormSetDestPath::BitBtn3Click() {
  if (DestinationText().empty()) {
    CurrentPrompter().Error(Tr("Destination File Path can not be empty!"), Tr("Error"));
    return;
  }
  accept();
}

}  // namespace quillon
