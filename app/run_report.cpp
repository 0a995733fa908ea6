#include "app/run_report.h"

#include <charconv>

#include "util/text.h"

namespace quillon {
namespace {

void AppendEscape(std::string& out, unsigned code) {
  static const char kHex[] = "0123456789abcdef";
  out += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) {
    out += kHex[(code >> shift) & 0xF];
  }
}

std::string Number(std::int64_t value) {
  return std::to_string(value);
}

// Seconds with three decimals, whatever the locale's decimal sign.
std::string Seconds(double seconds) {
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof(buffer), seconds < 0 ? 0.0 : seconds,
                              std::chars_format::fixed, 3);
  return std::string(buffer, result.ptr);
}

}  // namespace

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size();) {
    auto c = static_cast<unsigned char>(text[i]);
    size_t length = Utf8SequenceLength(text, i);
    if (length == 0) {
      AppendEscape(out, 0xDC00u + c);
      ++i;
      continue;
    }
    if (length > 1) {
      out.append(text.substr(i, length));
    } else if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      AppendEscape(out, c);
    } else {
      out += static_cast<char>(c);
    }
    i += length;
  }
  out += '"';
  return out;
}

std::string ReportFileLine(const FileOutcome& outcome) {
  return "{\"source\":" + JsonString(outcome.source) +
         ",\"destination\":" + JsonString(outcome.destination) +
         ",\"ok\":" + (outcome.ok ? "true" : "false") + ",\"error\":" + JsonString(outcome.error) +
         ",\"input_bytes\":" + Number(outcome.input_bytes) +
         ",\"output_bytes\":" + Number(outcome.output_bytes) +
         ",\"milliseconds\":" + Number(outcome.milliseconds) + "}";
}

std::string ReportSummaryLine(const RunSummary& summary) {
  std::string errors = "[";
  for (const std::string& error : summary.errors) {
    if (errors.size() > 1) {
      errors += ',';
    }
    errors += JsonString(error);
  }
  errors += ']';
  return "{\"summary\":true,\"files\":" + Number(summary.converted + summary.failed) +
         ",\"converted\":" + Number(summary.converted) + ",\"failed\":" + Number(summary.failed) +
         ",\"error_count\":" + Number(static_cast<std::int64_t>(summary.errors.size())) +
         ",\"errors\":" + errors + ",\"interrupted\":" + (summary.interrupted ? "true" : "false") +
         ",\"seconds\":" + Seconds(summary.seconds) + "}";
}

std::string ReportText(const std::vector<FileOutcome>& outcomes, const RunSummary& summary) {
  std::string text;
  for (const FileOutcome& outcome : outcomes) {
    text += ReportFileLine(outcome);
    text += '\n';
  }
  text += ReportSummaryLine(summary);
  text += '\n';
  return text;
}

}  // namespace quillon
