#include "engine/call_time_limit.h"

#include <algorithm>

#include "automation/client.h"

namespace quillon::engine {
namespace {

CallTimeLimit current_limit;

}  // namespace

void SetCallTimeLimit(const CallTimeLimit& limit) {
  const CallTimeLimit defaults;
  current_limit.base = limit.base.count() > 0 ? limit.base : defaults.base;
  current_limit.per_mebibyte =
      limit.per_mebibyte.count() > 0 ? limit.per_mebibyte : defaults.per_mebibyte;
  automation::ConnectionOptions options = automation::DefaultConnectionOptions();
  options.call_timeout = current_limit.base;
  automation::SetDefaultConnectionOptions(options);
}

CallTimeLimit GetCallTimeLimit() {
  return current_limit;
}

std::chrono::milliseconds CallTimeLimitFor(std::int64_t source_bytes) {
  constexpr std::int64_t kMebibyte = 1024 * 1024;
  const std::int64_t mebibytes = source_bytes <= 0 ? 0 : source_bytes / kMebibyte;
  const std::chrono::milliseconds longest =
      std::max<std::chrono::milliseconds>(kLongestCallTimeLimit, current_limit.base);
  // Counted in whole seconds first so that a huge size cannot overflow.
  const std::int64_t limit_seconds = std::min<std::int64_t>(
      current_limit.base.count() +
          std::min<std::int64_t>(mebibytes, 1 << 20) * current_limit.per_mebibyte.count(),
      std::chrono::duration_cast<std::chrono::seconds>(longest).count());
  return std::chrono::seconds(limit_seconds);
}

}  // namespace quillon::engine
