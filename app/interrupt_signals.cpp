#include "app/interrupt_signals.h"

#include <csignal>
#include <initializer_list>

namespace quillon {
namespace {

volatile std::sig_atomic_t noted_signal = 0;

void NoteSignal(int signal) {
  noted_signal = signal;
}

}  // namespace

void CatchInterruptSignals() {
  noted_signal = 0;
  struct sigaction action {};
  action.sa_handler = NoteSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  for (int signal : {SIGINT, SIGTERM}) {
    ::sigaction(signal, &action, nullptr);
  }
}

int InterruptSignal() {
  return noted_signal;
}

}  // namespace quillon
