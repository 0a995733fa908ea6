#pragma once
// File and folder helpers. None of them raises an error for a missing file:
// failures show in the result, and where a message is due it goes through
// CurrentPrompter().
//
// Thread: any thread, except that the ones that report through the prompter
// (ReadFileSkippingBom, FileTimeText) belong on the main thread.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace quillon {

enum class ByteOrderMark { kNone, kUtf16LittleEndian, kUtf16BigEndian, kUtf8 };

// Reads the whole file, leaving out a leading byte-order mark (FF FE,
// FE FF or EF BB BF); the rest comes back byte for byte, unconverted. When
// the file cannot be opened or read, the error's message is shown (OK
// button, default caption) and the result is false; `content` is then empty.
// `mark` (may be null) receives the mark found.
bool ReadFileSkippingBom(const std::string& path, std::string& content,
                         ByteOrderMark* mark = nullptr);

// True when another program has the file open for writing: asked of the
// kernel through a lease probe; where leases are refused (not the file's
// owner, network or FUSE file systems) a file modified within the last 2
// seconds counts as in use. False when the path does not exist.
bool IsFileLocked(const std::string& path);

// Copies `source` over `destination`. While the source is in use by another
// program (IsFileLocked) it waits `poll` and tries again, until
// `application_closing` (may be empty) says the program is closing: then it
// gives up without copying. False on any failure or give-up; `error` (may be
// null) then says why. Blocks the calling thread while it waits.
bool CopyFileWhenFree(const std::string& source, const std::string& destination,
                      const std::function<bool()>& application_closing = {},
                      std::string* error = nullptr,
                      std::chrono::milliseconds poll = std::chrono::milliseconds(1000));

// The size in bytes of a regular file; 0 when it cannot be opened or is not
// a regular file. Sizes beyond 2 GiB come back whole.
std::int64_t FileSizeOf(const std::string& path);

// The last-write time in local time, in the user's locale: the short date,
// two spaces, the time without seconds ("06/04/21  13:45" in the C locale).
// When the time cannot be read, the error's message is shown and the result
// is empty.
std::string FileTimeText(const std::string& path);

// The type name a file manager shows for the path, at most 80 characters.
std::string ShellTypeName(const std::string& path);

// The user's folder for temporary files with a trailing "/" ($TMPDIR, else
// /tmp); empty when it is not an existing folder.
std::string TempFolder();

}  // namespace quillon
