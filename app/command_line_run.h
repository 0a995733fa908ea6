#pragma once
// The command-line run: the parameters become the options and the one row
// of the manual list, the batch driver converts it, and the outcome is left
// in the logs (whose error count becomes the exit code).
//
// Nothing is written to standard output. Error lines, message boxes (which
// never wait for an answer), a progress line on a terminal and a closing
// summary go to standard error (CommandLineConsole). "--report=" writes the
// run report once the run is over. SIGINT and SIGTERM end the batch before
// its next file, and the interruption is reported as an error.
//
// Thread: main thread only.

#include <string>
#include <vector>

#include "engine/conversion_options.h"
#include "jobs/batch_driver.h"
#include "jobs/destination_formats.h"
#include "jobs/manual_list.h"

namespace quillon {

class Logs;
class Settings;

// The program's logs as the batch driver's log.
class LogsBatchLog : public BatchLog {
 public:
  explicit LogsBatchLog(Logs& logs) : logs_(logs) {}
  void AddLogLine(const std::string& line) override;
  void ReportError(const std::string& message) override;
  void WriteLogFiles() override;
  void ClearBatchErrors() override;
  std::vector<std::string> BatchErrors() override;
  std::string TimeText() override;

 private:
  Logs& logs_;
};

// What a command-line run works on: the long-lived state of the program.
struct CommandLineRunTarget {
  Logs& logs;
  Settings& settings;  // the selected format and delimiter; changed, never saved
  const DestinationFormatTable& formats;
  ManualList& manual_list;
  engine::ConversionOptions& options;  // the option controls
  // Set up by the caller (engine functions, lock wait), or null for a
  // driver made here with the real engine.
  BatchDriver* driver = nullptr;
};

// Runs once through the parameters and the batch. The caller then shuts the
// program down (logs written, exit code from the logs' errors). From here
// on SIGINT and SIGTERM only ask the run to stop.
void RunCommandLine(const std::vector<std::string>& args, CommandLineRunTarget target);

// Opens help.htm of the resource folder at its "Faq" anchor: with the
// desktop's opener when a display is there, else by writing the page's
// location to standard error. Never waits for a browser.
void OpenHelpAtFaq();

// The location OpenHelpAtFaq opens: "file://" + path + "#Faq".
std::string HelpFaqUrl();

}  // namespace quillon
