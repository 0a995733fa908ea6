#include "support/logs.h"

#include <iconv.h>
#include <langinfo.h>

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "platform/prompter.h"
#include "util/translate.h"

namespace quillon {
namespace {

std::string TwoDigits(int value) {
  std::string text = std::to_string(value);
  return text.size() < 2 ? "0" + text : text;
}

// The iconv name of a Windows code page number.
std::string CharsetOfCodePage(int code_page) {
  if (code_page == 65001) {
    return "UTF-8";
  }
  if (code_page >= 28591 && code_page <= 28599) {
    return "ISO-8859-" + std::to_string(code_page - 28590);
  }
  switch (code_page) {
    case 28603:
      return "ISO-8859-13";
    case 28605:
      return "ISO-8859-15";
    case 20866:
      return "KOI8-R";
    case 21866:
      return "KOI8-U";
    case 20932:
      return "EUC-JP";
    default:
      return "CP" + std::to_string(code_page);
  }
}

// The character set of the log files: the ANSI code page, that is the
// locale's character set (the C locale counts as UTF-8) unless
// QUILLON_ANSI_CODEPAGE names another.
std::string LogCharset() {
  const char* forced = std::getenv("QUILLON_ANSI_CODEPAGE");
  if (forced != nullptr && std::atoi(forced) > 0) {
    return CharsetOfCodePage(std::atoi(forced));
  }
  const char* codeset = nl_langinfo(CODESET);
  std::string name = codeset != nullptr ? codeset : "";
  if (name.empty() || name == "ANSI_X3.4-1968" || name == "UTF-8") {
    return "UTF-8";
  }
  return name;
}

size_t Utf8Length(unsigned char lead) {
  return lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

// Converts between UTF-8 and the log character set. What the target cannot
// hold, and bytes the source does not define, become "?".
std::string Recode(const std::string& text, const std::string& to, const std::string& from) {
  if (to == from) {
    return text;
  }
  iconv_t cd = iconv_open(to.c_str(), from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    return text;
  }
  std::string out;
  std::string buffer(4 * text.size() + 16, '\0');
  char* in = const_cast<char*>(text.data());
  size_t in_left = text.size();
  while (in_left > 0) {
    char* out_ptr = buffer.data();
    size_t out_left = buffer.size();
    size_t result = iconv(cd, &in, &in_left, &out_ptr, &out_left);
    out.append(buffer.data(), buffer.size() - out_left);
    if (result == static_cast<size_t>(-1) && errno != E2BIG) {
      // One character (from UTF-8) or one byte (to UTF-8) that does not fit.
      size_t skip = from == "UTF-8" ? Utf8Length(static_cast<unsigned char>(*in)) : 1;
      skip = std::min(skip, in_left);
      in += skip;
      in_left -= skip;
      out += '?';
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  iconv_close(cd);
  return out;
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
  WriteLogFiles();
}

bool Logs::WriteLogFiles() {
  if (!create_log_file_ || log_folder_.empty()) {
    return true;
  }
  bool ok = true;
  std::string error;
  if (!batch_errors_.empty() && !WriteLineFile(ErrorLogFileName(), batch_errors_, error)) {
    CurrentPrompter().Error(TrFormat("Error, reason is %s", {error}));
    ok = false;
  }
  if (!WriteLineFile(DailyLogFileName(), daily_log_lines_, error)) {
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
  QString qpath = QString::fromStdString(path);
  QFileInfo info(qpath);
  // The state folder may not exist yet on a first start.
  QDir().mkpath(info.absolutePath());
  // Written beside and renamed over the old file, so a crash mid-write never
  // leaves half a log behind.
  QSaveFile file(qpath);
  if (!file.open(QIODevice::WriteOnly)) {
    error = file.errorString().toStdString();
    return false;
  }
  std::string content;
  for (const std::string& line : lines) {
    content += line;
    content += "\r\n";
  }
  content = Recode(content, LogCharset(), "UTF-8");
  if (file.write(content.data(), static_cast<qint64>(content.size())) !=
      static_cast<qint64>(content.size())) {
    error = file.errorString().toStdString();
    file.cancelWriting();
    return false;
  }
  if (!file.commit()) {
    error = file.errorString().toStdString();
    return false;
  }
  return true;
}

bool ReadLineFile(const std::string& path, std::vector<std::string>& lines) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return false;
  }
  std::string charset = LogCharset();
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    lines.push_back(Recode(line, "UTF-8", charset));
  }
  return true;
}

}  // namespace quillon
