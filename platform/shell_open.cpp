#include "platform/shell_open.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTimer>
#include <cstdlib>

#include "platform/prompter.h"
#include "util/translate.h"

namespace quillon {
namespace {

std::string& OpenerProgram() {
  static std::string program;
  return program;
}

void ReportOpenFailure(const std::string& reason) {
  CurrentPrompter().Error(TrFormat("Error, reason is %s", {reason}));
}

}  // namespace

bool DisplayAvailable() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') {
      return true;
    }
  }
  return false;
}

void SetShellOpenerProgram(const std::string& program) {
  OpenerProgram() = program;
}

std::string ShellOpenerProgram() {
  return OpenerProgram().empty() ? std::string("xdg-open") : OpenerProgram();
}

bool OpenWithShell(const std::string& target, std::chrono::milliseconds limit) {
  return StartWithTimeLimit(ShellOpenerProgram(), target, limit, true);
}

bool StartWithTimeLimit(const std::string& opener, const std::string& target,
                        std::chrono::milliseconds limit, bool report_failure) {
  // Owned by the application; it deletes itself once the opener has ended.
  auto* process = new QProcess(QCoreApplication::instance());
  process->setProcessChannelMode(QProcess::ForwardedChannels);
  process->setInputChannelMode(QProcess::ForwardedInputChannel);
  QString program = QString::fromStdString(opener);
  QObject::connect(process, &QProcess::finished, process,
                   [process, target, report_failure](int exit_code, QProcess::ExitStatus status) {
                     if (report_failure && status == QProcess::NormalExit && exit_code != 0) {
                       ReportOpenFailure(TrFormat("can not open %s (exit code %d)",
                                                  {target, static_cast<std::int64_t>(exit_code)}));
                     }
                     process->deleteLater();
                   });
  auto* deadline = new QTimer(process);
  deadline->setSingleShot(true);
  QObject::connect(deadline, &QTimer::timeout, process, [process] {
    if (process->state() != QProcess::NotRunning) {
      process->kill();
    }
  });
  process->start(program, {QString::fromStdString(target)});
  if (!process->waitForStarted(static_cast<int>(limit.count()))) {
    if (report_failure) {
      ReportOpenFailure(process->errorString().toStdString());
    }
    delete process;
    return false;
  }
  deadline->start(static_cast<int>(limit.count()));
  return true;
}

}  // namespace quillon
