#include "docengine/macro_interpreter.h"

#include <deque>
#include <new>

#include "docengine/macro_builtins.h"

namespace quillon::docengine::macro {

using automation::Args;
using automation::AutomationError;
using automation::CallKind;
using automation::NameEquals;
using automation::Object;
using automation::ObjectPtr;
using automation::Variant;

namespace {

constexpr int kMaxCallDepth = 400;

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// A run-time error that knows the line where it happened.
class LocatedError : public RuntimeError {
 public:
  LocatedError(int number, const std::string& description, int line)
      : RuntimeError(number, description), line_(line) {}
  int line() const { return line_; }

 private:
  int line_;
};

// "End" stops the whole run.
struct EndRun {};

enum class Flow { kNormal, kExitProcedure, kExitFor, kExitDo };

constexpr const char* kDefaultErrSource = "plugin";

struct ErrState {
  int number = 0;
  std::string description;
  std::string source;
  // The source Err.Raise named, taken over when its error is passed over.
  std::string raised_source;
  void Clear() {
    number = 0;
    description.clear();
    source.clear();
  }
};

// The Err object: the last error that On Error Resume Next passed over.
class ErrObject : public Object {
 public:
  explicit ErrObject(ErrState& state) : state_(state) {}
  Variant Invoke(CallKind kind, std::string_view name, const Args& args) override {
    if (kind == CallKind::kPut) {
      const Variant& v = args.positional.back();
      if (NameEquals(name, "Number")) {
        state_.number = v.ToInt();
        return {};
      }
      if (NameEquals(name, "Description")) {
        state_.description = v.ToText();
        return {};
      }
      if (NameEquals(name, "Source")) {
        state_.source = v.ToText();
        return {};
      }
    } else {
      if (NameEquals(name, "Number") || name.empty())
        return Variant(static_cast<std::int32_t>(state_.number));
      if (NameEquals(name, "Description"))
        return Variant(state_.description);
      if (NameEquals(name, "Source"))
        return Variant(state_.number == 0 || !state_.source.empty() ? state_.source
                                                                    : kDefaultErrSource);
      if (NameEquals(name, "Clear")) {
        state_.Clear();
        return {};
      }
      if (NameEquals(name, "Raise")) {
        const Variant* number = args.Named("Number");
        if (number == nullptr)
          number = args.At(0);
        const Variant* description = args.Named("Description");
        if (description == nullptr)
          description = args.At(2);
        const Variant* source = args.Named("Source");
        if (source == nullptr)
          source = args.At(1);
        const int n = number != nullptr ? number->ToInt() : 0;
        state_.raised_source = source != nullptr ? source->ToText() : std::string();
        throw RuntimeError(n, description != nullptr && !description->ToText().empty()
                                  ? description->ToText()
                                  : "Application-defined or object-defined error");
      }
    }
    throw AutomationError("The Err object has no property or method named \"" + std::string(name) +
                          "\".");
  }

 private:
  ErrState& state_;
};

struct Frame {
  const Procedure* procedure = nullptr;
  std::unordered_map<std::string, Variable*> names;
  std::deque<Variable> storage;
  Variable* result = nullptr;
  bool resume_next = false;
  std::vector<Value> with_objects;
};

}  // namespace

class Interpreter {
 public:
  Interpreter(ModuleRuntime& runtime, const RunContext& context)
      : runtime_(runtime),
        module_(*runtime.module_),
        context_(context),
        err_(std::make_shared<ErrObject>(err_state_)) {
    env_.compare_text = module_.compare_text;
    env_.scalar = [this](const Value& v) { return Scalar(v, 0); };
    env_.log = context.log;
  }

  Value Run(const Procedure& procedure) {
    try {
      InitialiseModule();
      return Call(procedure, {}, procedure.line);
    } catch (const EndRun&) {
      return {};
    } catch (const LocatedError& e) {
      throw Failure(e.number(), e.what(), e.line());
    } catch (const RuntimeError& e) {
      throw Failure(e.number(), e.what(), procedure.line);
    } catch (const AutomationError& e) {
      throw Failure(kErrAutomation, e.what(), procedure.line);
    } catch (const std::bad_alloc&) {
      throw Failure(kErrOutOfMemory, "Out of memory", procedure.line);
    }
  }

 private:
  MacroFailure Failure(int number, const std::string& description, int line) const {
    std::string message = "Run-time error";
    if (number != 0)
      message += " " + std::to_string(number);
    message +=
        " in " + context_.module_file + ", line " + std::to_string(line) + ": " + description;
    return MacroFailure(message, line);
  }

  void InitialiseModule() {
    if (runtime_.initialised_)
      return;
    runtime_.initialised_ = true;
    // Module-level expressions evaluate in a frame of their own.
    Frame frame;
    frames_.push_back(&frame);
    struct Pop {
      std::vector<Frame*>& frames;
      ~Pop() { frames.pop_back(); }
    } pop{frames_};
    for (const VarDecl& decl : module_.variables) {
      Variable v;
      v.type = decl.type;
      v.value =
          decl.is_array ? NewArray(decl.bounds, decl.type, nullptr) : Value::DefaultOf(decl.type);
      runtime_.variables_[Lower(decl.name)] = std::move(v);
    }
    for (const auto& [name, expr] : module_.constants) {
      Variable v;
      v.value = Eval(*expr);
      v.is_const = true;
      runtime_.variables_[Lower(name)] = std::move(v);
    }
  }

  void Tick() {
    if ((++steps_ & 1023) == 0 && std::chrono::steady_clock::now() > context_.deadline)
      throw MacroTimeout("The macro did not end within its time limit and was stopped.");
  }

  Frame& Top() { return *frames_.back(); }

  Variable* Lookup(const std::string& lower) {
    if (!frames_.empty()) {
      auto it = Top().names.find(lower);
      if (it != Top().names.end())
        return it->second;
    }
    auto it = runtime_.variables_.find(lower);
    if (it != runtime_.variables_.end())
      return &it->second;
    return nullptr;
  }

  Variable* Declare(const std::string& lower, TypeName type) {
    Frame& f = Top();
    f.storage.emplace_back();
    Variable* v = &f.storage.back();
    v->type = type;
    v->value = Value::DefaultOf(type);
    f.names[lower] = v;
    return v;
  }

  const Procedure* FindProcedure(const std::string& name) const { return runtime_.Find(name); }

  // A Static variable lives in the module runtime and keeps its value from
  // one call of its procedure to the next. False outside a procedure.
  bool DeclareStatic(const VarDecl& decl) {
    Frame& f = Top();
    if (f.procedure == nullptr)
      return false;
    const std::string lower = Lower(decl.name);
    const std::string key = Lower(f.procedure->name) + "." + lower;
    auto [it, added] = runtime_.statics_.try_emplace(key);
    Variable& v = it->second;
    if (added) {
      v.type = decl.is_array ? TypeName::kVariant : decl.type;
      v.value =
          decl.is_array ? NewArray(decl.bounds, decl.type, nullptr) : Value::DefaultOf(decl.type);
    }
    f.names[lower] = &v;
    return true;
  }

  // --- Calls ---------------------------------------------------------------

  struct BoundArg {
    Variable* by_ref = nullptr;  // a caller's variable
    // An element of a caller's array: passed by reference, it takes the
    // parameter's last value when the call returns.
    const Expr* element = nullptr;
    Value value;
    bool present = false;
  };

  Value Call(const Procedure& procedure, std::vector<BoundArg> args, int line) {
    std::vector<std::pair<const Expr*, Value>> write_back;
    Value result = RunProcedure(procedure, args, line, write_back);
    for (auto& [target, value] : write_back)
      Store(*target, std::move(value), false, line);
    return result;
  }

  Value RunProcedure(const Procedure& procedure, std::vector<BoundArg>& args, int line,
                     std::vector<std::pair<const Expr*, Value>>& write_back) {
    if (frames_.size() >= kMaxCallDepth)
      throw LocatedError(kErrOutOfStack, "Out of stack space", line);
    if (args.size() > procedure.params.size())
      throw LocatedError(kErrArguments, "Wrong number of arguments calling " + procedure.name,
                         line);
    Frame frame;
    frame.procedure = &procedure;
    frames_.push_back(&frame);
    struct Pop {
      std::vector<Frame*>& frames;
      ~Pop() { frames.pop_back(); }
    } pop{frames_};
    std::vector<std::pair<const Expr*, Variable*>> elements;
    for (std::size_t i = 0; i < procedure.params.size(); ++i) {
      const Param& param = procedure.params[i];
      const std::string lower = Lower(param.name);
      if (i < args.size() && args[i].present) {
        if (args[i].by_ref != nullptr && !param.by_val) {
          frame.names[lower] = args[i].by_ref;
          continue;
        }
        Variable* v = Declare(lower, param.is_array ? TypeName::kVariant : param.type);
        v->value = param.is_array ? args[i].value.Copy() : Assignable(args[i].value, v->type, line);
        if (args[i].element != nullptr && !param.by_val)
          elements.emplace_back(args[i].element, v);
        continue;
      }
      if (!param.optional)
        throw LocatedError(kErrArguments,
                           "Argument not optional: " + param.name + " of " + procedure.name, line);
      Variable* v = Declare(lower, param.type);
      if (param.default_value)
        v->value = Assignable(Eval(*param.default_value), v->type, line);
    }
    if (procedure.is_function)
      frame.result = Declare(Lower(procedure.name), procedure.return_type);
    ExecBody(procedure.body);
    for (const auto& [target, v] : elements)
      write_back.emplace_back(target, v->value);
    return frame.result != nullptr ? frame.result->value : Value();
  }

  std::vector<BoundArg> BindArguments(const Procedure& procedure, const std::vector<Argument>& args,
                                      int line) {
    std::vector<BoundArg> bound;
    for (const Argument& arg : args) {
      std::size_t index = bound.size();
      if (!arg.name.empty()) {
        index = SIZE_MAX;
        for (std::size_t i = 0; i < procedure.params.size(); ++i) {
          if (NameEquals(procedure.params[i].name, arg.name))
            index = i;
        }
        if (index == SIZE_MAX)
          throw LocatedError(kErrArguments,
                             "Named argument not found: " + arg.name + " of " + procedure.name,
                             line);
      }
      if (bound.size() <= index)
        bound.resize(index + 1);
      if (!arg.value)
        continue;
      BoundArg& b = bound[index];
      b.present = true;
      if (arg.value->kind == Expr::Kind::kName && !arg.value->parenthesized) {
        Variable* v = Lookup(Lower(arg.value->text));
        if (v != nullptr && !v->is_const && !arg.value->has_args) {
          b.by_ref = v;
          b.value = v->value;
          continue;
        }
        if (v != nullptr && !v->is_const && !arg.value->args.empty() && v->value.is_array())
          b.element = arg.value.get();
      }
      b.value = Eval(*arg.value);
    }
    return bound;
  }

  Args ToArgs(const std::vector<Argument>& args) {
    Args out;
    for (const Argument& arg : args) {
      Value v = arg.value ? Eval(*arg.value) : Value();
      if (arg.name.empty()) {
        out.positional.push_back(ToVariant(v));
      } else {
        out.named.push_back({arg.name, ToVariant(v)});
      }
    }
    return out;
  }

  Value Invoke(const ObjectPtr& object, CallKind kind, const std::string& name, const Args& args) {
    Tick();
    try {
      return FromVariant(object->Invoke(kind, name, args));
    } catch (const AutomationError& e) {
      throw RuntimeError(kErrAutomation, e.what());
    }
  }

  // The value an object stands for where a plain value is wanted.
  Value Scalar(const Value& v, int) {
    if (!v.is_object())
      return v;
    if (!v.object())
      throw RuntimeError(kErrObjectNotSet, "Object variable not set");
    return Invoke(v.object(), CallKind::kGet, "", {});
  }

  // --- Arrays ----------------------------------------------------------------

  Value NewArray(const std::vector<Bound>& bounds, TypeName type, const Value* preserve) {
    auto array = std::make_shared<ArrayData>();
    array->element_type = type;
    std::size_t total = 1;
    for (const Bound& bound : bounds) {
      const std::int32_t lower = bound.lower ? Eval(*bound.lower).ToLong() : module_.option_base;
      const std::int32_t upper = Eval(*bound.upper).ToLong();
      if (upper < lower)
        throw RuntimeError(kErrSubscript, "Subscript out of range");
      array->bounds.emplace_back(lower, upper);
      total *= static_cast<std::size_t>(upper - lower + 1);
      if (total > (1u << 24))
        throw RuntimeError(kErrOutOfMemory, "Out of memory");
    }
    if (bounds.empty())
      total = 0;
    array->items.assign(total, Value::DefaultOf(type));
    if (preserve != nullptr && preserve->is_array() && preserve->array()) {
      const ArrayData& old = *preserve->array();
      // Preserve keeps the items whose place exists in both (the last
      // dimension may change, as the dialect allows).
      const std::size_t keep = std::min(old.items.size(), array->items.size());
      if (old.bounds.size() <= 1 && array->bounds.size() <= 1) {
        for (std::size_t i = 0; i < keep; ++i)
          array->items[i] = old.items[i];
      } else {
        throw RuntimeError(kErrSubscript,
                           "ReDim Preserve of an array of several dimensions is not supported");
      }
    }
    return Value::Array(std::move(array));
  }

  Value* Element(const Value& array_value, const std::vector<Argument>& args) {
    const std::shared_ptr<ArrayData>& array = array_value.array();
    if (!array || args.size() != array->bounds.size())
      throw RuntimeError(kErrSubscript, "Subscript out of range");
    std::size_t offset = 0;
    for (std::size_t d = 0; d < args.size(); ++d) {
      if (!args[d].value)
        throw RuntimeError(kErrSubscript, "Subscript out of range");
      const std::int32_t i = Scalar(Eval(*args[d].value), 0).ToLong();
      const auto [lower, upper] = array->bounds[d];
      if (i < lower || i > upper)
        throw RuntimeError(kErrSubscript, "Subscript out of range");
      offset = offset * static_cast<std::size_t>(upper - lower + 1) +
               static_cast<std::size_t>(i - lower);
    }
    return &array->items[offset];
  }

  // --- Expressions -------------------------------------------------------------

  Value Eval(const Expr& e) {
    switch (e.kind) {
      case Expr::Kind::kNumber:
        if (e.integral && e.number >= -2147483648.0 && e.number <= 2147483647.0)
          return Value::Whole(static_cast<long long>(e.number));
        return Value::Double(e.number);
      case Expr::Kind::kString:
        return Value::String(e.text);
      case Expr::Kind::kBoolean:
        return Value::Boolean(e.number != 0);
      case Expr::Kind::kNothing:
        return Value::Object(nullptr);
      case Expr::Kind::kEmpty:
        return Value();
      case Expr::Kind::kNull:
        return Value::Null();
      case Expr::Kind::kName:
        return EvalName(e, CallKind::kGet);
      case Expr::Kind::kMember:
        return EvalMember(e, CallKind::kGet);
      case Expr::Kind::kIndex: {
        const Value base = Eval(*e.object);
        if (base.is_array())
          return *Element(base, e.args);
        if (base.is_object())
          return Invoke(base.ToObject(), CallKind::kGet, "Item", ToArgs(e.args));
        throw RuntimeError(kErrTypeMismatch, "Type mismatch");
      }
      case Expr::Kind::kUnary:
        return ApplyUnary(e.op, Scalar(Eval(*e.lhs), 0));
      case Expr::Kind::kBinary: {
        if (e.op == Op::kIs)
          return ApplyBinary(Op::kIs, Eval(*e.lhs), Eval(*e.rhs), false);
        const Value a = Scalar(Eval(*e.lhs), 0);
        const Value b = Scalar(Eval(*e.rhs), 0);
        return ApplyBinary(e.op, a, b, module_.compare_text);
      }
    }
    return {};
  }

  bool IsGlobalMember(const std::string& lower) const {
    return lower == "activedocument" || lower == "documents";
  }

  Value EvalName(const Expr& e, CallKind kind) {
    const std::string lower = Lower(e.text);
    if (Variable* v = Lookup(lower)) {
      if (!e.has_args || (e.args.empty() && !v->value.is_array() && !v->value.is_object()))
        return v->value;
      if (v->value.is_array())
        return e.args.empty() ? v->value : *Element(v->value, e.args);
      if (v->value.is_object())
        return Invoke(v->value.ToObject(), CallKind::kGet, "Item", ToArgs(e.args));
      // A function's own name with arguments inside the function calls it.
      if (const Procedure* p = FindProcedure(e.text))
        return Call(*p, BindArguments(*p, e.args, e.line), e.line);
      throw RuntimeError(kErrTypeMismatch, "Type mismatch: " + e.text + " is not an array");
    }
    if (const Procedure* p = FindProcedure(e.text))
      return Call(*p, BindArguments(*p, e.args, e.line), e.line);
    Value constant;
    if (!e.has_args && LookupConstant(lower, constant))
      return constant;
    if (IsBuiltin(lower))
      return EvalBuiltin(lower, e.args);
    if (lower == "application" && !e.has_args)
      return Value::Object(context_.application);
    if (lower == "err" && !e.has_args)
      return Value::Object(err_);
    if (IsGlobalMember(lower)) {
      if (!context_.application)
        throw RuntimeError(kErrObjectNotSet, "There is no application to take " + e.text + " from");
      return Invoke(context_.application, kind, e.text, ToArgs(e.args));
    }
    if (e.has_args)
      throw RuntimeError(kErrNotDefined, "Sub or Function not defined: " + e.text);
    if (module_.option_explicit)
      throw RuntimeError(kErrNotDefined, "Variable not defined: " + e.text);
    return Declare(lower, TypeName::kVariant)->value;
  }

  Value EvalBuiltin(const std::string& lower, const std::vector<Argument>& args) {
    std::vector<Value> values;
    std::vector<bool> present;
    for (const Argument& arg : args) {
      if (!arg.name.empty())
        throw RuntimeError(kErrArguments, "Named arguments are not supported by " + lower);
      present.push_back(arg.value != nullptr);
      values.push_back(arg.value ? Eval(*arg.value) : Value());
    }
    return CallBuiltin(lower, values, present, env_);
  }

  ObjectPtr ObjectOf(const Expr& e) {
    if (!e.object) {
      Frame& f = Top();
      if (f.with_objects.empty())
        throw RuntimeError(kErrObjectRequired, "." + e.text + " is used outside a With block");
      return f.with_objects.back().ToObject();
    }
    const Value base = Eval(*e.object);
    if (!base.is_object())
      throw RuntimeError(kErrObjectRequired, "Object required before ." + e.text);
    return base.ToObject();
  }

  Value EvalMember(const Expr& e, CallKind kind) {
    const ObjectPtr object = ObjectOf(e);
    return Invoke(object, kind, e.text, ToArgs(e.args));
  }

  // The value to store under a declared type; objects give their default
  // value unless the variable holds objects.
  Value Assignable(const Value& v, TypeName type, int) {
    if (v.is_object() && type != TypeName::kObject && type != TypeName::kVariant)
      return Scalar(v, 0).ConvertTo(type);
    return v.ConvertTo(type);
  }

  // --- Statements --------------------------------------------------------------

  Flow ExecBody(const Body& body) {
    for (const StmtPtr& s : body) {
      Flow flow = Flow::kNormal;
      if (Top().resume_next) {
        try {
          flow = Exec(*s);
        } catch (const RuntimeError& e) {
          PassOver(e);
          continue;
        }
      } else {
        flow = Exec(*s);
      }
      if (flow != Flow::kNormal)
        return flow;
    }
    return Flow::kNormal;
  }

  // On Error Resume Next goes on past the error; Err tells what it was.
  void PassOver(const RuntimeError& e) {
    err_state_.number = e.number();
    err_state_.description = e.what();
    err_state_.source = err_state_.raised_source;
    err_state_.raised_source.clear();
  }

  // An If's condition. Under On Error Resume Next a condition that fails
  // goes on with the next statement, which is the first of its Then part.
  bool TestCondition(const Expr& e) {
    if (!Top().resume_next)
      return Test(e);
    try {
      return Test(e);
    } catch (const RuntimeError& error) {
      PassOver(error);
      return true;
    }
  }

  Flow Exec(const Stmt& s) {
    Tick();
    try {
      return ExecStatement(s);
    } catch (const LocatedError&) {
      throw;
    } catch (const RuntimeError& e) {
      throw LocatedError(e.number(), e.what(), s.line);
    } catch (const AutomationError& e) {
      throw LocatedError(kErrAutomation, e.what(), s.line);
    } catch (const std::bad_alloc&) {
      throw LocatedError(kErrOutOfMemory, "Out of memory", s.line);
    } catch (const std::length_error&) {
      throw LocatedError(kErrOutOfMemory, "Out of memory", s.line);
    }
  }

  void Assign(const Stmt& s) { Store(*s.target, Eval(*s.value), s.is_set, s.line); }

  void Store(const Expr& target, Value value, bool is_set, int line) {
    if (is_set) {
      if (!value.is_object())
        throw RuntimeError(kErrObjectRequired, "Object required: Set needs an object or Nothing");
    } else if (value.is_object() && !(target.kind == Expr::Kind::kName && !target.has_args &&
                                      LookupType(target.text) == TypeName::kObject)) {
      value = Scalar(value, 0);
    }
    switch (target.kind) {
      case Expr::Kind::kName: {
        const std::string lower = Lower(target.text);
        Variable* v = Lookup(lower);
        if (v == nullptr) {
          if (FindProcedure(target.text) != nullptr || IsBuiltin(lower))
            throw RuntimeError(kErrTypeMismatch,
                               "A procedure cannot be assigned to: " + target.text);
          if (module_.option_explicit)
            throw RuntimeError(kErrNotDefined, "Variable not defined: " + target.text);
          v = Declare(lower, TypeName::kVariant);
        }
        if (v->is_const)
          throw RuntimeError(kErrTypeMismatch, "A constant cannot be assigned to: " + target.text);
        if (target.has_args && !target.args.empty()) {
          if (v->value.is_array()) {
            Value* element = Element(v->value, target.args);
            *element = Assignable(value, v->value.array()->element_type, line);
            return;
          }
          if (v->value.is_object()) {
            Args args = ToArgs(target.args);
            args.positional.push_back(ToVariant(value));
            Invoke(v->value.ToObject(), CallKind::kPut, "Item", args);
            return;
          }
          throw RuntimeError(kErrTypeMismatch,
                             "Type mismatch: " + target.text + " is not an array");
        }
        if (is_set && v->type != TypeName::kObject && v->type != TypeName::kVariant)
          throw RuntimeError(kErrTypeMismatch,
                             "Type mismatch: Set of a variable that holds no objects");
        v->value = Assignable(value, v->type, line);
        return;
      }
      case Expr::Kind::kMember: {
        const ObjectPtr object = ObjectOf(target);
        Args args = ToArgs(target.args);
        args.positional.push_back(ToVariant(value));
        Invoke(object, CallKind::kPut, target.text, args);
        return;
      }
      case Expr::Kind::kIndex: {
        const Value base = Eval(*target.object);
        if (base.is_array()) {
          *Element(base, target.args) = value;
          return;
        }
        Args args = ToArgs(target.args);
        args.positional.push_back(ToVariant(value));
        Invoke(base.ToObject(), CallKind::kPut, "Item", args);
        return;
      }
      default:
        throw RuntimeError(kErrTypeMismatch, "This cannot be assigned to");
    }
  }

  TypeName LookupType(const std::string& name) {
    Variable* v = Lookup(Lower(name));
    return v != nullptr ? v->type : TypeName::kVariant;
  }

  void ExecCall(const Expr& call) {
    if (call.kind == Expr::Kind::kMember) {
      EvalMember(call, CallKind::kMethod);
      return;
    }
    const std::string lower = Lower(call.text);
    if (const Procedure* p = FindProcedure(call.text)) {
      if (Lookup(lower) == nullptr || !Lookup(lower)->value.is_array()) {
        Call(*p, BindArguments(*p, call.args, call.line), call.line);
        return;
      }
    }
    EvalName(call, CallKind::kMethod);
  }

  Flow ExecFor(const Stmt& s) {
    const std::string lower = Lower(s.counter);
    Variable* counter = Lookup(lower);
    if (counter == nullptr) {
      if (module_.option_explicit)
        throw RuntimeError(kErrNotDefined, "Variable not defined: " + s.counter);
      counter = Declare(lower, TypeName::kVariant);
    }
    const Value from = Scalar(Eval(*s.from), 0);
    const Value to = Scalar(Eval(*s.to), 0);
    const Value step = s.step ? Scalar(Eval(*s.step), 0) : Value::Integer(1);
    counter->value = Assignable(from, counter->type, s.line);
    const double step_d = step.ToDouble();
    while (true) {
      Tick();
      const double at = counter->value.ToDouble();
      const double end = to.ToDouble();
      if (step_d >= 0 ? at > end : at < end)
        break;
      const Flow flow = ExecBody(s.body);
      if (flow == Flow::kExitFor)
        break;
      if (flow == Flow::kExitProcedure || flow == Flow::kExitDo)
        return flow;
      counter->value =
          Assignable(ApplyBinary(Op::kAdd, counter->value, step, false), counter->type, s.line);
    }
    return Flow::kNormal;
  }

  Flow ExecForEach(const Stmt& s) {
    const std::string lower = Lower(s.counter);
    Variable* counter = Lookup(lower);
    if (counter == nullptr) {
      if (module_.option_explicit)
        throw RuntimeError(kErrNotDefined, "Variable not defined: " + s.counter);
      counter = Declare(lower, TypeName::kVariant);
    }
    const Value collection = Eval(*s.value);
    std::vector<Value> items;
    if (collection.is_array()) {
      if (collection.array())
        items = collection.array()->items;
    } else if (collection.is_object()) {
      // The items are taken first, so a loop that deletes them sees each.
      const ObjectPtr object = collection.ToObject();
      const std::int32_t count = Invoke(object, CallKind::kGet, "Count", {}).ToLong();
      for (std::int32_t i = 1; i <= count; ++i) {
        Args args;
        args.positional.push_back(Variant(i));
        items.push_back(Invoke(object, CallKind::kGet, "Item", args));
      }
    } else {
      throw RuntimeError(kErrObjectRequired, "For Each needs a collection or an array");
    }
    for (const Value& item : items) {
      Tick();
      counter->value = item;
      const Flow flow = ExecBody(s.body);
      if (flow == Flow::kExitFor)
        break;
      if (flow == Flow::kExitProcedure || flow == Flow::kExitDo)
        return flow;
    }
    return Flow::kNormal;
  }

  bool Test(const Expr& e) { return Scalar(Eval(e), 0).ToBoolean(); }

  Flow ExecDo(const Stmt& s) {
    while (true) {
      Tick();
      if (s.pre_test && Test(*s.pre_test) == s.pre_until)
        break;
      const Flow flow = ExecBody(s.body);
      if (flow == Flow::kExitDo)
        break;
      if (flow == Flow::kExitProcedure || flow == Flow::kExitFor)
        return flow;
      if (s.post_test && Test(*s.post_test) == s.post_until)
        break;
    }
    return Flow::kNormal;
  }

  bool CaseMatches(const Value& subject, const CaseTest& test) {
    const bool text = module_.compare_text;
    switch (test.kind) {
      case CaseTest::Kind::kValue:
        return ApplyBinary(Op::kEq, subject, Scalar(Eval(*test.value), 0), text).ToBoolean();
      case CaseTest::Kind::kRange:
        return ApplyBinary(Op::kGe, subject, Scalar(Eval(*test.value), 0), text).ToBoolean() &&
               ApplyBinary(Op::kLe, subject, Scalar(Eval(*test.upper), 0), text).ToBoolean();
      case CaseTest::Kind::kIs:
        return ApplyBinary(test.op, subject, Scalar(Eval(*test.value), 0), text).ToBoolean();
    }
    return false;
  }

  std::string PrintText(const Stmt& s) {
    std::string line;
    for (std::size_t i = 0; i < s.print_items.size(); ++i) {
      if (s.print_items[i])
        line += Scalar(Eval(*s.print_items[i]), 0).ToString();
      if (s.print_separators[i] == ',')
        line += '\t';
    }
    return line;
  }

  Flow ExecStatement(const Stmt& s) {
    switch (s.kind) {
      case Stmt::Kind::kDim:
        for (const VarDecl& decl : s.decls) {
          if (s.is_static && DeclareStatic(decl))
            continue;
          Variable* v = Declare(Lower(decl.name), decl.type);
          if (decl.is_array) {
            v->type = TypeName::kVariant;
            v->value = NewArray(decl.bounds, decl.type, nullptr);
          }
        }
        return Flow::kNormal;
      case Stmt::Kind::kConst:
        for (std::size_t i = 0; i < s.decls.size(); ++i) {
          Variable* v = Declare(Lower(s.decls[i].name), TypeName::kVariant);
          v->value = Eval(*s.conditions[i]);
          v->is_const = true;
        }
        return Flow::kNormal;
      case Stmt::Kind::kReDim:
        for (const VarDecl& decl : s.decls) {
          const std::string lower = Lower(decl.name);
          Variable* v = Lookup(lower);
          if (v == nullptr)
            v = Declare(lower, TypeName::kVariant);
          TypeName type = decl.type;
          if (type == TypeName::kVariant && v->value.is_array() && v->value.array())
            type = v->value.array()->element_type;
          Value array = NewArray(decl.bounds, type, s.preserve ? &v->value : nullptr);
          v->value = std::move(array);
        }
        return Flow::kNormal;
      case Stmt::Kind::kAssign:
        Assign(s);
        return Flow::kNormal;
      case Stmt::Kind::kCall:
        ExecCall(*s.call);
        return Flow::kNormal;
      case Stmt::Kind::kIf:
        for (std::size_t i = 0; i < s.conditions.size(); ++i) {
          if (TestCondition(*s.conditions[i]))
            return ExecBody(s.blocks[i]);
        }
        if (s.has_else)
          return ExecBody(s.else_block);
        return Flow::kNormal;
      case Stmt::Kind::kFor:
        return ExecFor(s);
      case Stmt::Kind::kForEach:
        return ExecForEach(s);
      case Stmt::Kind::kDo:
        return ExecDo(s);
      case Stmt::Kind::kWhile:
        while (Test(*s.value)) {
          Tick();
          const Flow flow = ExecBody(s.body);
          if (flow != Flow::kNormal)
            return flow;
        }
        return Flow::kNormal;
      case Stmt::Kind::kWith: {
        const Value object = Eval(*s.value);
        object.ToObject();
        Top().with_objects.push_back(object);
        struct Pop {
          std::vector<Value>& with;
          ~Pop() { with.pop_back(); }
        } pop{Top().with_objects};
        return ExecBody(s.body);
      }
      case Stmt::Kind::kSelect: {
        const Value subject = Scalar(Eval(*s.subject), 0);
        for (const CaseClause& clause : s.cases) {
          for (const CaseTest& test : clause.tests) {
            if (CaseMatches(subject, test))
              return ExecBody(clause.body);
          }
        }
        if (s.has_else)
          return ExecBody(s.else_block);
        return Flow::kNormal;
      }
      case Stmt::Kind::kOnErrorResumeNext:
        Top().resume_next = true;
        err_state_.Clear();
        return Flow::kNormal;
      case Stmt::Kind::kOnErrorGoto0:
        Top().resume_next = false;
        err_state_.Clear();
        return Flow::kNormal;
      case Stmt::Kind::kExit:
        switch (s.exit_what) {
          case Stmt::ExitWhat::kSub:
          case Stmt::ExitWhat::kFunction:
            return Flow::kExitProcedure;
          case Stmt::ExitWhat::kFor:
            return Flow::kExitFor;
          case Stmt::ExitWhat::kDo:
            return Flow::kExitDo;
        }
        return Flow::kNormal;
      case Stmt::Kind::kDebugPrint:
        if (context_.log)
          context_.log(PrintText(s));
        return Flow::kNormal;
      case Stmt::Kind::kEnd:
        throw EndRun{};
    }
    return Flow::kNormal;
  }

  ModuleRuntime& runtime_;
  const Module& module_;
  const RunContext& context_;
  ErrState err_state_;
  std::shared_ptr<ErrObject> err_;
  BuiltinEnv env_;
  std::vector<Frame*> frames_;
  unsigned long long steps_ = 0;
};

ModuleRuntime::ModuleRuntime(std::shared_ptr<const Module> module) : module_(std::move(module)) {}

const Procedure* ModuleRuntime::Find(const std::string& name) const {
  for (const Procedure& p : module_->procedures) {
    if (NameEquals(p.name, name))
      return &p;
  }
  return nullptr;
}

Value ModuleRuntime::Run(const std::string& name, const RunContext& context) {
  const Procedure* procedure = Find(name);
  if (procedure == nullptr || !procedure->is_public) {
    throw MacroFailure("The macro \"" + name + "\" does not exist in " + context.module_file +
                           " (it must be a Public Sub or Function of the module).",
                       0);
  }
  for (const Param& p : procedure->params) {
    if (!p.optional) {
      throw MacroFailure(
          "The macro \"" + name + "\" cannot run: it needs the argument " + p.name + ".",
          procedure->line);
    }
  }
  Interpreter interpreter(*this, context);
  return interpreter.Run(*procedure);
}

}  // namespace quillon::docengine::macro
