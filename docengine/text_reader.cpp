// Plain text: byte-order marks, UTF-8 when the bytes are valid UTF-8, else
// the character set ICU detects. One paragraph per line.

#include <algorithm>
#include <cstring>

#include "charset/code_page.h"
#include "docengine/reader_factories.h"

namespace quillon::docengine {
namespace {

bool StartsWith(std::string_view data, std::string_view prefix) {
  return data.size() >= prefix.size() && data.compare(0, prefix.size(), prefix) == 0;
}

// Signatures of binary formats that must never be taken for text.
bool IsKnownBinary(std::string_view head) {
  return StartsWith(head, "PK\x03\x04") || StartsWith(head, "\xD0\xCF\x11\xE0") ||
         StartsWith(head, "\xFFWPC") || StartsWith(head, "%PDF") ||
         StartsWith(head, std::string_view("\x00\x00\x00", 3));
}

// Splits decoded text into paragraphs. CR LF, CR and LF end a paragraph;
// a form feed does too; a vertical tab is a manual line break.
ReadResult BuildParagraphs(const std::string& text, const ReadLimits& limits, Document& doc) {
  if (text.size() > limits.max_text_chars) {
    return ReadResult::Failure("The document is too large to open.");
  }
  Paragraph paragraph;
  std::string line;
  auto finish = [&]() {
    Run run;
    run.text = std::move(line);
    line.clear();
    if (!run.text.empty())
      paragraph.runs.push_back(std::move(run));
    doc.body.push_back(Block::FromParagraph(std::move(paragraph)));
    paragraph = Paragraph();
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r') {
      if (i + 1 < text.size() && text[i + 1] == '\n')
        ++i;
      finish();
    } else if (c == '\n' || c == '\f') {
      finish();
    } else if (c == '\v') {
      line.push_back('\n');
    } else if (static_cast<unsigned char>(c) < 0x20 && c != '\t') {
      // Other control characters carry no text.
    } else {
      line.push_back(c);
    }
  }
  if (!line.empty())
    finish();
  return ReadResult::Success();
}

class TextReader : public Reader {
 public:
  std::string_view Name() const override { return "text"; }

  int Sniff(std::string_view head, const std::string&) const override {
    if (StartsWith(head, "\xEF\xBB\xBF") || StartsWith(head, "\xFF\xFE") ||
        StartsWith(head, "\xFE\xFF")) {
      return 10;
    }
    if (IsKnownBinary(head))
      return 0;
    std::size_t controls = 0;
    for (char c : head) {
      unsigned char u = static_cast<unsigned char>(c);
      if (u == 0)
        return 0;
      if (u < 0x20 && c != '\t' && c != '\r' && c != '\n' && c != '\f' && c != '\v' && u != 0x1A &&
          u != 0x1B) {
        ++controls;
      }
    }
    // A few stray control characters still make a text file; many do not.
    return controls * 20 <= head.size() ? 1 : 0;
  }

  ReadResult Read(std::string_view data, const OpenOptions& options, Document& doc) const override {
    doc.format = SourceFormat::kText;
    int code_page = 0;
    std::string_view body = data;
    if (StartsWith(data, "\xEF\xBB\xBF")) {
      code_page = kCodePageUtf8;
      body.remove_prefix(3);
    } else if (StartsWith(data, "\xFF\xFE")) {
      code_page = kCodePageUtf16Le;
      body.remove_prefix(2);
    } else if (StartsWith(data, "\xFE\xFF")) {
      code_page = kCodePageUtf16Be;
      body.remove_prefix(2);
    } else if (IsValidUtf8(data)) {
      const bool ascii = std::all_of(data.begin(), data.end(),
                                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
      code_page = ascii ? AnsiCodePage() : kCodePageUtf8;
      if (ascii) {
        doc.open_encoding = code_page;
        return BuildParagraphs(std::string(data), options.limits, doc);
      }
    } else {
      code_page = DetectCodePage(data);
      if (code_page == 0) {
        code_page = AnsiCodePage() == kCodePageUtf8 ? 1252 : AnsiCodePage();
      }
    }
    std::string text;
    std::string error;
    if (!DecodeText(body, code_page, text, error))
      return ReadResult::Failure(error);
    doc.open_encoding = code_page;
    return BuildParagraphs(text, options.limits, doc);
  }
};

bool IsPrintableByte(unsigned char c) {
  return (c >= 0x20 && c < 0x7F) || c == '\t' || c == '\r' || c == '\n';
}

// Code units that pass for text in UTF-16: ASCII and the letters of the
// common scripts. Everything else ends a run, which keeps binary noise out.
bool IsPrintableUnit(char16_t u) {
  if (u < 0x80)
    return IsPrintableByte(static_cast<unsigned char>(u));
  return (u >= 0x00A0 && u <= 0x024F) || (u >= 0x0370 && u <= 0x06FF) ||
         (u >= 0x2000 && u <= 0x206F) || (u >= 0x3000 && u <= 0x9FFF) ||
         (u >= 0xAC00 && u <= 0xD7A3) || (u >= 0xFF00 && u <= 0xFFEF);
}

constexpr std::size_t kMinRun = 4;

}  // namespace

std::unique_ptr<Reader> MakeTextReader() {
  return std::make_unique<TextReader>();
}

ReadResult RecoverText(std::string_view data, const OpenOptions& options, Document& doc) {
  doc.format = SourceFormat::kRecovered;
  doc.open_encoding = AnsiCodePage();
  std::string text;
  std::size_t i = 0;
  while (i < data.size()) {
    // UTF-16 LE first: its ASCII letters would otherwise be taken one by
    // one and dropped as too short.
    std::size_t units = 0;
    std::size_t ambiguous = 0;
    std::size_t latin = 0;
    std::size_t east_asian = 0;
    while (i + 2 * units + 1 < data.size()) {
      const unsigned char lo = static_cast<unsigned char>(data[i + 2 * units]);
      const unsigned char hi = static_cast<unsigned char>(data[i + 2 * units + 1]);
      const char16_t u = static_cast<char16_t>(lo | (hi << 8));
      if (!IsPrintableUnit(u))
        break;
      // Two printable ASCII bytes read as one Han character: more often
      // plain single-byte text.
      if (hi >= 0x20 && hi < 0x7F && lo >= 0x20 && lo < 0x7F)
        ++ambiguous;
      if (hi == 0)
        ++latin;
      if (u >= 0x3000)
        ++east_asian;
      ++units;
    }
    // A run is UTF-16 when it is mostly Latin-1 letters, or wholly East
    // Asian and not mostly pairs of ASCII letters; a mix is a misaligned
    // read of single-byte text.
    const bool utf16 =
        units >= kMinRun && ambiguous * 2 < units && (latin * 2 >= units || east_asian == units);
    if (utf16) {
      for (std::size_t k = 0; k < units; ++k) {
        char16_t u = static_cast<char16_t>(static_cast<unsigned char>(data[i + 2 * k]) |
                                           (static_cast<unsigned char>(data[i + 2 * k + 1]) << 8));
        AppendUtf8(text, u);
      }
      text += "\n";
      i += 2 * units;
      continue;
    }
    std::size_t bytes = 0;
    while (i + bytes < data.size() &&
           IsPrintableByte(static_cast<unsigned char>(data[i + bytes]))) {
      ++bytes;
    }
    if (bytes >= kMinRun) {
      text.append(data.substr(i, bytes));
      text += "\n";
      i += bytes;
      continue;
    }
    i += std::max<std::size_t>(bytes, 1);
    if (text.size() > options.limits.max_text_chars)
      break;
  }
  // Runs split where the binary around them was; blank runs add nothing.
  Document scratch;
  ReadResult result = BuildParagraphs(text, options.limits, scratch);
  if (!result.ok)
    return result;
  for (Block& block : scratch.body) {
    const Paragraph& p = block.paragraph;
    bool blank = true;
    for (const Run& r : p.runs) {
      if (r.text.find_first_not_of(" \t") != std::string::npos)
        blank = false;
    }
    if (!blank)
      doc.body.push_back(std::move(block));
  }
  return ReadResult::Success();
}

}  // namespace quillon::docengine
