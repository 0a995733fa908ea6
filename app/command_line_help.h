#pragma once
// "--help", "-h" and "--version": answered on standard output before the
// program does anything else (no lock, no settings, no logs), exit code 0.
// "/?" is not one of them: it opens the help page as it always has.
//
// Thread: main thread (the texts are translated).

#include <string>
#include <vector>

#include "jobs/destination_formats.h"

namespace quillon {

enum class InformationRequest { kNone, kHelp, kVersion };

// The first of "--help", "-h" and "--version" among `args` (names ignore
// case, as every option name does), or kNone.
InformationRequest FindInformationRequest(const std::vector<std::string>& args);

// The usage text: the synopsis, every option of the command line with one
// line each, the destination format codes of `formats`, the exit-code rule
// and where set.ini and the logs live on this machine. Ends with a line end.
std::string UsageText(const DestinationFormatTable& formats);

// "Quillon 4.0 Build210604" and a line end.
std::string VersionText();

// Prints the answer to `request` on standard output; false when there is
// none (kNone).
bool AnswerInformationRequest(InformationRequest request);

}  // namespace quillon
