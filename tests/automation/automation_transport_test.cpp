// The out-of-process transport against the real test server: values and
// handles on the wire, errors, deadlines, crashes, several clients, the
// message pump, malformed clients and the runtime folder.

#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "automation/client.h"
#include "automation/protocol.h"
#include "tests/support/test_automation_server_control.h"

namespace quillon::automation {
namespace {

using quillon::testing::KillProcessGroup;
using quillon::testing::RuntimeFolderScope;
using quillon::testing::StartServerByHand;
using quillon::testing::TestServerScope;
using quillon::testing::WaitProcessGone;
using ::testing::HasSubstr;
using ::testing::Not;
using namespace std::chrono_literals;

constexpr char kClass[] = "Quillon.TestServer";

Args Positional(std::vector<Variant> values) {
  Args args;
  args.positional = std::move(values);
  return args;
}

class TransportTest : public ::testing::Test {
 protected:
  void TearDown() override {
    SetMessagePump(nullptr);
    for (pid_t pid : to_end_)
      KillProcessGroup(pid);
  }

  ObjectPtr Create() {
    bool created = false;
    ObjectPtr app = GetOrCreateAutomationObject(kClass, created);
    EXPECT_TRUE(created);
    return app;
  }
  pid_t ByHand() {
    const pid_t pid = StartServerByHand(kClass);
    EXPECT_GT(pid, 0);
    to_end_.push_back(pid);
    return pid;
  }
  // Also ends the server with the test, whatever the test found.
  pid_t ServerPid(Object& app) {
    const pid_t pid = app.Get("ProcessId").AsInt();
    to_end_.push_back(pid);
    return pid;
  }

  RuntimeFolderScope runtime_;
  TestServerScope server_{{kClass}};
  std::vector<pid_t> to_end_;
};

TEST_F(TransportTest, EveryValueKindAndNamedArgumentsCrossTheWire) {
  ObjectPtr app = Create();
  ASSERT_NE(app, nullptr);
  EXPECT_TRUE(IsRemoteObject(*app));
  EXPECT_GT(StartedServerProcess(*app), 0);

  Args args = Positional({Variant(), Variant(true), Variant(false), Variant(std::int32_t{-7}),
                          Variant("äö \"x\"\r\n"), Variant(std::string("a\0b", 3))});
  args.named.push_back(NamedArg{"FileName", Variant("/tmp/a b.doc")});
  args.named.push_back(NamedArg{"Format", Variant(std::int32_t{20})});
  EXPECT_EQ(app->Call("Describe", args).AsText(),
            "empty, bool true, bool false, int -7, text \"äö \"x\"\r\n\", text \"" +
                std::string("a\0b", 3) + "\", FileName=text \"/tmp/a b.doc\", Format=int 20");
  for (const Variant& v : {Variant(), Variant(true), Variant(std::int32_t{2147483647}),
                           Variant(std::string(100000, 'x'))}) {
    EXPECT_EQ(app->Call("Echo", Positional({v})), v);
  }
  app->Put("Visible", true);
  EXPECT_EQ(app->Get("Visible"), Variant(true));
}

TEST_F(TransportTest, ReturnedObjectsAreHandlesThatCanBePassedBack) {
  ObjectPtr app = Create();
  ObjectPtr child = app->Call("MakeChild").AsObject();
  EXPECT_TRUE(IsRemoteObject(*child));
  EXPECT_EQ(child->Get("Name").AsText(), "child 1");
  EXPECT_EQ(app->Call("Describe", Positional({Variant(child), Variant(ObjectPtr())})).AsText(),
            "object child 1, object null");
  // Objects of this program cannot go to the server.
  class Local : public Object {
    Variant Invoke(CallKind, std::string_view, const Args&) override { return {}; }
  };
  EXPECT_THROW(app->Call("Describe", Positional({Variant(ObjectPtr(std::make_shared<Local>()))})),
               AutomationError);
  EXPECT_EQ(app->Get("Version").AsText(), "16.0");
}

TEST_F(TransportTest, AFailingCallReturnsItsMessageAndTheServerGoesOn) {
  ObjectPtr app = Create();
  auto message_of = [&](const char* name, Args args = {}) {
    try {
      app->Call(name, args);
    } catch (const AutomationError& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(message_of("Fail", Positional({Variant("The disk is full.")})), "The disk is full.");
  EXPECT_EQ(message_of("FailStd"), "standard failure");
  EXPECT_THAT(message_of("NoSuchMethod"), HasSubstr("NoSuchMethod"));
  // "Quit" on another object than the root is an ordinary call.
  ObjectPtr child = app->Call("MakeChild").AsObject();
  EXPECT_THROW(child->Call("Quit"), AutomationError);
  EXPECT_EQ(app->Call("Echo", Positional({Variant(std::int32_t{5})})).AsInt(), 5);
}

TEST_F(TransportTest, HandlesAreFreedWhenReleasedAndWhenTheClientLeaves) {
  ObjectPtr app = Create();
  std::vector<ObjectPtr> children;
  for (int i = 0; i < 3; ++i)
    children.push_back(app->Call("MakeChild").AsObject());
  EXPECT_EQ(app->Get("LiveObjects").AsInt(), 3);
  children.resize(1);
  EXPECT_EQ(app->Get("LiveObjects").AsInt(), 1);

  // A second client of the same server.
  ObjectPtr other = AttachAutomationObject(kClass);
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(StartedServerProcess(*other), 0);
  EXPECT_EQ(ServerPid(*other), ServerPid(*app));
  ObjectPtr a = other->Call("MakeChild").AsObject();
  ObjectPtr b = other->Call("MakeChild").AsObject();
  EXPECT_EQ(app->Get("LiveObjects").AsInt(), 3);
  other.reset();                                  // the connection stays while a and b live
  EXPECT_EQ(a->Get("Name").AsText(), "child 4");  // one server, one count
  a.reset();
  b.reset();  // last object of the connection: it closes
  int live = -1;
  for (int i = 0; i < 200 && live != 1; ++i) {
    live = app->Get("LiveObjects").AsInt();
    if (live != 1)
      std::this_thread::sleep_for(5ms);
  }
  EXPECT_EQ(live, 1);
}

TEST_F(TransportTest, OneWayCallsKeepTheirOrderAndWaitForNothing) {
  ObjectPtr app = Create();
  const std::uint64_t start = WaitedCallCount();
  // A put and an object get that do not wait, then a call that does: the
  // server runs them first, in the order they were made.
  PutWithoutAnswer(*app, "Visible", true);
  ObjectPtr child = CallObjectWithoutWaiting(*app, "MakeChild");
  ObjectPtr second = CallObjectWithoutWaiting(*app, "MakeChild");
  EXPECT_EQ(WaitedCallCount(), start);
  EXPECT_EQ(app->Get("Visible"), Variant(true));
  EXPECT_EQ(child->Get("Name").AsText(), "child 1");
  EXPECT_EQ(app->Call("Describe", Positional({Variant(second)})).AsText(), "object child 2");
  EXPECT_EQ(WaitedCallCount(), start + 3);
  // Releases ride along too, behind the one-way calls queued before them: a
  // child made and dropped without a wait is gone at the next call.
  child.reset();
  second.reset();
  CallObjectWithoutWaiting(*app, "MakeChild").reset();
  EXPECT_EQ(WaitedCallCount(), start + 3);
  EXPECT_EQ(app->Get("LiveObjects").AsInt(), 0);
  EXPECT_EQ(WaitedCallCount(), start + 4);
  // A put queued when the last proxy goes is still delivered.
  ObjectPtr watcher = AttachAutomationObject(kClass);
  ASSERT_NE(watcher, nullptr);
  ObjectPtr other = AttachAutomationObject(kClass);
  ASSERT_NE(other, nullptr);
  PutWithoutAnswer(*other, "DisplayAlerts", false);
  other.reset();
  Variant alerts;
  for (int i = 0; i < 200 && alerts != Variant(false); ++i) {
    alerts = watcher->Get("DisplayAlerts");
    if (alerts != Variant(false))
      std::this_thread::sleep_for(5ms);
  }
  EXPECT_EQ(alerts, Variant(false));
}

TEST_F(TransportTest, AFailedOneWayGetFailsEveryUseOfItsObjectWithItsOwnMessage) {
  ObjectPtr app = Create();
  ObjectPtr failed =
      CallObjectWithoutWaiting(*app, "Fail", Positional({Variant("The disk is full.")}));
  auto message_of = [](const std::function<void()>& call) {
    try {
      call();
    } catch (const AutomationError& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(message_of([&] { failed->Get("Name"); }), "The disk is full.");
  EXPECT_EQ(message_of([&] { app->Call("Describe", Positional({Variant(failed)})); }),
            "The disk is full.");
  // A get that gives no object fails its uses as AsObject() would have.
  ObjectPtr text = GetObjectWithoutWaiting(*app, "Version");
  EXPECT_EQ(message_of([&] { text->Get("Name"); }), message_of([] { Variant("16.0").AsObject(); }));
  ObjectPtr none = CallObjectWithoutWaiting(*app, "Echo", Positional({Variant(ObjectPtr())}));
  EXPECT_EQ(message_of([&] { none->Call("Quit"); }),
            message_of([] { Variant(ObjectPtr()).AsObject(); }));
  // A one-way put that fails is dropped: it is not the next call's failure.
  PutWithoutAnswer(*app, "NoSuchProperty", Variant(std::int32_t{1}));
  EXPECT_EQ(app->Call("Echo", Positional({Variant(std::int32_t{5})})).AsInt(), 5);
  // The connection and the server go on; a one-way call on a dropped
  // connection fails at once.
  const pid_t pid = ServerPid(*app);
  kill(pid, SIGKILL);
  EXPECT_TRUE(WaitProcessGone(pid));
  EXPECT_THROW(app->Get("Version"), AutomationError);
  EXPECT_THROW(GetObjectWithoutWaiting(*app, "Documents"), AutomationError);
  PutWithoutAnswer(*app, "Visible", false);  // dropped without a word
}

TEST_F(TransportTest, AttachFindsRunningServersOnlyAndCreateReplacesAStaleSocket) {
  EXPECT_EQ(AttachAutomationObject(kClass), nullptr);

  // A socket file nobody listens on, as a killed server leaves behind.
  const std::string path = ServerSocketPath(kClass);
  ASSERT_FALSE(path.empty());
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strcpy(address.sun_path, path.c_str());
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  close(fd);
  EXPECT_EQ(AttachAutomationObject(kClass), nullptr);

  bool created = false;
  ObjectPtr first = GetOrCreateAutomationObject(kClass, created);
  EXPECT_TRUE(created);
  ObjectPtr second = GetOrCreateAutomationObject(kClass, created);
  EXPECT_FALSE(created);
  EXPECT_EQ(ServerPid(*first), ServerPid(*second));
  EXPECT_EQ(second->Get("ClassId").AsText(), kClass);
}

TEST_F(TransportTest, ACreateThatLosesTheRaceAttachesAndIsNotMarkedCreated) {
  // The program a "create" starts finds the socket taken by a server another
  // process started meanwhile, and ends without answering.
  const std::string script = runtime_.path() + "/loses-the-race";
  {
    std::ofstream out(script);
    out << "#!/bin/bash\n"
           "# $3 class, $5 socket, $8 the ready descriptor of the creating client,\n"
           "# held (and so closed) by this script alone\n"
           "( eval \"exec $8>&-\"; setsid '"
        << quillon::testing::TestServerProgram()
        << "' --automation-server --class \"$3\" --socket \"$5\" --ready-fd 1 "
           "</dev/null 2>/dev/null & ) | head -c 1 >/dev/null\n";
  }
  ASSERT_EQ(chmod(script.c_str(), 0755), 0);
  RegisterServer("Quillon.RaceLoser", script);

  bool created = true;
  ObjectPtr app = GetOrCreateAutomationObject("Quillon.RaceLoser", created);
  RegisterServer("Quillon.RaceLoser", "");
  ASSERT_NE(app, nullptr);
  const pid_t other = ServerPid(*app);
  EXPECT_FALSE(created) << "releasing would quit the other process's server";
  EXPECT_EQ(StartedServerProcess(*app), 0);
  app.reset();
  EXPECT_FALSE(WaitProcessGone(other, 300ms));
}

TEST_F(TransportTest, CreateFailuresAreAutomationErrors) {
  auto message_of = [](const std::string& class_id) {
    try {
      CreateAutomationObject(class_id);
    } catch (const AutomationError& e) {
      return std::string(e.what());
    }
    return std::string("created");
  };
  EXPECT_THAT(message_of("Nobody.Registered"), HasSubstr("Nobody.Registered"));
  RegisterServer("Missing.Program", runtime_.path() + "/no-such-server");
  EXPECT_THAT(message_of("Missing.Program"), HasSubstr("no-such-server"));
  RegisterServer("Quits.At.Once", "/bin/false");
  EXPECT_THAT(message_of("Quits.At.Once"), HasSubstr("ended before it answered"));
  RegisterServer("Missing.Program", "");
  RegisterServer("Quits.At.Once", "");
}

TEST_F(TransportTest, AServerThatNeverStartsAnsweringIsStoppedAtTheStartLimit) {
  ConnectionOptions options = DefaultConnectionOptions();
  options.start_timeout = 300ms;
  SetDefaultConnectionOptions(options);
  const std::string pid_file = runtime_.path() + "/stalled.pid";
  setenv("QUILLON_TEST_SERVER_STALL", "1", 1);
  setenv("QUILLON_TEST_SERVER_PID_FILE", pid_file.c_str(), 1);
  std::string message;
  try {
    CreateAutomationObject(kClass);
  } catch (const AutomationError& e) {
    message = e.what();
  }
  unsetenv("QUILLON_TEST_SERVER_STALL");
  unsetenv("QUILLON_TEST_SERVER_PID_FILE");
  EXPECT_THAT(message, HasSubstr("within 300 milliseconds"));
  pid_t pid = 0;
  std::ifstream(pid_file) >> pid;
  ASSERT_GT(pid, 0);
  EXPECT_TRUE(WaitProcessGone(pid));
}

TEST_F(TransportTest, APassedDeadlineKillsTheStartedServerWithItsHelpers) {
  ObjectPtr app = Create();
  SetCallTimeout(*app, 300ms);
  const pid_t server = ServerPid(*app);
  const pid_t helper = app->Call("Spawn").AsInt();
  ObjectPtr child = app->Call("MakeChild").AsObject();

  const auto start = std::chrono::steady_clock::now();
  std::string message;
  try {
    app->Call("Hang");
  } catch (const AutomationError& e) {
    message = e.what();
  }
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_THAT(message, HasSubstr("\"Hang\""));
  EXPECT_THAT(message, HasSubstr("within 300 milliseconds"));
  EXPECT_GE(waited, 300ms);
  EXPECT_LT(waited, 3s);
  EXPECT_TRUE(WaitProcessGone(server));
  EXPECT_TRUE(WaitProcessGone(helper));
  // Every object of the dropped connection fails at once from now on.
  EXPECT_THROW(app->Get("Version"), AutomationError);
  EXPECT_THROW(child->Get("Name"), AutomationError);
  // And the next connection starts a fresh server.
  ObjectPtr fresh = Create();
  EXPECT_NE(ServerPid(*fresh), server);
}

TEST_F(TransportTest, APerCallLimitOverridesTheConnectionsLimit) {
  ObjectPtr app = Create();
  {
    CallTimeoutScope scope(2s);
    EXPECT_TRUE(app->Call("Sleep", Positional({Variant(std::int32_t{50})})).AsBool());
    CallTimeoutScope inner(100ms);
    try {
      app->Call("Sleep", Positional({Variant(std::int32_t{5000})}));
      ADD_FAILURE() << "the call should pass its limit";
    } catch (const AutomationError& e) {
      EXPECT_THAT(e.what(), HasSubstr("100 milliseconds"));
    }
  }
}

TEST_F(TransportTest, AServerCrashingInACallFailsThatCall) {
  ObjectPtr app = Create();
  const pid_t server = ServerPid(*app);
  // A session of its own: the terminal's Ctrl+C for the caller is not for it.
  EXPECT_EQ(getsid(server), server);
  try {
    app->Call("Crash");
    ADD_FAILURE() << "the call should fail";
  } catch (const AutomationError& e) {
    EXPECT_THAT(e.what(), HasSubstr("\"Crash\""));
  }
  EXPECT_TRUE(WaitProcessGone(server));
  // Nor is it left as a zombie: its end is collected.
  const auto reap_limit = std::chrono::steady_clock::now() + 5s;
  while (kill(server, 0) == 0 && std::chrono::steady_clock::now() < reap_limit)
    std::this_thread::sleep_for(5ms);
  EXPECT_NE(kill(server, 0), 0) << "the crashed server " << server << " is a zombie";
  EXPECT_THROW(app->Get("Version"), AutomationError);
  EXPECT_EQ(Create()->Get("Version").AsText(), "16.0");
}

TEST_F(TransportTest, AServerOutlivesAClientThatLeavesMidCall) {
  const pid_t server = ByHand();
  ObjectPtr impatient = AttachAutomationObject(kClass);
  ASSERT_NE(impatient, nullptr);
  SetCallTimeout(*impatient, 50ms);
  EXPECT_THROW(impatient->Call("Sleep", Positional({Variant(std::int32_t{300})})), AutomationError);
  impatient.reset();

  // Not started by that client, so not killed by it; it still serves others.
  ObjectPtr other = AttachAutomationObject(kClass);
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(ServerPid(*other), server);
  EXPECT_EQ(other->Call("Echo", Positional({Variant("still here")})).AsText(), "still here");
  // "Quit" on the root answers, then the server ends and leaves the table.
  EXPECT_NO_THROW(other->Call("Quit"));
  EXPECT_TRUE(WaitProcessGone(server));
  EXPECT_EQ(AttachAutomationObject(kClass), nullptr);
}

TEST_F(TransportTest, AnEmbeddedServerEndsWithItsLastClient) {
  ObjectPtr app = Create();
  const pid_t server = ServerPid(*app);
  app.reset();
  EXPECT_TRUE(WaitProcessGone(server));
}

TEST_F(TransportTest, ThePumpRunsWhileWaitingAndNestedCallsAreRejected) {
  ObjectPtr app = Create();
  int pumps = 0;
  std::string nested;
  SetMessagePump([&] {
    ++pumps;
    if (nested.empty()) {
      try {
        app->Get("Version");
        nested = "accepted";
      } catch (const AutomationError& e) {
        nested = e.what();
      }
    }
  });
  EXPECT_TRUE(app->Call("Sleep", Positional({Variant(std::int32_t{100})})).AsBool());
  EXPECT_GT(pumps, 1);
  EXPECT_THAT(nested, HasSubstr("rejected"));
  EXPECT_EQ(app->Get("Version").AsText(), "16.0");

  // Other threads wait without running it.
  const int before = pumps;
  std::thread worker([&] { app->Call("Sleep", Positional({Variant(std::int32_t{50})})); });
  worker.join();
  EXPECT_EQ(pumps, before);
}

// A conversion is a run of calls each answered within a few milliseconds;
// the pump must still run between them, not only inside a call that itself
// takes longer than a pump slice.
TEST_F(TransportTest, ARunOfShortCallsStillRunsThePump) {
  ObjectPtr app = Create();
  int pumps = 0;
  SetMessagePump([&] { ++pumps; });
  for (int i = 0; i < 30; ++i) {
    ASSERT_TRUE(app->Call("Sleep", Positional({Variant(std::int32_t{4})})).AsBool());
  }
  // 30 calls of at least 4 ms: at least 120 ms, twelve slices.
  EXPECT_GE(pumps, 6);
}

TEST_F(TransportTest, MalformedClientsAreDroppedWithoutHarmToOthers) {
  ObjectPtr app = Create();
  auto raw_client = [&](const std::string& bytes) {
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, ServerSocketPath(kClass).c_str());
    EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    EXPECT_EQ(send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(bytes.size()));
    timeval limit{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit));
    std::string answer;
    char chunk[256];
    ssize_t n;
    while ((n = recv(fd, chunk, sizeof(chunk), 0)) > 0)
      answer.append(chunk, n);
    close(fd);
    return answer;  // everything until the server hung up
  };
  EXPECT_EQ(raw_client(std::string("\xff\xff\xff\xff", 4)), "");      // oversized frame
  EXPECT_EQ(raw_client(std::string("\x01\x00\x00\x00\x04", 5)), "");  // call before greeting
  // A greeting of a future protocol version is refused with a reason.
  std::string hello("\x0f\x00\x00\x00\x01QLNA\x09\x00", 11);
  hello += std::string("\x00\x00\x00\x00", 4);
  hello[0] = static_cast<char>(hello.size() - 4);
  EXPECT_THAT(raw_client(hello), HasSubstr("version 9"));
  // A one-way call may not put its result under a handle the server hands
  // out: the client is dropped before the call behind it is answered.
  protocol::Writer greeting(protocol::MessageType::kHello);
  greeting.Raw(std::string_view(protocol::kMagic, 4));
  greeting.U16(protocol::kVersion);
  greeting.Text(kClass);
  auto call_frame = [](protocol::MessageType type, std::uint32_t first) {
    protocol::Writer call(type);
    call.U32(first);  // result handle of a Send, call id of a Call
    call.U32(1);      // the root
    call.U8(static_cast<std::uint8_t>(CallKind::kGet));
    call.Text("Version");
    call.U32(0);
    call.U32(0);
    return call.Finish();
  };
  const std::string welcome_only =
      raw_client(greeting.Finish() + call_frame(protocol::MessageType::kSend, 7) +
                 call_frame(protocol::MessageType::kCall, 1));
  EXPECT_THAT(welcome_only, Not(HasSubstr("16.0")));
  EXPECT_FALSE(welcome_only.empty());
  EXPECT_EQ(app->Call("Echo", Positional({Variant("fine")})).AsText(), "fine");
}

TEST(RuntimeFolderTest, PrivateFolderUnderTheUsersRuntimeFolder) {
  RuntimeFolderScope runtime;
  const std::string folder = RuntimeFolder();
  EXPECT_EQ(folder, runtime.path() + "/quillon");
  struct stat st {};
  ASSERT_EQ(stat(folder.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(ServerSocketPath("Word.Application.8"), folder + "/Word.Application.8.sock");
  EXPECT_EQ(ServerSocketPath("../x y"), folder + "/.._x_y.sock");

  chmod(folder.c_str(), 0755);
  EXPECT_EQ(RuntimeFolder(), folder);
  ASSERT_EQ(stat(folder.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST(RuntimeFolderTest, ASymlinkInPlaceOfTheFolderIsNotTrusted) {
  RuntimeFolderScope runtime;
  quillon::testing::TempDir elsewhere;
  ASSERT_EQ(symlink(elsewhere.path().c_str(), (runtime.path() + "/quillon").c_str()), 0);
  EXPECT_EQ(RuntimeFolder(), "");
  EXPECT_EQ(AttachAutomationObject("Word.Application"), nullptr);
}

TEST(ClassRegistryTest, BuiltInIdentifiersNameTheEngineBesideTheProgram) {
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof(self) - 1);
  ASSERT_GT(n, 0);
  std::string folder(self, n);
  folder.resize(folder.rfind('/'));
  for (const char* id : {"Word.Application", "Word.Application.8", "Word.Application.9",
                         "Word.Application.10", "Word.Basic"}) {
    EXPECT_EQ(RegisteredServer(id), folder + "/quillon-engine") << id;
  }
  EXPECT_EQ(RegisteredServer("Word.Application.11"), std::nullopt);
  RegisterServer("Word.Basic", "/opt/other");
  EXPECT_EQ(RegisteredServer("Word.Basic"), "/opt/other");
  RegisterServer("Word.Basic", "");
  EXPECT_EQ(RegisteredServer("Word.Basic"), std::nullopt);
  RegisterServer("Word.Basic", folder + "/quillon-engine");
}

}  // namespace
}  // namespace quillon::automation
