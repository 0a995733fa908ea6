// The "Folder Watcher" page and the watch dialog driven as a user drives
// them: Add Watch through the dialog, a file dropped into the watched folder
// converting through the real engine server, Edit refused while running,
// Del and F5/F6 on the page's own list, and every refusal of the dialog.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTreeView>
#include <QtTest>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>

#include "app/gui/form_main.h"
#include "app/gui/form_set_watch.h"
#include "app/main_window_state.h"
#include "platform/folders.h"
#include "tests/support/scripted_prompter.h"
#include "tests/support/temp_dir.h"
#include "ui_form_main.h"
#include "ui_form_set_watch.h"
#include "util/file_list.h"

namespace quillon {
namespace {

using testing::FileExists;
using testing::ReadFile;
using testing::ScriptedPrompter;
using testing::WriteFile;

constexpr int kConversionTimeoutMs = 30000;

std::string Rtf(const std::string& text) {
  return "{\\rtf1\\ansi " + text + "\\par}";
}

// Runs `act` on the watch dialog as soon as it is shown.
void WhenWatchDialogShown(const std::function<void(TFormSetWatch&)>& act) {
  auto* timer = new QTimer(qApp);
  timer->setObjectName(QStringLiteral("watchDialogScript"));
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, act] {
    auto* dialog = qobject_cast<TFormSetWatch*>(QApplication::activeModalWidget());
    if (dialog != nullptr && dialog->isVisible()) {
      timer->stop();
      timer->deleteLater();
      act(*dialog);
    }
  });
  timer->start();
}

void SetEdit(QComboBox* box, const std::string& text) {
  box->setEditText(QString::fromStdString(text));
}

}  // namespace

class FormWatchTest : public QObject {
  Q_OBJECT

 private:
  // One window over fresh state and private folders; `watcher_ini`, when
  // given, is the watch list the program finds at its start.
  struct Session {
    testing::RuntimeFolderScope runtime;
    testing::StateFolderScope home;
    testing::TempDir files;
    testing::TempFolderScope temp;
    ScriptedPrompter prompter;
    std::unique_ptr<MainWindowState> state;
    std::unique_ptr<TFormMain> form;

    explicit Session(const std::string& watcher_ini = {}) {
      if (!watcher_ini.empty()) {
        std::filesystem::create_directories(ConfigFolder());
        WriteFile(WatchListFile(), watcher_ini);
      }
      state = std::make_unique<MainWindowState>(std::vector<std::string>{});
      form = std::make_unique<TFormMain>(*state);
      form->FormCreate();
      state->watch_processing->SetWatchInterval(std::chrono::milliseconds(100));
      form->show();
      QApplication::setActiveWindow(form.get());
      form->activateWindow();
      if (!QTest::qWaitForWindowActive(form.get())) {
        qWarning("the main window did not become active");
      }
    }
    ~Session() {
      // A script whose dialog never came must not act on the next test's.
      qDeleteAll(qApp->findChildren<QTimer*>(QStringLiteral("watchDialogScript")));
      form->FormDestroy();
      form.reset();
    }
    static std::string WatchListFile() { return ConfigFolder() + "watcher.ini"; }
    Ui::TFormMain& ui() { return form->ui(); }
    WatchListModel& watches() { return state->watch_list; }
    TFormSetWatch& dialog() { return form->set_watch(); }
    std::string Folder(const std::string& name) {
      std::filesystem::create_directories(files.File(name));
      return files.File(name);
    }
    void ShowWatchPage() { ui().PageControl1->setCurrentWidget(ui().TabSheetWatch); }
    void SelectWatchRows(std::initializer_list<int> rows) {
      QTreeView* view = ui().ListViewWatcher;
      view->selectionModel()->clearSelection();
      for (int row : rows) {
        view->selectionModel()->select(view->model()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
      }
      if (rows.size() > 0) {
        view->selectionModel()->setCurrentIndex(view->model()->index(*rows.begin(), 0),
                                                QItemSelectionModel::NoUpdate);
      }
    }
    bool Ready(int row) {
      const WatchEntry& entry = watches().entry(row);
      return entry.watcher && entry.watcher->Ready();
    }
    std::vector<std::string> Messages() const { return prompter.texts(); }
  };

 private slots:
  void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

  void AddWatchStartsARowThatConvertsADroppedFile() {
    Session s;
    QCOMPARE(s.ui().PageControl1->currentWidget(), s.ui().TabSheetManual);
    std::string in = s.Folder("in");
    std::string out = s.Folder("out");
    WhenWatchDialogShown([&](TFormSetWatch& dialog) {
      QCOMPARE(dialog.windowTitle(), QStringLiteral("Add Watch"));
      QCOMPARE(dialog.ui().ComboBoxFileFilter->currentText(),
               QStringLiteral("*.doc;*.docx;*.rtf;*.htm;*.html"));
      QCOMPARE(dialog.ui().ComboBoxDestFormat->currentText(), QStringLiteral("2=Text only(*.txt)"));
      SetEdit(dialog.ui().EditSourcePath, in);
      SetEdit(dialog.ui().ComboBoxExcludeWords, "draft");
      dialog.ui().RadioButtonAppointedFilePath->click();
      SetEdit(dialog.ui().EditDestPath, out);
      dialog.ui().BitBtn3->click();
    });
    QTest::keyClick(s.ui().EditOpenPassword, Qt::Key_F1, Qt::ControlModifier);
    QTRY_COMPARE(s.watches().size(), 1);
    QVERIFY(!s.dialog().isVisible());
    const WatchEntry& entry = s.watches().entry(0);
    QVERIFY(entry.checked);
    QCOMPARE(entry.file_filter, std::string("<-draft->*.doc;*.docx;*.rtf;*.htm;*.html"));
    QCOMPARE(entry.StatusText(), std::string("watching"));
    QCOMPARE(s.ui().ListViewWatcher->selectionModel()->selectedRows().size(), 1);
    QCOMPARE(ReadFile(Session::WatchListFile()),
             "record count2=1\r\n1\r\n" + in + "\r\n" + out +
                 "\r\n<-draft->*.doc;*.docx;*.rtf;*.htm;*.html\r\nNo\r\n2=Text only(*.txt)\r\n");

    std::vector<std::string> statuses;
    QMetaObject::Connection recording =
        connect(&s.watches(), &QAbstractItemModel::dataChanged, this,
                [&](const QModelIndex& top, const QModelIndex& bottom) {
                  if (top.column() <= kWatchColumnStatus && bottom.column() >= kWatchColumnStatus) {
                    statuses.push_back(s.watches().entry(top.row()).StatusText());
                  }
                });
    QTRY_VERIFY(s.Ready(0));
    WriteFile(s.files.File("a.rtf"), Rtf("Watched text"));
    std::filesystem::rename(s.files.File("a.rtf"), in + "/a.rtf");
    QTRY_VERIFY_WITH_TIMEOUT(FileExists(out + "/a.txt"), kConversionTimeoutMs);
    QTRY_COMPARE(s.watches().entry(0).StatusText(), std::string("watching"));
    QVERIFY(ReadFile(out + "/a.txt").find("Watched text") != std::string::npos);
    disconnect(recording);
    std::vector<std::string> expected = {"converting " + in + "/a.rtf", "watching"};
    QCOMPARE(statuses, expected);
    QCOMPARE(s.ui().ListViewWatcher->model()->index(0, kWatchColumnStatus).data().toString(),
             QStringLiteral("watching"));
    // The page was shown: the line went to its own log view.
    s.ShowWatchPage();
    WriteFile(s.files.File("b.rtf"), Rtf("Second"));
    std::filesystem::rename(s.files.File("b.rtf"), in + "/b.rtf");
    QTRY_VERIFY_WITH_TIMEOUT(FileExists(out + "/b.txt"), kConversionTimeoutMs);
    QTRY_VERIFY(s.ui().MemoWatchLog->toPlainText().contains(
        QStringLiteral("successfully convert %1/b.rtf").arg(QString::fromStdString(in))));
  }

  void EditIsRefusedWhileRunningAndRewritesAStoppedRow() {
    std::string ini =
        "record count2=2\r\n1\r\n/nowhere/first\r\nSame File Path\r\n*.rtf\r\nNo\r\n"
        "2=Text only(*.txt)\r\n0\r\n/nowhere/second\r\n[With Same File Tree]/out[Specified "
        "File]*_yyyymmdd\r\n<-old;tmp->*.doc;*.rtf\r\nYes\r\n7=unicode text(*.txt)\r\n";
    Session s(ini);
    QCOMPARE(s.ui().PageControl1->currentWidget(), s.ui().TabSheetWatch);
    QCOMPARE(s.watches().size(), 2);
    s.ui().ToolButtonStartWatch->click();
    QCOMPARE(s.watches().entry(0).StatusText(), std::string("watching"));
    QCOMPARE(s.watches().entry(1).StatusText(), std::string("idle"));  // unchecked

    s.SelectWatchRows({0});
    s.ui().ToolButtonEditWatch->click();
    QCOMPARE(s.Messages(),
             std::vector<std::string>{
                 "Error, Before you edit this folder watcher, you must stop this folder watcher"});
    QVERIFY(!s.dialog().isVisible());

    // Stop Watch stops only the selected row; then it can be edited.
    s.ui().ToolButtonStopWatch->click();
    QCOMPARE(s.watches().entry(0).StatusText(), std::string("idle"));

    // The second row fills every control of the dialog.
    s.SelectWatchRows({1});
    bool checked_fields = false;
    WhenWatchDialogShown([&](TFormSetWatch& dialog) {
      const Ui::TFormSetWatch& ui = dialog.ui();
      QCOMPARE(dialog.windowTitle(), QStringLiteral("Edit Watch"));
      QCOMPARE(ui.EditSourcePath->currentText(), QStringLiteral("/nowhere/second"));
      QCOMPARE(ui.ComboBoxFileFilter->currentText(), QStringLiteral("*.doc;*.rtf"));
      QCOMPARE(ui.ComboBoxExcludeWords->currentText(), QStringLiteral("old;tmp"));
      QVERIFY(ui.RadioButtonYesSub->isChecked());
      QCOMPARE(ui.ComboBoxDestFormat->currentText(), QStringLiteral("7=Unicode Text(*.txt)"));
      QVERIFY(ui.RadioButtonAppointedFilePath->isChecked());
      QVERIFY(ui.CheckBoxSameTree->isChecked());
      QVERIFY(ui.EditDestPath->isEnabled());
      QCOMPARE(ui.EditDestPath->currentText(), QStringLiteral("/out"));
      QCOMPARE(ui.ComboBoxSpecialDestFileName->currentText(), QStringLiteral("*_yyyymmdd"));
      checked_fields = true;
      SetEdit(ui.ComboBoxFileFilter, "*.htm");
      ui.RadioButtonNoSub->click();
      ui.BitBtn3->click();
    });
    QPoint cell =
        s.ui().ListViewWatcher->visualRect(s.watches().index(1, kWatchColumnFileFilter)).center();
    QTest::mouseClick(s.ui().ListViewWatcher->viewport(), Qt::LeftButton, {}, cell);
    QTest::mouseDClick(s.ui().ListViewWatcher->viewport(), Qt::LeftButton, {}, cell);
    QTRY_VERIFY(checked_fields);
    QTRY_COMPARE(s.watches().entry(1).file_filter, std::string("<-old;tmp->*.htm"));
    QVERIFY(!s.watches().entry(1).checked);
    QVERIFY(!s.watches().entry(1).sub_folder);
    QCOMPARE(s.watches().entry(1).convert_to,
             std::string("[With Same File Tree]/out[Specified File]*_yyyymmdd"));
    QCOMPARE(s.watches().entry(1).StatusText(), std::string("idle"));
    QVERIFY(ReadFile(Session::WatchListFile()).find("<-old;tmp->*.htm\r\nNo\r\n") !=
            std::string::npos);

    // A format the list does not hold leaves the dialog without a choice.
    s.dialog().SelectFormat("9=No such format");
    QCOMPARE(s.dialog().FormatText(), std::string());
  }

  void EditMenuKeysActOnTheWatchListWhenItsPageIsShown() {
    Session s;
    std::string a = s.files.File("a.rtf");
    WriteFile(a, Rtf("a"));
    AddFileRow(s.state->manual_list.list(), true, a, false, "", "", "Same File Path");
    AddFileRow(s.state->manual_list.list(), true, a, false, "", "", "Same File Path");
    std::string running = s.Folder("running");
    for (const std::string& folder : {s.Folder("one"), running, s.Folder("three")}) {
      s.watches().AddWatchRow(true, folder, "Same File Path", "*.rtf", "", "No",
                              "2=Text only(*.txt)");
    }
    QVERIFY(s.state->watch_processing->StartWatchEntry(1));
    QTRY_VERIFY(s.Ready(1));
    QPointer<TFileSystemWatcher> watcher = s.watches().entry(1).watcher.get();
    s.ShowWatchPage();

    s.SelectWatchRows({0, 1});
    QTest::keyClick(s.ui().EditOpenPassword, Qt::Key_F6);
    QVERIFY(!s.watches().entry(0).checked);
    QVERIFY(!s.watches().entry(1).checked);
    QVERIFY(s.watches().entry(2).checked);
    QCOMPARE(s.watches().entry(1).StatusText(), std::string("watching"));  // still running
    QVERIFY(ReadFile(Session::WatchListFile()).find("record count2=3\r\n0\r\n") !=
            std::string::npos);
    s.SelectWatchRows({1});
    QTest::keyClick(s.ui().ListViewWatcher, Qt::Key_F5);
    QVERIFY(s.watches().entry(1).checked);

    s.SelectWatchRows({0, 1});
    QTest::keyClick(s.ui().ListViewWatcher, Qt::Key_Delete);
    QCOMPARE(s.watches().size(), 1);
    QCOMPARE(s.watches().entry(0).source_path, s.files.File("three"));
    QVERIFY(watcher.isNull());  // the running row's watcher went with it
    QCOMPARE(s.state->manual_list.list().size(), size_t{2});
    QVERIFY(ReadFile(Session::WatchListFile()).rfind("record count2=1\r\n", 0) == 0);

    // Select All and Invert Selection work on the shown list as well.
    s.watches().AddWatchRow(true, "/x", "Same File Path", "*.rtf", "", "No", "");
    QTest::keyClick(s.ui().ListViewWatcher, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(s.ui().ListViewWatcher->selectionModel()->selectedRows().size(), 2);
    s.SelectWatchRows({0});
    s.ui().InvertSelection1->trigger();
    QCOMPARE(s.ui().ListViewWatcher->selectionModel()->selectedRows().size(), 1);
    QCOMPARE(s.ui().ListViewWatcher->selectionModel()->selectedRows().front().row(), 1);
  }

  void TheDialogRefusesEveryInvalidFieldAndKeepsWhatWasTyped() {
    Session s;
    TFormSetWatch& dialog = s.dialog();
    const Ui::TFormSetWatch& ui = dialog.ui();
    s.form->ToolButtonAddWatchClick();
    QTRY_VERIFY(dialog.isVisible());

    SetEdit(ui.EditSourcePath, "");
    ui.BitBtn3->click();
    QCOMPARE(s.Messages(), std::vector<std::string>{"Source File Path can not be empty!"});
    QCOMPARE(s.prompter.shown().back().caption, std::string("Error"));
    QCOMPARE(s.prompter.shown().back().icon, PromptIcon::kError);
    QVERIFY(dialog.isVisible());

    // Both empty: both messages, one after the other.
    s.prompter.Clear();
    ui.RadioButtonAppointedFilePath->click();
    SetEdit(ui.EditDestPath, "");
    ui.BitBtn3->click();
    QCOMPARE(s.Messages(), (std::vector<std::string>{"Source File Path can not be empty!",
                                                     "Destination File Path can not be empty!"}));
    QVERIFY(dialog.isVisible());

    s.prompter.Clear();
    std::string typed = s.Folder("typed");
    SetEdit(ui.EditSourcePath, typed);
    ui.BitBtn3->click();
    QCOMPARE(s.Messages(), std::vector<std::string>{"Destination File Path can not be empty!"});
    QCOMPARE(ui.EditSourcePath->currentText().toStdString(), typed);

    // A line break would split the entry in the watch list file.
    s.prompter.Clear();
    ui.RadioButtonSourceFilePath->click();
    SetEdit(ui.ComboBoxExcludeWords, "old\nnew");
    ui.BitBtn3->click();
    QCOMPARE(s.Messages(),
             std::vector<std::string>{
                 "Exclude Words In File Name Or File Path can not hold a line break!"});
    QVERIFY(dialog.isVisible());
    QCOMPARE(s.watches().size(), 0);

    // Same tree with no folder is the marker alone, and that is accepted.
    s.prompter.Clear();
    SetEdit(ui.ComboBoxExcludeWords, "");
    ui.RadioButtonAppointedFilePath->click();
    ui.CheckBoxSameTree->click();
    QCOMPARE(dialog.GetDestinationText(), std::string("[With Same File Tree]"));
    ui.BitBtn3->click();
    QVERIFY(s.Messages().empty());
    QVERIFY(!dialog.isVisible());
    QCOMPARE(s.watches().size(), 1);
    QCOMPARE(s.watches().entry(0).convert_to, std::string("[With Same File Tree]"));

    // Cancel checks nothing and adds nothing.
    s.form->ToolButtonAddWatchClick();
    QTRY_VERIFY(dialog.isVisible());
    SetEdit(ui.EditSourcePath, "");
    ui.BitBtn4->click();
    QVERIFY(s.Messages().empty());
    QVERIFY(!dialog.isVisible());
    QCOMPARE(s.watches().size(), 1);
  }

  void TheDialogReadsAndWritesDestinationTextsAndRemembersTypedTexts() {
    Session s;
    TFormSetWatch& dialog = s.dialog();
    const Ui::TFormSetWatch& ui = dialog.ui();
    for (const char* text :
         {"[With Same File Tree]/srv/out[Specified File]*_yyyymmdd",
          "Same File Path[Specified File]mmddyy*", "/plain/out", "Same File Path",
          "/plain/out[Specified File]\"dir1\"\\yyyy\\mm\\dd\\*-hh-nn-ss"}) {
      dialog.SetDestinationText(text);
      QCOMPARE(dialog.GetDestinationText(), std::string(text));
    }
    dialog.SetDestinationText("Same File Path[Specified File]mmddyy*");
    QVERIFY(ui.RadioButtonSourceFilePath->isChecked());
    QVERIFY(!ui.EditDestPath->isEnabled());
    QVERIFY(!ui.CheckBoxSameTree->isEnabled());
    QCOMPARE(ui.ComboBoxSpecialDestFileName->currentText(), QStringLiteral("mmddyy*"));
    ui.ComboBoxSpecialDestFileName->setEditText(QStringLiteral("   *"));
    QCOMPARE(dialog.GetDestinationText(), std::string("Same File Path"));
    QCOMPARE(ui.LabelSpecialDestFileName->text().left(1), QStringLiteral("="));

    // Clicking the same-tree box moves the choice to the folder.
    dialog.SetDestinationText("/plain/out");
    ui.RadioButtonSourceFilePath->click();
    QVERIFY(!ui.CheckBoxSameTree->isEnabled());
    dialog.SetDestinationText("/plain/out");
    ui.CheckBoxSameTree->click();
    QCOMPARE(dialog.GetDestinationText(), std::string("[With Same File Tree]/plain/out"));

    // A folder typed into the source box joins its list once, on the next
    // entry into the box.
    s.form->ToolButtonAddWatchClick();
    QTRY_VERIFY(dialog.isVisible());
    QTRY_VERIFY(ui.EditSourcePath->hasFocus());
    int items = ui.EditSourcePath->count();
    QTest::keyClicks(ui.EditSourcePath, "/typed/folder");
    ui.ComboBoxFileFilter->setFocus();
    ui.EditSourcePath->setFocus();
    ui.ComboBoxFileFilter->setFocus();
    ui.EditSourcePath->setFocus();
    QCOMPARE(ui.EditSourcePath->findText(QStringLiteral("/typed/folder")), 0);
    QCOMPARE(ui.EditSourcePath->count(), items + 1);
    QCOMPARE(ui.EditSourcePath->currentText(), QStringLiteral("/typed/folder"));

    // The browse button starts at the box's folder and takes the choice.
    s.prompter.QueueFolder("/chosen/folder");
    ui.BitBtnSourcePath->click();
    QCOMPARE(s.prompter.folder_starts().back(), std::string("/typed/folder"));
    QCOMPARE(ui.EditSourcePath->currentText(), QStringLiteral("/chosen/folder"));
    ui.BitBtn4->click();
  }

  void AWatchedFolderThatGoesAwayIsLoggedAndWatchingGoesOn() {
    Session s;
    std::string in = s.Folder("vanishing");
    s.watches().AddWatchRow(true, in, "Same File Path", "*.rtf", "", "No", "2=Text only(*.txt)");
    s.ShowWatchPage();
    s.ui().ToolButtonStartWatch->click();
    QTRY_VERIFY(s.Ready(0));
    std::filesystem::remove(in);
    QTRY_VERIFY(s.ui().MemoWatchLog->toPlainText().contains(
        QStringLiteral("Error, the watched folder \"%1\" is gone or can not be read")
            .arg(QString::fromStdString(in))));
    QCOMPARE(s.watches().entry(0).StatusText(), std::string("watching"));
    std::filesystem::create_directories(in);
    QTRY_VERIFY(s.ui().MemoWatchLog->toPlainText().contains(
        QStringLiteral("The watched folder \"%1\" can be read again")
            .arg(QString::fromStdString(in))));
    WriteFile(s.files.File("back.rtf"), Rtf("Back again"));
    std::filesystem::rename(s.files.File("back.rtf"), in + "/back.rtf");
    QTRY_VERIFY_WITH_TIMEOUT(FileExists(in + "/back.txt"), kConversionTimeoutMs);
    QCOMPARE(s.state->logs.batch_errors().size(), size_t{1});
  }
};

}  // namespace quillon

QTEST_MAIN(quillon::FormWatchTest)
#include "form_watch_test.moc"
