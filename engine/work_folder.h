#pragma once
// The conversion work folder: where the engine keeps the temporary files of
// one conversion (the RTF of a re-opened .doc, the HTML of a pre-converted
// table or sheet). Created on demand, never emptied by the program.
//
// Thread: any; the folder is created with mkdir, which is atomic.

#include <string>

namespace quillon::engine {

// The user's temporary folder with a trailing "/" (TempFolder), or "/tmp/"
// when that is not an existing folder.
std::string TemporaryFolder();

// The work folder with a trailing "/", created (with missing parents) when
// absent: the temporary folder plus "~Quillon/". The temporary folder is
// usually shared by every user of the machine, so a "~Quillon" that is not
// a real folder of our own (another user's, or a symbolic link) is passed
// over for "~Quillon-<uid>/", never written into.
std::string WorkFolder();

// The work folder followed by the file-name part of `path`.
std::string TempWorkPath(const std::string& path);

// `path` with the extension of its file-name part replaced by `extension`
// (which carries its dot); a name without one gets it appended.
std::string ChangeFileExt(const std::string& path, const std::string& extension);

// The extension of the file-name part, with its dot, or empty.
std::string FileExtPart(const std::string& path);

}  // namespace quillon::engine
