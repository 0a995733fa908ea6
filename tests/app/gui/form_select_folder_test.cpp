// The "Add Sub-Folders" dialog driven as a user drives it: through F3 and
// through dropped folders, with its checks, its histories and its browse
// buttons, up to the conversion of the folder row it adds.

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>
#include <QtTest>
#include <memory>

#include "app/gui/form_main.h"
#include "app/gui/form_select_folder.h"
#include "app/gui/form_set_dest_path.h"
#include "app/main_window_state.h"
#include "tests/app/gui/dialog_driving.h"
#include "tests/support/scripted_prompter.h"
#include "tests/support/temp_dir.h"
#include "ui_form_main.h"
#include "ui_form_select_folder.h"
#include "ui_form_set_dest_path.h"
#include "util/file_list.h"

namespace quillon {
namespace {

using testing::FileExists;
using testing::ReadFile;
using testing::ScriptedPrompter;
using testing::WhenDialogShown;
using testing::WriteFile;

const std::string kSourceMessage = "Source File Path can not be empty!";
const std::string kDestinationMessage = "Destination File Path can not be empty!";

std::string Rtf(const std::string& text) {
  return "{\\rtf1\\ansi " + text + "\\par}";
}

QStringList Items(QComboBox* box) {
  QStringList items;
  for (int i = 0; i < box->count(); ++i) {
    items << box->itemText(i);
  }
  return items;
}

bool HasFocus(QComboBox* box) {
  QWidget* focus = QApplication::focusWidget();
  return focus == box || focus == box->lineEdit();
}

// Gives `box` the keyboard focus as a click into it does.
void FocusInto(QComboBox* box) {
  box->setFocus(Qt::MouseFocusReason);
  QCoreApplication::processEvents();
}

}  // namespace

class FormSelectFolderTest : public QObject {
  Q_OBJECT

 private:
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
    ~Session() {
      form->FormDestroy();
      form.reset();
    }
    void Activate() {
      QApplication::setActiveWindow(form.get());
      if (!QTest::qWaitForWindowActive(form.get())) {
        qWarning("the main window did not become active");
      }
    }
    Ui::TFormMain& ui() { return form->ui(); }
    FileList& list() { return state->manual_list.list(); }
    std::string File(const std::string& name, const std::string& content) {
      WriteFile(files.File(name), content);
      return files.File(name);
    }
    // Runs `act` on the add-sub-folders dialog once it is up and active.
    void OnSubFolders(std::function<void(TFormSelectFolder*, Ui::TFormSelectFolder&)> act) {
      WhenDialogShown<TFormSelectFolder>(form.get(), [act](TFormSelectFolder* dialog) {
        QApplication::setActiveWindow(dialog);
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        act(dialog, dialog->ui());
      });
    }
    void PressF3() {
      QTest::keyClick(ui().ListViewManual, Qt::Key_F3);
      Activate();
    }
  };

 private slots:
  void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

  void F3AsksForAFolderRowThatConvertsWithConvert() {
    Session s;
    std::string tree = s.files.File("tree");
    s.File("tree/a.rtf", Rtf("Alpha text"));
    s.File("tree/sub/b.rtf", Rtf("Beta text"));
    s.File("tree/sub/drafts-b.rtf", Rtf("left out"));
    s.File("tree/c.htm", "<html><body><p>not an rtf</p></body></html>");
    std::string out = s.files.File("out");

    s.OnSubFolders([&](TFormSelectFolder* dialog, Ui::TFormSelectFolder& ui) {
      QCOMPARE(dialog->windowTitle(), QStringLiteral("Add Sub-Folders"));
      QVERIFY(dialog->width() >= 616 && dialog->height() >= 410);
      QTRY_VERIFY(HasFocus(ui.ComboBoxSourcePath));
      QCOMPARE(Items(ui.ComboBoxFileFilter),
               (QStringList{"*.doc;*.docx;*.rtf;*.htm;*.html", "*.doc;*.docx", "*.rtf",
                            "*.htm;*.html", "*.*"}));
      QCOMPARE(ui.ComboBoxFileFilter->currentText(),
               QStringLiteral("*.doc;*.docx;*.rtf;*.htm;*.html"));
      QVERIFY(ui.RadioButtonSubFolderNo->isChecked());
      QVERIFY(ui.RadioButtonSourceFilePath->isChecked());
      QCOMPARE(ui.ComboBoxSpecialDestFileName->currentText(), QStringLiteral("*"));
      QVERIFY(ui.LabelExcludeWordsHint->text().startsWith(QStringLiteral("Hint: use ; as")));

      // Nothing typed: only the source message, and the dialog stays.
      ui.BitBtnOk->click();
      QCOMPARE(s.prompter.texts(), std::vector<std::string>{kSourceMessage});
      QCOMPARE(s.prompter.shown().back().caption, std::string("Error"));
      QCOMPARE(s.prompter.shown().back().icon, PromptIcon::kError);
      QVERIFY(dialog->isVisible());
      // The same-tree box chooses the folder; with no folder both messages
      // come from one press.
      s.prompter.Clear();
      ui.CheckBoxSameTree->click();
      QVERIFY(ui.RadioButtonAppointedFilePath->isChecked());
      ui.BitBtnOk->click();
      QCOMPARE(s.prompter.texts(), (std::vector<std::string>{kSourceMessage, kDestinationMessage}));
      QVERIFY(dialog->isVisible());

      QTest::keyClicks(ui.ComboBoxSourcePath, QString::fromStdString(tree));
      ui.ComboBoxFileFilter->setCurrentIndex(2);
      QTest::keyClicks(ui.ComboBoxExcludeWords, QStringLiteral("drafts"));
      ui.RadioButtonSubFolderYes->click();
      s.prompter.QueueFolder(out);
      ui.BitBtnDestPath->click();
      QCOMPARE(s.prompter.folder_starts().back(), std::string());
      QCOMPARE(ui.ComboBoxDestPath->currentText().toStdString(), out);
      s.prompter.Clear();
      ui.BitBtnOk->click();
      QVERIFY(s.prompter.texts().empty());
      QVERIFY(!dialog->isVisible());
    });
    s.PressF3();

    QCOMPARE(s.list().size(), size_t{1});
    const FileListRow& row = s.list().row(0);
    QVERIFY(row.checked);
    QCOMPARE(RowSource(row), tree);
    QCOMPARE(row.cells[kColumnSubFolder], std::string("Convert(*.rtf)<-drafts->"));
    QCOMPARE(RowDestination(row), "[With Same File Tree]" + out);
    QCOMPARE(s.ui().ListViewManual->model()->index(0, kColumnSubFolder).data().toString(),
             QStringLiteral("Convert(*.rtf)<-drafts->"));

    QTest::keyClick(s.ui().ListViewManual, Qt::Key_F4);
    QCOMPARE(s.prompter.texts().back(), std::string("OK, Convert Complete!"));
    QVERIFY(ReadFile(out + "/a.txt").find("Alpha text") != std::string::npos);
    QVERIFY(ReadFile(out + "/sub/b.txt").find("Beta text") != std::string::npos);
    QVERIFY(!FileExists(out + "/sub/drafts-b.txt"));
    QVERIFY(!FileExists(out + "/c.txt"));
  }

  void TheDialogKeepsItsFieldsAndACaseBlindHistory() {
    Session s;
    std::string first = s.files.File("First");
    std::filesystem::create_directories(first);
    s.OnSubFolders([&](TFormSelectFolder*, Ui::TFormSelectFolder& ui) {
      QTRY_VERIFY(HasFocus(ui.ComboBoxSourcePath));
      QTest::keyClicks(ui.ComboBoxSourcePath, QString::fromStdString(first));
      QTest::keyClicks(ui.ComboBoxExcludeWords, QStringLiteral("tmp"));
      // Leaving the box and coming back puts the folder on top of its list.
      FocusInto(ui.ComboBoxExcludeWords);
      FocusInto(ui.ComboBoxSourcePath);
      QCOMPARE(Items(ui.ComboBoxSourcePath), QStringList{QString::fromStdString(first)});
      QCOMPARE(ui.ComboBoxSourcePath->currentText().toStdString(), first);
      FocusInto(ui.ComboBoxExcludeWords);
      QCOMPARE(Items(ui.ComboBoxExcludeWords), QStringList{"tmp"});
      ui.ComboBoxSpecialDestFileName->setEditText(QStringLiteral("*_x"));
      ui.BitBtnOk->click();
    });
    s.PressF3();
    QCOMPARE(s.list().size(), size_t{1});
    QCOMPARE(RowDestination(s.list().row(0)), std::string("Same File Path[Specified File]*_x"));

    // Opened again: everything as it was left. The same folder in other
    // letters is not listed twice; Cancel adds nothing.
    s.OnSubFolders([&](TFormSelectFolder*, Ui::TFormSelectFolder& ui) {
      QCOMPARE(ui.ComboBoxSourcePath->currentText().toStdString(), first);
      QCOMPARE(ui.ComboBoxExcludeWords->currentText(), QStringLiteral("tmp"));
      QCOMPARE(ui.ComboBoxSpecialDestFileName->currentText(), QStringLiteral("*_x"));
      QCOMPARE(ui.LabelSpecialDestFileName->text(), QStringLiteral("=*_x"));
      ui.ComboBoxSourcePath->setEditText(QString::fromStdString(first).toUpper());
      FocusInto(ui.ComboBoxExcludeWords);
      FocusInto(ui.ComboBoxSourcePath);
      QCOMPARE(Items(ui.ComboBoxSourcePath).size(), 1);
      ui.ComboBoxSourcePath->setEditText(QString::fromStdString(s.files.File("Second")));
      FocusInto(ui.ComboBoxExcludeWords);
      FocusInto(ui.ComboBoxSourcePath);
      QCOMPARE(Items(ui.ComboBoxSourcePath),
               (QStringList{QString::fromStdString(s.files.File("Second")),
                            QString::fromStdString(first)}));
      ui.BitBtnCancel->click();
    });
    s.PressF3();
    QCOMPARE(s.list().size(), size_t{1});
  }

  void AFolderThatDoesNotExistIsReportedAndAddsNothing() {
    Session s;
    std::string missing = s.files.File("not here");
    s.OnSubFolders([&](TFormSelectFolder*, Ui::TFormSelectFolder& ui) {
      ui.ComboBoxSourcePath->setEditText(QString::fromStdString(missing));
      ui.BitBtnOk->click();
    });
    s.PressF3();
    QCOMPARE(s.list().size(), size_t{0});
    QCOMPARE(s.prompter.texts().back(), "Error, \"" + missing + "\" is not exists!");
  }

  void DroppedFoldersAskOnceWithTheFirstFolderFilledIn() {
    Session s;
    std::string one = s.files.File("one");
    std::string two = s.files.File("two");
    std::string file = s.File("loose.rtf", Rtf("loose"));
    std::filesystem::create_directories(one);
    std::filesystem::create_directories(two);
    int asked = 0;
    WhenDialogShown<TFormSetDestPath>(
        s.form.get(), [](TFormSetDestPath* dialog) { dialog->ui().BitBtn3->click(); });
    s.OnSubFolders([&](TFormSelectFolder*, Ui::TFormSelectFolder& ui) {
      ++asked;
      QCOMPARE(ui.ComboBoxSourcePath->currentText().toStdString(), one);
      ui.RadioButtonSubFolderYes->click();
      ui.ComboBoxFileFilter->setEditText(QStringLiteral("*.rtf,*.doc"));
      ui.BitBtnOk->click();
    });
    testing::DropPathsOnto(s.ui().ListViewManual->viewport(), {one, file, two});
    s.Activate();
    QCOMPARE(asked, 1);
    QCOMPARE(s.list().size(), size_t{3});
    QCOMPARE(RowSource(s.list().row(0)), one);
    QCOMPARE(RowSource(s.list().row(2)), two);
    for (size_t row : {size_t{0}, size_t{2}}) {
      std::string masks;
      QVERIFY(RowFolderSetting(s.list().row(row), masks));
      QCOMPARE(masks, std::string("*.rtf\n*.doc"));
      QCOMPARE(RowDestination(s.list().row(row)), std::string("Same File Path"));
    }
    QCOMPARE(RowSource(s.list().row(1)), file);

    // Cancel ends the drop: the folders after it are not added either.
    s.OnSubFolders([&](TFormSelectFolder*, Ui::TFormSelectFolder& ui) {
      ++asked;
      QCOMPARE(ui.ComboBoxSourcePath->currentText().toStdString(), two);
      ui.BitBtnCancel->click();
    });
    testing::DropPathsOnto(s.ui().ListViewManual->viewport(), {two, one});
    s.Activate();
    QCOMPARE(asked, 2);
    QCOMPARE(s.list().size(), size_t{3});
  }
};

}  // namespace quillon

QTEST_MAIN(quillon::FormSelectFolderTest)
#include "form_select_folder_test.moc"
