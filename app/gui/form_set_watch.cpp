#include "app/gui/form_set_watch.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>

#include "app/gui/pattern_box.h"
#include "app/gui/translate_widgets.h"
#include "jobs/destination_naming.h"
#include "jobs/manual_list.h"
#include "platform/prompter.h"
#include "ui_form_set_watch.h"
#include "util/translate.h"

namespace quillon {
namespace {

std::string TextOf(const QComboBox* box) {
  return box->currentText().toStdString();
}

bool HoldsLineBreak(const std::string& text) {
  return text.find_first_of("\r\n") != std::string::npos;
}

}  // namespace

TFormSetWatch::TFormSetWatch(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::TFormSetWatch>()) {
  ui_->setupUi(this);
  setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
  pattern_box_ = new PatternBox(this, ui_->GroupBoxDestFile, ui_->ComboBoxSpecialDestFileName,
                                ui_->LabelSpecialDestFileName, ui_->MemoDestFileNameHelp);
  connect(ui_->RadioButtonSourceFilePath, &QRadioButton::clicked, this,
          &TFormSetWatch::RadioButtonSourceFilePathClick);
  connect(ui_->RadioButtonAppointedFilePath, &QRadioButton::clicked, this,
          &TFormSetWatch::RadioButtonAppointedFilePathClick);
  connect(ui_->EditDestPath->lineEdit(), &QLineEdit::textEdited, this,
          &TFormSetWatch::EditDestPathChange);
  connect(ui_->CheckBoxSameTree, &QCheckBox::clicked, this, &TFormSetWatch::CheckBoxSameTreeClick);
  connect(ui_->BitBtnSourcePath, &QToolButton::clicked, this,
          &TFormSetWatch::BitBtnSourcePathClick);
  connect(ui_->BitBtnDestPath, &QToolButton::clicked, this, &TFormSetWatch::BitBtnDestPathClick);
  connect(ui_->BitBtn3, &QPushButton::clicked, this, &TFormSetWatch::BitBtn3Click);
  connect(ui_->BitBtn4, &QPushButton::clicked, this, &QDialog::reject);
  for (QComboBox* box : {ui_->EditSourcePath, ui_->ComboBoxFileFilter, ui_->ComboBoxExcludeWords,
                         ui_->EditDestPath}) {
    box->installEventFilter(this);
    box->lineEdit()->installEventFilter(this);
  }
  TranslateTexts();
}

TFormSetWatch::~TFormSetWatch() = default;

std::string TFormSetWatch::SourcePath() const {
  return TextOf(ui_->EditSourcePath);
}

std::string TFormSetWatch::Masks() const {
  return TextOf(ui_->ComboBoxFileFilter);
}

std::string TFormSetWatch::ExcludeWords() const {
  return TextOf(ui_->ComboBoxExcludeWords);
}

std::string TFormSetWatch::SubFolderText() const {
  return ui_->RadioButtonNoSub->isChecked() ? Tr("No") : Tr("Yes");
}

std::string TFormSetWatch::FormatText() const {
  return ui_->ComboBoxDestFormat->currentIndex() < 0 ? std::string()
                                                     : TextOf(ui_->ComboBoxDestFormat);
}

std::string TFormSetWatch::GetDestinationText() const {
  DestinationChoice choice;
  if (ui_->RadioButtonAppointedFilePath->isChecked()) {
    choice.kind = ui_->CheckBoxSameTree->isChecked() ? DestinationChoice::Folder::kSameFileTree
                                                     : DestinationChoice::Folder::kFolder;
    choice.folder = TextOf(ui_->EditDestPath);
  } else if (!ui_->RadioButtonSourceFilePath->isChecked()) {
    return {};
  }
  choice.pattern = pattern_box_->Pattern();
  return ComposeDestinationText(choice);
}

void TFormSetWatch::SetSourcePath(const std::string& path) {
  ui_->EditSourcePath->setEditText(QString::fromStdString(path));
}

void TFormSetWatch::SetMasks(const std::string& masks) {
  ui_->ComboBoxFileFilter->setEditText(QString::fromStdString(masks));
}

void TFormSetWatch::SetExcludeWords(const std::string& words) {
  ui_->ComboBoxExcludeWords->setEditText(QString::fromStdString(words));
}

void TFormSetWatch::SetSubFolderText(const std::string& text) {
  (text == Tr("No") ? ui_->RadioButtonNoSub : ui_->RadioButtonYesSub)->setChecked(true);
}

void TFormSetWatch::SelectFormat(const std::string& text) {
  QComboBox* box = ui_->ComboBoxDestFormat;
  int found = -1;
  for (int i = 0; i < box->count() && found < 0; ++i) {
    if (CompareIgnoringAsciiCase(box->itemText(i).toStdString(), text) == 0) {
      found = i;
    }
  }
  box->setCurrentIndex(found);
}

void TFormSetWatch::SetDestinationText(const std::string& text) {
  DestinationChoice choice = ParseDestinationText(text);
  bool has_pattern = text.find(SpecifiedFileMarker()) != std::string::npos;
  ui_->ComboBoxSpecialDestFileName->setEditText(
      QString::fromStdString(has_pattern ? choice.pattern : std::string("*")));
  if (choice.kind == DestinationChoice::Folder::kSameFilePath) {
    ui_->RadioButtonSourceFilePath->setChecked(true);
    EnableFolderChoice(false);
    return;
  }
  ui_->RadioButtonAppointedFilePath->setChecked(true);
  EnableFolderChoice(true);
  ui_->EditDestPath->setEditText(QString::fromStdString(choice.folder));
  ui_->CheckBoxSameTree->setChecked(choice.kind == DestinationChoice::Folder::kSameFileTree);
}

void TFormSetWatch::FillFilterChoices(const std::vector<std::string>& choices) {
  QComboBox* box = ui_->ComboBoxFileFilter;
  box->clear();
  for (const std::string& choice : choices) {
    box->addItem(QString::fromStdString(choice));
  }
  box->setCurrentIndex(box->count() > 0 ? 0 : -1);
}

void TFormSetWatch::FillFormats(const std::vector<std::string>& formats, int selected) {
  QComboBox* box = ui_->ComboBoxDestFormat;
  box->clear();
  for (const std::string& format : formats) {
    box->addItem(QString::fromStdString(format));
  }
  box->setCurrentIndex(selected >= 0 && selected < box->count() ? selected : -1);
}

void TFormSetWatch::SetCaption(const std::string& english) {
  caption_ = english;
  setWindowTitle(QString::fromStdString(Tr(caption_)));
}

void TFormSetWatch::TranslateTexts() {
  TranslateWidgetTexts(this);
  setWindowTitle(QString::fromStdString(Tr(caption_)));
  pattern_box_->FillTexts();
}

void TFormSetWatch::showEvent(QShowEvent* event) {
  TranslateTexts();
  pattern_box_->HideHelp();
  QDialog::showEvent(event);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect area = screen->availableGeometry();
    move(area.center() - rect().center());
  }
  ui_->EditSourcePath->setFocus();
}

bool TFormSetWatch::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn) {
    for (QComboBox* box : {ui_->EditSourcePath, ui_->ComboBoxFileFilter, ui_->ComboBoxExcludeWords,
                           ui_->EditDestPath}) {
      if (watched == box || watched == box->lineEdit()) {
        RememberText(box);
      }
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TFormSetWatch::RememberText(QComboBox* box) {
  QString text = box->currentText();
  if (box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive) >= 0) {
    return;
  }
  // Inserting moves the current item; the box keeps the text being typed.
  QSignalBlocker block(box);
  box->insertItem(0, text);
  box->setEditText(text);
}

void TFormSetWatch::EnableFolderChoice(bool enabled) {
  ui_->CheckBoxSameTree->setEnabled(enabled);
  ui_->EditDestPath->setEnabled(enabled);
  ui_->BitBtnDestPath->setEnabled(enabled);
}

void TFormSetWatch::RadioButtonSourceFilePathClick() {
  EnableFolderChoice(false);
}

void TFormSetWatch::RadioButtonAppointedFilePathClick() {
  EnableFolderChoice(true);
}

void TFormSetWatch::EditDestPathChange() {
  ui_->RadioButtonAppointedFilePath->setChecked(true);
  EnableFolderChoice(true);
}

void TFormSetWatch::CheckBoxSameTreeClick() {
  ui_->RadioButtonAppointedFilePath->setChecked(true);
  EnableFolderChoice(true);
}

void TFormSetWatch::Browse(QComboBox* box) {
  std::string folder = TextOf(box);
  std::string chosen;
  if (BrowseForFolder(folder, chosen)) {
    box->setEditText(QString::fromStdString(chosen));
  }
  activateWindow();
  raise();
}

void TFormSetWatch::BitBtnSourcePathClick() {
  Browse(ui_->EditSourcePath);
}

void TFormSetWatch::BitBtnDestPathClick() {
  Browse(ui_->EditDestPath);
}

void TFormSetWatch::BitBtn3Click() {
  bool valid = true;
  auto refuse = [&valid](const std::string& message) {
    CurrentPrompter().Error(message, Tr("Error"));
    valid = false;
  };
  if (SourcePath().empty()) {
    refuse(Tr("Source File Path can not be empty!"));
  }
  std::string destination = GetDestinationText();
  if (destination.empty()) {
    refuse(Tr("Destination File Path can not be empty!"));
  }
  // The watch list file holds one value a line: a line break inside one
  // would shift every entry after it.
  const std::pair<const char*, std::string> fields[] = {
      {"Source File Path", SourcePath()},
      {"Source File Filters", Masks()},
      {"Exclude Words In File Name Or File Path", ExcludeWords()},
      {"Destination File Path", destination},
  };
  for (const auto& [name, value] : fields) {
    if (HoldsLineBreak(value)) {
      refuse(TrFormat("%s can not hold a line break!", {Tr(name)}));
    }
  }
  if (valid) {
    accept();
  }
}

}  // namespace quillon
