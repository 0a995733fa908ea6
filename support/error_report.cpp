#include "support/error_report.h"

#include <sys/utsname.h>

#include <QStandardPaths>
#include <QString>
#include <cstdio>
#include <fstream>

#include "platform/shell_open.h"
#include "util/text.h"
#include "util/translate.h"

namespace quillon {
namespace {

constexpr const char* kCrLf = "\r\n";

// PRETTY_NAME of os-release, without its quotes.
std::string DistributionName() {
  for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
      if (line.rfind("PRETTY_NAME=", 0) != 0) {
        continue;
      }
      std::string value = line.substr(12);
      if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
          value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
      }
      return value;
    }
  }
  return {};
}

}  // namespace

std::string OperatingSystemDescription() {
  std::string text = DistributionName();
  utsname names{};
  if (::uname(&names) == 0) {
    if (text.empty()) {
      text = names.sysname;
    }
    text += "\n(Build ";
    text += names.release;
    text += ")";
  }
  for (char& c : text) {
    if (c == '\n' || c == '\r') {
      c = ' ';
    }
  }
  return text;
}

std::string ErrorReportLink(const std::string& caption, const std::string& os_description,
                            std::optional<long> office_version,
                            const std::vector<std::string>& errors) {
  std::string link = std::string("mailto:") + kSupportAddress + "?Subject=";
  link += UrlEncode(Tr("Conversion Error, please help!"));
  link += "&Body=";
  link +=
      UrlEncode(Tr("Please fill in details of your error to send in for support.") + kCrLf + kCrLf);
  link += UrlEncode(Tr("Product Name : ") + caption + kCrLf);
  link += UrlEncode(Tr("OS : ") + os_description + kCrLf);
  if (office_version) {
    link += UrlEncode(Tr("Office Version : ") + std::to_string(*office_version) + kCrLf);
  }
  std::string lines = Tr("Error Logs : ") + kCrLf;
  for (const std::string& error : errors) {
    lines += error + kCrLf;
  }
  link += UrlEncode(lines);
  return link;
}

void SendErrorReport(const std::string& caption, std::optional<long> office_version,
                     const std::vector<std::string>& errors, bool command_line_run) {
  std::string link = ErrorReportLink(caption, OperatingSystemDescription(), office_version, errors);
  if (command_line_run) {
    std::fprintf(stderr, "%s\n", link.c_str());
    return;
  }
  QString composer = QStandardPaths::findExecutable("xdg-email");
  std::string program = composer.isEmpty() ? ShellOpenerProgram() : composer.toStdString();
  StartWithTimeLimit(program, link, kShellOpenTimeLimit, /*report_failure=*/false);
}

}  // namespace quillon
