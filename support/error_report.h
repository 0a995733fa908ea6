#pragma once
// The error report by e-mail: a "mailto:" link to the support address with
// a subject and a body that describe the installation and carry the
// current error list. It is handed to the desktop's mail composer
// (xdg-email, else xdg-open) under a time limit; nothing is sent without
// the user. In a command-line run the link goes to standard error instead.
//
// Thread: main thread, with a running event loop (the composer is watched
// from it).

#include <optional>
#include <string>
#include <vector>

namespace quillon {

inline constexpr const char* kSupportAddress = "support@quillon.example.org";

// The system's description on one line: the distribution's name, then
// "(Build " and the kernel release ")"; line feeds become blanks.
std::string OperatingSystemDescription();

// The whole link. `office_version` is the word processor's "Version" when
// it answered with a whole number; without one its line is left out.
std::string ErrorReportLink(const std::string& caption, const std::string& os_description,
                            std::optional<long> office_version,
                            const std::vector<std::string>& errors);

// Builds the link and hands it to the mail composer, or writes it to
// standard error when `command_line_run`. The composer's outcome is not
// checked: a missing or failing composer is silent.
void SendErrorReport(const std::string& caption, std::optional<long> office_version,
                     const std::vector<std::string>& errors, bool command_line_run);

}  // namespace quillon
