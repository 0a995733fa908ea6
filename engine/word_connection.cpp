#include "engine/word_connection.h"

#include <QCoreApplication>
#include <QThread>

#include "automation/client.h"
#include "engine/word_calls.h"
#include "util/translate.h"

namespace quillon::engine {

const char* const kWordClassIdentifiers[5] = {"Word.Application", "Word.Application.8",
                                              "Word.Application.9", "Word.Application.10",
                                              "Word.Basic"};

namespace {

struct WordConnection {
  automation::ObjectPtr application;
  bool created_by_last_connection = false;
  bool first_connection_pending = true;
  bool created_at_first_connection = false;
  // Set while a connection is being made: starting the server lets events
  // run, and an event handler must not start a second one meanwhile.
  bool connecting = false;
  AutomationObjectSource source;
};

WordConnection& State() {
  static WordConnection state;
  return state;
}

automation::ObjectPtr GetOrCreate(const std::string& class_id, bool& created) {
  if (State().source)
    return State().source(class_id, created);
  return automation::GetOrCreateAutomationObject(class_id, created);
}

// Calls into the word processor wait for their answer; on the main thread of
// a Qt program the window keeps repainting and handling input meanwhile.
void InstallEventPump() {
  static bool installed = false;
  QCoreApplication* app = QCoreApplication::instance();
  if (installed || app == nullptr || QThread::currentThread() != app->thread())
    return;
  installed = true;
  automation::SetMessagePump([] {
    if (QCoreApplication::instance() != nullptr)
      QCoreApplication::processEvents();
  });
}

}  // namespace

bool ConnectWord(std::string& error_text) {
  WordConnection& state = State();
  error_text.clear();
  if (state.connecting) {
    error_text = Tr("The word processor is still starting, please try again later");
    return false;
  }
  InstallEventPump();
  struct Connecting {
    bool& flag;
    explicit Connecting(bool& f) : flag(f) { flag = true; }
    ~Connecting() { flag = false; }
  } connecting(state.connecting);
  bool connected = false;
  for (const char* class_id : kWordClassIdentifiers) {
    try {
      automation::ObjectPtr object = GetOrCreate(class_id, state.created_by_last_connection);
      if (object != nullptr) {
        state.application = std::move(object);
        connected = true;
        break;
      }
    } catch (const std::exception&) {
      // Neither attaching nor creating worked for this identifier.
    }
  }
  if (connected) {
    SetWordVisible(*state.application, false);
  } else {
    error_text =
        Tr("Can not load Microsoft Word, you must install Microsoft Word first, please try again!");
  }
  return connected;
}

bool EnsureWord(std::string& error_text) {
  WordConnection& state = State();
  if (state.application != nullptr) {
    try {
      state.application->Get("Version");
      return true;
    } catch (const std::exception&) {
      // Gone or hung: reconnect below.
    }
  }
  const bool nested = state.connecting;
  const bool connected = ConnectWord(error_text);
  if (!nested && state.first_connection_pending) {
    state.created_at_first_connection = state.created_by_last_connection;
    state.first_connection_pending = false;
  }
  return connected;
}

void ReleaseWord() {
  WordConnection& state = State();
  if (state.created_at_first_connection) {
    try {
      if (state.application != nullptr)
        state.application->Call("Quit");
    } catch (const std::exception&) {
    }
    state.application.reset();
  } else {
    try {
      if (state.application != nullptr)
        state.application->Put("Visible", true);
    } catch (const std::exception&) {
    }
  }
}

automation::ObjectPtr WordApplication() {
  return State().application;
}

bool CreatedByLastConnection() {
  return State().created_by_last_connection;
}
bool FirstConnectionPending() {
  return State().first_connection_pending;
}
bool CreatedAtFirstConnection() {
  return State().created_at_first_connection;
}

void SetAutomationObjectSource(AutomationObjectSource source) {
  State().source = std::move(source);
}

void ResetWordConnection() {
  AutomationObjectSource source = std::move(State().source);
  State() = WordConnection();
  State().source = std::move(source);
}

}  // namespace quillon::engine
