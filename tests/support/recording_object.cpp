#include "tests/support/recording_object.h"

#include <cctype>

#include "tests/support/describe_args.h"

namespace quillon::testing {

using automation::AutomationError;

namespace {

std::string NameRecordingObject(automation::Object& object) {
  auto* recording = dynamic_cast<RecordingObject*>(&object);
  return recording ? recording->label() : std::string("?");
}

}  // namespace

std::string DescribeValue(const Variant& value) {
  return DescribeValue(value, NameRecordingObject);
}

std::string Describe(const RecordedCall& call) {
  std::string out = call.object;
  switch (call.kind) {
    case CallKind::kGet:
      out += " get ";
      break;
    case CallKind::kPut:
      out += " put ";
      break;
    case CallKind::kMethod:
      out += " method ";
      break;
  }
  out += call.name;
  if (call.args.positional.empty() && call.args.named.empty())
    return out;
  return out + "(" + DescribeArgs(call.args, NameRecordingObject) + ")";
}

std::vector<std::string> CallLog::Lines() const {
  std::vector<std::string> lines;
  for (const RecordedCall& call : calls)
    lines.push_back(Describe(call));
  return lines;
}

RecordingObject::RecordingObject(std::string label, std::shared_ptr<CallLog> log)
    : label_(std::move(label)), log_(std::move(log)) {}

std::string RecordingObject::Key(CallKind kind, std::string_view name) {
  std::string key = std::to_string(static_cast<int>(kind)) + ":";
  for (char c : name)
    key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return key;
}

RecordingObject& RecordingObject::Returns(CallKind kind, const std::string& name,
                                          std::vector<Variant> values) {
  Script& script = scripts_[Key(kind, name)];
  script.values.assign(values.begin(), values.end());
  script.throws = false;
  return *this;
}

RecordingObject& RecordingObject::Throws(CallKind kind, const std::string& name,
                                         const std::string& message) {
  Script& script = scripts_[Key(kind, name)];
  script.throws = true;
  script.error = message;
  return *this;
}

std::shared_ptr<RecordingObject> RecordingObject::Child(const std::string& name, CallKind kind) {
  auto child = std::make_shared<RecordingObject>(label_ + "." + name, log_);
  children_.push_back(child);
  Returns(kind, name, Variant(automation::ObjectPtr(child)));
  return child;
}

Variant RecordingObject::Invoke(CallKind kind, std::string_view name, const Args& args) {
  log_->calls.push_back(RecordedCall{label_, kind, std::string(name), args});
  auto it = scripts_.find(Key(kind, name));
  if (it != scripts_.end()) {
    Script& script = it->second;
    if (script.throws)
      throw AutomationError(script.error);
    if (script.values.empty())
      return Variant();
    Variant value = script.values.front();
    if (script.values.size() > 1)
      script.values.pop_front();
    return value;
  }
  if (kind == CallKind::kPut) {
    if (!args.positional.empty()) {
      scripts_[Key(CallKind::kGet, name)].values = {args.positional.back()};
    }
    return Variant();
  }
  if (strict_)
    throw AutomationError("Unknown name \"" + std::string(name) + "\"");
  return Variant();
}

}  // namespace quillon::testing
