#pragma once
// Integers stored in file headers and records, read from raw bytes.
// Callers check the bounds first.

#include <cstdint>
#include <string_view>

namespace quillon::wordcnv {

inline std::uint32_t ByteAt(std::string_view b, std::size_t at) {
  return static_cast<unsigned char>(b[at]);
}

inline std::uint16_t Little16(std::string_view b, std::size_t at) {
  return static_cast<std::uint16_t>(ByteAt(b, at) | (ByteAt(b, at + 1) << 8));
}

inline std::uint32_t Little32(std::string_view b, std::size_t at) {
  return ByteAt(b, at) | (ByteAt(b, at + 1) << 8) | (ByteAt(b, at + 2) << 16) |
         (ByteAt(b, at + 3) << 24);
}

inline std::uint64_t Little64(std::string_view b, std::size_t at) {
  return std::uint64_t{Little32(b, at)} | (std::uint64_t{Little32(b, at + 4)} << 32);
}

inline std::uint16_t Big16(std::string_view b, std::size_t at) {
  return static_cast<std::uint16_t>((ByteAt(b, at) << 8) | ByteAt(b, at + 1));
}

inline std::uint32_t Big32(std::string_view b, std::size_t at) {
  return (ByteAt(b, at) << 24) | (ByteAt(b, at + 1) << 16) | (ByteAt(b, at + 2) << 8) |
         ByteAt(b, at + 3);
}

}  // namespace quillon::wordcnv
