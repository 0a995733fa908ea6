#pragma once
// The run report of a command-line run ("--report=FILE"): JSON Lines, one
// object per converted or failed file, in the order of the run, then one
// summary object. The README lists the fields.
//
// Texts are JSON strings. Paths on Linux are bytes: valid UTF-8 is written
// as it stands, and each byte that is not part of valid UTF-8 is written as
// the escape of the lone surrogate U+DC00 plus that byte ("\udcff" for the
// byte FF), the convention by which Python's "surrogateescape" gives the
// exact bytes back, so a report always names exactly the user's file.
//
// Thread: any; no state.

#include <string>
#include <string_view>
#include <vector>

#include "jobs/batch_driver.h"

namespace quillon {

struct RunSummary {
  int converted = 0;
  int failed = 0;
  std::vector<std::string> errors;  // every error line of the run
  double seconds = 0;
  bool interrupted = false;
};

// `text` as a quoted JSON string, escaped as described above.
std::string JsonString(std::string_view text);

// One line of the report, without its line end.
std::string ReportFileLine(const FileOutcome& outcome);
std::string ReportSummaryLine(const RunSummary& summary);

// The whole report: the file lines and the summary line, each ended by LF.
std::string ReportText(const std::vector<FileOutcome>& outcomes, const RunSummary& summary);

}  // namespace quillon
