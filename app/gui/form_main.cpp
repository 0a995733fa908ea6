#include "app/gui/form_main.h"

#include <sys/stat.h>

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QScreen>
#include <QStyle>
#include <QUrl>

#include "app/gui/file_list_model.h"
#include "app/gui/form_select_folder.h"
#include "app/gui/form_set_dest_path.h"
#include "app/gui/translate_widgets.h"
#include "engine/conversion_options.h"
#include "jobs/destination_naming.h"
#include "platform/folders.h"
#include "platform/prompter.h"
#include "platform/shell_open.h"
#include "ui_form_main.h"
#include "util/file_list.h"
#include "util/translate.h"

namespace quillon {
namespace {

// Rows added between two looks at pending events while a drop is added, so
// that a drop of thousands of files keeps the window painted.
constexpr size_t kRowsBetweenPumps = 256;

enum class PathKind { kMissing, kFile, kFolder };

PathKind KindOf(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    return PathKind::kMissing;
  }
  return S_ISDIR(info.st_mode) ? PathKind::kFolder : PathKind::kFile;
}

}  // namespace

const std::vector<std::string>& FolderFilterChoices() {
  static const std::vector<std::string> choices = {"*.doc;*.docx;*.rtf;*.htm;*.html",
                                                   "*.doc;*.docx", "*.rtf", "*.htm;*.html", "*.*"};
  return choices;
}

TFormMain::TFormMain(MainWindowState& state, QWidget* parent)
    : QMainWindow(parent),
      state_(state),
      ui_(std::make_unique<Ui::TFormMain>()),
      batch_log_(state.logs),
      driver_(batch_log_) {
  ui_->setupUi(this);
  state_.view = this;

  manual_model_ = new FileListModel(state_.manual_list.list(), this);
  ui_->ListViewManual->setModel(manual_model_);
  const int widths[kFileListColumnCount] = {180, 180, 180, 80, 80, 80};
  for (int column = 0; column < kFileListColumnCount; ++column) {
    ui_->ListViewManual->setColumnWidth(column, widths[column]);
  }
  ui_->ListViewManual->header()->setSectionsClickable(true);
  ui_->ListViewManual->header()->setStretchLastSection(false);
  state_.manual_list.list().SetObserver([this] { ListChanged(); });

  count_panel_ = new QLabel(ui_->StatusBarProcess);
  count_panel_->setFixedWidth(180);
  progress_panel_ = new QLabel(ui_->StatusBarProcess);
  ui_->StatusBarProcess->addWidget(count_panel_);
  ui_->StatusBarProcess->addWidget(progress_panel_, 1);
  watch_count_panel_ = new QLabel(ui_->StatusBarWatchProcess);
  watch_count_panel_->setFixedWidth(200);
  watch_progress_panel_ = new QLabel(ui_->StatusBarWatchProcess);
  ui_->StatusBarWatchProcess->addWidget(watch_count_panel_);
  ui_->StatusBarWatchProcess->addWidget(watch_progress_panel_, 1);
  for (QObject* dynamic : std::initializer_list<QObject*>{count_panel_, progress_panel_,
                                                          watch_count_panel_, watch_progress_panel_,
                                                          ui_->MemoManualLog, ui_->MemoWatchLog}) {
    MarkUntranslated(dynamic);
  }
  // The splitter gives the list the height the log group does not take.
  ui_->SplitterManual->setStretchFactor(0, 1);
  ui_->SplitterManual->setStretchFactor(1, 0);
  ui_->SplitterManual->setSizes({300, 152});
  ui_->SplitterWatch->setStretchFactor(0, 1);
  ui_->SplitterWatch->setStretchFactor(1, 0);
  ui_->SplitterWatch->setSizes({300, 152});

  state_.logs.SetObserver(this);
  driver_.SetObserver(this);
  driver_.SetChoicesSource([this] { return CurrentChoices(); });

  // The other windows that live as long as this one.
  select_folder_ = new TFormSelectFolder(this);
  set_dest_path_ = new TFormSetDestPath(this);
  SetUpWatchPage();

  ConnectCommands();
  ConnectSupportCommands();
  SetButtonIcons();
  qApp->installEventFilter(this);
}

TFormMain::~TFormMain() {
  qApp->removeEventFilter(this);
  state_.manual_list.list().SetObserver({});
  state_.logs.SetObserver(nullptr);
  if (state_.view == this) {
    state_.view = nullptr;
  }
}

void TFormMain::FormCreate() {
  SetUpMainWindow(state_);
  ConnectWatchProcessing();
  CreateTrayIcon();
  // Any start parameter hides the window at first, and so does "Minimized
  // as a TrayIcon when run"; but a window hidden without a tray icon to
  // bring it back could not be reached, so then only an automation start
  // stays hidden.
  bool hide_wanted =
      !state_.arguments.empty() || (state_.settings && state_.settings->minimized_tray());
  show_at_start_ = state_.run_mode != RunMode::kAutomation && !(hide_wanted && TrayAvailable());
  resize(927, 629);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect area = screen->availableGeometry();
    move(area.center() - rect().center());
  }
}

int TFormMain::FormDestroy() {
  if (destroyed_) {
    return 0;
  }
  destroyed_ = true;
  return ShutDownMainWindow(state_);
}

void TFormMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // Shown, not merely brought back from the task bar: the folder dialogs
  // get their filter choices, the first one chosen.
  if (!event->spontaneous()) {
    select_folder_->SetFilterChoices(FolderFilterChoices());
  }
  // The tool bars fit their buttons.
  ui_->ToolBarManual->adjustSize();
  ui_->ToolBarWatch->adjustSize();
  FillWatchDialogLists();
}

// ---- Set-up steps of the window -------------------------------------------

void TFormMain::TranslateTexts() {
  TranslateWidgetTexts(this);
  manual_model_->RefreshCaptions();
}

void TFormMain::InstallDropHandling() {
  ui_->ListViewManual->setAcceptDrops(true);
  ui_->ListViewManual->viewport()->setAcceptDrops(true);
  ui_->ListViewManual->viewport()->installEventFilter(this);
  drops_enabled_ = true;
}

void TFormMain::ShowCaption() {
  setWindowTitle(QString::fromStdString(state_.caption));
}

void TFormMain::ShowOptionPanels() {
  // The program drives the word processor only: the workbook and worksheet
  // fields add nothing, the recovery switch and the plug-in panel do.
  bool word = state_.application_kind == kApplicationKindWord;
  ui_->PanelOpenPassword->setVisible(true);
  for (QWidget* sheet_field : std::initializer_list<QWidget*>{
           ui_->LabelWorkBookProtectPassword, ui_->EditWorkBookProtectPassword,
           ui_->LabelWorkSheetProtectPassword, ui_->EditWorkSheetProtectPassword}) {
    sheet_field->setVisible(!word);
  }
  ui_->CheckBoxRecoverAnyType->setVisible(word);
  ui_->PanelPlugin->setVisible(word);
  ui_->PanelSheetRange->setVisible(false);
  ui_->PanelPageRange->setVisible(false);
  ui_->PanelTextDelimited->setVisible(false);
  FillTextDelimitedList(-1);
}

void TFormMain::FillTextDelimitedList(int selected) {
  QSignalBlocker block(ui_->ComboBoxTextDelimited);
  ui_->ComboBoxTextDelimited->clear();
  for (const std::string& item : engine::TextDelimitedItems()) {
    ui_->ComboBoxTextDelimited->addItem(QString::fromStdString(Tr(item)));
  }
  ui_->ComboBoxTextDelimited->setCurrentIndex(selected);
}

void TFormMain::ShowDestinationFormats() {
  QSignalBlocker block(ui_->ComboBoxDestFormat);
  ui_->ComboBoxDestFormat->clear();
  for (const std::string& text : state_.destination_formats.ListTexts()) {
    ui_->ComboBoxDestFormat->addItem(QString::fromStdString(text));
  }
  ui_->ComboBoxDestFormat->setCurrentIndex(ui_->ComboBoxDestFormat->count() > 0 ? 0 : -1);
  ui_->PanelDestFormat->setVisible(state_.destination_formats.Size() >= 2);
}

void TFormMain::ShowLoadedSettings() {
  if (state_.settings) {
    QSignalBlocker block_format(ui_->ComboBoxDestFormat);
    ui_->ComboBoxDestFormat->setCurrentIndex(state_.settings->destination_format_index());
    QSignalBlocker block_delimiter(ui_->ComboBoxTextDelimited);
    ui_->ComboBoxTextDelimited->setCurrentIndex(state_.settings->text_delimited_index());
  }
  SyncOptionChecks();
  ui_->PageControl1->setCurrentWidget(state_.watch_list.empty() ? ui_->TabSheetManual
                                                                : ui_->TabSheetWatch);
  PageChanged();
}

void TFormMain::SyncOptionChecks() {
  if (!state_.settings) {
    return;
  }
  const Settings& settings = *state_.settings;
  ui_->CreateLogFile1->setChecked(settings.create_log_file());
  ui_->MinimizedasaTray1->setChecked(settings.minimized_tray());
  ui_->AutoRunAtStartup1->setChecked(settings.auto_run());
  ui_->AutoStart1->setChecked(settings.auto_start_watch());
  ui_->DeleteSourceFileAfterConversion1->setChecked(settings.delete_source());
}

// ---- Commands -------------------------------------------------------------

void TFormMain::ConnectCommands() {
  auto on = [this](auto* sender, auto signal, void (TFormMain::*handler)()) {
    connect(sender, signal, this, [this, handler] { (this->*handler)(); });
  };
  on(ui_->ToolButtonAddFiles, &QToolButton::clicked, &TFormMain::ToolButtonAddFilesClick);
  on(ui_->AddFiles1, &QAction::triggered, &TFormMain::ToolButtonAddFilesClick);
  on(ui_->ToolButtonAddFolders, &QToolButton::clicked, &TFormMain::ToolButtonAddFoldersClick);
  on(ui_->AddFolders1, &QAction::triggered, &TFormMain::ToolButtonAddFoldersClick);
  on(ui_->ToolButtonConvert, &QToolButton::clicked, &TFormMain::ToolButtonConvertClick);
  on(ui_->Convert1, &QAction::triggered, &TFormMain::ToolButtonConvertClick);
  on(ui_->ToolButtonCheck, &QToolButton::clicked, &TFormMain::ToolButtonCheckClick);
  on(ui_->ToolButtonUncheck, &QToolButton::clicked, &TFormMain::ToolButtonUncheckClick);
  on(ui_->ToolButtonDelete, &QToolButton::clicked, &TFormMain::ToolButtonDeleteClick);
  on(ui_->Select2, &QAction::triggered, &TFormMain::Select2Click);
  on(ui_->Unselect1, &QAction::triggered, &TFormMain::Unselect1Click);
  on(ui_->Clear1, &QAction::triggered, &TFormMain::Clear1Click);
  on(ui_->SelectAll1, &QAction::triggered, &TFormMain::SelectAll1Click);
  on(ui_->InvertSelection1, &QAction::triggered, &TFormMain::InvertSelection1Click);
  on(ui_->ToolButtonHelp, &QToolButton::clicked, &TFormMain::ToolButtonHelpClick);
  on(ui_->ToolButtonWatchHelp, &QToolButton::clicked, &TFormMain::ToolButtonHelpClick);
  on(ui_->Contents1, &QAction::triggered, &TFormMain::ToolButtonHelpClick);
  on(ui_->ToolButtonExit, &QToolButton::clicked, &TFormMain::ToolButtonExitClick);
  on(ui_->ToolButtonWatchExit, &QToolButton::clicked, &TFormMain::ToolButtonExitClick);
  on(ui_->Exit1, &QAction::triggered, &TFormMain::ToolButtonExitClick);
  on(ui_->ToolButtonClearLogs, &QToolButton::clicked, &TFormMain::ToolButtonClearLogsClick);
  on(ui_->ToolButton1, &QToolButton::clicked, &TFormMain::ToolButtonClearLogsClick);
  on(ui_->Viwlog1, &QAction::triggered, &TFormMain::Viwlog1Click);
  on(ui_->HowtouseCommandLine1, &QAction::triggered, &TFormMain::HowtouseCommandLine1Click);
  on(ui_->LicenseAgreement1, &QAction::triggered, &TFormMain::LicenseAgreement1Click);
  on(ui_->GotoProductHomePage1, &QAction::triggered, &TFormMain::GotoProductHomePage1Click);
  on(ui_->About1, &QAction::triggered, &TFormMain::About1Click);

  // Each option toggles its setting, which writes set.ini at once.
  auto toggle = [this](QAction* action, void (Settings::*apply)(bool),
                       bool (Settings::*current)() const) {
    connect(action, &QAction::triggered, this, [this, apply, current] {
      if (state_.settings) {
        Settings& settings = *state_.settings;
        (settings.*apply)(!(settings.*current)());
      }
      SyncOptionChecks();
    });
  };
  toggle(ui_->CreateLogFile1, &Settings::ApplyCreateLogFile, &Settings::create_log_file);
  toggle(ui_->MinimizedasaTray1, &Settings::ApplyMinimizedTray, &Settings::minimized_tray);
  toggle(ui_->AutoRunAtStartup1, &Settings::ApplyAutoRun, &Settings::auto_run);
  toggle(ui_->AutoStart1, &Settings::ApplyAutoStartWatch, &Settings::auto_start_watch);
  toggle(ui_->DeleteSourceFileAfterConversion1, &Settings::ApplyDeleteSource,
         &Settings::delete_source);

  connect(ui_->ComboBoxDestFormat, &QComboBox::activated, this,
          &TFormMain::ComboBoxDestFormatClick);
  connect(ui_->ComboBoxTextDelimited, &QComboBox::activated, this,
          &TFormMain::ComboBoxTextDelimitedClick);
  connect(ui_->ListViewManual->header(), &QHeaderView::sectionClicked, this,
          &TFormMain::ListViewManualColumnClick);
  connect(ui_->PageControl1, &QTabWidget::currentChanged, this, [this] { PageChanged(); });
}

void TFormMain::SetButtonIcons() {
  QStyle* look = style();
  auto set = [look](QToolButton* button, QStyle::StandardPixmap pixmap) {
    button->setIcon(look->standardIcon(pixmap));
    button->setIconSize(QSize(24, 24));
  };
  set(ui_->ToolButtonAddFiles, QStyle::SP_FileIcon);
  set(ui_->ToolButtonAddFolders, QStyle::SP_DirIcon);
  set(ui_->ToolButtonConvert, QStyle::SP_MediaPlay);
  set(ui_->ToolButtonCheck, QStyle::SP_DialogApplyButton);
  set(ui_->ToolButtonUncheck, QStyle::SP_DialogCancelButton);
  set(ui_->ToolButtonDelete, QStyle::SP_TrashIcon);
  set(ui_->ToolButtonHelp, QStyle::SP_DialogHelpButton);
  set(ui_->ToolButtonExit, QStyle::SP_DialogCloseButton);
  set(ui_->ToolButtonAddWatch, QStyle::SP_FileDialogNewFolder);
  set(ui_->ToolButtonEditWatch, QStyle::SP_FileDialogDetailedView);
  set(ui_->ToolButtonWatchCheck, QStyle::SP_DialogApplyButton);
  set(ui_->ToolButtonWatchUncheck, QStyle::SP_DialogCancelButton);
  set(ui_->ToolButtonWatchClear, QStyle::SP_TrashIcon);
  set(ui_->ToolButtonStartWatch, QStyle::SP_MediaPlay);
  set(ui_->ToolButtonStopWatch, QStyle::SP_MediaStop);
  set(ui_->ToolButtonWatchHelp, QStyle::SP_DialogHelpButton);
  set(ui_->ToolButtonWatchExit, QStyle::SP_DialogCloseButton);
  setWindowIcon(look->standardIcon(QStyle::SP_FileDialogContentsView));
}

bool TFormMain::ManualPageVisible() const {
  return ui_->PageControl1->currentWidget() == ui_->TabSheetManual;
}

void TFormMain::PageChanged() {
  state_.logs.SetVisibleView(ManualPageVisible() ? LogView::kManual : LogView::kWatch);
}

void TFormMain::ActOnManualList(const std::function<void()>& action, bool changes_rows) {
  if (changes_rows && batch_running_) {
    return;
  }
  SelectionToList();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  action();
  QApplication::restoreOverrideCursor();
}

void TFormMain::ToolButtonAddFilesClick() {
  if (batch_running_) {
    return;
  }
  std::vector<std::string> files =
      CurrentPrompter().ChooseFiles(Tr("Add Files"), kAddFilesFilter, 0);
  if (files.empty()) {
    return;
  }
  if (set_dest_path_->exec() != QDialog::Accepted) {
    return;
  }
  std::string destination = set_dest_path_->DestinationText();
  FileList& list = state_.manual_list.list();
  list.BeginUpdate();
  for (const std::string& file : files) {
    AddFileRow(list, true, file, false, "", "", destination);
  }
  list.EndUpdate();
}

bool TFormMain::AddFolderRow(const std::string& folder) {
  const SelectFolderModel& dialog = select_folder_->model();
  const SelectFolderFields& fields = dialog.fields();
  return AddFileRow(state_.manual_list.list(), true, folder, fields.include_sub_folders,
                    fields.exclude_words, dialog.MaskText(), dialog.DestinationText());
}

void TFormMain::ToolButtonAddFoldersClick() {
  if (batch_running_) {
    return;
  }
  if (select_folder_->exec() != QDialog::Accepted) {
    return;
  }
  AddFolderRow(select_folder_->model().fields().source_folder);
}

void TFormMain::DropPaths(const std::vector<std::string>& paths) {
  if (batch_running_ || !drops_enabled_) {
    return;
  }
  bool destination_asked = false;
  bool folder_asked = false;
  std::string destination;
  FileList& list = state_.manual_list.list();
  list.BeginUpdate();
  size_t handled = 0;
  for (const std::string& path : paths) {
    if (++handled % kRowsBetweenPumps == 0) {
      QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    PathKind kind = KindOf(path);
    if (kind == PathKind::kFolder) {
      if (!folder_asked) {
        folder_asked = true;
        select_folder_->SetSourceFolder(path);
        if (select_folder_->exec() != QDialog::Accepted) {
          break;
        }
      }
      AddFolderRow(path);
      continue;
    }
    // A path that has gone is reported by AddFileRow; there is nothing to
    // ask about it.
    if (kind == PathKind::kFile && !destination_asked) {
      destination_asked = true;
      if (set_dest_path_->exec() != QDialog::Accepted) {
        break;
      }
      destination = set_dest_path_->DestinationText();
    }
    AddFileRow(list, true, path, false, "", "", destination);
  }
  list.EndUpdate();
  ui_->ListViewManual->setFocus();
}

void TFormMain::ToolButtonConvertClick() {
  if (batch_running_) {
    return;
  }
  batch_running_ = true;
  driver_.ConvertAction(state_.manual_list);
  batch_running_ = false;
}

void TFormMain::ToolButtonCheckClick() {
  ActOnManualList([this] { state_.manual_list.CheckSelected(); }, false);
  ShowCountLine();
}

void TFormMain::ToolButtonUncheckClick() {
  ActOnManualList([this] { state_.manual_list.UncheckSelected(); }, false);
  ShowCountLine();
}

void TFormMain::ToolButtonDeleteClick() {
  ActOnManualList([this] { state_.manual_list.DeleteSelected(); }, true);
  ShowCountLine();
}

// The Edit menu acts on the list of the visible page.
void TFormMain::Select2Click() {
  ManualPageVisible() ? ToolButtonCheckClick() : ToolButtonWatchCheckClick();
}

void TFormMain::Unselect1Click() {
  ManualPageVisible() ? ToolButtonUncheckClick() : ToolButtonWatchUncheckClick();
}

void TFormMain::Clear1Click() {
  ManualPageVisible() ? ToolButtonDeleteClick() : ToolButtonWatchClearClick();
}

void TFormMain::SelectAll1Click() {
  if (ManualPageVisible()) {
    ActOnManualList([this] { state_.manual_list.SelectAll(); }, false);
  } else {
    ui_->ListViewWatcher->selectAll();
  }
}

void TFormMain::InvertSelection1Click() {
  if (ManualPageVisible()) {
    ActOnManualList([this] { state_.manual_list.InvertSelection(); }, false);
  } else {
    QAbstractItemModel* model = ui_->ListViewWatcher->model();
    if (model->rowCount() > 0) {
      QItemSelection all(model->index(0, 0),
                         model->index(model->rowCount() - 1, model->columnCount() - 1));
      ui_->ListViewWatcher->selectionModel()->select(all, QItemSelectionModel::Toggle);
    }
  }
}

void TFormMain::ListViewManualColumnClick(int column) {
  if (batch_running_) {
    return;
  }
  ActOnManualList([this, column] { state_.manual_list.SortByColumn(column); }, true);
}

void TFormMain::ShowCountLine() {
  count_panel_->setText(QString::fromStdString(state_.manual_list.count_line()));
}

QString TFormMain::CountLineText() const {
  return count_panel_->text();
}

QString TFormMain::ProgressLineText() const {
  return progress_panel_->text();
}

void TFormMain::OpenSideFile(const std::string& name) {
  OpenWithShell(ResourceFolder() + name);
}

void TFormMain::ToolButtonHelpClick() {
  OpenSideFile("help.htm");
}

void TFormMain::HowtouseCommandLine1Click() {
  OpenWithShell(HelpFaqUrl());
}

void TFormMain::LicenseAgreement1Click() {
  OpenSideFile("License.txt");
}

void TFormMain::GotoProductHomePage1Click() {
  OpenWithShell(kProductHomePage);
}

void TFormMain::About1Click() {
  CurrentPrompter().Message(
      TrFormat("%s\nMade by Tarvell.\nMore information: %s",
               {std::string(QUILLON_VERSION_TEXT), std::string(kProductHomePage)}),
      Tr("About"), PromptIcon::kInformation);
}

void TFormMain::Viwlog1Click() {
  OpenWithShell(state_.logs.DailyLogFileName());
}

void TFormMain::ToolButtonExitClick() {
  close();
}

void TFormMain::ToolButtonClearLogsClick() {
  state_.logs.ClearView(ManualPageVisible() ? LogView::kManual : LogView::kWatch);
}

void TFormMain::ComboBoxDestFormatClick(int index) {
  if (state_.settings) {
    state_.settings->ApplyDestinationFormat(index);
  }
}

void TFormMain::ComboBoxTextDelimitedClick(int index) {
  if (state_.settings) {
    state_.settings->ApplyTextDelimited(index);
  }
}

BatchChoices TFormMain::CurrentChoices() const {
  BatchChoices choices;
  engine::ConversionOptions& options = choices.options;
  options.open_password = ui_->EditOpenPassword->text().toStdString();
  options.workbook_protect_password = ui_->EditWorkBookProtectPassword->text().toStdString();
  options.worksheet_protect_password = ui_->EditWorkSheetProtectPassword->text().toStdString();
  options.run_plugin_macro = ui_->CheckBoxRunPluginMacro->isChecked();
  options.plugin_save = ui_->CheckBoxPluginSave->isChecked();
  options.text_delimited_index = ui_->ComboBoxTextDelimited->currentIndex();
  options.sheet_range_appointed = ui_->RadioButtonSheetRange_AppointedSheet->isChecked();
  options.appointed_sheet = ui_->SpinEditSheetRange_AppointedSheet->value();
  options.page_range_from_to = ui_->RadioButtonPageRange_PagesFromTo->isChecked();
  options.page_from = ui_->SpinEditPageRange_PageFrom->value();
  options.page_to = ui_->SpinEditPageRange_PageTo->value();
  options.recover_any_type = ui_->CheckBoxRecoverAnyType->isChecked();
  choices.format_index = state_.settings ? state_.settings->destination_format_index()
                                         : std::max(0, ui_->ComboBoxDestFormat->currentIndex());
  choices.format_code = state_.destination_formats.Code(choices.format_index);
  choices.extension = state_.destination_formats.Extension(choices.format_index);
  choices.delete_source = state_.settings && state_.settings->delete_source();
  return choices;
}

// ---- Selection between the view and the list ------------------------------

void TFormMain::SelectionToList() {
  QItemSelectionModel* selection = ui_->ListViewManual->selectionModel();
  FileList& list = state_.manual_list.list();
  syncing_selection_ = true;
  list.BeginUpdate();
  for (size_t row = 0; row < list.size(); ++row) {
    list.SetSelected(row, selection->isRowSelected(static_cast<int>(row), {}));
  }
  QModelIndex current = selection->currentIndex();
  list.SetFocused(current.isValid() ? current.row() : -1);
  list.EndUpdate();
  syncing_selection_ = false;
}

void TFormMain::SelectionFromList() {
  const FileList& list = state_.manual_list.list();
  QItemSelection rows;
  std::vector<size_t> selected = list.SelectedRows();
  for (size_t k = 0; k < selected.size();) {
    size_t first = selected[k];
    size_t last = first;
    while (k + 1 < selected.size() && selected[k + 1] == last + 1) {
      ++k;
      ++last;
    }
    ++k;
    rows.select(manual_model_->index(static_cast<int>(first), 0),
                manual_model_->index(static_cast<int>(last), kFileListColumnCount - 1));
  }
  syncing_selection_ = true;
  QItemSelectionModel* selection = ui_->ListViewManual->selectionModel();
  selection->select(rows, QItemSelectionModel::ClearAndSelect);
  if (list.focused() >= 0) {
    QModelIndex focused = manual_model_->index(list.focused(), 0);
    selection->setCurrentIndex(focused, QItemSelectionModel::NoUpdate);
    ui_->ListViewManual->scrollTo(focused);
  }
  syncing_selection_ = false;
}

void TFormMain::ListChanged() {
  if (syncing_selection_) {
    return;
  }
  manual_model_->Refresh();
  SelectionFromList();
}

// ---- The batch ------------------------------------------------------------

void TFormMain::EnableListCommands(bool enabled) {
  for (QAction* action : {ui_->AddFiles1, ui_->AddFolders1, ui_->Convert1, ui_->Clear1}) {
    action->setEnabled(enabled);
  }
  for (QToolButton* button : {ui_->ToolButtonAddFiles, ui_->ToolButtonAddFolders,
                              ui_->ToolButtonConvert, ui_->ToolButtonDelete}) {
    button->setEnabled(enabled);
  }
}

void TFormMain::ProgressRange(int maximum) {
  ui_->ProgressBarProcess->setRange(0, maximum);
}

void TFormMain::ProgressPosition(int position) {
  ui_->ProgressBarProcess->setValue(position);
}

void TFormMain::ProgressLine(const std::string& text) {
  progress_panel_->setText(QString::fromStdString(text));
}

void TFormMain::WordReady() {
  watch_progress_panel_->clear();
}

void TFormMain::PumpEvents() {
  QCoreApplication::processEvents();
}

void TFormMain::BatchStarted() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  EnableListCommands(false);
  stop_click_active_ = true;
}

void TFormMain::BatchFinished() {
  stop_click_active_ = false;
  EnableListCommands(true);
  QApplication::restoreOverrideCursor();
}

void TFormMain::LogLineAdded(LogView view, const std::string& line) {
  QPlainTextEdit* memo = view == LogView::kManual ? ui_->MemoManualLog : ui_->MemoWatchLog;
  memo->appendPlainText(QString::fromStdString(line));
}

void TFormMain::LogViewCleared(LogView view) {
  (view == LogView::kManual ? ui_->MemoManualLog : ui_->MemoWatchLog)->clear();
}

// ---- Events ---------------------------------------------------------------

bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
      // During a batch a left click anywhere asks it to stop; a question the
      // batch itself shows still takes its clicks.
      if (stop_click_active_ && QApplication::activeModalWidget() == nullptr &&
          static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        driver_.RequestStop();
        return true;
      }
      break;
    case QEvent::ShortcutOverride: {
      // The menu shortcuts act wherever the focus is in the window, also
      // in the fields that would take Del or Ctrl+A for themselves.
      auto* widget = qobject_cast<QWidget*>(watched);
      if (widget != nullptr && widget->window() == this) {
        QKeySequence pressed(static_cast<QKeyEvent*>(event)->keyCombination());
        for (QAction* action : findChildren<QAction*>()) {
          if (action->isEnabled() && !action->shortcut().isEmpty() &&
              action->shortcut() == pressed) {
            event->ignore();
            return true;
          }
        }
      }
      break;
    }
    case QEvent::DragEnter:
    case QEvent::DragMove:
      if (watched == ui_->ListViewManual->viewport()) {
        auto* drag = static_cast<QDropEvent*>(event);
        if (drops_enabled_ && !batch_running_ && drag->mimeData()->hasUrls()) {
          drag->acceptProposedAction();
        } else {
          drag->ignore();
        }
        return true;
      }
      break;
    case QEvent::Drop:
      if (watched == ui_->ListViewManual->viewport()) {
        auto* drop = static_cast<QDropEvent*>(event);
        std::vector<std::string> paths;
        for (const QUrl& url : drop->mimeData()->urls()) {
          if (url.isLocalFile()) {
            paths.push_back(url.toLocalFile().toStdString());
          }
        }
        drop->acceptProposedAction();
        DropPaths(paths);
        return true;
      }
      break;
    default:
      break;
  }
  return QMainWindow::eventFilter(watched, event);
}

void TFormMain::closeEvent(QCloseEvent* event) {
  // Closing is never refused; a running batch ends before its next file.
  if (batch_running_) {
    driver_.RequestAbort();
  }
  event->accept();
}

}  // namespace quillon
