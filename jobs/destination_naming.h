#pragma once
// Where a conversion's result goes and what it is called.
//
// A DestinationText (the "Convert to" text of manual and watch rows) is a
// folder choice, optionally followed by the marker "[Specified File]" and a
// file-name pattern (jobs/file_name_pattern.h). The folder choice is the
// marker "Same File Path", a folder, or the marker "[With Same File Tree]"
// directly followed by a folder. The markers are interface texts: they are
// looked up in the current language each time a text is composed or read,
// so a text is read back under the language it was composed in.
//
// Paths use "/". A folder that does not begin with "/" is relative to the
// current folder. Path comparisons are exact (letter case counts).
//
// Thread: main thread (BuildDestinationPath may show a message box).

#include <string>
#include <string_view>

#include "util/text.h"

namespace quillon {

// The markers in the current interface language.
std::string SameFilePathMarker();   // "Same File Path"
std::string SameFileTreeMarker();   // "[With Same File Tree]"
std::string SpecifiedFileMarker();  // "[Specified File]"

// The parts of a destination text, as the destination dialogs show them.
struct DestinationChoice {
  enum class Folder {
    kSameFilePath,  // beside each source file
    kFolder,        // into `folder`
    kSameFileTree,  // into `folder`, keeping the source's sub-folders
  };
  Folder kind = Folder::kSameFilePath;
  std::string folder;   // unused for kSameFilePath
  std::string pattern;  // file-name pattern; empty for none
};

// The destination text of a dialog's choices. The pattern loses its leading
// blanks and is only appended when it is then neither empty nor "*". An
// empty folder gives an empty folder choice (for kSameFileTree: the marker
// alone); the dialogs reject those.
std::string ComposeDestinationText(const DestinationChoice& choice);

// The destination text of the "Set Destination File Path" dialog: "Same File
// Path" or the folder field's text, then the pattern as above.
std::string ComposeDestinationText(bool same_file_path, std::string_view folder,
                                   std::string_view pattern);

// The two halves of a destination text: everything before the first
// "[Specified File]" and everything after it (empty when the marker is
// absent).
struct DestinationTextParts {
  std::string folder_choice;
  std::string pattern;
};
DestinationTextParts SplitDestinationText(std::string_view text);

// A destination text read back into the dialogs' choices: the folder choice
// is "Same File Path" when it equals that marker exactly, the same-tree
// choice when it holds the same-tree marker (the folder is what follows the
// marker), else a plain folder.
DestinationChoice ParseDestinationText(std::string_view text);

// The destination file of `source`:
// - "Same File Path": the source path with its extension replaced;
// - a folder: that folder, then, when `tree_root` is given, the source's
//   folder below the tree root, then the source name with the new extension;
// - with a pattern: the file name becomes the pattern formatted for
//   CurrentClock().Now(), with "\" turned into "/" and every "*" into the
//   source name without its extension, followed by `extension`.
// Every missing folder of the result is created (a folder that cannot be
// created is left for the conversion to fail on). Empty when the folder
// choice is empty, and, after the message "Error, can not get same file
// tree!" through the prompter, when the source does not lie below
// `tree_root`. `extension` carries its leading dot.
std::string BuildDestinationPath(const std::string& source, const std::string& destination_text,
                                 const std::string& tree_root, const std::string& extension);

// Path pieces used by naming (FolderPart and NamePart come from
// util/text.h). `path` with the extension of its name replaced by `extension` (appended
// when the name has none). A leading dot does not start an extension, so
// ".profile" keeps its name.
std::string ReplaceExtension(std::string_view path, std::string_view extension);
// The name part without its extension.
std::string NameWithoutExtension(std::string_view path);

}  // namespace quillon
