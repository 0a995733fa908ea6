// The entry of quillon: tells the run mode from the parameters, then sets up,
// runs and shuts down the main window's state.

#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>

#include "app/command_line_help.h"
#include "app/gui/main_window_run.h"
#include "app/main_window_state.h"
#include "app/run_mode.h"
#include "app/watch_service.h"
#include "dialogwatch/engine_dialog_watch.h"
#include "platform/folders.h"
#include "platform/shell_open.h"
#include "util/command_line.h"
#include "util/translate.h"

namespace {

int termination_pipe[2] = {-1, -1};

void OnTerminationSignal(int /*signal*/) {
  char byte = 1;
  [[maybe_unused]] ssize_t ignored = ::write(termination_pipe[1], &byte, 1);
}

// Without a window, "closing it from outside" is a termination signal: it
// ends the event loop so that the shut-down sequence still runs.
void QuitOnTerminationSignals(QCoreApplication& app) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, termination_pipe) != 0) {
    return;
  }
  auto* notifier = new QSocketNotifier(termination_pipe[0], QSocketNotifier::Read, &app);
  QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
    char byte;
    [[maybe_unused]] ssize_t ignored = ::read(termination_pipe[0], &byte, 1);
    QCoreApplication::quit();
  });
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    ::sigaction(signal, &action, nullptr);
  }
}

}  // namespace

int main(int argc, char** argv) {
  using namespace quillon;
  SetProcessArguments(argc, argv);
  std::vector<std::string> args = ProcessArguments();
  // Asked before anything else: no lock to wait for, no settings, no logs.
  InformationRequest information = FindInformationRequest(args);
  if (information != InformationRequest::kNone) {
    InitMessageCatalog(ResourceFolder() + "locale");
    AnswerInformationRequest(information);
    return 0;
  }
  RunMode mode = DetermineRunMode(args);

  const bool window_start = mode == RunMode::kInteractive || mode == RunMode::kTrayStart;
  // A tray start without a display runs on as the headless watch service.
  const bool watch_service = RunsAsWatchService(mode);
  if (window_start && !watch_service && DisplayAvailable()) {
    return RunMainWindow(argc, argv, args);
  }
  if (window_start && !watch_service) {
    InitMessageCatalog(ResourceFolder() + "locale");
    std::printf("%s\n", TrFormat("%s: the window is not available without a display.",
                                 {std::string(QUILLON_VERSION_TEXT)})
                            .c_str());
    return 0;
  }

  // A command-line run (and an automation start) never creates a widget.
  QCoreApplication app(argc, argv);
  // After the application object: its constructor resets the locale, which
  // would undo what the catalog set-up did to the message locale.
  InitMessageCatalog(ResourceFolder() + "locale");
  // Answers the word processor's dialogs while documents open; outlives the
  // shut-down, which may still talk to the word processor.
  dialogwatch::EngineDialogWatch dialog_watch;
  MainWindowState state(args);
  SetUpMainWindow(state);
  if (state.timer1_enabled) {
    QTimer::singleShot(1, &app, [&state] {
      Timer1Timer(state);
      QCoreApplication::quit();
    });
  } else {
    QuitOnTerminationSignals(app);
  }
  app.exec();
  return ShutDownMainWindow(state);
}
