#pragma once
// An in-memory window system for the dialog watcher's tests: windows with
// texts, class names and program names, built by the test; clicks and typed
// characters are recorded (and typed characters added to the control's
// text). Safe to use from the test thread and a watcher thread at once.

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "dialogwatch/window_system.h"

namespace quillon::testing {

using dialogwatch::WindowHandle;

class InMemoryWindowSystem : public dialogwatch::WindowSystem {
 public:
  // A top-level window (owner 0: none), shown after the windows added before.
  WindowHandle AddTopLevel(const std::string& text, const std::string& class_name,
                           const std::string& program, WindowHandle owner = 0);
  // A control of parent, visited after parent's earlier children.
  WindowHandle AddChild(WindowHandle parent, const std::string& class_name,
                        const std::string& text);
  // Takes a window (and its children) away.
  void Remove(WindowHandle window);

  // Called (on the clicking thread, without the lock held) after each click.
  void OnClick(std::function<void(WindowHandle)> on_click);
  // Clicks that fail, for error paths.
  void FailClicks(bool fail);

  // What happened, in order: "click <text>" and "type <char>" (ASCII
  // as it is, other characters as U+XXXX).
  std::vector<std::string> Events() const;
  int TopLevelSearches() const;
  // Waits up to timeout_ms until at least `count` events were recorded.
  bool WaitForEvents(std::size_t count, int timeout_ms) const;

  std::vector<WindowHandle> TopLevelWindows() override;
  std::vector<WindowHandle> ChildWindows(WindowHandle window) override;
  WindowHandle ParentWindow(WindowHandle window) override;
  std::string WindowText(WindowHandle window) override;
  std::string ClassName(WindowHandle window) override;
  std::string ProgramName(WindowHandle window) override;
  bool Click(WindowHandle control) override;
  bool SendCharacter(WindowHandle control, char32_t character) override;

 private:
  struct Window {
    WindowHandle parent = 0;  // owner of a top-level window
    bool top_level = false;
    std::string text, class_name, program;
    std::vector<WindowHandle> children;
  };
  void Record(std::string event);

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::map<WindowHandle, Window> windows_;
  std::vector<WindowHandle> top_level_;
  WindowHandle next_ = 1;
  std::vector<std::string> events_;
  int searches_ = 0;
  bool fail_clicks_ = false;
  std::function<void(WindowHandle)> on_click_;
};

}  // namespace quillon::testing
