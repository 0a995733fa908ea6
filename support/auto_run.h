#pragma once
// "Auto Run At System Startup": the XDG autostart entry
// ~/.config/autostart/Quillon.desktop (under $XDG_CONFIG_HOME when set, and
// under $QUILLON_HOME when that is set),
// whose Exec starts this program as a tray start ("/min"). On writes the
// entry whole with the program's current path; off removes it.
//
// Thread: any.

#include <stdexcept>
#include <string>

namespace quillon {

// Thrown when the entry cannot be written; the text is the message to show.
class AutoRunError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The path of the entry.
std::string AutoRunEntryPath();

// The entry's text for the program at `program` (an absolute path). Throws
// AutoRunError for a path the entry cannot name (a line break in it).
std::string AutoRunEntryText(const std::string& program);

// Writes (on) or removes (off) the entry. Removing an entry that does not
// exist does nothing. Throws AutoRunError when the folder cannot be made
// or the entry cannot be written.
void ApplyAutoRunEntry(bool on, const std::string& program);

}  // namespace quillon
