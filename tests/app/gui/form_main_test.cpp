// The main window driven as a user drives it: drops, dialogs, shortcuts,
// the batch with its stop click, and the closing message, converting
// through the real engine server.

#include <QApplication>
#include <QComboBox>
#include <QDropEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <QtTest>
#include <filesystem>
#include <functional>
#include <memory>

#include "app/gui/form_main.h"
#include "app/gui/form_select_folder.h"
#include "app/gui/form_set_dest_path.h"
#include "app/gui/qt_prompter.h"
#include "app/main_window_state.h"
#include "platform/folders.h"
#include "platform/shell_open.h"
#include "tests/app/gui/dialog_driving.h"
#include "tests/support/scripted_prompter.h"
#include "tests/support/temp_dir.h"
#include "ui_form_main.h"
#include "ui_form_select_folder.h"
#include "ui_form_set_dest_path.h"

namespace quillon {
namespace {

using testing::FileExists;
using testing::ReadFile;
using testing::ScriptedPrompter;
using testing::WriteFile;

std::string Rtf(const std::string& text) {
  return "{\\rtf1\\ansi " + text + "\\par}";
}

// Runs `act` on the next modal dialog as soon as it is shown.
void WhenModalShown(const std::function<void(QWidget*)>& act) {
  auto* timer = new QTimer(qApp);
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, act] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      timer->stop();
      timer->deleteLater();
      act(modal);
    }
  });
  timer->start();
}

// Confirms the destination dialog with a folder, or with "Same File Path"
// when `folder` is empty.
void ConfirmDestination(const std::string& folder) {
  WhenModalShown([folder](QWidget* modal) {
    auto* dialog = qobject_cast<TFormSetDestPath*>(modal);
    QVERIFY(dialog != nullptr);
    if (folder.empty()) {
      dialog->ui().RadioButtonSourceFilePath->click();
    } else {
      dialog->ui().RadioButtonAppointedFilePath->click();
      dialog->ui().EditDestPath->setText(QString::fromStdString(folder));
    }
    dialog->ui().BitBtn3->click();
  });
}

// Confirms the add-sub-folders dialog as it stands (a dropped folder fills
// in its source) when a folder is dropped.
void ConfirmSubFolders(QObject* owner) {
  testing::WhenDialogShown<TFormSelectFolder>(
      owner, [](TFormSelectFolder* dialog) { dialog->ui().BitBtnOk->click(); });
}

void DropOnto(QWidget* target, const std::vector<std::string>& paths) {
  auto* mime = new QMimeData;
  QList<QUrl> urls;
  for (const std::string& path : paths) {
    urls << QUrl::fromLocalFile(QString::fromStdString(path));
  }
  mime->setUrls(urls);
  QPointF at(target->width() / 2.0, target->height() / 2.0);
  QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  QVERIFY(enter.isAccepted());
  QDropEvent drop(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
  delete mime;
}

}  // namespace

class FormMainTest : public QObject {
  Q_OBJECT

 private:
  // One window over fresh state, private folders, a scripted prompter.
  struct Session {
    testing::RuntimeFolderScope runtime;
    testing::StateFolderScope home;
    testing::TempDir files;
    testing::TempFolderScope temp;
    ScriptedPrompter prompter;
    std::unique_ptr<MainWindowState> state;
    std::unique_ptr<TFormMain> form;

    Session() {
      state = std::make_unique<MainWindowState>(std::vector<std::string>{});
      form = std::make_unique<TFormMain>(*state);
      form->FormCreate();
      form->show();
      Activate();
    }
    // Shortcuts and the keyboard focus need the window to be the active one,
    // also once a dialog has closed again.
    void Activate() {
      QApplication::setActiveWindow(form.get());
      form->activateWindow();
      if (!QTest::qWaitForWindowActive(form.get()) || QApplication::activeWindow() != form.get()) {
        qWarning("the main window did not become active");
      }
    }
    ~Session() {
      form->FormDestroy();
      form.reset();
    }
    Ui::TFormMain& ui() { return form->ui(); }
    FileList& list() { return state->manual_list.list(); }
    std::string File(const std::string& name, const std::string& content) {
      WriteFile(files.File(name), content);
      return files.File(name);
    }
    // Adds files through a drop onto the list with "Same File Path".
    void DropFiles(const std::vector<std::string>& paths) {
      ConfirmDestination("");
      DropOnto(ui().ListViewManual->viewport(), paths);
      Activate();
    }
    void SelectRows(std::initializer_list<int> rows) {
      QTreeView* view = ui().ListViewManual;
      view->selectionModel()->clearSelection();
      for (int row : rows) {
        view->selectionModel()->select(view->model()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
      }
    }
    std::string LastMessage() const {
      return prompter.texts().empty() ? std::string() : prompter.texts().back();
    }
  };

 private slots:
  void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

  void ShowsTheCaptionMenusAndPanelsOfAWordProcessorStart() {
    Session s;
    QCOMPARE(s.form->windowTitle(), QStringLiteral("Quillon 4.0 Build210604"));
    QCOMPARE(s.ui().PageControl1->currentWidget(), s.ui().TabSheetManual);
    QCOMPARE(s.ui().ComboBoxDestFormat->count(), 6);
    QCOMPARE(s.ui().ComboBoxDestFormat->currentText(), QStringLiteral("2=Text only(*.txt)"));
    QVERIFY(!s.ui().ComboBoxDestFormat->isEditable());
    QVERIFY(s.ui().PanelDestFormat->isVisible());
    QVERIFY(s.ui().PanelPlugin->isVisible());
    QVERIFY(s.ui().EditOpenPassword->isVisible());
    QVERIFY(!s.ui().EditWorkBookProtectPassword->isVisible());
    QVERIFY(!s.ui().PanelPageRange->isVisible());
    QCOMPARE(s.ui().ComboBoxTextDelimited->currentIndex(), -1);
    QCOMPARE(s.ui().ComboBoxTextDelimited->itemText(6), QStringLiteral("6=Fix Width"));
    QVERIFY(s.ui().CreateLogFile1->isChecked());
    QCOMPARE(s.ui().Convert1->shortcut(), QKeySequence(Qt::Key_F4));
    QCOMPARE(s.ui().ListViewManual->model()->headerData(3, Qt::Horizontal).toString(),
             QStringLiteral("Type"));
    QStringList filters = DialogNameFilters(kAddFilesFilter);
    QCOMPARE(filters.size(), 5);
    QCOMPARE(filters[0], QStringLiteral("Doc Files (*.doc *.docx)"));
    QCOMPARE(filters[4], QStringLiteral("All Files (*.*)"));
  }

  void DroppedFilesAndAFolderConvertWithF4() {
    Session s;
    std::string a = s.File("in/a.rtf", Rtf("Alpha text"));
    std::string b = s.File("in/b.rtf", Rtf("Beta text"));
    std::string c = s.File("in/c.htm", "<html><body><p>Gamma text</p></body></html>");
    std::string d1 = s.File("folder/d1.rtf", Rtf("Delta one"));
    std::string d2 = s.File("folder/d2.doc.txt", "not matched by the masks");
    std::string out = s.files.File("out");
    ConfirmDestination(out);
    ConfirmSubFolders(s.form.get());
    DropOnto(s.ui().ListViewManual->viewport(), {a, b, s.files.File("folder"), c});
    QCOMPARE(s.list().size(), size_t{4});
    QCOMPARE(RowDestination(s.list().row(0)), out);
    QCOMPARE(RowSource(s.list().row(2)), s.files.File("folder"));
    QCOMPARE(s.form->focusWidget(), s.ui().ListViewManual);
    s.Activate();

    QTest::keyClick(s.ui().EditOpenPassword, Qt::Key_F4);
    QVERIFY2(s.LastMessage() == "OK, Convert Complete!", s.LastMessage().c_str());
    QVERIFY(ReadFile(out + "/a.txt").find("Alpha text") != std::string::npos);
    QVERIFY(ReadFile(out + "/b.txt").find("Beta text") != std::string::npos);
    QVERIFY(ReadFile(out + "/c.txt").find("Gamma text") != std::string::npos);
    QVERIFY(ReadFile(s.files.File("folder/d1.txt")).find("Delta one") != std::string::npos);
    QVERIFY(!FileExists(s.files.File("folder/d2.doc.txt.txt")));
    QCOMPARE(s.ui().ProgressBarProcess->value(), 0);
    QVERIFY(s.form->ProgressLineText().isEmpty());
    QVERIFY(s.ui().MemoManualLog->toPlainText().contains(
        QStringLiteral("        successfully convert %1").arg(QString::fromStdString(a))));
  }

  void DamagedFilesAndVanishedFoldersAreNamedAndTheBatchGoesOn() {
    Session s;
    std::string broken = s.File("broken.docx", std::string("PK\x03\x04 not a package", 20));
    std::string good = s.File("good.rtf", Rtf("Still converted"));
    std::string gone = s.files.File("gone");
    std::filesystem::create_directories(gone);
    ConfirmSubFolders(s.form.get());
    s.DropFiles({broken, gone, good});
    QCOMPARE(s.list().size(), size_t{3});
    std::filesystem::remove(gone);

    s.form->ToolButtonConvertClick();
    std::string message = s.LastMessage();
    QVERIFY2(message.rfind("Can not Convert, error reason is \"", 0) == 0, message.c_str());
    QVERIFY2(message.find("Error, Can not convert " + broken + "!") != std::string::npos,
             message.c_str());
    QVERIFY2(message.find(gone) != std::string::npos, message.c_str());
    QVERIFY(ReadFile(s.files.File("good.txt")).find("Still converted") != std::string::npos);
    QCOMPARE(s.state->logs.batch_errors().size(), size_t{2});
  }

  void AMissingDroppedPathIsReportedAndAddsNothing() {
    Session s;
    std::string missing = s.files.File("never-there.doc");
    DropOnto(s.ui().ListViewManual->viewport(), {missing});
    QCOMPARE(s.list().size(), size_t{0});
    QCOMPARE(s.LastMessage(), "Error, \"" + missing + "\" is not exists!");
    QCOMPARE(s.prompter.shown().back().caption, std::string("Error"));
  }

  void DelRemovesTheSelectedRowsOfTheVisiblePageWhereverTheFocusIs() {
    Session s;
    std::vector<std::string> paths;
    for (const char* name : {"a.rtf", "b.rtf", "c.rtf", "d.rtf", "e.rtf"}) {
      paths.push_back(s.File(name, Rtf(name)));
    }
    s.DropFiles(paths);
    QCOMPARE(s.list().size(), size_t{5});
    s.SelectRows({1, 3});
    s.ui().EditOpenPassword->setFocus();
    QTest::keyClick(s.ui().EditOpenPassword, Qt::Key_Delete);
    QCOMPARE(s.list().size(), size_t{3});
    QCOMPARE(RowSource(s.list().row(1)), paths[2]);
    QCOMPARE(s.form->CountLineText(), QStringLiteral("Total 3 files, 3 selected"));

    s.ui().PageControl1->setCurrentWidget(s.ui().TabSheetWatch);
    s.SelectRows({0});
    QTest::keyClick(s.ui().ListViewWatcher, Qt::Key_Delete);
    QCOMPARE(s.list().size(), size_t{3});

    s.ui().PageControl1->setCurrentWidget(s.ui().TabSheetManual);
    s.SelectRows({0});
    QTest::keyClick(s.ui().ListViewManual, Qt::Key_F6);
    QCOMPARE(s.form->CountLineText(), QStringLiteral("Total 3 files, 2 selected"));
    QVERIFY(!s.list().row(0).checked);
  }

  void HeaderClicksSortAndSelectAllAndInvertFollowTheList() {
    Session s;
    std::string big = s.File("big.rtf", std::string(100, 'x'));
    std::string small = s.File("small.rtf", std::string(20, 'x'));
    s.DropFiles({small, big});
    QHeaderView* header = s.ui().ListViewManual->header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(4) + 5, header->height() / 2));
    QCOMPARE(RowSource(s.list().row(0)), big);  // "100" sorts before "20" as text
    QTest::keyClick(s.ui().ListViewManual, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(s.ui().ListViewManual->selectionModel()->selectedRows().size(), 2);
    s.SelectRows({0});
    s.ui().InvertSelection1->trigger();
    QList<QModelIndex> rows = s.ui().ListViewManual->selectionModel()->selectedRows();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.front().row(), 1);
  }

  void ChoosingAFormatWritesItsCodeAtOnce() {
    Session s;
    QComboBox* formats = s.ui().ComboBoxDestFormat;
    formats->setFocus();
    for (int i = 0; i < 4; ++i) {
      QTest::keyClick(formats, Qt::Key_Down);
    }
    QCOMPARE(formats->currentText(), QStringLiteral("7=Unicode Text(*.txt)"));
    std::string ini = ReadFile(ConfigFolder() + "set.ini");
    QVERIFY2(ini.find("Manual Destination File Format=7") != std::string::npos, ini.c_str());
    QCOMPARE(s.state->settings->destination_format_code(), std::string("7"));

    s.ui().DeleteSourceFileAfterConversion1->trigger();
    QVERIFY(s.ui().DeleteSourceFileAfterConversion1->isChecked());
    ini = ReadFile(ConfigFolder() + "set.ini");
    QVERIFY2(ini.find("Delete Source File After Conversion=1") != std::string::npos, ini.c_str());
  }

  void AClickDuringAFolderRowAsksAndYesSkipsTheRestOfThatRow() {
    Session s;
    s.File("first/a.rtf", Rtf("first a"));
    s.File("first/b.rtf", Rtf("first b"));
    s.File("second/c.rtf", Rtf("second c"));
    s.File("second/d.rtf", Rtf("second d"));
    ConfirmSubFolders(s.form.get());
    DropOnto(s.ui().ListViewManual->viewport(), {s.files.File("first"), s.files.File("second")});
    QCOMPARE(s.list().size(), size_t{2});

    // The click lands while the batch runs; the first folder row then asks
    // before its first file (Yes: skip the row), the second row asks again
    // (No: go on).
    QTimer::singleShot(0, s.form.get(), [&s] {
      QTest::mouseClick(s.ui().ListViewManual->viewport(), Qt::LeftButton);
    });
    s.prompter.QueueAnswer(PromptAnswer::kYes);
    s.prompter.QueueAnswer(PromptAnswer::kNo);
    s.form->ToolButtonConvertClick();

    std::vector<std::string> texts = s.prompter.texts();
    QCOMPARE(texts.size(), size_t{3});
    QCOMPARE(texts[0], std::string("Do you want to stop this conversion?"));
    QCOMPARE(s.prompter.shown()[0].caption, std::string("Confirm"));
    QCOMPARE(texts[1], std::string("Do you want to stop this conversion?"));
    QCOMPARE(texts[2], std::string("OK, Convert Complete!"));
    QVERIFY(!FileExists(s.files.File("first/a.txt")));
    QVERIFY(!FileExists(s.files.File("first/b.txt")));
    QVERIFY(FileExists(s.files.File("second/c.txt")));
    QVERIFY(FileExists(s.files.File("second/d.txt")));
    QVERIFY(!s.form->batch_running());
  }

  void ANoToTheStopQuestionGoesOnWithEveryFile() {
    Session s;
    s.File("only/a.rtf", Rtf("a"));
    s.File("only/b.rtf", Rtf("b"));
    ConfirmSubFolders(s.form.get());
    DropOnto(s.ui().ListViewManual->viewport(), {s.files.File("only")});
    QTimer::singleShot(0, s.form.get(),
                       [&s] { QTest::mouseClick(s.ui().ToolButtonCheck, Qt::LeftButton); });
    s.prompter.QueueAnswer(PromptAnswer::kNo);
    s.form->ToolButtonConvertClick();
    QCOMPARE(s.prompter.texts().front(), std::string("Do you want to stop this conversion?"));
    QCOMPARE(s.LastMessage(), std::string("OK, Convert Complete!"));
    QVERIFY(FileExists(s.files.File("only/a.txt")));
    QVERIFY(FileExists(s.files.File("only/b.txt")));
    // The click that asked to stop did not reach the button it landed on.
    QVERIFY(s.form->CountLineText().isEmpty());
  }

  void AddFilesAsksForFilesThenTheDestination() {
    Session s;
    std::string a = s.File("a.rtf", Rtf("a"));
    std::string b = s.File("b.rtf", Rtf("b"));
    s.prompter.QueueFiles({a, b});
    WhenModalShown([&s](QWidget* modal) {
      auto* dialog = qobject_cast<TFormSetDestPath*>(modal);
      QVERIFY(dialog != nullptr);
      Ui::TFormSetDestPath& ui = dialog->ui();
      ui.RadioButtonAppointedFilePath->click();
      QVERIFY(ui.EditDestPath->isEnabled());
      ui.EditDestPath->clear();
      ui.BitBtn3->click();  // an empty folder is refused, the dialog stays
      QCOMPARE(s.LastMessage(), std::string("Destination File Path can not be empty!"));
      QVERIFY(dialog->isVisible());
      s.prompter.QueueFolder(s.files.File("picked"));
      ui.BitBtnDestPath->click();
      QCOMPARE(ui.EditDestPath->text().toStdString(), s.files.File("picked"));
      ui.ComboBoxSpecialDestFileName->setEditText(QStringLiteral("*_x"));
      QCOMPARE(ui.LabelSpecialDestFileName->text(), QStringLiteral("=*_x"));
      ui.BitBtn3->click();
    });
    QTest::keyClick(s.ui().ListViewManual, Qt::Key_F2);
    QCOMPARE(s.prompter.file_filters().size(), size_t{1});
    QCOMPARE(s.prompter.file_filters()[0], std::string(kAddFilesFilter));
    QCOMPARE(s.list().size(), size_t{2});
    QCOMPARE(RowDestination(s.list().row(1)), s.files.File("picked") + "[Specified File]*_x");
    QVERIFY(s.list().row(1).checked);
    QVERIFY(s.list().IsSelected(1));
  }

  void HelpKeysOpenTheSideFilesThroughTheOpener() {
    Session s;
    std::string record = s.files.File("opened.txt");
    std::string opener = s.File("opener.sh", "#!/bin/sh\necho \"$1\" >> '" + record + "'\n");
    std::filesystem::permissions(opener, std::filesystem::perms::owner_all);
    SetShellOpenerProgram(opener);
    QTest::keyClick(s.ui().EditOpenPassword, Qt::Key_F1);
    s.ui().LicenseAgreement1->trigger();
    std::string help = ResourceFolder() + "help.htm\n";
    std::string licence = ResourceFolder() + "License.txt\n";
    QTRY_VERIFY_WITH_TIMEOUT(ReadFile(record).find(help) != std::string::npos &&
                                 ReadFile(record).find(licence) != std::string::npos,
                             10000);
    SetShellOpenerProgram("");
    QVERIFY(FileExists(ResourceFolder() + "License.txt"));
  }
};

}  // namespace quillon

QTEST_MAIN(quillon::FormMainTest)
#include "form_main_test.moc"
