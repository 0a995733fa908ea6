// The tray icon on a private X server with a tray host (started by
// tray_xvfb.sh): its hint, minimising into it and restoring from it, the
// "/min" start, and the animation while a watched file converts.

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QtTest>
#include <memory>

#include "app/gui/form_main.h"
#include "app/main_window_state.h"
#include "app/settings.h"
#include "platform/folders.h"
#include "tests/support/scripted_prompter.h"
#include "tests/support/temp_dir.h"
#include "ui_form_main.h"
#include "util/translate.h"

namespace quillon {

class TrayTest : public QObject {
  Q_OBJECT

  struct Window {
    std::unique_ptr<MainWindowState> state;
    std::unique_ptr<TFormMain> form;
    explicit Window(std::vector<std::string> args = {}) {
      state = std::make_unique<MainWindowState>(std::move(args));
      form = std::make_unique<TFormMain>(*state);
      form->FormCreate();
      if (form->ShowAtStart()) {
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
      }
    }
    ~Window() {
      form->FormDestroy();
      form.reset();
    }
    QAction* TrayEntry(const char* name) {
      return form->tray_icon()->contextMenu()->findChild<QAction*>(name);
    }
  };

  testing::RuntimeFolderScope runtime_;
  testing::StateFolderScope home_;
  testing::ScriptedPrompter prompter_;

 private slots:
  void initTestCase() {
    InitMessageCatalog(ProgramFolder() + "locale");
    QElapsedTimer waited;
    waited.start();
    while (!QSystemTrayIcon::isSystemTrayAvailable() && waited.elapsed() < 15000) {
      QTest::qWait(100);
    }
    QVERIFY2(QSystemTrayIcon::isSystemTrayAvailable(), "no tray host on this display");
  }

  void idleStartShowsIconWithHint() {
    Window window;
    QVERIFY(window.form->tray_icon() != nullptr);
    QVERIFY(window.form->tray_icon()->isVisible());
    QCOMPARE(window.form->TrayHint(), QString("Idle, Quillon 4.0 Build210604"));
    QVERIFY(window.form->isVisible());
    // The menu in its order, the option copies hidden.
    QStringList names;
    for (QAction* action : window.form->tray_icon()->contextMenu()->actions()) {
      names << (action->isSeparator() ? QString("-") : action->objectName());
    }
    QCOMPARE(names, QStringList({"Restore1", "Minimize1", "-", "AutoRunAtStartup2", "AutoStart2",
                                 "DeleteSourceFileAfterConversion2", "-", "AddWatch2",
                                 "StartWatch2", "StopWatch2", "-", "Exit2"}));
    QVERIFY(!window.TrayEntry("AutoStart2")->isVisible());
    QCOMPARE(window.TrayEntry("AutoStart2")->isChecked(),
             window.form->ui().AutoStart1->isChecked());
    window.form->ui().AutoStart1->trigger();
    QCOMPARE(window.TrayEntry("AutoStart2")->isChecked(),
             window.form->ui().AutoStart1->isChecked());
  }

  void minimiseHidesAndRestoreBringsBack() {
    Window window;
    window.TrayEntry("Minimize1")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!window.form->isVisible(), 5000);
    window.TrayEntry("Restore1")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(window.form->isVisible() && !window.form->isMinimized(), 5000);
    // The window's own minimise does the same.
    window.form->showMinimized();
    QTRY_VERIFY_WITH_TIMEOUT(!window.form->isVisible(), 5000);
    emit window.form->tray_icon()->activated(QSystemTrayIcon::Trigger);
    QTRY_VERIFY_WITH_TIMEOUT(window.form->isVisible(), 5000);
  }

  void minStartShowsTheIconOnly() {
    Window window({"/min"});
    QVERIFY(!window.form->ShowAtStart());
    QVERIFY(!window.form->isVisible());
    QVERIFY(window.form->tray_icon() != nullptr && window.form->tray_icon()->isVisible());
  }

  void minimizedAsTrayOptionStartsHidden() {
    {
      Window window;
      window.form->ui().MinimizedasaTray1->trigger();
      QVERIFY(window.state->settings->minimized_tray());
    }
    {
      Window window;
      QVERIFY(!window.form->ShowAtStart());
      QVERIFY(window.form->tray_icon()->isVisible());
      window.form->ui().MinimizedasaTray1->trigger();
    }
  }

  void convertingAnimatesAndWatchingStops() {
    Window window;
    window.form->TrayHintChanged("converting /data/in/report.doc, Quillon 4.0 Build210604");
    QVERIFY(window.form->TrayAnimating());
    QVERIFY(window.form->TrayHint().contains("/data/in/report.doc"));
    window.form->TrayHintChanged("watching, Quillon 4.0 Build210604");
    QVERIFY(!window.form->TrayAnimating());
    QCOMPARE(window.form->TrayHint(), QString("watching, Quillon 4.0 Build210604"));
    // "watching" stops an icon that was not animated, too.
    window.form->TrayHintChanged("watching, Quillon 4.0 Build210604");
    QVERIFY(!window.form->TrayAnimating());
  }
};

}  // namespace quillon

QTEST_MAIN(quillon::TrayTest)
#include "tray_xvfb_check.moc"
