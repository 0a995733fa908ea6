#include "automation/client.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "automation/protocol.h"
#include "fileio/unique_fd.h"

extern char** environ;

namespace quillon::automation {
namespace {

using Clock = std::chrono::steady_clock;
using protocol::MessageType;

// ---------------------------------------------------------------------------
// Registry

std::mutex& RegistryMutex() {
  static std::mutex mutex;
  return mutex;
}

std::string ProgramFolder() {
  char buffer[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  if (n <= 0)
    return ".";
  std::string path(buffer, static_cast<std::size_t>(n));
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
}

// The built-in engine server lies beside the running program (the build
// tree, a copied program folder), or in ../libexec/quillon when installed; the
// same rule as the helper programs of platform/ (no dependency on it here).
std::string EngineProgram() {
  const std::string folder = ProgramFolder();
  const std::string beside = folder + "/quillon-engine";
  struct stat info {};
  if (::stat(beside.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
    return beside;
  }
  const std::size_t slash = folder.rfind('/');
  const std::string parent =
      slash == std::string::npos || slash == 0 ? "" : folder.substr(0, slash);
  return parent + "/libexec/quillon/quillon-engine";
}

std::map<std::string, std::string>& Registry() {
  static std::map<std::string, std::string> registry = [] {
    std::map<std::string, std::string> built_in;
    const std::string engine = EngineProgram();
    for (const char* id : {"Word.Application", "Word.Application.8", "Word.Application.9",
                           "Word.Application.10", "Word.Basic"}) {
      built_in[id] = engine;
    }
    return built_in;
  }();
  return registry;
}

// ---------------------------------------------------------------------------
// Options, pump

std::mutex& OptionsMutex() {
  static std::mutex mutex;
  return mutex;
}
ConnectionOptions& DefaultOptions() {
  static ConnectionOptions options;
  return options;
}

thread_local std::optional<std::chrono::milliseconds> tls_call_timeout;

std::mutex& PumpMutex() {
  static std::mutex mutex;
  return mutex;
}
MessagePump& Pump() {
  static MessagePump pump;
  return pump;
}
std::thread::id& PumpThread() {
  static std::thread::id id;
  return id;
}
// Only the pump thread reads or writes these.
bool pump_running = false;
Clock::time_point last_pump{};

// How long a waiting call lets pass without running the pump. Counted from
// the last pump, not from the start of each call: a conversion is a run of
// many short calls, none of which alone lasts a slice.
constexpr std::chrono::milliseconds kPumpSlice(10);

// Runs the pump when this thread installed it and is not already inside it.
// Returns whether it ran.
bool RunPumpOnce() {
  MessagePump pump;
  {
    std::lock_guard<std::mutex> lock(PumpMutex());
    if (!Pump() || PumpThread() != std::this_thread::get_id())
      return false;
    pump = Pump();
  }
  if (pump_running)
    return false;
  pump_running = true;
  try {
    pump();
  } catch (...) {
    // An event handler's failure is not the call's failure.
  }
  pump_running = false;
  last_pump = Clock::now();
  return true;
}

bool PumpAvailable() {
  std::lock_guard<std::mutex> lock(PumpMutex());
  return Pump() && PumpThread() == std::this_thread::get_id() && !pump_running;
}

// Runs the pump when the slice has passed since it last ran.
void PumpWhenDue() {
  if (Clock::now() - last_pump >= kPumpSlice)
    RunPumpOnce();
}

// Waits for `fd` to become readable until `deadline`, running the pump every
// slice when this thread may. Returns poll's answer for the last wait (0 when
// the deadline passed).
int WaitReadable(int fd, Clock::time_point deadline, bool pump) {
  while (true) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() < 0)
      return 0;
    const bool may_pump = pump && PumpAvailable();
    long long wait = left.count() + 1;
    if (may_pump) {
      PumpWhenDue();
      const auto until_due = std::chrono::duration_cast<std::chrono::milliseconds>(
          last_pump + kPumpSlice - Clock::now());
      wait = std::min<long long>(wait, std::max<long long>(until_due.count(), 1));
    }
    pollfd p{fd, POLLIN, 0};
    const int ready = poll(&p, 1, static_cast<int>(std::min<long long>(wait, INT_MAX)));
    if (ready != 0 || !may_pump)
      return ready;
  }
}

std::string DescribeLimit(std::chrono::milliseconds limit) {
  const long long ms = limit.count();
  if (ms % 60000 == 0 && ms > 0) {
    const long long m = ms / 60000;
    return std::to_string(m) + (m == 1 ? " minute" : " minutes");
  }
  if (ms % 1000 == 0) {
    const long long s = ms / 1000;
    return std::to_string(s) + (s == 1 ? " second" : " seconds");
  }
  return std::to_string(ms) + " milliseconds";
}

// ---------------------------------------------------------------------------
// Sockets

int ConnectSocket(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof(address.sun_path))
    return -1;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0)
    return -1;
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
    close(fd);
    return -1;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  return fd;
}

enum class IoResult { kDone, kTimeout, kClosed };

// Sends all of data before the deadline. Never pumps: writes are short.
IoResult SendAll(int fd, std::string_view data, Clock::time_point deadline) {
  while (!data.empty()) {
    const ssize_t n = send(fd, data.data(), data.size(), MSG_NOSIGNAL);
    if (n > 0) {
      data.remove_prefix(static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0)
        return IoResult::kTimeout;
      pollfd p{fd, POLLOUT, 0};
      poll(&p, 1, static_cast<int>(std::min<long long>(left.count() + 1, INT_MAX)));
      continue;
    }
    return IoResult::kClosed;
  }
  return IoResult::kDone;
}

// Reads until buffer holds a complete frame (moved into payload), the peer
// closes, or the deadline passes. Runs the message pump between short waits
// when allowed.
IoResult ReceiveFrame(int fd, std::string& buffer, std::string& payload, Clock::time_point deadline,
                      bool pump) {
  while (true) {
    if (protocol::TakeFrame(buffer, payload))
      return IoResult::kDone;
    // Waiting first: right after a request the answer is rarely there yet,
    // and a read that fails would cost a system call per round trip.
    const int ready = WaitReadable(fd, deadline, pump);
    if (ready < 0 && errno != EINTR)
      return IoResult::kClosed;
    if (ready == 0)
      return IoResult::kTimeout;
    if (ready < 0)
      continue;
    char chunk[65536];
    const ssize_t n = recv(fd, chunk, sizeof(chunk), MSG_DONTWAIT);
    if (n > 0) {
      buffer.append(chunk, static_cast<std::size_t>(n));
    } else if (n == 0) {
      return IoResult::kClosed;
    } else if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
      return IoResult::kClosed;
    }
  }
}

class Connection;

class RemoteObject final : public Object {
 public:
  RemoteObject(std::shared_ptr<Connection> connection, std::uint32_t handle)
      : connection_(std::move(connection)), handle_(handle) {}
  ~RemoteObject() override;
  Variant Invoke(CallKind kind, std::string_view name, const Args& args) override;

  Connection& connection() const { return *connection_; }
  std::uint32_t handle() const { return handle_; }

 private:
  std::shared_ptr<Connection> connection_;
  std::uint32_t handle_;
};

std::atomic<std::uint64_t> waited_calls{0};

// Writes a call's target, kind, name and arguments.
void WriteCall(protocol::Writer& out, std::uint32_t handle, CallKind kind, std::string_view name,
               const Args& args, const std::function<std::uint32_t(const ObjectPtr&)>& to_handle) {
  out.U32(handle);
  out.U8(static_cast<std::uint8_t>(kind));
  out.Text(name);
  out.U32(static_cast<std::uint32_t>(args.positional.size()));
  for (const Variant& v : args.positional)
    out.Value(v, to_handle);
  out.U32(static_cast<std::uint32_t>(args.named.size()));
  for (const NamedArg& arg : args.named) {
    out.Text(arg.name);
    out.Value(arg.value, to_handle);
  }
}

class Connection : public std::enable_shared_from_this<Connection> {
 public:
  Connection(int fd, pid_t started, std::chrono::milliseconds call_timeout)
      : fd_(fd), started_(started), call_timeout_ms_(call_timeout.count()) {}
  ~Connection() {
    if (fd_ < 0)
      return;
    // One-way calls still waiting for a call to ride along with go now; the
    // releases among them are moot, the server frees everything when the
    // connection closes.
    const std::string frames = TakeOutbox();
    if (!frames.empty())
      SendAll(fd_, frames, Clock::now() + std::chrono::seconds(1));
    close(fd_);
  }

  pid_t started() const { return started_; }
  void set_call_timeout(std::chrono::milliseconds t) { call_timeout_ms_ = t.count(); }

  Variant Call(std::uint32_t handle, CallKind kind, std::string_view name, const Args& args) {
    std::unique_lock<std::recursive_mutex> lock(mutex_);
    if (waiting_) {
      // Only the waiting thread itself gets here (the pump ran an event handler
      // that calls out again); its answer would arrive behind the one awaited.
      throw AutomationError("The call to \"" + std::string(name) +
                            "\" was rejected: the automation server is busy with another call");
    }
    if (dead_)
      throw AutomationError(dead_reason_);
    const std::chrono::milliseconds limit =
        tls_call_timeout ? *tls_call_timeout : std::chrono::milliseconds(call_timeout_ms_.load());
    const Clock::time_point deadline = Clock::now() + limit;

    const std::uint32_t call_id = ++next_call_id_;
    protocol::Writer call(MessageType::kCall);
    call.U32(call_id);
    WriteCall(call, handle, kind, name, args,
              [this](const ObjectPtr& object) { return HandleOf(object); });
    // What waited in the outbox goes first, in the order it was queued.
    std::string frames = TakeOutbox();
    frames += call.Finish();

    IoResult io = SendAll(fd_, frames, deadline);
    std::string payload;
    if (io == IoResult::kDone) {
      ++waited_calls;
      waiting_ = true;
      try {
        while (true) {
          io = ReceiveFrame(fd_, buffer_, payload, deadline, true);
          if (io != IoResult::kDone)
            break;
          protocol::Reader reader(payload);
          const MessageType type = reader.Type();
          if ((type != MessageType::kResult && type != MessageType::kFailure) ||
              reader.U32() != call_id) {
            throw protocol::ProtocolError("unexpected answer");
          }
          waiting_ = false;
          if (type == MessageType::kFailure)
            throw AutomationError(reader.Text());
          auto self = shared_from_this();
          return reader.Value([&self](std::uint32_t h) -> ObjectPtr {
            return std::make_shared<RemoteObject>(self, h);
          });
        }
      } catch (const protocol::ProtocolError& e) {
        waiting_ = false;
        Drop("The automation server sent a malformed answer to \"" + std::string(name) + "\"");
        throw AutomationError(dead_reason_);
      }
      waiting_ = false;
    }
    if (io == IoResult::kTimeout) {
      Drop("The automation server did not answer \"" + std::string(name) + "\" within " +
           DescribeLimit(limit) +
           (started_ > 0 ? "; it was stopped" : "; the connection to it was dropped"));
      KillStartedServer();
      throw AutomationError(dead_reason_);
    }
    Drop("The automation server ended during the call to \"" + std::string(name) + "\"");
    throw AutomationError(dead_reason_);
  }

  // Queues a one-way call. With want_object the result is kept under a
  // handle chosen here and returned as a proxy; otherwise returns null.
  ObjectPtr Send(std::uint32_t handle, CallKind kind, std::string_view name, const Args& args,
                 bool want_object) {
    std::unique_lock<std::recursive_mutex> lock(mutex_);
    if (dead_)
      throw AutomationError(dead_reason_);
    std::uint32_t result_handle = 0;
    if (want_object) {
      next_own_handle_ = (next_own_handle_ + 1) & ~protocol::kClientHandleBit;
      if (next_own_handle_ == 0)
        next_own_handle_ = 1;
      result_handle = next_own_handle_ | protocol::kClientHandleBit;
    }
    protocol::Writer send(MessageType::kSend);
    send.U32(result_handle);
    WriteCall(send, handle, kind, name, args,
              [this](const ObjectPtr& object) { return HandleOf(object); });
    Queue(send.Finish());
    if (!want_object)
      return nullptr;
    return std::make_shared<RemoteObject>(shared_from_this(), result_handle);
  }

  // Releases travel with the next call (or the next one-way send that
  // flushes the outbox); the server then frees them before that call runs.
  void Release(std::uint32_t handle) {
    bool flush = false;
    {
      std::lock_guard<std::mutex> lock(outbox_mutex_);
      pending_releases_.push_back(handle);
      flush = pending_releases_.size() * 4 + outbox_.size() > kOutboxFlushBytes;
    }
    if (flush)
      FlushOutboxWithoutWaiting();
  }

 private:
  std::uint32_t HandleOf(const ObjectPtr& object) {
    auto* remote = dynamic_cast<RemoteObject*>(object.get());
    if (remote == nullptr || &remote->connection() != this) {
      throw AutomationError(
          "Only objects of the same automation server can be passed as arguments");
    }
    return remote->handle();
  }

  // A program that only releases and sends one-way calls for a long time
  // must not collect them without end.
  static constexpr std::size_t kOutboxFlushBytes = 64 * 1024;

  // Moves the releases collected so far into the outbox as one frame.
  // Caller holds outbox_mutex_.
  void CloseReleaseFrame() {
    if (pending_releases_.empty())
      return;
    protocol::Writer release(MessageType::kRelease);
    release.U32(static_cast<std::uint32_t>(pending_releases_.size()));
    for (std::uint32_t h : pending_releases_)
      release.U32(h);
    pending_releases_.clear();
    outbox_ += release.Finish();
  }

  void Queue(const std::string& frame) {
    bool flush = false;
    {
      std::lock_guard<std::mutex> lock(outbox_mutex_);
      // A release queued before this call must reach the server before it.
      CloseReleaseFrame();
      outbox_ += frame;
      flush = outbox_.size() > kOutboxFlushBytes;
    }
    if (flush)
      FlushOutboxWithoutWaiting();
  }

  std::string TakeOutbox() {
    std::lock_guard<std::mutex> lock(outbox_mutex_);
    CloseReleaseFrame();
    std::string frames;
    frames.swap(outbox_);
    return frames;
  }

  // Sends the outbox unless a call of this thread is waiting (an event
  // handler run by the pump); it then goes with the next call.
  void FlushOutboxWithoutWaiting() {
    std::unique_lock<std::recursive_mutex> lock(mutex_, std::try_to_lock);
    if (!lock.owns_lock() || waiting_ || dead_)
      return;
    const std::string frames = TakeOutbox();
    if (!frames.empty() &&
        SendAll(fd_, frames, Clock::now() + std::chrono::seconds(5)) != IoResult::kDone) {
      Drop("The connection to the automation server was lost");
    }
  }

  void Drop(const std::string& reason) {
    dead_ = true;
    dead_reason_ = reason;
    if (fd_ >= 0) {
      close(fd_);
      fd_ = -1;
    }
  }

  void KillStartedServer() {
    // The server leads its own process group: its helpers go with it.
    if (started_ > 0)
      kill(-started_, SIGKILL);
  }

  int fd_;
  const pid_t started_;
  std::atomic<long long> call_timeout_ms_;
  std::recursive_mutex mutex_;
  bool waiting_ = false;
  bool dead_ = false;
  std::string dead_reason_;
  std::string buffer_;
  std::uint32_t next_call_id_ = 0;
  std::uint32_t next_own_handle_ = 0;
  // Frames that wait for the next call, in order, and releases not yet put
  // into a frame (any thread may release a proxy).
  std::mutex outbox_mutex_;
  std::string outbox_;
  std::vector<std::uint32_t> pending_releases_;
};

RemoteObject::~RemoteObject() {
  connection_->Release(handle_);
}

Variant RemoteObject::Invoke(CallKind kind, std::string_view name, const Args& args) {
  return connection_->Call(handle_, kind, name, args);
}

// Greets the server behind fd; returns the root object, or null (fd closed)
// when it does not answer properly in time.
ObjectPtr Handshake(int fd, const std::string& class_id, pid_t started,
                    const ConnectionOptions& options) {
  const Clock::time_point deadline = Clock::now() + options.start_timeout;
  protocol::Writer hello(MessageType::kHello);
  hello.Raw(std::string_view(protocol::kMagic, 4));
  hello.U16(protocol::kVersion);
  hello.Text(class_id);
  std::string buffer, payload;
  try {
    if (SendAll(fd, hello.Finish(), deadline) == IoResult::kDone &&
        ReceiveFrame(fd, buffer, payload, deadline, false) == IoResult::kDone) {
      protocol::Reader reader(payload);
      if (reader.Type() == MessageType::kWelcome && reader.U16() == protocol::kVersion) {
        const std::uint32_t root = reader.U32();
        auto connection = std::make_shared<Connection>(fd, started, options.call_timeout);
        return std::make_shared<RemoteObject>(std::move(connection), root);
      }
    }
  } catch (const protocol::ProtocolError&) {
  }
  close(fd);
  return nullptr;
}

std::string SanitizedName(const std::string& class_id) {
  std::string out = class_id;
  for (char& c : out) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '.' || c == '-' || c == '_';
    if (!ok)
      c = '_';
  }
  return out;
}

}  // namespace

// ---------------------------------------------------------------------------

void RegisterServer(const std::string& class_id, const std::string& program) {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  if (program.empty()) {
    Registry().erase(class_id);
  } else {
    Registry()[class_id] = program;
  }
}

std::optional<std::string> RegisteredServer(const std::string& class_id) {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  auto it = Registry().find(class_id);
  if (it == Registry().end())
    return std::nullopt;
  return it->second;
}

std::string RuntimeFolder() {
  std::string folder;
  const char* xdg = std::getenv("XDG_RUNTIME_DIR");
  if (xdg != nullptr && xdg[0] == '/') {
    folder = std::string(xdg) + "/quillon";
  } else {
    folder = "/tmp/quillon-" + std::to_string(getuid());
  }
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
    return {};
  // In a shared folder such as /tmp someone else may have made the name
  // first: only a real folder of ours, closed to others, is trusted.
  struct stat st {};
  if (lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) {
    return {};
  }
  if ((st.st_mode & 077) != 0 && chmod(folder.c_str(), 0700) != 0)
    return {};
  return folder;
}

std::string ServerSocketPath(const std::string& class_id) {
  const std::string folder = RuntimeFolder();
  if (folder.empty())
    return {};
  return folder + "/" + SanitizedName(class_id) + ".sock";
}

void SetDefaultConnectionOptions(const ConnectionOptions& options) {
  std::lock_guard<std::mutex> lock(OptionsMutex());
  DefaultOptions() = options;
}

ConnectionOptions DefaultConnectionOptions() {
  std::lock_guard<std::mutex> lock(OptionsMutex());
  return DefaultOptions();
}

CallTimeoutScope::CallTimeoutScope(std::chrono::milliseconds timeout)
    : previous_(tls_call_timeout) {
  tls_call_timeout = timeout;
}

CallTimeoutScope::~CallTimeoutScope() {
  tls_call_timeout = previous_;
}

void SetCallTimeout(Object& object, std::chrono::milliseconds timeout) {
  if (auto* remote = dynamic_cast<RemoteObject*>(&object)) {
    remote->connection().set_call_timeout(timeout);
  }
}

void SetMessagePump(MessagePump pump) {
  std::lock_guard<std::mutex> lock(PumpMutex());
  Pump() = std::move(pump);
  PumpThread() = std::this_thread::get_id();
}

namespace {

ObjectPtr InvokeForObjectWithoutWaiting(Object& object, CallKind kind, std::string_view name,
                                        const Args& args) {
  if (auto* remote = dynamic_cast<RemoteObject*>(&object))
    return remote->connection().Send(remote->handle(), kind, name, args, true);
  return object.Invoke(kind, name, args).AsObject();
}

}  // namespace

ObjectPtr GetObjectWithoutWaiting(Object& object, std::string_view name, Args args) {
  return InvokeForObjectWithoutWaiting(object, CallKind::kGet, name, args);
}

ObjectPtr CallObjectWithoutWaiting(Object& object, std::string_view name, Args args) {
  return InvokeForObjectWithoutWaiting(object, CallKind::kMethod, name, args);
}

void PutWithoutAnswer(Object& object, std::string_view name, Variant value, Args args) {
  args.positional.push_back(std::move(value));
  try {
    if (auto* remote = dynamic_cast<RemoteObject*>(&object)) {
      remote->connection().Send(remote->handle(), CallKind::kPut, name, args, false);
    } else {
      object.Invoke(CallKind::kPut, name, args);
    }
  } catch (const std::exception&) {
    // Nobody asked for the outcome.
  }
}

std::uint64_t WaitedCallCount() {
  return waited_calls.load();
}

bool IsRemoteObject(const Object& object) {
  return dynamic_cast<const RemoteObject*>(&object) != nullptr;
}

pid_t StartedServerProcess(const Object& object) {
  const auto* remote = dynamic_cast<const RemoteObject*>(&object);
  return remote ? remote->connection().started() : 0;
}

ObjectPtr AttachAutomationObject(const std::string& class_id) {
  const int fd = ConnectSocket(ServerSocketPath(class_id));
  if (fd < 0)
    return nullptr;
  return Handshake(fd, class_id, 0, DefaultConnectionOptions());
}

pid_t StartServerProcess(const std::string& program, const std::string& class_id, bool embedding,
                         int ready_fd) {
  const std::string socket_path = ServerSocketPath(class_id);
  if (socket_path.empty()) {
    throw AutomationError("No private runtime folder for automation servers");
  }
  std::vector<std::string> words = {
      program, "--automation-server", "--class", class_id, "--socket", socket_path};
  if (embedding)
    words.push_back("--embedding");
  if (ready_fd >= 0) {
    words.push_back("--ready-fd");
    words.push_back(std::to_string(ready_fd));
  }
  std::vector<char*> argv;
  for (std::string& w : words)
    argv.push_back(w.data());
  argv.push_back(nullptr);
  // Spawned without copying this process (vfork-like, which a fork of a
  // big program is not): its own session, standard input from /dev/null,
  // an open signal mask and the ready pipe kept open across exec.
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attributes);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  if (ready_fd >= 0)
    posix_spawn_file_actions_adddup2(&actions, ready_fd, ready_fd);  // clears FD_CLOEXEC
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK);
  pid_t server = -1;
  const int spawn_error =
      posix_spawn(&server, argv[0], &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (spawn_error != 0 || server <= 0) {
    throw AutomationError("Cannot start \"" + program + "\"");
  }
  // The server outlives connections and may end on its own: a thread of
  // its own collects its exit, so that it is nobody's zombie.
  std::thread([server] {
    int status = 0;
    while (waitpid(server, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
  return server;
}

ObjectPtr CreateAutomationObject(const std::string& class_id) {
  const std::optional<std::string> program = RegisteredServer(class_id);
  if (!program) {
    throw AutomationError("No automation server is registered for \"" + class_id + "\"");
  }
  if (access(program->c_str(), X_OK) != 0) {
    throw AutomationError("Cannot start \"" + *program + "\": " + std::strerror(errno));
  }
  const ConnectionOptions options = DefaultConnectionOptions();
  int ready_ends[2];
  if (pipe2(ready_ends, O_CLOEXEC) != 0) {
    throw AutomationError("Cannot start \"" + *program + "\": " + std::strerror(errno));
  }
  fileio::UniqueFd ready(ready_ends[0]);
  fileio::UniqueFd ready_write(ready_ends[1]);
  const pid_t server = StartServerProcess(*program, class_id, true, ready_write.get());
  ready_write.Reset();
  // The server writes one byte once it listens; end of file means it gave up.
  const Clock::time_point deadline = Clock::now() + options.start_timeout;
  char byte = 0;
  ssize_t got = -1;
  // The start takes a noticeable time (the server loads its libraries):
  // the caller's window keeps running meanwhile, as during any call.
  while (true) {
    const int n = WaitReadable(ready.get(), deadline, true);
    if (n == 0)
      break;
    if (n > 0) {
      got = read(ready.get(), &byte, 1);
      if (got < 0 && errno == EINTR)
        continue;
      break;
    }
    if (n < 0 && errno != EINTR)
      break;
  }
  ready.Reset();
  if (got == 1) {
    const int fd = ConnectSocket(ServerSocketPath(class_id));
    if (fd >= 0) {
      if (ObjectPtr root = Handshake(fd, class_id, server, options))
        return root;
    }
    kill(-server, SIGKILL);
    throw AutomationError("The automation server \"" + *program + "\" did not answer");
  }
  if (got == 0) {
    // It may have lost the race for the socket to a server started meanwhile.
    if (ObjectPtr root = AttachAutomationObject(class_id))
      return root;
    throw AutomationError("The automation server \"" + *program + "\" ended before it answered");
  }
  kill(-server, SIGKILL);
  throw AutomationError("The automation server \"" + *program + "\" did not answer within " +
                        DescribeLimit(options.start_timeout) + "; it was stopped");
}

ObjectPtr GetOrCreateAutomationObject(const std::string& class_id, bool& created) {
  if (ObjectPtr attached = AttachAutomationObject(class_id)) {
    created = false;
    return attached;
  }
  ObjectPtr object = CreateAutomationObject(class_id);
  // A create that lost the race for the socket attached to a server another
  // process started: that server is not ours to quit.
  created = object != nullptr && StartedServerProcess(*object) != 0;
  return object;
}

}  // namespace quillon::automation
