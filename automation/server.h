#pragma once
// The server side of out-of-process automation: a program that serves one
// root object under a class identifier, for any number of clients.
//
// The program's main() hands over to AutomationServerMain when it was started
// as a server (IsAutomationServerInvocation). The runtime parses the flags the
// client passes when it starts the program
//   --automation-server --class ID --socket PATH [--ready-fd N] [--embedding]
// binds PATH (replacing a stale socket file, refusing when a live server
// already answers there), asks make_root(ID) once for the root object, and then
// serves calls until a client calls "Quit" on the root object.
//
// Contract for the objects served:
// - Calls run one at a time on the thread that called AutomationServerMain,
//   in the order they arrive, whichever client sent them.
// - Every object returned in a Variant becomes a handle of the calling client;
//   the runtime drops its reference when that client releases the handle or
//   disconnects. Objects passed back as arguments arrive as the same ObjectPtr.
// - A call that throws (AutomationError or any std::exception) fails alone:
//   its message goes back to the caller as the error; the server keeps running.
// - "Quit" (method, any letter case) on the root object is first passed to the
//   root (errors ignored), then answered, and then AutomationServerMain returns 0.
// - A server started with --embedding (by a client's "create") also ends when
//   its last client has disconnected, as an automation server started for a
//   client does; one started by hand stays until "Quit" or a signal.
// - A client that disconnects in the middle of a call costs that call's answer
//   only.

#include <functional>
#include <memory>
#include <string>

#include "automation/variant.h"

namespace quillon::automation {

using RootFactory = std::function<std::shared_ptr<Object>(const std::string& class_id)>;

// True when the command line asks for server mode ("--automation-server").
bool IsAutomationServerInvocation(int argc, char** argv);

// Runs the server until "Quit". Returns the process exit code: 0 after "Quit"
// or when the last client of an embedded server left, 2 for bad flags, 3 when
// the socket cannot be bound (another live server holds it, or the folder is
// unusable), 4 when make_root fails or returns null. Messages go to stderr.
int AutomationServerMain(int argc, char** argv, RootFactory make_root);

}  // namespace quillon::automation
