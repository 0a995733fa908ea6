#pragma once
// SIGINT and SIGTERM during a command-line run: the run stops before its
// next file instead of dying in the middle of one.
//
// The handler only notes the signal. It is installed once the run holds the
// command-line lock (a run still waiting for its turn has converted nothing
// and may die at once), and each signal falls back to its default action
// after its first delivery, so a second Ctrl-C still ends a run that seems
// stuck. The handler stays until the process ends: a signal during the
// shut-down lets the logs be written all the same.
//
// Thread: main thread; InterruptSignal may be asked from anywhere.

namespace quillon {

// Installs the noting handler for SIGINT and SIGTERM and forgets any
// earlier signal.
void CatchInterruptSignals();

// The signal that asked the run to stop, or 0.
int InterruptSignal();

}  // namespace quillon
