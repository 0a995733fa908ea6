#pragma once
// The parameters of a command-line run, read into what the run converts.
//
// Grammar (one argument each; option names ignore case, values keep the
// case they were typed in; tested in this order, the first match decides):
//   /f:code   destination format by its code (empty: the first format)
//   /t:n      source text delimiter index; outside 0-6 selects none
//   /ef:path  exclude words read from a file (after all parameters)
//   /e:words  exclude words, separated by ";"
//   /d:folder destination folder (relative: to the current folder)
//   /dfn:pat  destination file-name pattern
//   /s        sub-folders too          /h  the window stays hidden (always)
//   /plugin   run the plug-in macros   /pluginsave  ... and save the source
//   /p:pw     open password            /sr:n  the n-th sheet
//   /prf:n    first page               /prt:n last page
//   /?        open the help page instead of converting
//   --report=file  write the run report (JSON Lines) to that file
//   anything else: the source, a folder part and a mask (the last counts).
// "/min" and "-Embedding" choose how the program starts and are no source;
// "--help", "-h" and "--version" are answered before any run (see
// command_line_help.h). An argument that begins with "/", holds no other
// "/" and names no existing path is an unknown option, never a source, and
// so is one that begins with "-" and names no existing path.
//
// Two mistakes end the run before the remaining parameters are read: a
// "/f:" code that is no format, and a "/t:" value that is no integer. A
// "/sr:", "/prf:" or "/prt:" value that is no integer ends it the same way,
// and so does "--report=" without a file name.
// Unknown options are all reported, and the run then converts nothing.
//
// Thread: any; no state.

#include <string>
#include <vector>

#include "engine/conversion_options.h"
#include "jobs/destination_formats.h"

namespace quillon {

struct CommandLineRequest {
  // The options as the run starts (the window's controls as set.ini left
  // them), changed by the parameters.
  int format_index = 0;
  engine::ConversionOptions options;

  std::string source_folder;  // with a trailing "/"
  std::string mask;           // masks separated by ";"
  bool sub_folders = false;
  std::string exclude_words;
  std::string exclude_file;  // "/ef:" path; empty when not given
  bool exclude_file_given = false;
  std::string destination_folder;  // the "Same File Path" marker by default
  std::string file_name_pattern;
  bool show_help = false;
  std::string report_path;  // "--report=" file; empty when not given

  // The error messages that ended the run early (empty: go on).
  std::vector<std::string> errors;
  bool ended_early() const { return !errors.empty(); }

  // The "Convert to" text of the run's one row: the destination folder,
  // then "[Specified File]" and the pattern when one was given.
  std::string DestinationText() const;
};

// Reads `args` (the parameters after the program name). `formats` is the
// destination format table; `start` holds the format index and options
// selected at start; `current_folder` is where relative sources lie.
CommandLineRequest ParseCommandLine(const std::vector<std::string>& args,
                                    const DestinationFormatTable& formats,
                                    const CommandLineRequest& start,
                                    const std::string& current_folder);

// The source argument's folder (with a trailing "/", relative ones put
// after `current_folder`) and mask ("*.doc" when the name part has no ".").
void SplitSourceArgument(const std::string& argument, const std::string& current_folder,
                         std::string& folder, std::string& mask);

// Reads an integer option value: optional sign and decimal digits, or "0x"
// and hexadecimal digits. False when the text is no such number.
bool ParseOptionInteger(const std::string& text, int& value);

}  // namespace quillon
