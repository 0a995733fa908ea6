#pragma once
// Files written whole or not at all, and kept on disk.
//
// WriteFileWhole is the one way the program replaces a file: the bytes go to
// a new file beside the target (a name mkstemp makes unique, beginning with
// "~" so that folder listings of the program pass it by), are flushed to
// disk, and only then renamed over the target; the folder is flushed last.
// A file that did not exist before is renamed into place without the two
// flushes (there is no old content a crash could cost); SyncFileAndFolder
// makes it durable where that matters.
// Whatever fails, the old file stays as it was and no temporary file is
// left. A target that is a symbolic link is written where the link points
// (the link stays), and a file replaced in place keeps its permission bits
// and, where the caller may set them, its owner and group.
//
// Failures come back as false with the system's own text for the error
// ("No space left on device", "Permission denied", ...); callers put it into
// their own message.
//
// Thread: any thread; no state is kept.

#include <sys/types.h>

#include <string>
#include <string_view>

namespace quillon::fileio {

// The system's text for an errno value.
std::string ErrorText(int error_number);

// Replaces (or creates) `path` with `bytes`, as described above. A file that
// does not exist yet gets `new_file_mode` less the umask.
bool WriteFileWhole(const std::string& path, std::string_view bytes, std::string& error,
                    mode_t new_file_mode = 0666);

// For files that grow at their end, such as logs: where `path` is a regular
// file holding the beginning of `bytes`, only the rest is written after it
// and flushed; an append that fails is cut back, so the file keeps its old
// bytes. A file holding exactly `bytes` is left as it is. Anything else
// (no file yet, other bytes, a file that cannot be opened for writing) goes
// to WriteFileWhole.
bool ExtendFileOrWriteWhole(const std::string& path, std::string_view bytes, std::string& error);

// What tells a file's state apart cheaply: which file it is, its size and
// the time of its last change (to the nanosecond).
struct FileStamp {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = -1;
  long long modified_seconds = 0;
  long modified_nanoseconds = 0;
  bool operator==(const FileStamp&) const = default;
};

// The stamp of the file `path` names (links followed); false when it has none.
bool StampOf(const std::string& path, FileStamp& stamp);

enum class AppendResult { kAppended, kChanged, kFailed };

// For a writer that knows what it left in a file: where `path` is still the
// regular file of `expected`, `bytes` go after its end and are flushed, and
// `after` gets the new stamp (kAppended). A file that is gone or other than
// `expected` is not touched (kChanged): the caller writes it anew. A write
// that fails is cut back to the old end (kFailed, with the error's text).
AppendResult AppendToUnchangedFile(const std::string& path, const FileStamp& expected,
                                   std::string_view bytes, FileStamp& after, std::string& error);

// Reads the whole file. False with the error's text when it cannot be opened
// or read (`content` is then empty).
bool ReadWholeFile(const std::string& path, std::string& content, std::string& error);

// Flushes the file and the folder that holds its name to disk, so that a
// crash or power cut after this leaves the file in place with its bytes.
bool SyncFileAndFolder(const std::string& path, std::string& error);

// Creates `folder` and every missing folder above it (true when it exists
// afterwards). New folders get 0777 less the umask.
bool MakeFolders(const std::string& folder, std::string& error);

// The file a path finally names: symbolic links followed, up to 40 of them,
// relative ones from the folder of the link. The path itself when it is no
// link (or does not exist). False with ELOOP's text on a longer chain.
bool FinalLinkTarget(const std::string& path, std::string& target, std::string& error);

// The folder part of a path without its trailing "/" ("." for a bare name,
// "/" for a file in the root).
std::string FolderOf(const std::string& path);

}  // namespace quillon::fileio
