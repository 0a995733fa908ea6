#include "docengine/doc_crypto.h"

#include <cstring>
#include <vector>

namespace quillon::docengine::msdoc {

namespace {

std::uint32_t Rotl(std::uint32_t x, int n) {
  return (x << n) | (x >> (32 - n));
}

std::uint32_t Le32(std::string_view s, std::size_t at) {
  if (at > s.size() || s.size() - at < 4)
    return 0;
  const auto* p = reinterpret_cast<const unsigned char*>(s.data() + at);
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::string PasswordUtf16(const std::string& utf8) {
  // Decode UTF-8 leniently; the password is hashed as UTF-16 LE without
  // terminator, at most 255 characters.
  std::string out;
  std::size_t i = 0;
  int count = 0;
  while (i < utf8.size() && count < 255) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    char32_t cp = 0xFFFD;
    int len = 1;
    if (c < 0x80) {
      cp = c;
    } else if ((c & 0xE0) == 0xC0 && i + 1 < utf8.size()) {
      cp = ((c & 0x1F) << 6) | (utf8[i + 1] & 0x3F);
      len = 2;
    } else if ((c & 0xF0) == 0xE0 && i + 2 < utf8.size()) {
      cp = ((c & 0x0F) << 12) | ((utf8[i + 1] & 0x3F) << 6) | (utf8[i + 2] & 0x3F);
      len = 3;
    } else if ((c & 0xF8) == 0xF0 && i + 3 < utf8.size()) {
      cp = ((c & 0x07) << 18) | ((utf8[i + 1] & 0x3F) << 12) | ((utf8[i + 2] & 0x3F) << 6) |
           (utf8[i + 3] & 0x3F);
      len = 4;
    }
    i += len;
    auto put = [&out](char32_t u) {
      out += static_cast<char>(u & 0xFF);
      out += static_cast<char>((u >> 8) & 0xFF);
    };
    if (cp >= 0x10000) {
      cp -= 0x10000;
      put(0xD800 + (cp >> 10));
      put(0xDC00 + (cp & 0x3FF));
    } else {
      put(cp);
    }
    ++count;
  }
  return out;
}

std::string LeBytes(std::uint32_t v) {
  std::string s(4, '\0');
  for (int k = 0; k < 4; ++k)
    s[k] = static_cast<char>((v >> (8 * k)) & 0xFF);
  return s;
}

template <std::size_t N>
std::string AsString(const std::array<std::uint8_t, N>& a) {
  return std::string(reinterpret_cast<const char*>(a.data()), N);
}

}  // namespace

std::array<std::uint8_t, 16> Md5(std::string_view data) {
  static const std::uint32_t k[64] = {
      0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613,
      0xfd469501, 0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193,
      0xa679438e, 0x49b40821, 0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d,
      0x02441453, 0xd8a1e681, 0xe7d3fbc8, 0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed,
      0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a, 0xfffa3942, 0x8771f681, 0x6d9d6122,
      0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70, 0x289b7ec6, 0xeaa127fa,
      0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665, 0xf4292244,
      0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
      0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb,
      0xeb86d391};
  static const int r[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                            5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                            4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                            6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};
  std::uint32_t h[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
  std::string msg(data);
  std::uint64_t bits = static_cast<std::uint64_t>(data.size()) * 8;
  msg += static_cast<char>(0x80);
  while (msg.size() % 64 != 56)
    msg += '\0';
  for (int i = 0; i < 8; ++i)
    msg += static_cast<char>((bits >> (8 * i)) & 0xFF);
  for (std::size_t off = 0; off < msg.size(); off += 64) {
    std::uint32_t w[16];
    for (int i = 0; i < 16; ++i)
      w[i] = Le32(msg, off + 4 * i);
    std::uint32_t a = h[0], b = h[1], c = h[2], d = h[3];
    for (int i = 0; i < 64; ++i) {
      std::uint32_t f;
      int g;
      if (i < 16) {
        f = (b & c) | (~b & d);
        g = i;
      } else if (i < 32) {
        f = (d & b) | (~d & c);
        g = (5 * i + 1) % 16;
      } else if (i < 48) {
        f = b ^ c ^ d;
        g = (3 * i + 5) % 16;
      } else {
        f = c ^ (b | ~d);
        g = (7 * i) % 16;
      }
      std::uint32_t t = d;
      d = c;
      c = b;
      b = b + Rotl(a + f + k[i] + w[g], r[i]);
      a = t;
    }
    h[0] += a;
    h[1] += b;
    h[2] += c;
    h[3] += d;
  }
  std::array<std::uint8_t, 16> out{};
  for (int i = 0; i < 16; ++i)
    out[i] = static_cast<std::uint8_t>((h[i / 4] >> (8 * (i % 4))) & 0xFF);
  return out;
}

std::array<std::uint8_t, 20> Sha1(std::string_view data) {
  std::uint32_t h[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
  std::string msg(data);
  std::uint64_t bits = static_cast<std::uint64_t>(data.size()) * 8;
  msg += static_cast<char>(0x80);
  while (msg.size() % 64 != 56)
    msg += '\0';
  for (int i = 7; i >= 0; --i)
    msg += static_cast<char>((bits >> (8 * i)) & 0xFF);
  for (std::size_t off = 0; off < msg.size(); off += 64) {
    std::uint32_t w[80];
    for (int i = 0; i < 16; ++i) {
      const auto* p = reinterpret_cast<const unsigned char*>(msg.data() + off + 4 * i);
      w[i] = (static_cast<std::uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
    }
    for (int i = 16; i < 80; ++i)
      w[i] = Rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
    std::uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
    for (int i = 0; i < 80; ++i) {
      std::uint32_t f, k;
      if (i < 20) {
        f = (b & c) | (~b & d);
        k = 0x5A827999;
      } else if (i < 40) {
        f = b ^ c ^ d;
        k = 0x6ED9EBA1;
      } else if (i < 60) {
        f = (b & c) | (b & d) | (c & d);
        k = 0x8F1BBCDC;
      } else {
        f = b ^ c ^ d;
        k = 0xCA62C1D6;
      }
      std::uint32_t t = Rotl(a, 5) + f + e + k + w[i];
      e = d;
      d = c;
      c = Rotl(b, 30);
      b = a;
      a = t;
    }
    h[0] += a;
    h[1] += b;
    h[2] += c;
    h[3] += d;
    h[4] += e;
  }
  std::array<std::uint8_t, 20> out{};
  for (int i = 0; i < 20; ++i)
    out[i] = static_cast<std::uint8_t>((h[i / 4] >> (24 - 8 * (i % 4))) & 0xFF);
  return out;
}

Rc4::Rc4(std::string_view key) {
  for (int i = 0; i < 256; ++i)
    s_[i] = static_cast<std::uint8_t>(i);
  std::uint8_t j = 0;
  for (int i = 0; i < 256; ++i) {
    j = static_cast<std::uint8_t>(j + s_[i] + static_cast<std::uint8_t>(key[i % key.size()]));
    std::swap(s_[i], s_[j]);
  }
}

void Rc4::Apply(std::uint8_t* data, std::size_t size) {
  for (std::size_t n = 0; n < size; ++n) {
    i_ = static_cast<std::uint8_t>(i_ + 1);
    j_ = static_cast<std::uint8_t>(j_ + s_[i_]);
    std::swap(s_[i_], s_[j_]);
    data[n] ^= s_[static_cast<std::uint8_t>(s_[i_] + s_[j_])];
  }
}

std::string DocDecryptor::BlockKey(std::uint32_t block) const {
  if (cryptoapi_) {
    std::string key = AsString(Sha1(base_ + LeBytes(block))).substr(0, key_bytes_);
    // A 40-bit key is used as 128 bits with zero padding.
    if (key.size() == 5)
      key.resize(16, '\0');
    return key;
  }
  return AsString(Md5(base_ + LeBytes(block)));
}

DocDecryptor::Status DocDecryptor::Init(std::string_view header, const std::string& password) {
  if (header.size() < 4)
    return Status::kUnsupported;
  std::uint32_t major = Le32(header, 0) & 0xFFFF;
  std::uint32_t minor = Le32(header, 0) >> 16;
  std::string pw = PasswordUtf16(password);
  std::string verifier, verifier_hash;
  std::size_t hash_size = 16;
  if (major == 1 && minor == 1) {
    if (header.size() < 52)
      return Status::kUnsupported;
    std::string salt(header.substr(4, 16));
    verifier = std::string(header.substr(20, 16));
    verifier_hash = std::string(header.substr(36, 16));
    std::string h0 = AsString(Md5(pw)).substr(0, 5);
    std::string buffer;
    for (int i = 0; i < 16; ++i)
      buffer += h0 + salt;
    base_ = AsString(Md5(buffer)).substr(0, 5);
    cryptoapi_ = false;
  } else if ((major == 2 || major == 3 || major == 4) && minor == 2) {
    std::uint32_t header_size = Le32(header, 8);
    if (header_size < 32 || header_size > header.size() - 12)
      return Status::kUnsupported;
    std::string_view eh = header.substr(12, header_size);
    std::uint32_t alg = Le32(eh, 8);
    std::uint32_t key_bits = Le32(eh, 16);
    if (alg != 0 && alg != 0x6801)
      return Status::kUnsupported;  // RC4 only
    if (key_bits == 0)
      key_bits = 40;
    if (key_bits % 8 != 0 || key_bits < 40 || key_bits > 128)
      return Status::kUnsupported;
    key_bytes_ = key_bits / 8;
    std::size_t v = 12 + header_size;
    if (header.size() < v + 4 + 16 + 16 + 4 + 20)
      return Status::kUnsupported;
    if (Le32(header, v) != 16)
      return Status::kUnsupported;
    std::string salt(header.substr(v + 4, 16));
    verifier = std::string(header.substr(v + 20, 16));
    hash_size = Le32(header, v + 36);
    if (hash_size != 20)
      return Status::kUnsupported;
    verifier_hash = std::string(header.substr(v + 40, 20));
    base_ = AsString(Sha1(salt + pw));
    cryptoapi_ = true;
  } else {
    return Status::kUnsupported;
  }
  std::string key = BlockKey(0);
  Rc4 rc4(key);
  std::string both = verifier + verifier_hash;
  rc4.Apply(reinterpret_cast<std::uint8_t*>(both.data()), both.size());
  std::string plain = both.substr(0, 16);
  std::string expected = both.substr(16, hash_size);
  std::string actual = cryptoapi_ ? AsString(Sha1(plain)) : AsString(Md5(plain));
  return actual == expected ? Status::kOk : Status::kWrongPassword;
}

void DocDecryptor::DecryptStream(std::string& stream, std::size_t keep_plain) const {
  keep_plain = std::min(keep_plain, stream.size());
  std::string saved = stream.substr(0, keep_plain);
  for (std::size_t off = 0; off < stream.size(); off += 512) {
    Rc4 rc4(BlockKey(static_cast<std::uint32_t>(off / 512)));
    std::size_t n = std::min<std::size_t>(512, stream.size() - off);
    rc4.Apply(reinterpret_cast<std::uint8_t*>(stream.data() + off), n);
  }
  std::memcpy(stream.data(), saved.data(), saved.size());
}

}  // namespace quillon::docengine::msdoc
