// The interface language switched from the "Change GUI Language" menu of
// the real window: menus, tab captions, hints, the list headers and the
// destination dialog follow, the caption does not, and the choice is there
// again at the next start.

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>
#include <memory>

#include "app/gui/form_main.h"
#include "app/gui/form_set_dest_path.h"
#include "app/main_window_state.h"
#include "platform/folders.h"
#include "tests/support/scripted_prompter.h"
#include "tests/support/temp_dir.h"
#include "ui_form_main.h"
#include "ui_form_set_dest_path.h"
#include "util/translate.h"

namespace quillon {

class LanguageWindowTest : public QObject {
  Q_OBJECT

  struct Window {
    std::unique_ptr<MainWindowState> state;
    std::unique_ptr<TFormMain> form;
    Window() {
      state = std::make_unique<MainWindowState>(std::vector<std::string>{});
      form = std::make_unique<TFormMain>(*state);
      form->FormCreate();
      form->show();
    }
    ~Window() {
      form->FormDestroy();
      form.reset();
    }
    Ui::TFormMain& ui() { return form->ui(); }
    QAction* Entry(const char* name) { return form->findChild<QAction*>(name); }
    QString Header(int column) {
      return ui().ListViewManual->model()->headerData(column, Qt::Horizontal).toString();
    }
  };

 private slots:
  void initTestCase() {
    InitMessageCatalog(ProgramFolder() + "locale");
    SetInterfaceLanguage("en");
  }

  void switchingRetranslatesAndPersists() {
    testing::RuntimeFolderScope runtime;
    testing::StateFolderScope home;
    testing::ScriptedPrompter prompter;
    {
      Window window;
      QMenu* languages = window.ui().ChangeGUILanguage1;
      QVERIFY(languages->menuAction()->isVisible());
      QAction* german = window.Entry("Language_de");
      QAction* english = window.Entry("English1");
      QVERIFY(german != nullptr && english != nullptr);
      QCOMPARE(german->text(), QString("German"));
      QCOMPARE(german->toolTip(), QString("de"));
      QVERIFY(window.Entry("Language_fr") != nullptr);
      const QString caption = window.form->windowTitle();

      german->trigger();
      QCOMPARE(window.ui().File1->title(), QString("&Datei"));
      QCOMPARE(window.ui().Option1->title(), QString("&Optionen"));
      QCOMPARE(window.ui().PageControl1->tabText(0), QString("Manuelle Konvertierung"));
      QCOMPARE(window.ui().ToolButtonConvert->text(), QString("Konvertieren"));
      QCOMPARE(window.ui().ToolButtonAddFiles->toolTip(),
               QString("Sie können der Liste Dateien hinzufügen"));
      QCOMPARE(window.Header(0), QString("Quelldatei"));
      QCOMPARE(window.form->windowTitle(), caption);
      // The entries are named in the new language, one of them checked.
      german = window.Entry("Language_de");
      QCOMPARE(german->text(), QString("Deutsch"));
      QVERIFY(german->isChecked());
      QVERIFY(!window.Entry("English1")->isChecked());

      // The destination dialog translates itself when it is shown.
      TFormSetDestPath& dialog = window.form->set_dest_path();
      dialog.show();
      QCOMPARE(dialog.ui().BitBtn4->text(), QString("Abbrechen"));
      QCOMPARE(dialog.ui().RadioButtonSourceFilePath->text(), QString("Gleicher Dateipfad"));
      dialog.hide();

      window.Entry("Language_fr")->trigger();
      QCOMPARE(window.ui().File1->title(), QString("&Fichier"));
      QCOMPARE(window.Entry("Language_de")->text(), QString("Allemand"));

      window.Entry("English1")->trigger();
      QCOMPARE(window.ui().File1->title(), QString("&File"));
      QCOMPARE(window.ui().PageControl1->tabText(0), QString("Manual Conversion"));
      QCOMPARE(window.Header(0), QString("Source File"));
      dialog.show();
      QCOMPARE(dialog.ui().BitBtn4->text(), QString("Cancel"));
      dialog.hide();

      window.Entry("Language_de")->trigger();
    }
    QVERIFY(testing::ReadFile(ConfigFolder() + "set.ini").find("Language=de") != std::string::npos);

    // The next start comes up in German with German checked.
    SetInterfaceLanguage("en");
    {
      Window window;
      QCOMPARE(window.ui().File1->title(), QString("&Datei"));
      QVERIFY(window.Entry("Language_de")->isChecked());
      window.Entry("English1")->trigger();
    }
    QVERIFY(testing::ReadFile(ConfigFolder() + "set.ini").find("Language=en") != std::string::npos);
  }
};

}  // namespace quillon

QTEST_MAIN(quillon::LanguageWindowTest)
#include "language_test.moc"
