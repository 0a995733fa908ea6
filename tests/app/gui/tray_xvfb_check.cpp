// The tray icon on a private X server with a tray host (started by
// tray_xvfb.sh): its hint, minimising into it and restoring from it, the
// "/min" start, and the animation while a watched file converts: once
// through the hint handler alone, once with a real file dropped into a
// watched folder and converted by the engine server.

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QtTest>
#include <csignal>
#include <filesystem>
#include <memory>
#include <set>

#include "app/gui/form_main.h"
#include "app/main_window_state.h"
#include "app/settings.h"
#include "automation/client.h"
#include "engine/word_connection.h"
#include "platform/folders.h"
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

  // A watch on a real folder, a real document copied into it, the engine
  // server converting it. While it converts, the hint names the file and
  // the icon steps through its frames; afterwards the hint says "watching"
  // and the still icon is back. A small file converts faster than one
  // animation step, so the engine server is held (SIGSTOP) for a moment once
  // the conversion has begun; the window keeps its events running while it
  // waits for the engine's answer, which is what lets the frames advance.
  void watchedFileAnimatesTheIconWhileItConverts() {
    namespace fs = std::filesystem;
    testing::TempDir files;
    const std::string in = files.File("in");
    const std::string out = files.File("out");
    fs::create_directories(in);
    fs::create_directories(out);
    Window window;
    QVERIFY(window.form->tray_icon() != nullptr);
    WatchProcessor& processing = *window.state->watch_processing;
    processing.SetWatchInterval(std::chrono::milliseconds(100));
    window.state->watch_list.AddWatchRow(true, in, out, "*.rtf", "", "No", "2=Text only(*.txt)");
    QVERIFY(processing.StartWatchEntry(0));
    QTRY_VERIFY_WITH_TIMEOUT(window.state->watch_list.entry(0).watcher &&
                                 window.state->watch_list.entry(0).watcher->Ready(),
                             10000);
    const QString watching = QStringLiteral("watching, Quillon 4.0 Build210604");

    // The engine server is started before the file arrives, so that its
    // process is known when the conversion begins.
    std::string error;
    QVERIFY2(engine::EnsureWord(error), error.c_str());
    const pid_t server = automation::StartedServerProcess(*engine::WordApplication());
    QVERIFY2(server > 0, "the engine server was not started by this program");
    struct Resume {
      pid_t pid;
      ~Resume() { ::kill(pid, SIGCONT); }  // also when a check fails
    } resume{server};

    const std::string source = in + "/letter.rtf";
    const qint64 still_key = window.form->tray_icon()->icon().cacheKey();
    std::set<qint64> frames;  // animation frames seen while the hint named the file
    bool named = false;
    bool held = false;
    QTimer sampler;
    sampler.setInterval(10);
    connect(&sampler, &QTimer::timeout, this, [&] {
      if (!window.form->TrayHint().startsWith(QString::fromStdString("converting " + source))) {
        return;
      }
      named = true;
      // Until its first step the animation still shows the still icon.
      const qint64 shown = window.form->tray_icon()->icon().cacheKey();
      if (window.form->TrayAnimating() && shown != still_key) {
        frames.insert(shown);
      }
      if (!held) {
        held = true;
        ::kill(server, SIGSTOP);
        QTimer::singleShot(800, this, [server] { ::kill(server, SIGCONT); });
      }
    });
    sampler.start();

    // Copied beside the folder, then moved in: the watcher sees a whole file.
    const std::string staged = files.File("letter.rtf");
    fs::copy_file(ProgramFolder() + "samples/letter.rtf", staged);
    fs::rename(staged, source);

    QTRY_VERIFY_WITH_TIMEOUT(held, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(
        testing::FileExists(out + "/letter.txt") && window.form->TrayHint() == watching, 30000);
    sampler.stop();
    QVERIFY(named);
    QVERIFY2(frames.size() >= 3,
             qPrintable(QString("only %1 animation frames seen").arg(frames.size())));
    QVERIFY(testing::ReadFile(out + "/letter.txt").find("garden club") != std::string::npos);
    QVERIFY(!window.form->TrayAnimating());
    QCOMPARE(window.form->tray_icon()->icon().cacheKey(), still_key);
    QCOMPARE(window.state->watch_list.entry(0).StatusText(), std::string("watching"));
  }
};

}  // namespace quillon

QTEST_MAIN(quillon::TrayTest)
#include "tray_xvfb_check.moc"
