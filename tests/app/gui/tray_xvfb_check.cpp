// The tray icon on a private X server with a tray host (started by
// tray_xvfb.sh): its hint, minimising into it and restoring from it, the
// "/min" start, and the animation while a file in a watched folder converts.

#include <signal.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QtTest>
#include <chrono>
#include <filesystem>
#include <memory>

#include "app/gui/form_main.h"
#include "app/main_window_state.h"
#include "app/settings.h"
#include "platform/folders.h"
#include "tests/support/engine_processes.h"
#include "tests/support/scripted_prompter.h"
#include "tests/support/temp_dir.h"
#include "ui_form_main.h"
#include "util/translate.h"
#include "watch/watch_processing.h"

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

  // A real file in a real watched folder: while it converts through the
  // engine the icon turns and the hint names it, afterwards it stands still
  // and says "watching". So that the conversion spans several animation
  // steps on any machine, the engine is stopped for a moment once the hint
  // names the file.
  void aFileConvertingInAWatchedFolderAnimatesTheIcon() {
    testing::TempDir files;
    std::string in = files.File("in");
    std::string out = files.File("out");
    std::filesystem::create_directories(in);
    std::filesystem::create_directories(out);
    Window window;
    window.state->watch_processing->SetWatchInterval(std::chrono::milliseconds(100));
    window.state->watch_list.AddWatchRow(true, in, out, "*.rtf", "", "No", "2=Text only(*.txt)");
    QVERIFY(window.state->watch_processing->StartWatchEntry(0));
    QTRY_VERIFY(window.state->watch_list.entry(0).watcher &&
                window.state->watch_list.entry(0).watcher->Ready());

    const qint64 still = window.form->tray_icon()->icon().cacheKey();
    const QString converting = QString::fromStdString("converting " + in + "/report.rtf");
    bool named_while_animating = false;
    // Whatever happens, the engine goes on before the window ends it.
    struct GoesOn {
      pid_t pid = -1;
      ~GoesOn() {
        if (pid > 0) {
          ::kill(pid, SIGCONT);
        }
      }
    } stopped;
    pid_t& stopped_engine = stopped.pid;
    QElapsedTimer stopped_for;
    int frames_seen = 0;
    qint64 last_icon = still;
    QTimer poll;
    poll.setInterval(5);
    connect(&poll, &QTimer::timeout, this, [&] {
      const qint64 icon = window.form->tray_icon()->icon().cacheKey();
      if (icon != still && icon != last_icon) {
        ++frames_seen;
      }
      last_icon = icon;
      if (!window.form->TrayHint().startsWith(converting)) {
        return;
      }
      named_while_animating = named_while_animating || window.form->TrayAnimating();
      if (stopped_engine < 0) {
        for (pid_t engine :
             testing::EngineProcesses(ProgramFolder() + "quillon-engine", runtime_.path())) {
          if (::kill(engine, SIGSTOP) == 0) {
            stopped_engine = engine;
            stopped_for.start();
            break;
          }
        }
      }
      if (stopped_engine > 0 && stopped_for.isValid() && stopped_for.elapsed() > 700) {
        ::kill(stopped_engine, SIGCONT);
        stopped_for.invalidate();
      }
    });
    poll.start();

    std::string body = "{\\rtf1\\ansi ";
    for (int i = 0; i < 20000; ++i) {
      body += "Paragraph " + std::to_string(i) + " of a long watched report.\\par\n";
    }
    testing::WriteFile(files.File("report.rtf"), body + "}");
    std::filesystem::rename(files.File("report.rtf"), in + "/report.rtf");
    QTRY_VERIFY_WITH_TIMEOUT(testing::FileExists(out + "/report.txt"), 60000);
    QTRY_COMPARE_WITH_TIMEOUT(window.form->TrayHint(), QString("watching, Quillon 4.0 Build210604"),
                              30000);
    poll.stop();
    QVERIFY2(stopped_engine > 0, "the engine was never seen while the file converted");
    QVERIFY(named_while_animating);
    QVERIFY2(frames_seen >= 3, qPrintable(QString("animation frames seen: %1").arg(frames_seen)));
    QVERIFY(!window.form->TrayAnimating());
    QCOMPARE(window.form->tray_icon()->icon().cacheKey(), still);
    QVERIFY(testing::ReadFile(out + "/report.txt").find("Paragraph 19999 of") != std::string::npos);
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
