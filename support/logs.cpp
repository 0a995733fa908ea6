#include "support/logs.h"

#include <QFile>
#include <QFileInfo>

#include "charset/code_page.h"
#include "fileio/files.h"
#include "platform/prompter.h"
#include "util/translate.h"

namespace quillon {
namespace {

std::string TwoDigits(int value) {
  std::string text = std::to_string(value);
  return text.size() < 2 ? "0" + text : text;
}

// Converts the UTF-8 text of a log into its file's code page, the ANSI code
// page; what the code page cannot hold becomes "?". A code page that ICU
// does not know leaves the text in UTF-8, and says so once.
std::string ToLogCodePage(const std::string& text) {
  const int code_page = AnsiCodePage();
  if (code_page == kCodePageUtf8) {
    return text;
  }
  std::string out;
  std::string error;
  if (EncodeText(text, code_page, out, error)) {
    return out;
  }
  static bool told = false;
  if (!told) {
    told = true;
    CurrentPrompter().Error(
        TrFormat("Error, reason is %s", {error + " The log files are written in UTF-8."}));
  }
  return text;
}

// The lines of a log file, each ended by CR LF.
std::string JoinLines(std::vector<std::string>::const_iterator begin,
                      std::vector<std::string>::const_iterator end) {
  std::string content;
  for (; begin != end; ++begin) {
    content += *begin;
    content += "\r\n";
  }
  return content;
}

// The other way, for a line read back; bytes the code page does not define
// become U+FFFD.
std::string FromLogCodePage(const std::string& bytes) {
  const int code_page = AnsiCodePage();
  std::string utf8;
  std::string error;
  if (code_page == kCodePageUtf8 || !DecodeText(bytes, code_page, utf8, error)) {
    return bytes;
  }
  return utf8;
}

}  // namespace

Logs::Logs(std::string log_folder, Clock clock) : clock_(std::move(clock)) {
  SetLogFolder(log_folder);
}

void Logs::SetLogFolder(const std::string& folder) {
  log_folder_ = folder;
  if (!log_folder_.empty() && log_folder_.back() != '/') {
    log_folder_ += '/';
  }
}

void Logs::SetClock(Clock clock) {
  clock_ = std::move(clock);
}

QDateTime Logs::Now() const {
  return clock_ ? clock_() : QDateTime::currentDateTime();
}

std::string Logs::DailyLogFileName() const {
  return log_folder_ + TwoDigits(Now().date().day()) + ".log";
}

std::string Logs::ErrorLogFileName() const {
  return log_folder_ + "error.log";
}

std::string Logs::TimeText() const {
  return Now().time().toString(QStringLiteral("hh:mm:ss")).toStdString();
}

void Logs::LoadDailyLog() {
  daily_log_lines_.clear();
  written_daily_ = {};
  if (log_folder_.empty()) {
    return;
  }
  const std::string name = DailyLogFileName();
  QFileInfo info(QString::fromStdString(name));
  if (!info.exists() || !info.isFile()) {
    return;
  }
  if (info.lastModified().date().month() != Now().date().month()) {
    QFile::remove(info.absoluteFilePath());
    return;
  }
  ReadLineFile(name, daily_log_lines_);
}

void Logs::AddLogLine(const std::string& line) {
  daily_log_lines_.push_back(line);
  LogView view = visible_view_;
  (view == LogView::kManual ? manual_view_ : watch_view_).push_back(line);
  if (observer_ != nullptr) {
    observer_->LogLineAdded(view, line);
  }
}

void Logs::ReportError(const std::string& message) {
  batch_errors_.push_back(message);
  AddLogLine(TimeText() + "   " + message);
  if (observer_ != nullptr) {
    observer_->ErrorReported(message);
  }
  WriteLogFiles();
}

void Logs::ClearBatchErrors() {
  batch_errors_.clear();
  written_errors_ = {};
}

bool Logs::WriteLog(const std::string& path, const std::vector<std::string>& lines,
                    WrittenLog& written, std::string& error) {
  if (written.path == path && lines.size() >= written.lines) {
    const std::string tail = ToLogCodePage(
        JoinLines(lines.begin() + static_cast<std::ptrdiff_t>(written.lines), lines.end()));
    switch (fileio::AppendToUnchangedFile(path, written.stamp, tail, written.stamp, error)) {
      case fileio::AppendResult::kAppended:
        written.lines = lines.size();
        return true;
      case fileio::AppendResult::kFailed:
        written = {};
        return false;
      case fileio::AppendResult::kChanged:
        break;
    }
  }
  written = {};
  if (!WriteLineFile(path, lines, error)) {
    return false;
  }
  if (fileio::StampOf(path, written.stamp)) {
    written.path = path;
    written.lines = lines.size();
  }
  return true;
}

bool Logs::WriteLogFiles() {
  if (!create_log_file_ || log_folder_.empty()) {
    return true;
  }
  bool ok = true;
  std::string error;
  if (!batch_errors_.empty() &&
      !WriteLog(ErrorLogFileName(), batch_errors_, written_errors_, error)) {
    CurrentPrompter().Error(TrFormat("Error, reason is %s", {error}));
    ok = false;
  }
  if (!WriteLog(DailyLogFileName(), daily_log_lines_, written_daily_, error)) {
    CurrentPrompter().Error(TrFormat("Error, reason is %s", {error}));
    ok = false;
  }
  return ok;
}

void Logs::ClearView(LogView view) {
  (view == LogView::kManual ? manual_view_ : watch_view_).clear();
  if (observer_ != nullptr) {
    observer_->LogViewCleared(view);
  }
}

bool WriteLineFile(const std::string& path, const std::vector<std::string>& lines,
                   std::string& error) {
  error.clear();
  const std::string content = ToLogCodePage(JoinLines(lines.begin(), lines.end()));
  // The state folder may not exist yet on a first start.
  std::string target;
  if (!fileio::FinalLinkTarget(path, target, error) ||
      !fileio::MakeFolders(fileio::FolderOf(target), error)) {
    return false;
  }
  // The lists are saved at every end of the program, mostly unchanged, and
  // the day's log grows at its end: what the file holds already is kept.
  return fileio::ExtendFileOrWriteWhole(target, content, error);
}

bool ReadLineFile(const std::string& path, std::vector<std::string>& lines) {
  std::string bytes, error;
  if (!fileio::ReadWholeFile(path, bytes, error)) {
    return false;
  }
  // Decoded whole: a line feed byte is a line feed in every ANSI code page.
  const std::string text = FromLogCodePage(bytes);
  std::size_t begin = 0;
  while (begin < text.size()) {
    std::size_t end = text.find('\n', begin);
    if (end == std::string::npos) {
      end = text.size();
    }
    std::size_t cut = end;
    if (cut > begin && text[cut - 1] == '\r') {
      --cut;
    }
    lines.emplace_back(text, begin, cut - begin);
    begin = end + 1;
  }
  return true;
}

}  // namespace quillon
