#include "app/command_line_help.h"

#include <cstdio>

#include "platform/folders.h"
#include "util/text.h"
#include "util/translate.h"

namespace quillon {
namespace {

struct OptionLine {
  const char* option;
  const char* meaning;  // English, translated when shown
};

// One line per option, in the order the command line tests them.
const OptionLine kOptionLines[] = {
    {"/f:CODE", TrNoop("destination format, by its code (see below)")},
    {"/t:N", TrNoop("source text delimiter, 0 to 6")},
    {"/ef:FILE", TrNoop("exclude words read from FILE (one a line or separated by \";\")")},
    {"/e:WORDS", TrNoop("skip files whose path holds one of WORDS (separated by \";\")")},
    {"/d:FOLDER", TrNoop("put the text files into FOLDER (default: beside each source)")},
    {"/dfn:PATTERN", TrNoop("name the text files by PATTERN (\"*\" the source's name, yyyymmdd...)")},
    {"/s", TrNoop("convert the files of sub-folders as well")},
    {"/h", TrNoop("keep the window hidden (it always is in a command-line run)")},
    {"/plugin", TrNoop("run the plug-in macros (plugin.bas) with each conversion")},
    {"/pluginsave", TrNoop("run them and save what they changed to the source")},
    {"/p:PASSWORD", TrNoop("password for opening the source documents")},
    {"/sr:N", TrNoop("convert sheet N of a workbook only")},
    {"/prf:N", TrNoop("convert from page N on")},
    {"/prt:N", TrNoop("convert up to page N")},
    {"/?", TrNoop("open the help page instead of converting")},
    {"--report=FILE", TrNoop("write a report of the run to FILE (JSON Lines)")},
    {"-h, --help", TrNoop("show this text and exit")},
    {"--version", TrNoop("show the version and exit")},
    {"/min", TrNoop("start in the notification area (without a display: watch folders)")},
};

std::string Padded(const std::string& text, size_t width) {
  return text.size() >= width ? text + "  " : text + std::string(width - text.size(), ' ');
}

}  // namespace

InformationRequest FindInformationRequest(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    std::string lower = LowerAscii(arg);
    if (lower == "--help" || lower == "-h") {
      return InformationRequest::kHelp;
    }
    if (lower == "--version") {
      return InformationRequest::kVersion;
    }
  }
  return InformationRequest::kNone;
}

std::string UsageText(const DestinationFormatTable& formats) {
  std::string text;
  auto line = [&text](const std::string& content) { text += content + "\n"; };
  line(Tr("Usage: quillon [OPTION]... SOURCE"));
  line(Tr("Converts the documents that SOURCE names into text files, without a window."));
  line(Tr("SOURCE is a folder part and a mask: \"docs/\" means docs/*.doc, \"docs/*.rtf;*.docx\""));
  line(Tr(
      "several masks, \"docs/a.rtf\" one file; a name without \".\" means *.doc in its folder."));
  line("");
  line(Tr("Options (their names ignore case, their values are taken as typed):"));
  for (const OptionLine& option : kOptionLines) {
    line("  " + Padded(option.option, 15) + Tr(option.meaning));
  }
  line("");
  line(Tr("Destination formats (/f:):"));
  for (int i = 0; i < formats.Size(); ++i) {
    line("  " + Padded(formats.Code(i), 5) + Tr(formats.Entries()[static_cast<size_t>(i)].name));
  }
  line("");
  line(Tr("Errors and a closing summary go to standard error, a progress line too when it is a"));
  line(Tr("terminal. SIGINT or SIGTERM stops the run before its next file."));
  line(Tr("Exit status: the number of errors of the run (0: all converted), at most 255."));
  line(TrFormat("Settings: %s", {ConfigFolder() + "set.ini"}));
  line(TrFormat("Logs: %s (the day of the month) and %s",
                {LogFolder() + "DD.log", LogFolder() + "error.log"}));
  return text;
}

std::string VersionText() {
  return std::string(QUILLON_VERSION_TEXT) + "\n";
}

bool AnswerInformationRequest(InformationRequest request) {
  std::string text;
  if (request == InformationRequest::kHelp) {
    DestinationFormatTable formats;
    formats.Fill();
    text = UsageText(formats);
  } else if (request == InformationRequest::kVersion) {
    text = VersionText();
  } else {
    return false;
  }
  std::fputs(text.c_str(), stdout);
  std::fflush(stdout);
  return true;
}

}  // namespace quillon
