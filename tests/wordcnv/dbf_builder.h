#pragma once
// Builds dBase and FoxPro tables and memo files byte by byte, so that
// tests control every header field, code page and memo layout.

#include <cstdint>
#include <string>
#include <vector>

namespace quillon::testing {

struct TestField {
  std::string name;
  char type = 'C';
  int width = 10;
  int decimals = 0;
};

inline void PutLittle(std::string& out, std::size_t at, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) {
    out[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
  }
}

inline std::string Little(std::uint64_t value, int bytes) {
  std::string out(static_cast<std::size_t>(bytes), '\0');
  PutLittle(out, 0, value, bytes);
  return out;
}

inline std::string Big(std::uint64_t value, int bytes) {
  std::string out(static_cast<std::size_t>(bytes), '\0');
  for (int i = 0; i < bytes; ++i) {
    out[static_cast<std::size_t>(bytes - 1 - i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
  }
  return out;
}

class DbfBuilder {
 public:
  DbfBuilder(unsigned char version, unsigned char language_driver, std::vector<TestField> fields)
      : version_(version), driver_(language_driver), fields_(std::move(fields)) {}

  // One record; `values` are the fields' bytes, padded with blanks (or cut)
  // to each field's width.
  DbfBuilder& Record(const std::vector<std::string>& values, bool deleted = false) {
    std::string record(1, deleted ? '*' : ' ');
    for (std::size_t i = 0; i < fields_.size(); ++i) {
      std::string value = i < values.size() ? values[i] : std::string();
      value.resize(static_cast<std::size_t>(fields_[i].width), ' ');
      record += value;
    }
    records_.push_back(record);
    return *this;
  }

  std::size_t HeaderLength() const {
    // Visual FoxPro leaves room for a 263-byte back link after the fields.
    const bool visual = version_ == 0x30 || version_ == 0x31 || version_ == 0x32;
    return 32 + 32 * fields_.size() + 1 + (visual ? 263 : 0);
  }

  std::string Bytes() const {
    std::size_t record_length = 1;
    for (const TestField& f : fields_) {
      record_length += static_cast<std::size_t>(f.width);
    }
    std::string out(32, '\0');
    out[0] = static_cast<char>(version_);
    out[1] = 124;  // last update 2024-06-15
    out[2] = 6;
    out[3] = 15;
    PutLittle(out, 4, records_.size(), 4);
    PutLittle(out, 8, HeaderLength(), 2);
    PutLittle(out, 10, record_length, 2);
    out[29] = static_cast<char>(driver_);
    std::size_t offset = 1;
    for (const TestField& f : fields_) {
      std::string descriptor(32, '\0');
      descriptor.replace(0, std::min<std::size_t>(f.name.size(), 10), f.name.substr(0, 10));
      descriptor[11] = f.type;
      PutLittle(descriptor, 12, offset, 4);
      descriptor[16] = static_cast<char>(f.width);
      descriptor[17] = static_cast<char>(f.decimals);
      out += descriptor;
      offset += static_cast<std::size_t>(f.width);
    }
    out += '\x0D';
    out.resize(HeaderLength(), '\0');
    for (const std::string& record : records_) {
      out += record;
    }
    out += '\x1A';
    return out;
  }

 private:
  unsigned char version_;
  unsigned char driver_;
  std::vector<TestField> fields_;
  std::vector<std::string> records_;
};

// A FoxPro memo file: header with the block size, then each memo as
// type, length and text in big-endian, starting on a block boundary.
inline std::string FptFile(std::uint32_t block_size,
                           const std::vector<std::pair<std::uint32_t, std::string>>& memos) {
  std::string out(512, '\0');
  out.replace(6, 2, Big(block_size, 2));
  for (const auto& [type, text] : memos) {
    out.resize((out.size() + block_size - 1) / block_size * block_size, '\0');
    out += Big(type, 4) + Big(text.size(), 4) + text;
  }
  out.resize((out.size() + block_size - 1) / block_size * block_size, '\0');
  out.replace(0, 4, Big(out.size() / block_size, 4));
  return out;
}

// The block number of the n-th memo (from 0) in FptFile.
inline std::uint32_t FptBlock(std::uint32_t block_size,
                              const std::vector<std::pair<std::uint32_t, std::string>>& memos,
                              std::size_t n) {
  std::size_t size = 512;
  for (std::size_t i = 0;; ++i) {
    size = (size + block_size - 1) / block_size * block_size;
    if (i == n) {
      return static_cast<std::uint32_t>(size / block_size);
    }
    size += 8 + memos[i].second.size();
  }
}

}  // namespace quillon::testing
