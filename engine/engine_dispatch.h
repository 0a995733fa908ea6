#pragma once
// One conversion: a source document, a destination path, a destination
// format code and a request block become one text file through the word
// processor, or an error text.
//
// Format codes: "2", "3", "4", "5", "7" are handed to the word processor as
// its save format; "-3" saves in the source document's own character set.
//
// Thread: main thread only, one conversion at a time (the caller keeps a
// second one from starting while pending events run inside this one).
// Temporary files live in the work folder (TempWorkPath) and are removed by
// the call that made them on its success path; failure paths that end
// before the save stage completes leave them there.

#include <string>

namespace quillon::engine {

// Engine-wide: open documents with the "recover text from any file" format.
// The caller sets it from the "recovering text from any type" option before
// every conversion.
void SetRecoverAnyTypeFlag(bool on);
bool RecoverAnyTypeFlag();

// The entry point the callers use. A source or destination whose name holds
// "[" or "]" is converted through a copy of the source beside it named with
// "(" and ")" instead (the word processor's file names may not hold square
// brackets), into a destination named the same way. Only the file-name parts
// change; folders keep their names, since they exist as they are. The copy never replaces
// a file of the user's: when that name is taken (or is the destination) the
// copy is named "~N~" plus that name, N counting from 1 to a free name,
// and only a copy this call made is deleted afterwards, however the
// conversion ends. The copy has the source's permission bits. When no copy
// can be made (an unwritable folder, a name too long for "~N~"), the call
// fails with that reason and nothing is converted. While another program
// holds the source open for writing the copy waits for it, at most a minute.
//
// Returns true exactly when error_text (cleared first) is empty at the end.
// Automation errors while reading the version or removing protection, and a
// format code or "textdelimit=" value that is not a decimal integer, are
// thrown (AutomationError, std::invalid_argument); the caller takes their
// message as the error text.
bool ConvertDocument(const std::string& source, const std::string& destination,
                     const std::string& format_code, const std::string& request_block,
                     std::string& error_text);

// The file ConvertDocument writes for `destination`: the same path with the
// brackets of its name turned into parentheses.
std::string WrittenDestinationPath(const std::string& destination);

// The conversion itself, with paths used as given.
//
// Files: an existing destination that is not the source itself is deleted
// at the start of the save stage, and from there on a failure leaves no
// destination file; a failure before (missing destination folder, no word
// processor, opening fails) leaves it untouched. The source is never
// written unless the request block asks for "runpluginsave" or the
// destination is the source itself (however the two paths are spelled).
bool RunConversion(const std::string& source, const std::string& destination,
                   const std::string& format_code, const std::string& request_block,
                   std::string& error_text);

}  // namespace quillon::engine
