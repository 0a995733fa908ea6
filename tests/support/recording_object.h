#pragma once
// A recording automation object for tests: every call on it and on its child
// objects lands, in order, in one shared log, with its kind, name and
// arguments (kinds included). Answers and failures are scripted per name.

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "automation/variant.h"

namespace quillon::testing {

using automation::Args;
using automation::CallKind;
using automation::Variant;

struct RecordedCall {
  std::string object;  // label of the object called
  CallKind kind;
  std::string name;
  Args args;
};

// One line per call, for exact comparison in tests:
//   app.Documents method Open(FileName=text "a.doc", ReadOnly=bool true)
//   doc get Characters
//   app put Visible(bool false)
// Values: empty, bool true/false, int N, text "...", object <label>.
std::string Describe(const RecordedCall& call);
std::string DescribeValue(const Variant& value);

class CallLog {
 public:
  std::vector<RecordedCall> calls;
  std::vector<std::string> Lines() const;
  void Clear() { calls.clear(); }
};

class RecordingObject : public automation::Object,
                        public std::enable_shared_from_this<RecordingObject> {
 public:
  explicit RecordingObject(std::string label,
                           std::shared_ptr<CallLog> log = std::make_shared<CallLog>());

  const std::string& label() const { return label_; }
  const std::shared_ptr<CallLog>& log() const { return log_; }

  // The next calls of this kind and name answer these values in turn; the
  // last one keeps answering.
  RecordingObject& Returns(CallKind kind, const std::string& name, std::vector<Variant> values);
  RecordingObject& Returns(CallKind kind, const std::string& name, Variant value) {
    return Returns(kind, name, std::vector<Variant>{std::move(value)});
  }
  // Calls of this kind and name raise AutomationError(message).
  RecordingObject& Throws(CallKind kind, const std::string& name, const std::string& message);
  // A child object (label "<label>.<name>") answered by calls of this kind and
  // name; it shares the log.
  std::shared_ptr<RecordingObject> Child(const std::string& name, CallKind kind = CallKind::kGet);

  // Strict objects reject names nothing was scripted for (as the real object
  // model does); lenient ones (the default) answer empty. A put is always
  // accepted, and a get of the same name then answers the value put.
  void set_strict(bool strict) { strict_ = strict; }

  automation::Variant Invoke(CallKind kind, std::string_view name, const Args& args) override;

 private:
  struct Script {
    std::deque<Variant> values;
    std::string error;
    bool throws = false;
  };
  static std::string Key(CallKind kind, std::string_view name);

  std::string label_;
  std::shared_ptr<CallLog> log_;
  std::map<std::string, Script> scripts_;
  std::vector<std::shared_ptr<RecordingObject>> children_;
  bool strict_ = false;
};

}  // namespace quillon::testing
