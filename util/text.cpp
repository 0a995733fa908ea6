#include "util/text.h"

namespace quillon {

std::string UrlEncode(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size() * 3);
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
        (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_') {
      out += c;
    } else if (byte == ' ') {
      out += "%20";
    } else {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
    }
  }
  return out;
}

std::string ReplaceBrackets(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c == '[') {
      c = '(';
    } else if (c == ']') {
      c = ')';
    }
  }
  return out;
}

std::string TextBetween(std::string_view text, std::string_view start_marker,
                        std::string_view end_marker, bool strict) {
  std::string_view rest = text;
  size_t start = start_marker.empty() ? std::string_view::npos : text.find(start_marker);
  if (start != std::string_view::npos) {
    rest = text.substr(start + start_marker.size());
  } else if (strict) {
    return {};
  }
  size_t end = end_marker.empty() ? std::string_view::npos : rest.find(end_marker);
  if (end != std::string_view::npos) {
    return std::string(rest.substr(0, end));
  }
  return strict ? std::string() : std::string(rest);
}

std::string FolderPart(std::string_view path) {
  const size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::string NamePart(std::string_view path) {
  const size_t slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string LowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return out;
}

size_t Utf8SequenceLength(std::string_view text, size_t at) {
  auto byte = [&text](size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(at);
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // range of the second byte
  if (lead < 0x80) {
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0)
      low = 0xA0;
    if (lead == 0xED)
      high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0)
      low = 0x90;
    if (lead == 0xF4)
      high = 0x8F;
  } else {
    return 0;
  }
  if (at + length > text.size() || byte(at + 1) < low || byte(at + 1) > high) {
    return 0;
  }
  for (size_t i = 2; i < length; ++i) {
    if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) {
      return 0;
    }
  }
  return length;
}

}  // namespace quillon
