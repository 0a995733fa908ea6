#include "tests/support/in_memory_window_system.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace quillon::testing {

WindowHandle InMemoryWindowSystem::AddTopLevel(const std::string& text,
                                               const std::string& class_name,
                                               const std::string& program, WindowHandle owner) {
  std::lock_guard lock(mutex_);
  const WindowHandle handle = next_++;
  windows_[handle] = Window{owner, true, text, class_name, program, {}};
  top_level_.push_back(handle);
  return handle;
}

WindowHandle InMemoryWindowSystem::AddChild(WindowHandle parent, const std::string& class_name,
                                            const std::string& text) {
  std::lock_guard lock(mutex_);
  const WindowHandle handle = next_++;
  const std::string program = windows_.at(parent).program;
  windows_[handle] = Window{parent, false, text, class_name, program, {}};
  windows_.at(parent).children.push_back(handle);
  return handle;
}

void InMemoryWindowSystem::Remove(WindowHandle window) {
  std::lock_guard lock(mutex_);
  const auto found = windows_.find(window);
  if (found == windows_.end())
    return;
  std::vector<WindowHandle> doomed{window};
  for (std::size_t i = 0; i < doomed.size(); ++i) {
    const auto& children = windows_.at(doomed[i]).children;
    doomed.insert(doomed.end(), children.begin(), children.end());
  }
  if (!found->second.top_level && windows_.count(found->second.parent)) {
    auto& siblings = windows_.at(found->second.parent).children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), window), siblings.end());
  }
  top_level_.erase(std::remove(top_level_.begin(), top_level_.end(), window), top_level_.end());
  for (WindowHandle handle : doomed)
    windows_.erase(handle);
}

void InMemoryWindowSystem::OnClick(std::function<void(WindowHandle)> on_click) {
  std::lock_guard lock(mutex_);
  on_click_ = std::move(on_click);
}

void InMemoryWindowSystem::FailClicks(bool fail) {
  std::lock_guard lock(mutex_);
  fail_clicks_ = fail;
}

std::vector<std::string> InMemoryWindowSystem::Events() const {
  std::lock_guard lock(mutex_);
  return events_;
}

int InMemoryWindowSystem::TopLevelSearches() const {
  std::lock_guard lock(mutex_);
  return searches_;
}

bool InMemoryWindowSystem::WaitForEvents(std::size_t count, int timeout_ms) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                           [&] { return events_.size() >= count; });
}

void InMemoryWindowSystem::Record(std::string event) {
  events_.push_back(std::move(event));
  changed_.notify_all();
}

std::vector<WindowHandle> InMemoryWindowSystem::TopLevelWindows() {
  std::lock_guard lock(mutex_);
  ++searches_;
  return top_level_;
}

std::vector<WindowHandle> InMemoryWindowSystem::ChildWindows(WindowHandle window) {
  std::lock_guard lock(mutex_);
  const auto found = windows_.find(window);
  return found == windows_.end() ? std::vector<WindowHandle>{} : found->second.children;
}

WindowHandle InMemoryWindowSystem::ParentWindow(WindowHandle window) {
  std::lock_guard lock(mutex_);
  const auto found = windows_.find(window);
  return found == windows_.end() ? 0 : found->second.parent;
}

std::string InMemoryWindowSystem::WindowText(WindowHandle window) {
  std::lock_guard lock(mutex_);
  const auto found = windows_.find(window);
  return found == windows_.end() ? "" : found->second.text;
}

std::string InMemoryWindowSystem::ClassName(WindowHandle window) {
  std::lock_guard lock(mutex_);
  const auto found = windows_.find(window);
  return found == windows_.end() ? "" : found->second.class_name;
}

std::string InMemoryWindowSystem::ProgramName(WindowHandle window) {
  std::lock_guard lock(mutex_);
  const auto found = windows_.find(window);
  return found == windows_.end() ? "" : found->second.program;
}

bool InMemoryWindowSystem::Click(WindowHandle control) {
  std::function<void(WindowHandle)> on_click;
  {
    std::lock_guard lock(mutex_);
    const auto found = windows_.find(control);
    if (found == windows_.end() || fail_clicks_)
      return false;
    Record("click " + found->second.text);
    on_click = on_click_;
  }
  if (on_click)
    on_click(control);
  return true;
}

bool InMemoryWindowSystem::SendCharacter(WindowHandle control, char32_t character) {
  std::lock_guard lock(mutex_);
  const auto found = windows_.find(control);
  if (found == windows_.end())
    return false;
  std::string encoded;
  if (character < 0x80) {
    encoded = static_cast<char>(character);
  } else {
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(character));
    encoded = code;
  }
  Record("type " + encoded);
  found->second.text += encoded;
  return true;
}

}  // namespace quillon::testing
