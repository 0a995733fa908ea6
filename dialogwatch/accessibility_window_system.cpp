#include "dialogwatch/accessibility_window_system.h"

#include <atspi/atspi.h>
#include <unistd.h>

#include <sys/stat.h>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>

namespace quillon::dialogwatch {
namespace {

// --- The one connection of the process --------------------------------------

struct Bus {
  std::mutex mutex;
  bool tried = false;
  bool available = false;
  GMainContext* context = nullptr;  // only this module iterates it
};

Bus& TheBus() {
  static Bus* bus = new Bus;  // used by threads up to the very end
  return *bus;
}

// A session bus (or an accessibility bus of its own) is named or has its
// usual socket; without one, connecting would try to start one.
bool SessionBusConfigured() {
  if (std::getenv("AT_SPI_BUS_ADDRESS") || std::getenv("DBUS_SESSION_BUS_ADDRESS"))
    return true;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  struct stat info {};
  return runtime && *runtime && ::stat((std::string(runtime) + "/bus").c_str(), &info) == 0 &&
         S_ISSOCK(info.st_mode);
}

// Called with the bus lock held.
bool ConnectOnce(Bus& bus) {
  if (!bus.tried) {
    bus.tried = true;
    if (SessionBusConfigured()) {
      const int status = atspi_init();
      bus.available = status == 0 || status == 1;
      if (bus.available) {
        // Replies and signals are dispatched only when this module asks, on
        // the thread that holds the lock, never by the program's event loop.
        bus.context = g_main_context_new();
        atspi_set_main_context(bus.context);
      }
    }
  }
  return bus.available;
}

void DropError(GError*& error) {
  if (error)
    g_error_free(error);
  error = nullptr;
}

std::string TakeText(gchar* text) {
  std::string result = text ? text : "";
  g_free(text);
  return result;
}

bool SameAscii(const std::string& a, const char* b) {
  std::string lower;
  for (char c : a)
    lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower == b;
}

// The index of the action that clicks: "press", "click" or "activate", else
// the first one; -1 when there is none.
int ClickAction(AtspiAction* action) {
  GError* error = nullptr;
  const int count = atspi_action_get_n_actions(action, &error);
  DropError(error);
  for (int i = 0; i < count; ++i) {
    const std::string name = TakeText(atspi_action_get_action_name(action, i, &error));
    DropError(error);
    if (SameAscii(name, "press") || SameAscii(name, "click") || SameAscii(name, "activate"))
      return i;
  }
  return count > 0 ? 0 : -1;
}

// The mnemonic letter of a key binding, or 0.
char MnemonicOf(const std::string& key_binding) {
  // Bindings may list several forms separated by ";", the mnemonic first.
  const std::string first = key_binding.substr(0, key_binding.find(';'));
  if (first.size() == 1)
    return first[0];
  for (const char* prefix : {"Alt+", "<Alt>", "alt+", "<alt>"}) {
    const std::string p = prefix;
    if (first.size() == p.size() + 1 && first.compare(0, p.size(), p) == 0)
      return first.back();
  }
  return 0;
}

class AccessibilityWindowSystem : public WindowSystem {
 public:
  ~AccessibilityWindowSystem() override {
    std::lock_guard lock(TheBus().mutex);
    Forget();
  }

  std::vector<WindowHandle> TopLevelWindows() override {
    Bus& bus = TheBus();
    std::lock_guard lock(bus.mutex);
    Forget();
    std::vector<WindowHandle> result;
    if (!ConnectOnce(bus))
      return result;
    while (g_main_context_iteration(bus.context, FALSE)) {
    }
    AtspiAccessible* desktop = atspi_get_desktop(0);
    if (!desktop)
      return result;
    // Windows come and go between two looks: ask the applications afresh.
    atspi_accessible_clear_cache(desktop);
    GError* error = nullptr;
    const int applications = atspi_accessible_get_child_count(desktop, &error);
    DropError(error);
    for (int a = 0; a < applications; ++a) {
      AtspiAccessible* application = atspi_accessible_get_child_at_index(desktop, a, &error);
      DropError(error);
      if (!application)
        continue;
      const int windows = atspi_accessible_get_child_count(application, &error);
      DropError(error);
      for (int w = 0; w < windows; ++w) {
        AtspiAccessible* window = atspi_accessible_get_child_at_index(application, w, &error);
        DropError(error);
        if (window)
          result.push_back(Keep(window, true));
      }
      g_object_unref(application);
    }
    g_object_unref(desktop);
    return result;
  }

  std::vector<WindowHandle> ChildWindows(WindowHandle window) override {
    std::lock_guard lock(TheBus().mutex);
    std::vector<WindowHandle> result;
    AtspiAccessible* object = Find(window);
    if (!object)
      return result;
    GError* error = nullptr;
    const int count = atspi_accessible_get_child_count(object, &error);
    DropError(error);
    for (int i = 0; i < count; ++i) {
      AtspiAccessible* child = atspi_accessible_get_child_at_index(object, i, &error);
      DropError(error);
      if (child)
        result.push_back(Keep(child, false));
    }
    return result;
  }

  WindowHandle ParentWindow(WindowHandle window) override {
    std::lock_guard lock(TheBus().mutex);
    const auto found = objects_.find(window);
    if (found == objects_.end())
      return 0;
    GError* error = nullptr;
    if (!found->second.top_level) {
      AtspiAccessible* parent = atspi_accessible_get_parent(found->second.object, &error);
      DropError(error);
      return parent ? Keep(parent, false) : 0;
    }
    // A window's owner is the window it declares itself a part or popup of.
    GArray* relations = atspi_accessible_get_relation_set(found->second.object, &error);
    DropError(error);
    WindowHandle owner = 0;
    for (guint i = 0; relations && i < relations->len; ++i) {
      AtspiRelation* relation = g_array_index(relations, AtspiRelation*, i);
      const AtspiRelationType type = atspi_relation_get_relation_type(relation);
      if (owner == 0 && (type == ATSPI_RELATION_SUBWINDOW_OF || type == ATSPI_RELATION_POPUP_FOR) &&
          atspi_relation_get_n_targets(relation) > 0) {
        if (AtspiAccessible* target = atspi_relation_get_target(relation, 0))
          owner = Keep(target, true);
      }
      g_object_unref(relation);
    }
    if (relations)
      g_array_free(relations, TRUE);
    return owner;
  }

  std::string WindowText(WindowHandle window) override {
    std::lock_guard lock(TheBus().mutex);
    AtspiAccessible* object = Find(window);
    if (!object)
      return "";
    GError* error = nullptr;
    const std::string name = TakeText(atspi_accessible_get_name(object, &error));
    DropError(error);
    if (ClassOf(object) != "button")
      return name;
    std::string key_binding;
    if (AtspiAction* action = atspi_accessible_get_action_iface(object)) {
      const int index = ClickAction(action);
      if (index >= 0)
        key_binding = TakeText(atspi_action_get_key_binding(action, index, &error));
      DropError(error);
      g_object_unref(action);
    }
    return CaptionFromAccessibleName(name, key_binding);
  }

  std::string ClassName(WindowHandle window) override {
    std::lock_guard lock(TheBus().mutex);
    AtspiAccessible* object = Find(window);
    return object ? ClassOf(object) : "";
  }

  std::string ProgramName(WindowHandle window) override {
    std::lock_guard lock(TheBus().mutex);
    AtspiAccessible* object = Find(window);
    if (!object)
      return "";
    GError* error = nullptr;
    const guint pid = atspi_accessible_get_process_id(object, &error);
    const bool known = error == nullptr && pid != 0;
    DropError(error);
    return known ? ProgramNameOfProcess(static_cast<long>(pid)) : "";
  }

  bool Click(WindowHandle control) override {
    std::lock_guard lock(TheBus().mutex);
    AtspiAccessible* object = Find(control);
    AtspiAction* action = object ? atspi_accessible_get_action_iface(object) : nullptr;
    if (!action)
      return false;
    const int index = ClickAction(action);
    GError* error = nullptr;
    const bool done = index >= 0 && atspi_action_do_action(action, index, &error) && !error;
    DropError(error);
    g_object_unref(action);
    return done;
  }

  bool SendCharacter(WindowHandle control, char32_t character) override {
    std::lock_guard lock(TheBus().mutex);
    const auto found = objects_.find(control);
    if (found == objects_.end() || character == 0 || character > 0x10FFFF)
      return false;
    gchar utf8[8] = {};
    const gint length = g_unichar_to_utf8(static_cast<gunichar>(character), utf8);
    AtspiAccessible* object = found->second.object;
    GError* error = nullptr;
    if (AtspiEditableText* editable = atspi_accessible_get_editable_text_iface(object)) {
      // Characters go one after the other from the caret, wherever the field
      // puts its caret after an insertion.
      Entry& entry = found->second;
      if (entry.insert_at < 0) {
        AtspiText* text = atspi_accessible_get_text_iface(object);
        entry.insert_at = text ? atspi_text_get_caret_offset(text, &error) : 0;
        DropError(error);
        if (entry.insert_at < 0)
          entry.insert_at = text ? atspi_text_get_character_count(text, &error) : 0;
        DropError(error);
        if (text)
          g_object_unref(text);
      }
      const bool done =
          atspi_editable_text_insert_text(editable, entry.insert_at, utf8, length, &error) &&
          !error;
      DropError(error);
      g_object_unref(editable);
      if (done)
        ++entry.insert_at;
      return done;
    }
    if (AtspiComponent* component = atspi_accessible_get_component_iface(object)) {
      atspi_component_grab_focus(component, &error);
      DropError(error);
      g_object_unref(component);
    }
    // Key symbols: Latin-1 as they are, the rest as Unicode key symbols.
    const glong keysym = character < 0x100 ? static_cast<glong>(character)
                                           : static_cast<glong>(0x01000000 | character);
    const bool done =
        atspi_generate_keyboard_event(keysym, nullptr, ATSPI_KEY_SYM, &error) && !error;
    DropError(error);
    return done;
  }

 private:
  struct Entry {
    AtspiAccessible* object;
    bool top_level;
    int insert_at = -1;  // where the next typed character goes
  };

  // Called with the bus lock held; takes over the reference.
  WindowHandle Keep(AtspiAccessible* object, bool top_level) {
    const WindowHandle handle = next_++;
    objects_[handle] = Entry{object, top_level};
    return handle;
  }

  AtspiAccessible* Find(WindowHandle handle) const {
    const auto found = objects_.find(handle);
    return found == objects_.end() ? nullptr : found->second.object;
  }

  void Forget() {
    for (auto& [handle, entry] : objects_)
      g_object_unref(entry.object);
    objects_.clear();
  }

  static std::string ClassOf(AtspiAccessible* object) {
    GError* error = nullptr;
    const AtspiRole role = atspi_accessible_get_role(object, &error);
    DropError(error);
    switch (role) {
      case ATSPI_ROLE_PUSH_BUTTON:
      case ATSPI_ROLE_TOGGLE_BUTTON:
        return "button";
      case ATSPI_ROLE_TEXT:
      case ATSPI_ROLE_PASSWORD_TEXT:
      case ATSPI_ROLE_ENTRY:
        return "edit";
      default: {
        std::string name = TakeText(atspi_accessible_get_role_name(object, &error));
        DropError(error);
        return name;
      }
    }
  }

  std::map<WindowHandle, Entry> objects_;
  WindowHandle next_ = 1;
};

}  // namespace

std::shared_ptr<WindowSystem> MakeAccessibilityWindowSystem() {
  return std::make_shared<AccessibilityWindowSystem>();
}

std::string ProgramNameOfProcess(long pid) {
  const std::string folder = "/proc/" + std::to_string(pid);
  char target[4096];
  const ssize_t length = ::readlink((folder + "/exe").c_str(), target, sizeof target - 1);
  if (length > 0) {
    std::string path(target, static_cast<std::size_t>(length));
    // A program file replaced while it runs still names the program.
    const std::string deleted = " (deleted)";
    if (path.size() > deleted.size() &&
        path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
      path.resize(path.size() - deleted.size());
    return path.substr(path.rfind('/') + 1);
  }
  // Another user's process: its short command name is all there is.
  std::ifstream comm(folder + "/comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

std::string CaptionFromAccessibleName(const std::string& name, const std::string& key_binding) {
  const char mnemonic = MnemonicOf(key_binding);
  std::string caption;
  bool marked = false;
  for (char c : name) {
    if (c == '&') {
      caption += "&&";
      continue;
    }
    if (!marked && mnemonic != 0 &&
        std::tolower(static_cast<unsigned char>(c)) ==
            std::tolower(static_cast<unsigned char>(mnemonic))) {
      caption += '&';
      marked = true;
    }
    caption += c;
  }
  return caption;
}

}  // namespace quillon::dialogwatch
