#include "automation/protocol.h"

#include <cstring>

namespace quillon::automation::protocol {

Writer::Writer(MessageType type) {
  data_.assign(4, '\0');
  U8(static_cast<std::uint8_t>(type));
}

void Writer::U16(std::uint16_t v) {
  U8(static_cast<std::uint8_t>(v));
  U8(static_cast<std::uint8_t>(v >> 8));
}

void Writer::U32(std::uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8)
    U8(static_cast<std::uint8_t>(v >> shift));
}

void Writer::Text(std::string_view s) {
  U32(static_cast<std::uint32_t>(s.size()));
  data_.append(s);
}

void Writer::Value(const Variant& v,
                   const std::function<std::uint32_t(const ObjectPtr&)>& to_handle) {
  U8(static_cast<std::uint8_t>(v.kind()));
  switch (v.kind()) {
    case Variant::Kind::kEmpty:
      break;
    case Variant::Kind::kBool:
      U8(v.AsBool() ? 1 : 0);
      break;
    case Variant::Kind::kInt:
      U32(static_cast<std::uint32_t>(v.AsInt()));
      break;
    case Variant::Kind::kText:
      Text(v.AsText());
      break;
    case Variant::Kind::kObject: {
      // A null object reference is legal and travels as handle 0.
      const ObjectPtr* object = nullptr;
      ObjectPtr null_object;
      try {
        object = &v.AsObject();
      } catch (const AutomationError&) {
        object = &null_object;
      }
      U32(*object ? to_handle(*object) : 0);
      break;
    }
  }
}

std::string Writer::Finish() {
  const std::uint32_t size = static_cast<std::uint32_t>(data_.size() - 4);
  for (int i = 0; i < 4; ++i)
    data_[i] = static_cast<char>(size >> (8 * i));
  return std::move(data_);
}

std::string_view Reader::Bytes(std::size_t n) {
  if (rest_.size() < n)
    throw ProtocolError("truncated message");
  std::string_view out = rest_.substr(0, n);
  rest_.remove_prefix(n);
  return out;
}

MessageType Reader::Type() {
  return static_cast<MessageType>(U8());
}

std::uint8_t Reader::U8() {
  return static_cast<std::uint8_t>(Bytes(1)[0]);
}

std::uint16_t Reader::U16() {
  std::string_view b = Bytes(2);
  return static_cast<std::uint16_t>(static_cast<std::uint8_t>(b[0]) |
                                    (static_cast<std::uint8_t>(b[1]) << 8));
}

std::uint32_t Reader::U32() {
  std::string_view b = Bytes(4);
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i)
    v = (v << 8) | static_cast<std::uint8_t>(b[i]);
  return v;
}

std::string Reader::Text() {
  const std::uint32_t size = U32();
  return std::string(Bytes(size));
}

Variant Reader::Value(const std::function<ObjectPtr(std::uint32_t)>& from_handle) {
  switch (static_cast<Variant::Kind>(U8())) {
    case Variant::Kind::kEmpty:
      return Variant();
    case Variant::Kind::kBool:
      return Variant(U8() != 0);
    case Variant::Kind::kInt:
      return Variant(static_cast<std::int32_t>(U32()));
    case Variant::Kind::kText:
      return Variant(Text());
    case Variant::Kind::kObject: {
      const std::uint32_t handle = U32();
      return Variant(handle == 0 ? ObjectPtr() : from_handle(handle));
    }
  }
  throw ProtocolError("unknown value kind");
}

bool TakeFrame(std::string& buffer, std::string& payload) {
  if (buffer.size() < 4)
    return false;
  std::uint32_t size = 0;
  for (int i = 3; i >= 0; --i)
    size = (size << 8) | static_cast<std::uint8_t>(buffer[i]);
  if (size == 0 || size > kMaxFrame)
    throw ProtocolError("bad message length");
  if (buffer.size() - 4 < size)
    return false;
  payload.assign(buffer, 4, size);
  buffer.erase(0, 4 + static_cast<std::size_t>(size));
  return true;
}

}  // namespace quillon::automation::protocol
