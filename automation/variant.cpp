#include "automation/variant.h"

#include <cctype>
#include <charconv>

namespace quillon::automation {
namespace {

const char* KindName(Variant::Kind kind) {
  switch (kind) {
    case Variant::Kind::kEmpty:
      return "empty";
    case Variant::Kind::kBool:
      return "boolean";
    case Variant::Kind::kInt:
      return "integer";
    case Variant::Kind::kText:
      return "text";
    case Variant::Kind::kObject:
      return "object";
  }
  return "?";
}

[[noreturn]] void TypeMismatch(Variant::Kind want, Variant::Kind have) {
  throw AutomationError(std::string("Type mismatch: expected ") + KindName(want) + ", got " +
                        KindName(have));
}

}  // namespace

bool Variant::AsBool() const {
  if (kind() != Kind::kBool)
    TypeMismatch(Kind::kBool, kind());
  return std::get<bool>(value_);
}

std::int32_t Variant::AsInt() const {
  if (kind() != Kind::kInt)
    TypeMismatch(Kind::kInt, kind());
  return std::get<std::int32_t>(value_);
}

const std::string& Variant::AsText() const {
  if (kind() != Kind::kText)
    TypeMismatch(Kind::kText, kind());
  return std::get<std::string>(value_);
}

const ObjectPtr& Variant::AsObject() const {
  if (kind() != Kind::kObject || std::get<ObjectPtr>(value_) == nullptr) {
    TypeMismatch(Kind::kObject, kind());
  }
  return std::get<ObjectPtr>(value_);
}

std::int32_t Variant::ToInt() const {
  switch (kind()) {
    case Kind::kEmpty:
      return 0;
    case Kind::kBool:
      return std::get<bool>(value_) ? -1 : 0;
    case Kind::kInt:
      return std::get<std::int32_t>(value_);
    case Kind::kText: {
      const std::string& s = std::get<std::string>(value_);
      std::int32_t out = 0;
      const char* begin = s.data();
      const char* end = s.data() + s.size();
      while (begin < end && std::isspace(static_cast<unsigned char>(*begin)))
        ++begin;
      auto [ptr, ec] = std::from_chars(begin, end, out);
      if (ec != std::errc() || ptr == begin) {
        throw AutomationError("Type mismatch: \"" + s + "\" is not a number");
      }
      return out;
    }
    case Kind::kObject:
      break;
  }
  TypeMismatch(Kind::kInt, kind());
}

std::string Variant::ToText() const {
  switch (kind()) {
    case Kind::kEmpty:
      return {};
    case Kind::kBool:
      return std::get<bool>(value_) ? "True" : "False";
    case Kind::kInt:
      return std::to_string(std::get<std::int32_t>(value_));
    case Kind::kText:
      return std::get<std::string>(value_);
    case Kind::kObject:
      break;
  }
  TypeMismatch(Kind::kText, kind());
}

bool Variant::ToBool() const {
  switch (kind()) {
    case Kind::kEmpty:
      return false;
    case Kind::kBool:
      return std::get<bool>(value_);
    case Kind::kInt:
      return std::get<std::int32_t>(value_) != 0;
    case Kind::kText:
      return ToInt() != 0;
    case Kind::kObject:
      break;
  }
  TypeMismatch(Kind::kBool, kind());
}

const Variant* Args::Named(std::string_view name) const {
  for (const NamedArg& arg : named) {
    if (NameEquals(arg.name, name))
      return &arg.value;
  }
  return nullptr;
}

bool NameEquals(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace quillon::automation
