#pragma once
// How long one call to the word processor may take while a document is
// converted: a base time plus a share for every MiB of the source, so that
// a large document gets the time it needs and a hung word processor costs
// one file in a bounded time. When a call runs past it, the connection ends
// the server (the next conversion starts a fresh one) and the call fails
// with a message naming the limit.
//
// Engine-wide; the settings store sets it at start ("Engine Time Limit" and
// "Engine Time Limit Per MB" in set.ini, in seconds).
//
// Thread: set and read from the main thread.

#include <chrono>
#include <cstdint>

namespace quillon::engine {

struct CallTimeLimit {
  std::chrono::seconds base{60};
  std::chrono::seconds per_mebibyte{10};
};

// Values of zero or less keep the defaults above. Also becomes the deadline
// of every call outside a conversion (the "is it still there?" check).
void SetCallTimeLimit(const CallTimeLimit& limit);
CallTimeLimit GetCallTimeLimit();

// The limit for a source of `source_bytes`: base plus per_mebibyte for every
// whole MiB, at most kLongestCallTimeLimit unless base is longer itself.
std::chrono::milliseconds CallTimeLimitFor(std::int64_t source_bytes);

inline constexpr std::chrono::minutes kLongestCallTimeLimit{30};

}  // namespace quillon::engine
