#pragma once
// Decryption of password-protected Word 97-2003 files: the RC4 scheme of
// Word 97 (MD5 keys) and the CryptoAPI RC4 scheme of later versions (SHA-1
// keys). Both encrypt each stream in 512-byte blocks, the key renewed per
// block from the password.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillon::docengine::msdoc {

std::array<std::uint8_t, 16> Md5(std::string_view data);
std::array<std::uint8_t, 20> Sha1(std::string_view data);

class Rc4 {
 public:
  explicit Rc4(std::string_view key);
  void Apply(std::uint8_t* data, std::size_t size);

 private:
  std::uint8_t s_[256];
  std::uint8_t i_ = 0, j_ = 0;
};

// The key schedule of one encrypted document, set up from the encryption
// header at the start of its table stream.
class DocDecryptor {
 public:
  enum class Status { kOk, kWrongPassword, kUnsupported };

  // `header` is the start of the table stream; `password` UTF-8.
  Status Init(std::string_view header, const std::string& password);
  // Decrypts a whole stream in place, as stored from its offset 0. The
  // first `keep_plain` bytes are stored unencrypted and stay as they are.
  void DecryptStream(std::string& stream, std::size_t keep_plain) const;

 private:
  std::string BlockKey(std::uint32_t block) const;

  bool cryptoapi_ = false;
  std::string base_;  // hashed password and salt material
  std::size_t key_bytes_ = 16;
};

}  // namespace quillon::docengine::msdoc
