#pragma once
// Whether another program still has a file open for writing, and the wait
// until it is done with it.
//
// The kernel is asked through a lease probe: the file is opened read-only
// and non-blocking and a read lease is asked for, which the kernel grants
// only while no process has the file open for writing (or mapped); the lease
// is given back at once. Leases need the file's owner or CAP_LEASE and a
// local file system; where they are refused, a file modified within the last
// 2 seconds counts as in use.
//
// While the lease is held (a few microseconds) a writer opening the file
// would make the kernel signal us with SIGIO, whose default action ends the
// process; the first probe therefore sets SIGIO to be ignored unless the
// program already handles it.
//
// Thread: any thread.

#include <chrono>
#include <functional>
#include <string>

namespace quillon::fileio {

enum class LeaseProbe {
  kMissing,      // no such file
  kFree,         // nobody has it open for writing
  kInUse,        // another process writes it (or holds a lease on it)
  kUnsupported,  // leases refused here (not the owner, network or FUSE file system, ...)
};

LeaseProbe ProbeFileLease(const std::string& path);

// True when another program has the file open for writing, as described
// above. False when the path does not exist.
bool IsFileInUse(const std::string& path);

enum class WaitOutcome {
  kFree,      // the file is no longer in use (or is gone)
  kTimedOut,  // still in use when the limit passed
  kGaveUp,    // `between` asked to stop waiting
};

struct InUseWait {
  // How long to wait at most, and how long to sleep between two looks.
  std::chrono::milliseconds limit{299999};
  std::chrono::milliseconds poll{50};
  // The question asked; IsFileInUse when empty.
  std::function<bool(const std::string&)> in_use;
  // Runs between two looks (a window's event pump, say); false ends the
  // wait at once. May be empty.
  std::function<bool()> between;
};

// Waits while the file is in use, as `wait` says.
WaitOutcome WaitWhileInUse(const std::string& path, const InUseWait& wait);

}  // namespace quillon::fileio
