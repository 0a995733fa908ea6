#include "docengine/web_archive.h"

#include <cctype>
#include <string_view>

#include "charset/code_page.h"

namespace quillon::docengine {

std::string HtmlFromWebArchive(const std::string& mime) {
  auto header_value = [](const std::string& headers, std::string_view key) {
    const std::string lower = AsciiLower(headers);
    const std::size_t at = lower.find(std::string(key) + ":");
    if (at == std::string::npos)
      return std::string();
    std::size_t end = at;
    // Folded header lines go on with blanks.
    do {
      end = lower.find('\n', end + 1);
    } while (end != std::string::npos && end + 1 < lower.size() &&
             (lower[end + 1] == ' ' || lower[end + 1] == '\t'));
    return headers.substr(at + key.size() + 1,
                          (end == std::string::npos ? headers.size() : end) - at - key.size() - 1);
  };
  auto param = [](const std::string& value, std::string_view name) {
    const std::string lower = AsciiLower(value);
    std::size_t at = lower.find(std::string(name) + "=");
    if (at == std::string::npos)
      return std::string();
    at += name.size() + 1;
    std::string out;
    if (at < value.size() && value[at] == '"') {
      const std::size_t end = value.find('"', at + 1);
      return value.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
    }
    while (at < value.size() && value[at] != ';' && value[at] != ' ' && value[at] != '\r' &&
           value[at] != '\n' && value[at] != '\t') {
      out += value[at++];
    }
    return out;
  };
  auto split_headers = [](const std::string& part, std::string& headers, std::string& body) {
    std::size_t end = part.find("\r\n\r\n");
    std::size_t skip = 4;
    const std::size_t lf = part.find("\n\n");
    if (end == std::string::npos || (lf != std::string::npos && lf < end)) {
      end = lf;
      skip = 2;
    }
    if (end == std::string::npos) {
      headers = part;
      body.clear();
      return;
    }
    headers = part.substr(0, end);
    body = part.substr(end + skip);
  };
  auto decode = [&](const std::string& headers, const std::string& body) {
    const std::string encoding = AsciiLower(header_value(headers, "content-transfer-encoding"));
    std::string out;
    if (encoding.find("quoted-printable") != std::string::npos) {
      for (std::size_t i = 0; i < body.size(); ++i) {
        if (body[i] == '=' && i + 1 < body.size()) {
          if (body[i + 1] == '\n') {
            ++i;
            continue;
          }
          if (body[i + 1] == '\r' && i + 2 < body.size() && body[i + 2] == '\n') {
            i += 2;
            continue;
          }
          if (i + 2 < body.size() && std::isxdigit(static_cast<unsigned char>(body[i + 1])) &&
              std::isxdigit(static_cast<unsigned char>(body[i + 2]))) {
            out += static_cast<char>(std::stoi(body.substr(i + 1, 2), nullptr, 16));
            i += 2;
            continue;
          }
        }
        out += body[i];
      }
    } else if (encoding.find("base64") != std::string::npos) {
      unsigned value = 0;
      int bits = 0;
      for (char ch : body) {
        int d = -1;
        if (ch >= 'A' && ch <= 'Z')
          d = ch - 'A';
        if (ch >= 'a' && ch <= 'z')
          d = ch - 'a' + 26;
        if (ch >= '0' && ch <= '9')
          d = ch - '0' + 52;
        if (ch == '+')
          d = 62;
        if (ch == '/')
          d = 63;
        if (d < 0)
          continue;
        value = (value << 6) | static_cast<unsigned>(d);
        bits += 6;
        if (bits >= 8) {
          bits -= 8;
          out += static_cast<char>((value >> bits) & 0xFF);
        }
      }
    } else {
      out = body;
    }
    const std::string charset = param(header_value(headers, "content-type"), "charset");
    const int code_page = charset.empty() ? 0 : CodePageFromCharsetName(charset);
    std::string utf8;
    std::string error;
    if (code_page != 0 && code_page != kCodePageUtf8 && DecodeText(out, code_page, utf8, error)) {
      return "\xEF\xBB\xBF" + utf8;
    }
    return out;
  };

  std::string headers;
  std::string body;
  split_headers(mime, headers, body);
  const std::string type = header_value(headers, "content-type");
  if (AsciiLower(type).find("multipart/") == std::string::npos) {
    return decode(headers, body);
  }
  const std::string boundary = param(type, "boundary");
  if (boundary.empty())
    return std::string();
  const std::string delimiter = "--" + boundary;
  std::size_t at = body.find(delimiter);
  while (at != std::string::npos) {
    std::size_t start = body.find('\n', at);
    if (start == std::string::npos)
      break;
    ++start;
    const std::size_t next = body.find(delimiter, start);
    const std::string part =
        body.substr(start, (next == std::string::npos ? body.size() : next) - start);
    std::string part_headers;
    std::string part_body;
    split_headers(part, part_headers, part_body);
    if (AsciiLower(header_value(part_headers, "content-type")).find("text/html") !=
        std::string::npos) {
      return decode(part_headers, part_body);
    }
    at = next;
  }
  return std::string();
}

}  // namespace quillon::docengine
