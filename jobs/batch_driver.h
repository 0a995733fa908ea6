#pragma once
// The batch driver: turns the checked rows of the manual list into
// conversions, one source file at a time, on the main thread.
//
// A file row converts its file. A folder row converts every file below the
// folder that matches one of its masks and none of its exclude words: for
// each mask in turn, the folder's own files first, then (with sub-folders
// on) every sub-folder at any depth, the pending sub-folders taken in
// alphabetical order of their full paths. Each file found is converted at
// once, before the search goes on. In masks only "*" and "?" are wildcards
// (letter case aside); a mask without them names exactly one file.
//
// ConvertOne is the one-file step shared with watched folders: the
// recover-any-type switch set from the choices, the engine call, the
// optional deletion of the source after a success (waiting while
// another program has it open), and the log line or error report.
//
// The driver reaches the logs through BatchLog and the window through
// BatchObserver; both are set by the owner, which also tells it, before
// every file, which format and options to use (BatchChoices), so that a
// change made in the window between two files applies to the next one.
//
// Thread: main thread only. Pending events run only inside
// BatchObserver::PumpEvents.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/conversion_options.h"
#include "jobs/manual_list.h"

namespace quillon {

// Where outcomes are recorded (the program's logs).
class BatchLog {
 public:
  virtual ~BatchLog() = default;
  virtual void AddLogLine(const std::string& line) = 0;
  // Adds to the run's errors, logs with the time, writes the log files.
  virtual void ReportError(const std::string& message) = 0;
  virtual void WriteLogFiles() = 0;
  virtual void ClearBatchErrors() = 0;
  // The errors reported since the run began.
  virtual std::vector<std::string> BatchErrors() = 0;
  // The current time as "hh:nn:ss".
  virtual std::string TimeText() = 0;
};

// What one conversion came to, as the batch driver saw it.
struct FileOutcome {
  std::string source;
  std::string destination;
  bool ok = false;
  std::string error;              // empty on success
  std::int64_t input_bytes = 0;   // the source's size before the conversion
  std::int64_t output_bytes = 0;  // the destination's size after a success
  std::int64_t milliseconds = 0;  // the whole step, deletion of the source included
};

// Progress for the window; every call may be ignored.
class BatchObserver {
 public:
  virtual ~BatchObserver() = default;
  // The progress bar: its maximum (the number of rows), then positions.
  virtual void ProgressRange(int /*maximum*/) {}
  virtual void ProgressPosition(int /*position*/) {}
  // The progress line of the status bar (empty clears it).
  virtual void ProgressLine(const std::string& /*text*/) {}
  // The word processor answered: the watch page clears its status text.
  virtual void WordReady() {}
  // Lets pending window events run (repaint, the stop click).
  virtual void PumpEvents() {}
  // Around a batch the window shows the busy cursor and takes every click as
  // a stop request.
  virtual void BatchStarted() {}
  virtual void BatchFinished() {}
  // Around each ConvertOne: the file about to be converted, then its outcome
  // (after its log line or error report).
  virtual void FileStarting(const std::string& /*source*/) {}
  virtual void FileFinished(const FileOutcome& /*outcome*/) {}
};

// What the option controls say at the moment a file is converted.
struct BatchChoices {
  engine::ConversionOptions options;
  int format_index = 0;
  std::string format_code = "2";
  std::string extension = ".txt";
  // "Delete Source File After Conversion".
  bool delete_source = false;
};

class BatchDriver {
 public:
  // The engine entry point: source, destination, format code, request block,
  // error text out; true on success. May throw: the message of what escapes
  // is taken as the error text.
  using ConvertFunction = std::function<bool(
      const std::string& source, const std::string& destination, const std::string& format_code,
      const std::string& request_block, std::string& error_text)>;
  // The word-processor check made once per batch.
  using EnsureWordFunction = std::function<bool(std::string& error_text)>;

  // `log` must outlive the driver. The engine functions default to the real
  // engine (ConvertDocument, EnsureWord).
  explicit BatchDriver(BatchLog& log);

  void SetObserver(BatchObserver* observer) { observer_ = observer; }
  void SetChoicesSource(std::function<BatchChoices()> source) { choices_ = std::move(source); }
  void SetConvertFunction(ConvertFunction convert) { convert_ = std::move(convert); }
  void SetEnsureWordFunction(EnsureWordFunction ensure) { ensure_word_ = std::move(ensure); }
  // How "in use by another program" is asked (IsFileLocked by default).
  void SetFileLockedFunction(std::function<bool(const std::string&)> locked) {
    is_locked_ = std::move(locked);
  }
  // The wait for a locked source before it is deleted: at most `limit`,
  // checking every `poll`.
  void SetLockWait(std::chrono::milliseconds limit, std::chrono::milliseconds poll) {
    lock_wait_limit_ = limit;
    lock_poll_ = poll;
  }

  // The stop request: set by a click during the batch; asked about before
  // the next file of a folder row.
  void RequestStop() { stop_requested_ = true; }
  void ClearStopRequest() { stop_requested_ = false; }
  bool stop_requested() const { return stop_requested_; }

  // Ends the running batch before its next row or file, without asking:
  // the window is closing. The "Convert" action then shows no closing
  // message. Cleared when the next "Convert" action starts.
  void RequestAbort() { abort_requested_ = true; }
  bool abort_requested() const { return abort_requested_; }
  // Asked before every row and every file, as RequestAbort's flag is: true
  // ends the batch there. For requests that cannot call RequestAbort
  // themselves (a signal handler only sets a flag).
  void SetAbortCheck(std::function<bool()> check) { abort_check_ = std::move(check); }

  // The "Convert" action of the window: clears the stop request, runs the
  // batch (an error escaping it is reported), then shows "OK, Convert
  // Complete!" or every error of the run in one message.
  void ConvertAction(const ManualList& list);

  // Clears the run's errors, checks the word processor (false, after
  // reporting its error, when it does not answer), converts every checked
  // row in order and writes the log files.
  bool RunBatch(const ManualList& list);

  // One row: nothing when it is not checked.
  void ConvertRow(const ManualList& list, size_t index);

  // One file found below a folder row. `counter` counts the files of the row
  // handed on. False ends the row's search (the user chose to stop).
  bool ConvertFoundFile(const std::string& file, const std::string& folder,
                        const std::string& destination_text, const std::string& exclude_words,
                        int& counter);

  // One conversion with its deletion of the source and its log line.
  bool ConvertOne(const std::string& source, const std::string& destination,
                  const std::string& request_block, const std::string& format_code);

  // Lists the files below `folder` in the order described above and hands
  // each to `found` (false from it ends the search). Returns the number of
  // files listed. Files whose full path matches an exclude word are not
  // listed. Exposed for the watch dialog and tests.
  int SearchFolder(const std::string& folder, const std::string& mask_text, bool sub_folders,
                   const std::string& exclude_words,
                   const std::function<bool(const std::string& file)>& found);

 private:
  BatchChoices Choices() const;
  // After a successful conversion into `written`: flushes it to disk, waits
  // while the source is in use, deletes the source. A failure appends its
  // reason to `error` and clears `ok`.
  void DeleteConvertedSource(const std::string& source, const std::string& written,
                             std::string& error, bool& ok);
  void Pump();
  bool Aborting() const;

  BatchLog& log_;
  BatchObserver* observer_ = nullptr;
  std::function<BatchChoices()> choices_;
  ConvertFunction convert_;
  EnsureWordFunction ensure_word_;
  std::function<bool(const std::string&)> is_locked_;
  std::function<bool()> abort_check_;
  std::chrono::milliseconds lock_wait_limit_{299999};
  std::chrono::milliseconds lock_poll_{50};
  bool stop_requested_ = false;
  bool abort_requested_ = false;
};

// True while a batch or one conversion runs. Pending events run inside it,
// so watch processing asks this before it starts a file of its own.
bool ConversionUnderWay();

// The masks of a mask text: separated by ";" or line breaks, empty ones
// left out.
std::vector<std::string> SplitMasks(const std::string& mask_text);

}  // namespace quillon
