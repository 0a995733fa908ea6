#pragma once
// What the watch tests share: one application object for the event loop,
// and a bounded wait that lets events run.

#include <QCoreApplication>
#include <chrono>
#include <functional>
#include <thread>

namespace quillon::testing {

inline void EnsureApplication() {
  if (QCoreApplication::instance() == nullptr) {
    static int argc = 1;
    static char name[] = "watch_test";
    static char* argv[] = {name, nullptr};
    new QCoreApplication(argc, argv);  // lives until the test program ends
  }
}

// Lets events run until `done` holds or `limit` has passed; the result of
// `done` at the end.
inline bool RunEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  auto until = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= until) {
      return done();
    }
    QCoreApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// Lets events run for `period`.
inline void RunEventsFor(std::chrono::milliseconds period) {
  RunEventsUntil([] { return false; }, period);
}

}  // namespace quillon::testing
