#include "automation/server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <list>
#include <unordered_map>

#include "automation/client.h"
#include "automation/protocol.h"

namespace quillon::automation {
namespace {

using protocol::MessageType;

struct Flags {
  std::string class_id;
  std::string socket_path;
  int ready_fd = -1;
  bool embedding = false;
};

bool ParseFlags(int argc, char** argv, Flags& flags) {
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc)
        return false;
      out = argv[++i];
      return true;
    };
    if (word == "--automation-server")
      continue;
    if (word == "--embedding") {
      flags.embedding = true;
    } else if (word == "--class") {
      if (!value(flags.class_id))
        return false;
    } else if (word == "--socket") {
      if (!value(flags.socket_path))
        return false;
    } else if (word == "--ready-fd") {
      std::string text;
      if (!value(text))
        return false;
      char* end = nullptr;
      const long fd = std::strtol(text.c_str(), &end, 10);
      if (end == text.c_str() || *end != '\0' || fd < 0 || fd > 65535)
        return false;
      flags.ready_fd = static_cast<int>(fd);
    }
    // Other words belong to the program.
  }
  if (flags.class_id.empty())
    return false;
  if (flags.socket_path.empty())
    flags.socket_path = ServerSocketPath(flags.class_id);
  return !flags.socket_path.empty();
}

// Binds path, replacing a stale socket file; -1 when a live server answers
// there or binding fails.
int Listen(const std::string& path, ino_t& inode) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof(address.sun_path)) {
    std::fprintf(stderr, "automation server: socket path too long: %s\n", path.c_str());
    return -1;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (probe >= 0) {
    const bool live = connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    close(probe);
    if (live) {
      std::fprintf(stderr, "automation server: another server answers at %s\n", path.c_str());
      return -1;
    }
  }
  struct stat st {};
  if (lstat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode))
    unlink(path.c_str());
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0)
    return -1;
  const mode_t old_mask = umask(0077);
  const int bound = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
  umask(old_mask);
  if (bound != 0 || listen(fd, 64) != 0) {
    std::fprintf(stderr, "automation server: cannot listen at %s: %s\n", path.c_str(),
                 std::strerror(errno));
    close(fd);
    return -1;
  }
  inode = stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
  return fd;
}

struct Client {
  int fd = -1;
  bool greeted = false;
  std::string buffer;
  std::unordered_map<std::uint32_t, ObjectPtr> handles;
  // Handles the client chose for one-way calls that failed: their message.
  std::unordered_map<std::uint32_t, std::string> failed;
  std::uint32_t next_handle = 0;

  std::uint32_t Keep(ObjectPtr object) {
    do {
      next_handle = (next_handle + 1) & ~protocol::kClientHandleBit;
    } while (next_handle == 0 || handles.count(next_handle) != 0);
    handles.emplace(next_handle, std::move(object));
    return next_handle;
  }

  void Forget(std::uint32_t handle) {
    handles.erase(handle);
    failed.erase(handle);
  }

  // The object behind handle, or null with error set to why there is none.
  ObjectPtr Find(std::uint32_t handle, std::string& error) const {
    if (auto it = handles.find(handle); it != handles.end())
      return it->second;
    auto broken = failed.find(handle);
    error = broken != failed.end() ? broken->second : "Invalid object reference";
    return nullptr;
  }
};

// One call as it arrived, in a Call or a Send.
struct CallRequest {
  std::uint32_t handle = 0;
  std::uint8_t kind = 0;
  std::string name;
  Args args;
  // Why the call cannot be made (a bad object reference); empty when it can.
  std::string error;
  ObjectPtr target;
};

// Blocking send with the socket's send time-out; false when the client is gone
// or stuck.
bool SendFrame(Client& client, const std::string& frame) {
  std::size_t done = 0;
  while (done < frame.size()) {
    const ssize_t n = send(client.fd, frame.data() + done, frame.size() - done, MSG_NOSIGNAL);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      return false;
    }
  }
  return true;
}

class Server {
 public:
  Server(Flags flags, ObjectPtr root, int listen_fd)
      : flags_(std::move(flags)), root_(std::move(root)), listen_fd_(listen_fd) {}

  int Run() {
    const auto started = std::chrono::steady_clock::now();
    // An embedded server whose creator never connected is not kept forever.
    constexpr auto kFirstClientWait = std::chrono::seconds(60);
    while (!quit_) {
      std::vector<pollfd> fds;
      fds.push_back({listen_fd_, POLLIN, 0});
      for (const Client& c : clients_)
        fds.push_back({c.fd, POLLIN, 0});
      const int n = poll(fds.data(), fds.size(), flags_.embedding ? 1000 : -1);
      if (n < 0 && errno != EINTR)
        return 1;
      if (n > 0) {
        if (fds[0].revents & POLLIN)
          Accept();
        auto it = clients_.begin();
        for (std::size_t i = 1; i < fds.size() && it != clients_.end(); ++i) {
          auto current = it++;
          if (fds[i].revents != 0 && !Serve(*current))
            Disconnect(current);
          if (quit_)
            break;
        }
      }
      if (flags_.embedding && clients_.empty() &&
          (had_client_ || std::chrono::steady_clock::now() - started > kFirstClientWait)) {
        break;
      }
    }
    return 0;
  }

  ~Server() {
    for (Client& c : clients_)
      close(c.fd);
  }

 private:
  void Accept() {
    while (true) {
      const int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0)
        return;
      // A client that stops reading must not stall everyone else for long.
      timeval send_limit{10, 0};
      setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &send_limit, sizeof(send_limit));
      Client client;
      client.fd = fd;
      clients_.push_back(std::move(client));
      had_client_ = true;
    }
  }

  void Disconnect(std::list<Client>::iterator it) {
    close(it->fd);
    // Dropping the handle table releases every object the client held.
    clients_.erase(it);
  }

  // Reads what arrived and handles every complete message; false when the
  // client is gone or broke the protocol.
  bool Serve(Client& client) {
    char chunk[65536];
    const ssize_t n = recv(client.fd, chunk, sizeof(chunk), MSG_DONTWAIT);
    if (n == 0)
      return false;
    if (n < 0)
      return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    client.buffer.append(chunk, static_cast<std::size_t>(n));
    try {
      std::string payload;
      while (!quit_ && protocol::TakeFrame(client.buffer, payload)) {
        if (!Handle(client, payload))
          return false;
      }
    } catch (const protocol::ProtocolError& e) {
      std::fprintf(stderr, "automation server: dropping a client: %s\n", e.what());
      return false;
    }
    return true;
  }

  bool Handle(Client& client, const std::string& payload) {
    protocol::Reader reader(payload);
    const MessageType type = reader.Type();
    if (!client.greeted) {
      if (type != MessageType::kHello)
        throw protocol::ProtocolError("no greeting");
      const std::string_view magic = reader.Bytes(4);
      const std::uint16_t version = reader.U16();
      const std::string class_id = reader.Text();
      std::string refusal;
      if (magic != std::string_view(protocol::kMagic, 4)) {
        refusal = "not an automation client";
      } else if (version != protocol::kVersion) {
        refusal = "protocol version " + std::to_string(version) + " is not supported";
      } else if (class_id != flags_.class_id) {
        refusal = "this server serves \"" + flags_.class_id + "\"";
      }
      if (!refusal.empty()) {
        protocol::Writer refuse(MessageType::kRefuse);
        refuse.Text(refusal);
        SendFrame(client, refuse.Finish());
        return false;
      }
      client.greeted = true;
      protocol::Writer welcome(MessageType::kWelcome);
      welcome.U16(protocol::kVersion);
      welcome.U32(client.Keep(root_));
      welcome.U32(static_cast<std::uint32_t>(getpid()));
      return SendFrame(client, welcome.Finish());
    }
    if (type == MessageType::kRelease) {
      const std::uint32_t count = reader.U32();
      for (std::uint32_t i = 0; i < count; ++i)
        client.Forget(reader.U32());
      return true;
    }
    if (type == MessageType::kSend)
      return HandleSend(client, reader);
    if (type != MessageType::kCall)
      throw protocol::ProtocolError("unexpected message");
    return HandleCall(client, reader);
  }

  static CallRequest ReadCall(const Client& client, protocol::Reader& reader) {
    CallRequest call;
    call.handle = reader.U32();
    call.kind = reader.U8();
    call.name = reader.Text();
    auto from_handle = [&](std::uint32_t h) -> ObjectPtr {
      std::string error;
      ObjectPtr object = client.Find(h, error);
      if (object == nullptr && call.error.empty())
        call.error = error;
      return object;
    };
    const std::uint32_t positional = reader.U32();
    for (std::uint32_t i = 0; i < positional; ++i)
      call.args.positional.push_back(reader.Value(from_handle));
    const std::uint32_t named = reader.U32();
    for (std::uint32_t i = 0; i < named; ++i) {
      NamedArg arg;
      arg.name = reader.Text();
      arg.value = reader.Value(from_handle);
      call.args.named.push_back(std::move(arg));
    }
    std::string target_error;
    call.target = client.Find(call.handle, target_error);
    // The object called is the first thing that must exist.
    if (call.target == nullptr)
      call.error = target_error;
    return call;
  }

  // Runs the call; false with error set when it failed.
  static bool Run(const CallRequest& call, Variant& result, std::string& error) {
    if (!call.error.empty()) {
      error = call.error;
      return false;
    }
    if (call.kind < 1 || call.kind > 3) {
      error = "Invalid call kind";
      return false;
    }
    try {
      result = call.target->Invoke(static_cast<CallKind>(call.kind), call.name, call.args);
      return true;
    } catch (const std::exception& e) {
      error = e.what();
    } catch (...) {
      error = "Unknown error in \"" + call.name + "\"";
    }
    return false;
  }

  bool HandleSend(Client& client, protocol::Reader& reader) {
    const std::uint32_t result_handle = reader.U32();
    if (result_handle != 0 &&
        ((result_handle & protocol::kClientHandleBit) == 0 ||
         client.handles.count(result_handle) != 0 || client.failed.count(result_handle) != 0)) {
      throw protocol::ProtocolError("a result handle the client may not choose");
    }
    const CallRequest call = ReadCall(client, reader);
    if (call.target != nullptr && call.target == root_ && call.kind == 3 &&
        NameEquals(call.name, "Quit")) {
      throw protocol::ProtocolError("\"Quit\" must be answered");
    }
    Variant result;
    std::string error;
    const bool ran = Run(call, result, error);
    if (result_handle == 0)
      return true;
    if (ran) {
      try {
        client.handles.emplace(result_handle, result.AsObject());
        return true;
      } catch (const std::exception& e) {
        error = e.what();
      }
    }
    client.failed.emplace(result_handle, error);
    return true;
  }

  bool HandleCall(Client& client, protocol::Reader& reader) {
    const std::uint32_t call_id = reader.U32();
    const CallRequest call = ReadCall(client, reader);
    const bool quit = call.target != nullptr && call.target == root_ && call.kind == 3 &&
                      NameEquals(call.name, "Quit");
    Variant result;
    std::string error;
    bool failed = !Run(call, result, error);
    if (quit) {
      // The root may not know "Quit" itself; the server ends either way.
      failed = false;
      result = Variant();
      quit_ = true;
    }
    protocol::Writer answer(failed ? MessageType::kFailure : MessageType::kResult);
    answer.U32(call_id);
    if (failed) {
      answer.Text(error);
    } else {
      try {
        answer.Value(result, [&client](const ObjectPtr& o) { return client.Keep(o); });
      } catch (const std::exception& e) {
        protocol::Writer failure(MessageType::kFailure);
        failure.U32(call_id);
        failure.Text(e.what());
        return SendFrame(client, failure.Finish());
      }
    }
    return SendFrame(client, answer.Finish());
  }

  Flags flags_;
  ObjectPtr root_;
  int listen_fd_;
  std::list<Client> clients_;
  bool had_client_ = false;
  bool quit_ = false;
};

}  // namespace

bool IsAutomationServerInvocation(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--automation-server") == 0)
      return true;
  }
  return false;
}

int AutomationServerMain(int argc, char** argv, RootFactory make_root) {
  Flags flags;
  if (!ParseFlags(argc, argv, flags)) {
    std::fprintf(stderr,
                 "usage: %s --automation-server --class ID [--socket PATH] [--ready-fd N] "
                 "[--embedding]\n",
                 argc > 0 ? argv[0] : "server");
    return 2;
  }
  // A client gone between its call and our answer must not end the server.
  signal(SIGPIPE, SIG_IGN);
  ObjectPtr root;
  try {
    root = make_root ? make_root(flags.class_id) : nullptr;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "automation server: %s\n", e.what());
  }
  if (root == nullptr) {
    if (flags.ready_fd >= 0)
      close(flags.ready_fd);
    return 4;
  }
  ino_t inode = 0;
  const int listen_fd = Listen(flags.socket_path, inode);
  if (listen_fd < 0) {
    if (flags.ready_fd >= 0)
      close(flags.ready_fd);
    return 3;
  }
  if (flags.ready_fd >= 0) {
    const char ready = 'R';
    if (write(flags.ready_fd, &ready, 1) != 1) {
      // The starter gave up waiting; serve anyway, others may attach.
    }
    close(flags.ready_fd);
  }
  int code = 0;
  {
    Server server(flags, root, listen_fd);
    code = server.Run();
  }
  // Leave the name to a successor only if it is still ours.
  struct stat st {};
  if (stat(flags.socket_path.c_str(), &st) == 0 && st.st_ino == inode) {
    unlink(flags.socket_path.c_str());
  }
  close(listen_fd);
  return code;
}

}  // namespace quillon::automation
