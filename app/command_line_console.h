#pragma once
// What a command-line run tells the person or script that started it, all
// on standard error (standard output stays empty): every error line as it
// is reported, a progress line while the run goes on when standard error
// is a terminal, and one summary line at the end. It also keeps the outcome
// of every file for the run report.
//
// The progress line ("12 files done, 4.1 files/s: /path/of/the/current.doc")
// is redrawn in place with a carriage return, fitted into the terminal's
// width, and wiped before any other line is written and at the end. Where
// standard error is no terminal there is no progress line at all.
//
// Thread: main thread only.

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "jobs/batch_driver.h"
#include "platform/prompter.h"
#include "support/logs.h"

namespace quillon {

class CommandLineConsole : public BatchObserver, public LogsObserver {
 public:
  // Writes to `stream`; the progress line only when `stream` is a terminal.
  explicit CommandLineConsole(std::FILE* stream = stderr);

  // BatchObserver
  void FileStarting(const std::string& source) override;
  void FileFinished(const FileOutcome& outcome) override;

  // LogsObserver: the error lines; the log views are the window's.
  void LogLineAdded(LogView /*view*/, const std::string& /*line*/) override {}
  void LogViewCleared(LogView /*view*/) override {}
  void ErrorReported(const std::string& message) override;

  // Writes a line of its own (a message box of a run without a window).
  void WriteLine(const std::string& text);

  // Wipes the progress line and writes the summary line.
  void Finish();

  int converted() const { return converted_; }
  int failed() const { return failed_; }
  const std::vector<FileOutcome>& outcomes() const { return outcomes_; }
  double Seconds() const;

  // Message boxes through this console, so that they never land in the
  // middle of the progress line.
  Prompter& prompter() { return prompter_; }

 private:
  class ConsolePrompter : public Prompter {
   public:
    explicit ConsolePrompter(CommandLineConsole& console) : console_(console) {}
    PromptAnswer Show(const std::string& text, const std::string& caption, PromptIcon icon,
                      PromptButtons buttons, PromptAnswer default_answer) override;

   private:
    CommandLineConsole& console_;
  };

  void Draw();
  void Wipe();
  int Columns() const;

  std::FILE* stream_;
  bool progress_;
  std::chrono::steady_clock::time_point started_;
  std::string current_;
  size_t drawn_width_ = 0;  // characters of the progress line on the screen
  int converted_ = 0;
  int failed_ = 0;
  std::vector<FileOutcome> outcomes_;
  ConsolePrompter prompter_{*this};
};

// The progress line for `done` files at `files_per_second`, the current
// file last, in at most `columns` - 1 characters (the last column would
// make some terminals wrap): a long file name loses its beginning, shown as
// "...". Control characters and bytes that are not UTF-8 show as "?".
std::string ProgressText(int done, double files_per_second, const std::string& current,
                         int columns);

// "3 files converted, 2 files failed, 1.3 seconds" (translated).
std::string SummaryText(int converted, int failed, double seconds);

// The number of characters (UTF-8 sequences; any other byte counts as one)
// of `text`.
size_t CharacterCount(const std::string& text);

}  // namespace quillon
