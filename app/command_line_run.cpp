#include "app/command_line_run.h"

#include <unistd.h>

#include <QDir>
#include <QProcess>
#include <QUrl>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>

#include "app/command_line.h"
#include "app/command_line_console.h"
#include "app/interrupt_signals.h"
#include "app/run_report.h"
#include "app/settings.h"
#include "fileio/files.h"
#include "platform/folders.h"
#include "platform/shell_open.h"
#include "support/logs.h"
#include "util/file_list.h"
#include "util/files.h"
#include "util/translate.h"

namespace quillon {
namespace {

std::string CurrentFolder() {
  std::error_code ec;
  std::string folder = std::filesystem::current_path(ec).string();
  return ec ? std::string("/") : folder;
}

}  // namespace

void LogsBatchLog::AddLogLine(const std::string& line) {
  logs_.AddLogLine(line);
}
void LogsBatchLog::ReportError(const std::string& message) {
  logs_.ReportError(message);
}
void LogsBatchLog::WriteLogFiles() {
  logs_.WriteLogFiles();
}
void LogsBatchLog::ClearBatchErrors() {
  logs_.ClearBatchErrors();
}
std::vector<std::string> LogsBatchLog::BatchErrors() {
  return logs_.batch_errors();
}
std::string LogsBatchLog::TimeText() {
  return logs_.TimeText();
}

std::string HelpFaqUrl() {
  QUrl url = QUrl::fromLocalFile(QString::fromStdString(ResourceFolder() + "help.htm"));
  url.setFragment(QStringLiteral("Faq"));
  return url.toString(QUrl::FullyEncoded).toStdString();
}

void OpenHelpAtFaq() {
  std::string url = HelpFaqUrl();
  // The opener hands the page to a browser and may live as long as it does:
  // started on its own, it never holds up the end of this run.
  if (DisplayAvailable() &&
      QProcess::startDetached(QStringLiteral("xdg-open"), {QString::fromStdString(url)})) {
    return;
  }
  std::fprintf(stderr, "%s\n", url.c_str());
  std::fflush(stderr);
}

namespace {

const char* SignalName(int signal) {
  return signal == SIGTERM ? "SIGTERM" : signal == SIGINT ? "SIGINT" : "a signal";
}

// The parameters, the one row and the batch. False when nothing was due to
// be converted: "/?" opened the help page instead.
bool ReadAndConvert(const std::vector<std::string>& args, CommandLineRunTarget& target,
                    CommandLineConsole& console, std::string& report_path) {
  CommandLineRequest start;
  start.format_index = target.settings.destination_format_index();
  start.options = target.options;
  start.options.text_delimited_index = target.settings.text_delimited_index();

  CommandLineRequest request = ParseCommandLine(args, target.formats, start, CurrentFolder());
  report_path = request.report_path;
  // The options reach the controls as they were read, also when a mistake
  // ended the reading early; set.ini keeps what the user chose last.
  target.settings.SelectDestinationFormat(request.format_index);
  target.settings.SelectTextDelimited(request.options.text_delimited_index);
  target.options = request.options;
  if (request.ended_early()) {
    for (const std::string& error : request.errors) {
      target.logs.ReportError(error);
    }
    return true;
  }

  std::string exclude_words = request.exclude_words;
  if (request.exclude_file_given) {
    std::string content;
    if (ReadFileSkippingBom(request.exclude_file, content)) {
      exclude_words = content;
    }
  }
  AddFileRow(target.manual_list.list(), true, request.source_folder, request.sub_folders,
             exclude_words, request.mask, request.DestinationText());

  if (request.show_help) {
    OpenHelpAtFaq();
    return false;
  }

  LogsBatchLog batch_log(target.logs);
  std::unique_ptr<BatchDriver> own_driver;
  BatchDriver* driver = target.driver;
  if (driver == nullptr) {
    own_driver = std::make_unique<BatchDriver>(batch_log);
    driver = own_driver.get();
  }
  const DestinationFormatTable& formats = target.formats;
  Settings& settings = target.settings;
  engine::ConversionOptions& options = target.options;
  driver->SetChoicesSource([&formats, &settings, &options] {
    BatchChoices choices;
    choices.options = options;
    choices.options.text_delimited_index = settings.text_delimited_index();
    choices.format_index = settings.destination_format_index();
    choices.format_code = formats.Code(choices.format_index);
    choices.extension = formats.Extension(choices.format_index);
    choices.delete_source = settings.delete_source();
    return choices;
  });
  driver->SetObserver(&console);
  driver->SetAbortCheck([] { return InterruptSignal() != 0; });
  driver->ClearStopRequest();
  try {
    driver->RunBatch(target.manual_list);
  } catch (const std::exception& e) {
    target.logs.ReportError(TrFormat("Error, reason is %s", {std::string(e.what())}));
  }
  driver->SetObserver(nullptr);
  if (InterruptSignal() != 0) {
    target.logs.ReportError(TrFormat("Error, the run was interrupted by %s",
                                     {std::string(SignalName(InterruptSignal()))}));
  }
  return true;
}

}  // namespace

void RunCommandLine(const std::vector<std::string>& args, CommandLineRunTarget target) {
  CatchInterruptSignals();
  CommandLineConsole console;
  target.logs.SetObserver(&console);
  SetPrompter(&console.prompter());
  std::string report_path;
  bool converted = ReadAndConvert(args, target, console, report_path);
  if (converted && !report_path.empty()) {
    RunSummary summary;
    summary.converted = console.converted();
    summary.failed = console.failed();
    summary.errors = target.logs.batch_errors();
    summary.seconds = console.Seconds();
    summary.interrupted = InterruptSignal() != 0;
    std::string error;
    if (!fileio::WriteFileWhole(report_path, ReportText(console.outcomes(), summary), error)) {
      target.logs.ReportError(
          TrFormat("Error, Can not write the report %s, error reason is %s", {report_path, error}));
    }
  }
  if (converted) {
    console.Finish();
  }
  SetPrompter(nullptr);
  target.logs.SetObserver(nullptr);
}

}  // namespace quillon
