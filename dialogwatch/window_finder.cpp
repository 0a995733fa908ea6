#include "dialogwatch/window_finder.h"

#include <QString>

namespace quillon::dialogwatch {
namespace {

// What a read into a buffer of this many bytes (terminator included) keeps.
constexpr std::size_t kTopLevelTextBuffer = 254;
constexpr std::size_t kControlTextBuffer = 100;

std::string ReadCut(std::string text, std::size_t buffer) {
  if (text.size() < buffer)
    return text;
  std::size_t keep = buffer - 1;
  // Back off to the start of a character so that the cut text stays UTF-8.
  while (keep > 0 && (static_cast<unsigned char>(text[keep]) & 0xC0) == 0x80)
    --keep;
  text.resize(keep);
  return text;
}

bool Contains(const std::string& text, const std::string& lower_criterion) {
  return LowerText(text).find(lower_criterion) != std::string::npos;
}

bool TitleOrClassContains(WindowSystem& windows, WindowHandle window,
                          const std::string& lower_criterion) {
  if (window == 0)
    return false;
  return Contains(ReadCut(windows.WindowText(window), kTopLevelTextBuffer), lower_criterion) ||
         Contains(ReadCut(windows.ClassName(window), kTopLevelTextBuffer), lower_criterion);
}

bool ProgramContains(WindowSystem& windows, WindowHandle window,
                     const std::string& lower_criterion) {
  return window != 0 && Contains(windows.ProgramName(window), lower_criterion);
}

bool SameText(const std::string& a, const std::string& b) {
  return LowerText(a) == LowerText(b);
}

template <typename Matches>
WindowHandle FindChild(WindowSystem& windows, WindowHandle parent, int index,
                       const Matches& matches) {
  if (parent == 0)
    return 0;
  const std::vector<WindowHandle> children = windows.ChildWindows(parent);
  int count = 0;
  for (WindowHandle child : children) {
    if (matches(child) && ++count == index)
      return child;
  }
  // A child without children of its own finds nothing, so it needs no
  // separate test.
  for (WindowHandle child : children) {
    if (WindowHandle found = FindChild(windows, child, index - count, matches))
      return found;
  }
  return 0;
}

}  // namespace

std::string LowerText(const std::string& text) {
  return QString::fromStdString(text).toLower().toStdString();
}

WindowHandle FindTopWindow(WindowSystem& windows, const std::string& window_program,
                           const std::string& window_title, const std::string& owner_program,
                           const std::string& owner_title) {
  const std::string lower_window_program = LowerText(window_program);
  const std::string lower_window_title = LowerText(window_title);
  const std::string lower_owner_program = LowerText(owner_program);
  const std::string lower_owner_title = LowerText(owner_title);
  const int wanted = !window_program.empty() + !window_title.empty() + !owner_program.empty() +
                     !owner_title.empty();
  const bool owner_needed = !owner_program.empty() || !owner_title.empty();

  for (WindowHandle window : windows.TopLevelWindows()) {
    const WindowHandle owner = owner_needed ? windows.ParentWindow(window) : 0;
    int matched = 0;
    if (!owner_title.empty() && TitleOrClassContains(windows, owner, lower_owner_title))
      ++matched;
    if (!owner_program.empty() && ProgramContains(windows, owner, lower_owner_program))
      ++matched;
    if (!window_title.empty() && TitleOrClassContains(windows, window, lower_window_title))
      ++matched;
    if (!window_program.empty() && ProgramContains(windows, window, lower_window_program))
      ++matched;
    if (matched == wanted)
      return window;
  }
  return 0;
}

WindowHandle FindNthChildByClass(WindowSystem& windows, const std::string& class_name, int index,
                                 WindowHandle parent) {
  return FindChild(windows, parent, index, [&](WindowHandle child) {
    return SameText(ReadCut(windows.ClassName(child), kControlTextBuffer), class_name);
  });
}

WindowHandle FindChildByClassAndText(WindowSystem& windows, const std::string& class_name,
                                     const std::string& text, WindowHandle parent) {
  // Every match counts as the first: the index never runs out.
  return FindChild(windows, parent, 1, [&](WindowHandle child) {
    return SameText(ReadCut(windows.ClassName(child), kControlTextBuffer), class_name) &&
           SameText(ReadCut(windows.WindowText(child), kControlTextBuffer), text);
  });
}

}  // namespace quillon::dialogwatch
