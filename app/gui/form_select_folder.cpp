#include "app/gui/form_select_folder.h"

#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QScreen>

#include "app/gui/pattern_box.h"
#include "app/gui/translate_widgets.h"
#include "platform/prompter.h"
#include "ui_form_select_folder.h"
#include "util/translate.h"

namespace quillon {
namespace {

// The size the dialog keeps, unless its texts need more room.
constexpr QSize kDialogSize(616, 410);

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

std::string S(const QString& text) {
  return text.toStdString();
}

}  // namespace

TFormSelectFolder::TFormSelectFolder(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::TFormSelectFolder>()) {
  ui_->setupUi(this);
  pattern_box_ = new PatternBox(this, ui_->GroupBoxDestFile, ui_->ComboBoxSpecialDestFileName,
                                ui_->LabelSpecialDestFileName, ui_->MemoDestFileNameHelp);
  ui_->LabelExcludeWords->setToolTip(QString::fromUtf8(kExcludeWordsHint));
  ui_->ComboBoxExcludeWords->setToolTip(QString::fromUtf8(kExcludeWordsHint));
  MarkUntranslated(ui_->LabelExcludeWordsHint);
  for (QComboBox* box :
       {ui_->ComboBoxSourcePath, ui_->ComboBoxDestPath, ui_->ComboBoxExcludeWords}) {
    box->installEventFilter(this);
    box->lineEdit()->installEventFilter(this);
  }
  ConnectFields();
  TranslateTexts();
}

TFormSelectFolder::~TFormSelectFolder() = default;

void TFormSelectFolder::ConnectFields() {
  SelectFolderFields& fields = model_.fields();
  auto text_of = [this](QComboBox* box, std::string SelectFolderFields::*field) {
    connect(box, &QComboBox::editTextChanged, this,
            [this, field](const QString& text) { model_.fields().*field = S(text); });
  };
  text_of(ui_->ComboBoxSourcePath, &SelectFolderFields::source_folder);
  text_of(ui_->ComboBoxFileFilter, &SelectFolderFields::filter_text);
  text_of(ui_->ComboBoxExcludeWords, &SelectFolderFields::exclude_words);
  text_of(ui_->ComboBoxDestPath, &SelectFolderFields::dest_folder);
  text_of(ui_->ComboBoxSpecialDestFileName, &SelectFolderFields::pattern);
  connect(ui_->RadioButtonSubFolderYes, &QRadioButton::toggled, this,
          [this](bool on) { model_.fields().include_sub_folders = on; });
  connect(ui_->RadioButtonAppointedFilePath, &QRadioButton::toggled, this,
          [this](bool on) { model_.fields().specified_path = on; });
  connect(ui_->CheckBoxSameTree, &QCheckBox::toggled, this,
          &TFormSelectFolder::CheckBoxSameTreeClick);
  connect(ui_->BitBtnSourcePath, &QToolButton::clicked, this,
          [this] { BrowseInto(ui_->ComboBoxSourcePath); });
  connect(ui_->BitBtnDestPath, &QToolButton::clicked, this,
          [this] { BrowseInto(ui_->ComboBoxDestPath); });
  connect(ui_->BitBtnOk, &QPushButton::clicked, this, &TFormSelectFolder::BitBtnOkClick);
  connect(ui_->BitBtnCancel, &QPushButton::clicked, this, &QDialog::reject);

  // The widgets' first values, the pattern box's "*" among them.
  fields.source_folder = S(ui_->ComboBoxSourcePath->currentText());
  fields.filter_text = S(ui_->ComboBoxFileFilter->currentText());
  fields.exclude_words = S(ui_->ComboBoxExcludeWords->currentText());
  fields.dest_folder = S(ui_->ComboBoxDestPath->currentText());
  fields.pattern = pattern_box_->Pattern();
  fields.include_sub_folders = ui_->RadioButtonSubFolderYes->isChecked();
  fields.specified_path = ui_->RadioButtonAppointedFilePath->isChecked();
  fields.same_tree = ui_->CheckBoxSameTree->isChecked();
}

void TFormSelectFolder::SetFilterChoices(const std::vector<std::string>& choices) {
  model_.SetFilterChoices(choices);
  QComboBox* box = ui_->ComboBoxFileFilter;
  QSignalBlocker block(box);
  box->clear();
  for (const std::string& choice : choices) {
    box->addItem(Q(choice));
  }
  box->setCurrentIndex(box->count() > 0 ? 0 : -1);
  box->setEditText(Q(model_.fields().filter_text));
}

void TFormSelectFolder::SetSourceFolder(const std::string& folder) {
  ui_->ComboBoxSourcePath->setEditText(Q(folder));
}

void TFormSelectFolder::TranslateTexts() {
  TranslateWidgetTexts(this);
  pattern_box_->FillTexts();
  // The pattern box keeps its text while its choices are filled again,
  // without telling anyone.
  model_.fields().pattern = pattern_box_->Pattern();
  ui_->LabelExcludeWordsHint->setText(Q(Tr("Hint: ") + Tr(kExcludeWordsHint)));
}

void TFormSelectFolder::showEvent(QShowEvent* event) {
  TranslateTexts();
  pattern_box_->HideHelp();
  setFixedSize(kDialogSize.expandedTo(layout()->totalMinimumSize()));
  if (QScreen* shown_on = screen()) {
    move(shown_on->availableGeometry().center() - rect().center());
  }
  QDialog::showEvent(event);
  ui_->ComboBoxSourcePath->setFocus(Qt::OtherFocusReason);
}

bool TFormSelectFolder::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn) {
    for (QComboBox* box :
         {ui_->ComboBoxSourcePath, ui_->ComboBoxDestPath, ui_->ComboBoxExcludeWords}) {
      if (watched == box || watched == box->lineEdit()) {
        RememberText(box);
      }
    }
  }
  return QDialog::eventFilter(watched, event);
}

BoxHistory* TFormSelectFolder::HistoryOf(QComboBox* box) {
  if (box == ui_->ComboBoxSourcePath) {
    return &model_.source_history();
  }
  if (box == ui_->ComboBoxDestPath) {
    return &model_.dest_history();
  }
  if (box == ui_->ComboBoxExcludeWords) {
    return &model_.exclude_history();
  }
  return nullptr;
}

void TFormSelectFolder::RememberText(QComboBox* box) {
  BoxHistory* history = HistoryOf(box);
  QString text = box->currentText();
  if (history == nullptr || !history->Remember(S(text))) {
    return;
  }
  // The list is filled again from the history; the box keeps what is typed
  // in it and where the cursor stands.
  int cursor = box->lineEdit()->cursorPosition();
  QSignalBlocker block(box);
  box->clear();
  for (const std::string& entry : history->entries()) {
    box->addItem(Q(entry));
  }
  box->setCurrentIndex(-1);
  box->setEditText(text);
  box->lineEdit()->setCursorPosition(cursor);
}

void TFormSelectFolder::CheckBoxSameTreeClick(bool checked) {
  model_.SetSameTree(checked);
  ui_->RadioButtonAppointedFilePath->setChecked(model_.fields().specified_path);
}

void TFormSelectFolder::BrowseInto(QComboBox* box) {
  std::string folder = S(box->currentText());
  std::string chosen;
  if (BrowseForFolder(folder, chosen)) {
    box->setEditText(Q(chosen));
  }
  activateWindow();
  raise();
}

void TFormSelectFolder::BitBtnOkClick() {
  std::vector<std::string> errors = model_.OkErrors();
  for (const std::string& error : errors) {
    CurrentPrompter().Error(error, Tr("Error"));
  }
  if (errors.empty()) {
    accept();
  }
}

}  // namespace quillon
