#pragma once
// The conversion logs: the error lines of the current run, today's day log,
// the two log views of the main window, and the two log files.
//
// Every conversion path (manual batch, command line, watched folders) and the
// engine's preparation report through AddLogLine and ReportError. The views
// are models here; the window shows them through a LogsObserver.
//
// Files: "<log folder>/DD.log" (DD: day of the month, two digits) and
// "<log folder>/error.log", one entry a line, lines ended by CR LF, in the
// ANSI code page: the locale's character set (UTF-8 under a UTF-8 or the C
// locale), or the one QUILLON_ANSI_CODEPAGE names. Characters it cannot hold
// are written as "?".
//
// Thread: main thread only.

#include <QDateTime>
#include <functional>
#include <string>
#include <vector>

#include "fileio/files.h"

namespace quillon {

// The two log views, one on each page of the main window.
enum class LogView { kManual, kWatch };

// Told about every change of a log view, so a window can mirror it.
class LogsObserver {
 public:
  virtual ~LogsObserver() = default;
  virtual void LogLineAdded(LogView view, const std::string& line) = 0;
  virtual void LogViewCleared(LogView view) = 0;
  // An error was reported (the message, without the time), after its line
  // was added.
  virtual void ErrorReported(const std::string& /*message*/) {}
};

class Logs {
 public:
  // The current local date and time; replaced in tests.
  using Clock = std::function<QDateTime()>;

  // `log_folder` is where the day logs and "error.log" live; it may be
  // set later with SetLogFolder. An empty clock means the system clock.
  explicit Logs(std::string log_folder = {}, Clock clock = {});

  // The folder, kept with a trailing "/" (empty stays empty: no files).
  void SetLogFolder(const std::string& folder);
  const std::string& log_folder() const { return log_folder_; }
  void SetClock(Clock clock);
  QDateTime Now() const;

  // Not owned; null for none. Must outlive its registration.
  void SetObserver(LogsObserver* observer) { observer_ = observer; }

  // The day log of the current date: the log folder, the day of the month
  // as two digits, ".log".
  std::string DailyLogFileName() const;
  std::string ErrorLogFileName() const;

  // The time as "hh:nn:ss", 24-hour clock, as every log line starts.
  std::string TimeText() const;

  // Reads today's day log into DailyLogLines. A file last modified in
  // another month is a left-over of that month's same day and is deleted
  // (only the month number is compared, as the file name holds the day only).
  void LoadDailyLog();

  // Appends to DailyLogLines and to the view of the visible page. Writes no
  // file.
  void AddLogLine(const std::string& line);

  // Adds `message` to BatchErrors, logs it after the time and three blanks,
  // and writes the log files.
  void ReportError(const std::string& message);

  // When "Create Log File" is on: replaces "error.log" with BatchErrors (only
  // when there are errors) and the day log with DailyLogLines. A failure is
  // shown as a message ("Error, reason is %s") and the other file is still
  // written. Returns false when a write failed. A file still as the last
  // write left it only gets the lines added since, so that a run with many
  // errors does not rewrite a long day log at each of them.
  bool WriteLogFiles();

  // The "Create Log File" setting (on at first start).
  bool create_log_file() const { return create_log_file_; }
  void SetCreateLogFile(bool on) { create_log_file_ = on; }

  // Which page of the main window is shown: new lines go to its view.
  LogView visible_view() const { return visible_view_; }
  void SetVisibleView(LogView view) { visible_view_ = view; }

  // "Clear Logs": empties one view only; the day log, BatchErrors and the
  // files are untouched.
  void ClearView(LogView view);

  // The error lines of the current run, without times. Their count at the
  // end of the program is its exit code.
  const std::vector<std::string>& batch_errors() const { return batch_errors_; }
  void ClearBatchErrors();

  const std::vector<std::string>& daily_log_lines() const { return daily_log_lines_; }
  const std::vector<std::string>& view_lines(LogView view) const {
    return view == LogView::kManual ? manual_view_ : watch_view_;
  }

 private:
  // What the last write left in a log file: while the file is still as it
  // was then and its list has only grown, the new lines are appended to it.
  struct WrittenLog {
    std::string path;
    std::size_t lines = 0;
    fileio::FileStamp stamp;
  };
  static bool WriteLog(const std::string& path, const std::vector<std::string>& lines,
                       WrittenLog& written, std::string& error);

  std::string log_folder_;
  Clock clock_;
  LogsObserver* observer_ = nullptr;
  bool create_log_file_ = true;
  LogView visible_view_ = LogView::kManual;
  std::vector<std::string> batch_errors_;
  std::vector<std::string> daily_log_lines_;
  WrittenLog written_errors_;
  WrittenLog written_daily_;
  std::vector<std::string> manual_view_;
  std::vector<std::string> watch_view_;
};

// Writes `lines` (UTF-8) to `path` in the ANSI code page, each followed by
// CR LF, replacing the file whole (fileio::WriteFileWhole: a link is written
// where it points, the file keeps its mode) and making its folder first. A
// file that already holds the beginning of these bytes only gets the rest
// (fileio::ExtendFileOrWriteWhole); one holding them all is left as it is.
// Returns false with `error` (the system's text) set when it cannot.
bool WriteLineFile(const std::string& path, const std::vector<std::string>& lines,
                   std::string& error);

// The lines of a CR LF (or LF) text file in the ANSI code page, as UTF-8;
// false when it cannot be read.
bool ReadLineFile(const std::string& path, std::vector<std::string>& lines);

}  // namespace quillon
