#include "app/watch_service.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace quillon {
namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

bool WaylandSocketAnswers() {
  std::string name = Environment("WAYLAND_DISPLAY");
  if (name.empty()) {
    return false;
  }
  std::string path = name.front() == '/' ? name : Environment("XDG_RUNTIME_DIR") + "/" + name;
  sockaddr_un address{};
  if (path.size() >= sizeof(address.sun_path)) {
    return false;
  }
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    return false;
  }
  bool answers = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
  ::close(fd);
  return answers;
}

bool XServerAnswers() {
  if (Environment("DISPLAY").empty()) {
    return false;
  }
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  bool answers = connection != nullptr && xcb_connection_has_error(connection) == 0;
  if (connection != nullptr) {
    xcb_disconnect(connection);
  }
  return answers;
}

}  // namespace

bool DisplayCanBeOpened() {
  std::string platform = Environment("QT_QPA_PLATFORM");
  if (!platform.empty() && platform.rfind("xcb", 0) != 0 && platform.rfind("wayland", 0) != 0) {
    return true;
  }
  return WaylandSocketAnswers() || XServerAnswers();
}

bool RunsAsWatchService(RunMode mode) {
  return mode == RunMode::kTrayStart && !DisplayCanBeOpened();
}

}  // namespace quillon
