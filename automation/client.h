#pragma once
// The client side of out-of-process automation: the class registry, the
// running-object table, starting servers, and the proxy objects through which
// remote objects are called exactly like local ones.
//
// Running-object table: one Unix socket per class identifier in the user's
// runtime folder ($XDG_RUNTIME_DIR/quillon/, else /tmp/quillon-<uid>/). A
// server listening there is "running"; "attach" connects to it, "create"
// starts the registered program and waits until it answers.
//
// Connections: every object obtained from one server shares that server's
// connection; the connection closes when the last of them is released, and the
// server then frees every handle it kept for it.
//
// Calls are synchronous and carry a deadline. When it passes, the connection is
// dropped, a server this process started is killed with its process group, and
// the call throws AutomationError naming the time limit. Later calls on the
// dropped connection throw AutomationError at once.
//
// Thread: any thread; calls on one connection are serialised. Only the thread
// that installed the message pump runs it while waiting.

#include <sys/types.h>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "automation/variant.h"

namespace quillon::automation {

// --- Class registry -----------------------------------------------------------

// The program started to create an object of class_id. Registering an
// identifier again replaces the program; an empty program removes it.
void RegisterServer(const std::string& class_id, const std::string& program);

// The registered program, or nullopt. Until a program is registered for them,
// "Word.Application", "Word.Application.8", "Word.Application.9",
// "Word.Application.10" and "Word.Basic" name "quillon-engine" beside the
// running program, or in ../libexec/quillon/ from it when it is not beside it.
std::optional<std::string> RegisteredServer(const std::string& class_id);

// --- Running-object table -------------------------------------------------------

// The folder holding the servers' sockets, created (mode 0700) when missing.
// Empty when it cannot be made or is not private to this user.
std::string RuntimeFolder();

// The socket of class_id's running server inside RuntimeFolder() (characters
// outside [A-Za-z0-9._-] become "_"). Empty when RuntimeFolder() is.
std::string ServerSocketPath(const std::string& class_id);

// --- Time limits ------------------------------------------------------------------

struct ConnectionOptions {
  // Deadline of every call on the connection unless a CallTimeoutScope says
  // otherwise. Opening and saving large documents can take minutes.
  std::chrono::milliseconds call_timeout{std::chrono::minutes(5)};
  // How long "create" waits for a started server to answer, and "attach" for
  // a running one to greet.
  std::chrono::milliseconds start_timeout{std::chrono::seconds(30)};
};

// The options new connections get.
void SetDefaultConnectionOptions(const ConnectionOptions& options);
ConnectionOptions DefaultConnectionOptions();

// Overrides the deadline of calls made by this thread while it lives (nests;
// the innermost wins).
class CallTimeoutScope {
 public:
  explicit CallTimeoutScope(std::chrono::milliseconds timeout);
  ~CallTimeoutScope();
  CallTimeoutScope(const CallTimeoutScope&) = delete;
  CallTimeoutScope& operator=(const CallTimeoutScope&) = delete;

 private:
  std::optional<std::chrono::milliseconds> previous_;
};

// Sets the deadline of later calls on the connection behind object (a proxy
// from this module; ignored for local objects).
void SetCallTimeout(Object& object, std::chrono::milliseconds timeout);

// --- Waiting --------------------------------------------------------------------

// Runs pending events while a call from the installing thread waits (the
// engine installs one that calls QCoreApplication::processEvents). The pump is
// never entered twice at once: a call made from inside it waits without
// pumping. A call from inside the pump on a connection that is already waiting
// for its answer throws AutomationError (the call is rejected, not queued).
using MessagePump = std::function<void()>;
void SetMessagePump(MessagePump pump);  // empty: none

// --- Calls that do not wait ------------------------------------------------------
//
// A one-way call is queued and travels with the next call on its connection
// that waits for an answer (or when the connection closes); the server runs
// it before that call. Releases of proxies travel the same way. Its time
// counts against the deadline of that next call.

// Gets the object-valued property name without waiting: the proxy comes back
// at once. When the get fails or gives no object, every call on the proxy,
// and every call passing it as an argument, fails with the message the get
// would have thrown. For local objects: Get(name, args).AsObject().
ObjectPtr GetObjectWithoutWaiting(Object& object, std::string_view name, Args args = {});

// The same for a method returning an object.
ObjectPtr CallObjectWithoutWaiting(Object& object, std::string_view name, Args args = {});

// Puts a property without waiting; its failure is dropped. Only for puts
// whose failure the caller would ignore anyway.
void PutWithoutAnswer(Object& object, std::string_view name, Variant value, Args args = {});

// How many calls of this process waited for an answer from a server: the
// round trips made.
std::uint64_t WaitedCallCount();

// --- Getting objects ----------------------------------------------------------------

// Connects to the running server of class_id; nullptr when none answers.
ObjectPtr AttachAutomationObject(const std::string& class_id);

// Starts the registered program for class_id in its own process group, waits
// (bounded by start_timeout) until it answers and connects; the message pump
// runs meanwhile, as in a call. Throws
// AutomationError when no program is registered, it cannot be started, or it
// does not answer in time (it is then killed). When the started program
// ends because another server took the socket first, the result is attached
// to that server (StartedServerProcess is then 0).
ObjectPtr CreateAutomationObject(const std::string& class_id);

// Attach, else create; created is true only when this call started the
// server (a create that lost the race to another process's server attaches
// to that one, and created is false).
ObjectPtr GetOrCreateAutomationObject(const std::string& class_id, bool& created);

// True for objects reached through a connection (proxies).
bool IsRemoteObject(const Object& object);

// The process id of the server this process started for object's connection;
// 0 for attached servers and local objects.
pid_t StartedServerProcess(const Object& object);

// Starts program as a server for class_id in its own session and process
// group, without waiting for it and without registering it anywhere. Returns
// its process id (also its group id), or throws AutomationError. For starting
// a server that clients later attach to, as a user would start it.
pid_t StartServerProcess(const std::string& program, const std::string& class_id, bool embedding,
                         int ready_fd = -1);

}  // namespace quillon::automation
