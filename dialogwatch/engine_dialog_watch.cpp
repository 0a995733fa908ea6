#include "dialogwatch/engine_dialog_watch.h"

#include <exception>

#include "dialogwatch/accessibility_window_system.h"
#include "engine/word_calls.h"

namespace quillon::dialogwatch {
namespace {

// How long the program's end waits for watches still looking: one poll and
// one search are enough in practice.
constexpr std::uint32_t kEndWaitMs = 2000;

}  // namespace

EngineDialogWatch::EngineDialogWatch(WindowSystemFactory windows, std::shared_ptr<WatchClock> clock)
    : windows_(windows ? std::move(windows) : WindowSystemFactory(MakeAccessibilityWindowSystem)),
      clock_(std::move(clock)) {
  engine::SetDialogWatchHooks(
      [this](const engine::DialogWatchRequest& request) {
        if (current_)
          current_->Stop();
        current_ = TThreadSendKey::Create(windows_(), clock_);
        try {
          current_->StartWatch(request.window_program, request.window_title, request.owner_program,
                               request.owner_title, request.macro, request.time_limit_ms);
        } catch (const std::exception&) {
          // No thread to be had: the document still opens, unwatched.
          current_.reset();
        }
      },
      [this] {
        if (current_)
          current_->Stop();
        current_.reset();
      });
}

EngineDialogWatch::~EngineDialogWatch() {
  engine::SetDialogWatchHooks(nullptr, nullptr);
  if (current_)
    current_->Stop();
  current_.reset();
  EndAllSendKeyThreads(kEndWaitMs);
  AllowSendKeyThreads();
}

}  // namespace quillon::dialogwatch
