#pragma once
// The wire format between automation clients and servers (internal to this
// module).
//
// Every message is a frame: a 32-bit little-endian payload length, then the
// payload, whose first byte is the message type. Texts are a 32-bit length and
// UTF-8 bytes. A Variant is a kind byte and its value; an object travels as a
// handle number of the receiving connection (0: null object).
//
//   client -> server   Hello    magic "QLNA", u16 version, text class_id
//   server -> client   Welcome  u16 version, u32 root handle, u32 server pid
//   server -> client   Refuse   text message
//   client -> server   Call     u32 call id, u32 handle, u8 kind, text name,
//                               u32 count, Variant..., u32 count, (text, Variant)...
//   server -> client   Result   u32 call id, Variant
//   server -> client   Failure  u32 call id, text message
//   client -> server   Release  u32 count, u32 handle...
//   client -> server   Send     u32 result handle, u32 handle, u8 kind, text name,
//                               then the arguments as in Call; never answered
//
// A Send is a call whose answer nobody waits for. With result handle 0 its
// result and its failure are dropped. Otherwise the client has chosen the
// handle (kClientHandleBit set) under which the object the call returns is
// kept; when the call fails or returns no object, the handle stands for that
// failure instead, and every later call on it, or with it as an argument,
// fails with the failure's message. Handles the server picks never have
// kClientHandleBit set.

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "automation/variant.h"

namespace quillon::automation::protocol {

constexpr std::uint16_t kVersion = 2;
constexpr char kMagic[4] = {'Q', 'L', 'N', 'A'};
constexpr std::uint32_t kMaxFrame = 64u * 1024u * 1024u;
constexpr std::uint32_t kClientHandleBit = 0x80000000u;

enum class MessageType : std::uint8_t {
  kHello = 1,
  kWelcome = 2,
  kRefuse = 3,
  kCall = 4,
  kResult = 5,
  kFailure = 6,
  kRelease = 7,
  kSend = 8,
};

// A malformed or oversized message: the connection cannot continue.
class ProtocolError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Builds one frame; Finish() fills in the length.
class Writer {
 public:
  explicit Writer(MessageType type);
  void U8(std::uint8_t v) { data_.push_back(static_cast<char>(v)); }
  void U16(std::uint16_t v);
  void U32(std::uint32_t v);
  void Text(std::string_view s);
  // Objects become handles through to_handle.
  void Value(const Variant& v, const std::function<std::uint32_t(const ObjectPtr&)>& to_handle);
  void Raw(std::string_view s) { data_.append(s); }
  // The complete frame.
  std::string Finish();

 private:
  std::string data_;
};

// Reads one payload; every read checks the bounds and throws ProtocolError.
class Reader {
 public:
  explicit Reader(std::string_view payload) : rest_(payload) {}
  MessageType Type();
  std::uint8_t U8();
  std::uint16_t U16();
  std::uint32_t U32();
  std::string Text();
  std::string_view Bytes(std::size_t n);
  Variant Value(const std::function<ObjectPtr(std::uint32_t)>& from_handle);
  bool AtEnd() const { return rest_.empty(); }

 private:
  std::string_view rest_;
};

// When buffer begins with a complete frame: moves its payload into payload,
// removes it from buffer and returns true. Throws ProtocolError for a length
// over kMaxFrame or zero.
bool TakeFrame(std::string& buffer, std::string& payload);

}  // namespace quillon::automation::protocol
