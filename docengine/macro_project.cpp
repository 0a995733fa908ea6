#include "docengine/macro_project.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include "charset/code_page.h"
#include "docengine/document_state.h"
#include "docengine/macro_interpreter.h"
#include "docengine/macro_parser.h"

namespace quillon::docengine {

using automation::Args;
using automation::AutomationError;
using automation::CallKind;
using automation::NameEquals;
using automation::Object;
using automation::ObjectPtr;
using automation::Variant;

namespace {

// Module files larger than this are not a macro module.
constexpr std::size_t kMaxModuleBytes = 4u << 20;

std::string FileNameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string StemOf(const std::string& path) {
  std::string name = FileNameOf(path);
  const std::size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

}  // namespace

// One imported module: its parsed form and its module-level state.
class ComponentObject : public Object {
 public:
  ComponentObject(std::string name, std::string file, std::shared_ptr<const macro::Module> module)
      : name_(std::move(name)), file_(std::move(file)), runtime_(std::move(module)) {}

  Variant Invoke(CallKind kind, std::string_view member, const Args& args) override {
    if (kind != CallKind::kPut) {
      if (NameEquals(member, "Name") || member.empty())
        return Variant(name_);
      if (NameEquals(member, "Type"))
        return Variant(static_cast<std::int32_t>(1));  // a standard module
    } else if (NameEquals(member, "Name")) {
      name_ = args.positional.back().ToText();
      return {};
    }
    throw AutomationError("The VBComponent object has no property or method named \"" +
                          std::string(member) + "\".");
  }

  const std::string& name() const { return name_; }
  const std::string& file() const { return file_; }
  macro::ModuleRuntime& runtime() { return runtime_; }

 private:
  std::string name_;
  std::string file_;
  macro::ModuleRuntime runtime_;
};

class MacroProject {
 public:
  std::vector<std::shared_ptr<ComponentObject>> components;
};

namespace {

std::shared_ptr<ComponentObject> Import(MacroProject& project, const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw AutomationError("The file " + path + " cannot be read.");
  std::string source;
  std::getline(in, source, '\0');
  if (in.bad() || source.size() > kMaxModuleBytes)
    throw AutomationError("The file " + path + " is not a macro module.");
  // Module files are written in the system's code page; UTF-8 ones are
  // taken as they are.
  if (!IsValidUtf8(source)) {
    std::string utf8;
    std::string error;
    if (DecodeText(source, 1252, utf8, error))
      source = std::move(utf8);
  }
  std::shared_ptr<macro::Module> module;
  try {
    module = std::make_shared<macro::Module>(macro::ParseModule(source));
  } catch (const macro::SyntaxError& e) {
    throw AutomationError("Compile error in " + FileNameOf(path) + ", line " +
                          std::to_string(e.line()) + ": " + e.what() + ".");
  }
  std::string name = module->name.empty() ? StemOf(path) : module->name;
  // A second import of a module of the same name gets a number, as the
  // word processor names it.
  for (int n = 1;; ++n) {
    const std::string candidate = n == 1 ? name : name + std::to_string(n - 1);
    bool taken = false;
    for (const auto& c : project.components)
      taken = taken || NameEquals(c->name(), candidate);
    if (!taken) {
      name = candidate;
      break;
    }
  }
  auto component = std::make_shared<ComponentObject>(name, FileNameOf(path), std::move(module));
  project.components.push_back(component);
  return component;
}

class ComponentsObject : public Object {
 public:
  explicit ComponentsObject(std::shared_ptr<MacroProject> project) : project_(std::move(project)) {}

  Variant Invoke(CallKind kind, std::string_view name, const Args& args) override {
    if (kind != CallKind::kPut) {
      if (NameEquals(name, "Import")) {
        const Variant* path = args.Named("FileName");
        if (path == nullptr)
          path = args.At(0);
        if (path == nullptr || path->ToText().empty())
          throw AutomationError("Import needs the path of a module file.");
        return Variant(std::static_pointer_cast<Object>(Import(*project_, path->ToText())));
      }
      if (NameEquals(name, "Remove")) {
        const Variant* component = args.Named("VBComponent");
        if (component == nullptr)
          component = args.At(0);
        if (component == nullptr || component->kind() != Variant::Kind::kObject ||
            !component->AsObject())
          throw AutomationError("Remove needs the component to remove.");
        auto& list = project_->components;
        for (auto it = list.begin(); it != list.end(); ++it) {
          if (static_cast<const Object*>(it->get()) == component->AsObject().get()) {
            list.erase(it);
            return {};
          }
        }
        throw AutomationError("The component is not part of this project.");
      }
      if (NameEquals(name, "Count"))
        return Variant(static_cast<std::int32_t>(project_->components.size()));
      if (NameEquals(name, "Item") || name.empty()) {
        const Variant* index = args.At(0);
        if (index != nullptr && index->kind() == Variant::Kind::kText) {
          for (const auto& c : project_->components) {
            if (NameEquals(c->name(), index->AsText()))
              return Variant(std::static_pointer_cast<Object>(c));
          }
        } else if (index != nullptr) {
          const int i = index->ToInt();
          if (i >= 1 && i <= static_cast<int>(project_->components.size()))
            return Variant(std::static_pointer_cast<Object>(
                project_->components[static_cast<std::size_t>(i - 1)]));
        }
        throw AutomationError("The requested member of the collection does not exist.");
      }
    }
    throw AutomationError("The VBComponents object has no property or method named \"" +
                          std::string(name) + "\".");
  }

 private:
  std::shared_ptr<MacroProject> project_;
};

class ProjectObject : public Object {
 public:
  explicit ProjectObject(std::shared_ptr<MacroProject> project) : project_(std::move(project)) {}
  Variant Invoke(CallKind kind, std::string_view name, const Args&) override {
    if (kind != CallKind::kPut) {
      if (NameEquals(name, "VBComponents"))
        return Variant(
            std::static_pointer_cast<Object>(std::make_shared<ComponentsObject>(project_)));
      if (NameEquals(name, "Name"))
        return Variant("Project");
    }
    throw AutomationError("The VBProject object has no property or method named \"" +
                          std::string(name) + "\".");
  }

 private:
  std::shared_ptr<MacroProject> project_;
};

class VbeObject : public Object {
 public:
  explicit VbeObject(std::function<std::shared_ptr<DocumentState>()> active)
      : active_(std::move(active)) {}
  Variant Invoke(CallKind kind, std::string_view name, const Args&) override {
    if (kind != CallKind::kPut && NameEquals(name, "ActiveVBProject")) {
      std::shared_ptr<DocumentState> state = active_();
      if (!state)
        throw AutomationError("There is no active project: no document is open.");
      return Variant(MacroProjectOf(state));
    }
    throw AutomationError("The VBE object has no property or method named \"" + std::string(name) +
                          "\".");
  }

 private:
  std::function<std::shared_ptr<DocumentState>()> active_;
};

void LogLine(const std::string& file, const std::string& line) {
  std::fprintf(stderr, "%s: %s\n", file.c_str(), line.c_str());
  std::fflush(stderr);
}

}  // namespace

ObjectPtr MacroProjectOf(const std::shared_ptr<DocumentState>& state) {
  state->CheckOpen();
  if (!state->project)
    state->project = std::make_shared<MacroProject>();
  return std::make_shared<ProjectObject>(state->project);
}

ObjectPtr MakeVbe(std::function<std::shared_ptr<DocumentState>()> active_document) {
  return std::make_shared<VbeObject>(std::move(active_document));
}

Variant RunProjectMacro(const std::shared_ptr<MacroProject>& project, const std::string& name,
                        const MacroRunOptions& options) {
  std::string module_name;
  std::string macro_name = name;
  // "Module.Macro" and "Project.Module.Macro" name the module too.
  if (const std::size_t dot = name.rfind('.'); dot != std::string::npos) {
    macro_name = name.substr(dot + 1);
    module_name = name.substr(0, dot);
    if (const std::size_t first = module_name.rfind('.'); first != std::string::npos)
      module_name = module_name.substr(first + 1);
  }
  if (project) {
    // The module imported last wins when two define the macro.
    for (auto it = project->components.rbegin(); it != project->components.rend(); ++it) {
      const auto& component = *it;
      if (!module_name.empty() && !NameEquals(component->name(), module_name))
        continue;
      macro::ModuleRuntime& runtime = component->runtime();
      const macro::Procedure* procedure = runtime.Find(macro_name);
      if (procedure == nullptr || !procedure->is_public)
        continue;
      macro::RunContext context;
      context.application = options.application;
      context.module_file = component->file();
      const std::string file = component->file();
      context.log = [file](const std::string& line) { LogLine(file, line); };
      if (options.time_limit.count() > 0)
        context.deadline = std::chrono::steady_clock::now() + options.time_limit;
      try {
        return macro::ToVariant(runtime.Run(macro_name, context));
      } catch (const macro::MacroFailure& e) {
        throw AutomationError(e.what());
      } catch (const macro::MacroTimeout& e) {
        throw AutomationError(e.what());
      } catch (const macro::RuntimeError& e) {
        // A Function's value that does not convert.
        throw AutomationError(e.what());
      }
    }
  }
  throw AutomationError("The macro \"" + name +
                        "\" cannot be run: it is not in any imported module, or it is not a "
                        "public Sub.");
}

}  // namespace quillon::docengine
