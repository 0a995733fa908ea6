#pragma once
// The one word-processor instance a run uses: finding or starting it,
// checking before each use that it still answers, and giving it back at the
// end (quit when this program started it, made visible otherwise).
//
// Thread: main thread only. The state is one copy per process.

#include <functional>
#include <string>

#include "automation/variant.h"

namespace quillon::engine {

// The class identifiers ConnectWord tries, in order.
extern const char* const kWordClassIdentifiers[5];

// Tries each class identifier in turn; the first that yields an object becomes
// the application and is hidden ("Visible" false, errors ignored). On failure
// the error text is the translated "Can not load Microsoft Word, ..." message.
// The error text is cleared first. Starting the server lets pending events
// run; a ConnectWord from an event handler meanwhile fails at once with "The
// word processor is still starting, ..." and starts nothing.
bool ConnectWord(std::string& error_text);

// Returns true at once when the held application answers "Version" (the error
// text is then left as it was); otherwise reconnects with ConnectWord and
// returns its result. The first reconnection attempt of the run fixes
// CreatedAtFirstConnection, whether it succeeded or not (a call refused
// because a connection is being made does not count).
bool EnsureWord(std::string& error_text);

// Quits the application when it was created at the first connection and drops
// the reference; otherwise makes it visible and keeps it. Never throws.
void ReleaseWord();

// The held application object; null before the first successful connection
// and after ReleaseWord quit it.
automation::ObjectPtr WordApplication();

bool CreatedByLastConnection();
bool FirstConnectionPending();
bool CreatedAtFirstConnection();

// How a class identifier becomes an object (attach, else create, reporting
// whether it created); throws AutomationError when both fail. The default is
// automation::GetOrCreateAutomationObject. Tests put a fake here.
using AutomationObjectSource =
    std::function<automation::ObjectPtr(const std::string& class_id, bool& created)>;
void SetAutomationObjectSource(AutomationObjectSource source);  // empty: the default

// Back to the state of a fresh process (no application, first connection
// pending). For tests.
void ResetWordConnection();

}  // namespace quillon::engine
