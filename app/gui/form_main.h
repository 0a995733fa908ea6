#pragma once
// The main window: the "Manual Conversion" and "Folder Watcher" pages, the
// option panels, the menus and tool bars, the two log views, and the
// interactive batch.
//
// A view over the program's long-lived state (MainWindowState): the manual
// list, the settings, the logs and the destination formats live there and
// are changed only through their own operations. The option panels' values
// live in their controls and are read at the moment each file is
// converted.
//
// While a batch runs, the window stays alive (the batch lets pending events
// run), a left click anywhere outside a question asks the batch to stop, and
// nothing that changes the list or starts another batch is accepted.
//
// Thread: main thread only; needs a QApplication.

#include <QIcon>
#include <QMainWindow>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/command_line_run.h"
#include "app/main_window_state.h"
#include "jobs/batch_driver.h"
#include "support/logs.h"

class QLabel;
class QMenu;
class QSystemTrayIcon;
class QTimer;
class QTreeView;

namespace Ui {
class TFormMain;
}

namespace quillon {

class FileListModel;
class TFormSelectFolder;
class TFormSetDestPath;
class TFormSetWatch;

// The filter of the "Add Files" file dialog.
inline constexpr const char* kAddFilesFilter =
    "Doc Files|*.doc;*.docx|Rtf Files|*.rtf|Html Files|*.htm;*.html|All Support "
    "Files|*.doc;*.docx;*.rtf;*.htm;*.html|All Files|*.*";

// The choices of the folder dialogs' file filter, the first one chosen.
const std::vector<std::string>& FolderFilterChoices();

// Where "Goto Product Home Page" leads.
inline constexpr const char* kProductHomePage = "https://quillon.example.org/help.html";

class TFormMain : public QMainWindow,
                  public MainWindowView,
                  public BatchObserver,
                  public LogsObserver,
                  public WatchObserver {
  Q_OBJECT

 public:
  // `state` must outlive the window. The window registers itself as the
  // state's view; FormCreate then runs the set-up sequence.
  explicit TFormMain(MainWindowState& state, QWidget* parent = nullptr);
  ~TFormMain() override;

  // The set-up sequence of the main window.
  void FormCreate();
  // The shut-down sequence; returns the process exit code.
  int FormDestroy();
  // False when the start asks for the window not to be shown.
  bool ShowAtStart() const { return show_at_start_; }

  Ui::TFormMain& ui() { return *ui_; }
  BatchDriver& driver() { return driver_; }
  TFormSelectFolder& select_folder() { return *select_folder_; }
  TFormSetDestPath& set_dest_path() { return *set_dest_path_; }
  TFormSetWatch& set_watch() { return *set_watch_; }
  bool batch_running() const { return batch_running_; }
  // The texts of the two panels of the status bar of the manual page.
  QString CountLineText() const;
  QString ProgressLineText() const;

  // Files and folders dropped onto the manual list, in the order given.
  void DropPaths(const std::vector<std::string>& paths);

  // The handlers of the tool buttons and menu entries.
  void ToolButtonAddFilesClick();
  void ToolButtonAddFoldersClick();
  void ToolButtonConvertClick();
  void ToolButtonCheckClick();
  void ToolButtonUncheckClick();
  void ToolButtonDeleteClick();
  void ToolButtonHelpClick();
  void ToolButtonExitClick();
  void ToolButtonClearLogsClick();
  void SelectAll1Click();
  void InvertSelection1Click();
  void Select2Click();
  void Unselect1Click();
  void Clear1Click();
  void Viwlog1Click();
  void HowtouseCommandLine1Click();
  void LicenseAgreement1Click();
  void GotoProductHomePage1Click();
  void About1Click();
  void ComboBoxDestFormatClick(int index);
  void ComboBoxTextDelimitedClick(int index);
  void ListViewManualColumnClick(int column);
  // The tray icon and its menu.
  void Restore1Click();
  void Minimize1Click();
  void Exit2Click();
  // The watch processing's hint for the tray icon ("converting <path>, ..."
  // animates the icon, "watching, ..." stops it) and its still image.
  void TrayHintChanged(const std::string& hint) override;
  void TrayImageChanged(int index) override;
  QSystemTrayIcon* tray_icon() const { return tray_; }
  bool TrayAnimating() const;
  QString TrayHint() const;
  // "Send Conversion Errors" on either page: the e-mail to the support team.
  void ToolButtonSendErrorEmailClick();
  // Every entry of "Change GUI Language": applies and stores its code.
  void English1Click(const std::string& code);

  // The "Folder Watcher" page. Add Watch and Edit Watch open the watch
  // dialog and return; its confirmation finishes the command.
  void ToolButtonAddWatchClick();
  void ToolButtonEditWatchClick();
  void ToolButtonWatchCheckClick();
  void ToolButtonWatchUncheckClick();
  void ToolButtonWatchClearClick();
  void ToolButtonStartWatchClick();
  void ToolButtonStopWatchClick();

  // MainWindowView
  void TranslateTexts() override;
  void InstallDropHandling() override;
  void ShowCaption() override;
  void ShowOptionPanels() override;
  void ShowDestinationFormats() override;
  void ShowLoadedSettings() override;
  void InstallMinimiseHandling() override;
  void ShowLanguageMenu() override;
  void RetranslateTexts() override;

  // BatchObserver
  void ProgressRange(int maximum) override;
  void ProgressPosition(int position) override;
  void ProgressLine(const std::string& text) override;
  void WordReady() override;
  void PumpEvents() override;
  void BatchStarted() override;
  void BatchFinished() override;

  // LogsObserver
  void LogLineAdded(LogView view, const std::string& line) override;
  void LogViewCleared(LogView view) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void ConnectCommands();
  void ConnectSupportCommands();
  void CreateTrayIcon();
  bool TrayAvailable() const;
  void SetButtonIcons();
  void ShowCountLine();
  bool ManualPageVisible() const;
  void PageChanged();
  // The view's selection into the list before an action, and back after.
  void SelectionToList();
  void SelectionFromList();
  void ListChanged();
  BatchChoices CurrentChoices() const;
  // Runs `action` on the manual list with the hourglass cursor; refused
  // while a batch runs.
  void ActOnManualList(const std::function<void()>& action, bool changes_rows);
  // A folder row of `folder` with the add-sub-folders dialog's choices.
  bool AddFolderRow(const std::string& folder);
  void OpenSideFile(const std::string& name);
  void EnableListCommands(bool enabled);
  void SyncOptionChecks();
  // The text-delimiter list in the interface language, `selected` chosen.
  void FillTextDelimitedList(int selected);
  // The watch page.
  void SetUpWatchPage();
  void ConnectWatchProcessing();
  std::vector<int> SelectedWatchRows() const;
  void SaveWatchListNow();
  void FillWatchDialogLists();
  void OpenWatchDialog(const std::string& caption, std::function<void()> confirmed);

  MainWindowState& state_;
  std::unique_ptr<Ui::TFormMain> ui_;
  LogsBatchLog batch_log_;
  BatchDriver driver_;
  FileListModel* manual_model_ = nullptr;
  TFormSelectFolder* select_folder_ = nullptr;
  TFormSetDestPath* set_dest_path_ = nullptr;
  TFormSetWatch* set_watch_ = nullptr;
  // What the open watch dialog's OK does.
  std::function<void()> watch_dialog_confirmed_;
  QLabel* count_panel_ = nullptr;
  QLabel* progress_panel_ = nullptr;
  QLabel* watch_count_panel_ = nullptr;
  QLabel* watch_progress_panel_ = nullptr;
  bool batch_running_ = false;
  bool stop_click_active_ = false;
  bool drops_enabled_ = false;
  bool syncing_selection_ = false;
  bool show_at_start_ = true;
  bool destroyed_ = false;
  QSystemTrayIcon* tray_ = nullptr;
  QMenu* tray_menu_ = nullptr;
  QTimer* animation_timer_ = nullptr;
  QIcon still_icon_;
  std::vector<QIcon> animation_;
  int animation_frame_ = 0;
  bool minimise_to_tray_ = false;
};

}  // namespace quillon
