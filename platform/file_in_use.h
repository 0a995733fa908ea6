#pragma once
// Asks the kernel whether another process has a file open for writing.
//
// The probe opens the file read-only and non-blocking and asks for a read
// lease, which the kernel grants only while no process has the file open for
// writing (or mapped); the lease is given back at once. Leases need the
// file's owner or CAP_LEASE and a local file system; elsewhere the probe says
// so and the caller decides by other means.
//
// While the lease is held (a few microseconds) a writer opening the file
// would make the kernel signal us with SIGIO, whose default action ends the
// process; the first probe therefore sets SIGIO to be ignored unless the
// program already handles it.
//
// Thread: any thread.

#include <string>

namespace quillon {

enum class LeaseProbe {
  kMissing,      // no such file
  kFree,         // nobody has it open for writing
  kInUse,        // another process writes it (or holds a lease on it)
  kUnsupported,  // leases refused here (not the owner, network or FUSE file system, ...)
};

LeaseProbe ProbeFileLease(const std::string& path);

}  // namespace quillon
