#include "docengine/text_writer.h"

#include "charset/code_page.h"
#include "docengine/rtf_writer.h"
#include "fileio/files.h"

namespace quillon::docengine {
namespace {

constexpr int kTwipsPerCharacter = 144;  // 10 characters per inch
constexpr int kDefaultWrapColumns = 80;

void AppendRuns(const Paragraph& paragraph, std::string& out) {
  for (const Run& run : paragraph.runs) {
    if (run.hidden || run.deleted || run.field_code)
      continue;
    // Stretches without line ends go in one append.
    const std::string& text = run.text;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
      const char c = text[i];
      if (c != '\n' && c != '\r')
        continue;
      out.append(text, start, i - start);
      if (c == '\n')
        out += "\r\n";
      start = i + 1;
    }
    out.append(text, start, std::string::npos);
  }
}

void AppendBlocks(const std::vector<Block>& blocks, std::string& out, int depth);

void AppendParagraph(const Paragraph& paragraph, std::string& out) {
  if (!paragraph.list_label.empty()) {
    out += paragraph.list_label;
    out.push_back('\t');
  }
  AppendRuns(paragraph, out);
}

// A cell's content without its final line end, so that the row can put a
// TAB or its own CR LF there.
void AppendCell(const TableCell& cell, std::string& out, int depth) {
  std::string text;
  AppendBlocks(cell.blocks, text, depth + 1);
  while (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) {
    text.resize(text.size() - 2);
  }
  out += text;
}

void AppendTable(const Table& table, std::string& out, int depth) {
  for (const TableRow& row : table.rows) {
    for (std::size_t i = 0; i < row.cells.size(); ++i) {
      if (i > 0)
        out.push_back('\t');
      AppendCell(row.cells[i], out, depth);
    }
    out += "\r\n";
  }
}

void AppendBlocks(const std::vector<Block>& blocks, std::string& out, int depth) {
  // The model is built by readers that bound the depth; this guard keeps
  // a hand-made deep model from exhausting the stack.
  if (depth > 512)
    return;
  for (const Block& block : blocks) {
    if (block.is_table()) {
      AppendTable(*block.table, out, depth);
    } else {
      AppendParagraph(block.paragraph, out);
      out += "\r\n";
    }
  }
}

void AppendNotes(const std::vector<Note>& notes, std::string& out) {
  for (const Note& note : notes) {
    std::string text;
    AppendBlocks(note.blocks, text, 0);
    if (!note.mark.empty()) {
      out += note.mark;
      out.push_back(' ');
      // The note's own copy of its mark is usually followed by a blank.
      text.erase(0, text.find_first_not_of(' '));
    }
    if (text.empty())
      text = "\r\n";
    out += text;
  }
}

std::size_t CountCharacters(std::string_view text) {
  std::size_t count = 0;
  for (char c : text) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
      ++count;
  }
  return count;
}

// Byte offset of the character with index `chars` in `text`.
std::size_t OffsetOfCharacter(std::string_view text, std::size_t chars) {
  std::size_t seen = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      if (seen == chars)
        return i;
      ++seen;
    }
  }
  return text.size();
}

void WrapLine(std::string_view line, std::size_t columns, std::string& out) {
  // Counted once; each cut takes off what it wrote.
  std::size_t remaining = CountCharacters(line);
  while (remaining > columns) {
    std::size_t limit = OffsetOfCharacter(line, columns);
    // The blank at the limit itself still lets the first part fit.
    std::size_t space = line.rfind(' ', limit);
    if (space != std::string_view::npos && space > 0) {
      out.append(line.substr(0, space));
      out += "\r\n";
      std::size_t next = space;
      while (next < line.size() && line[next] == ' ')
        ++next;
      remaining -= CountCharacters(line.substr(0, next));
      line.remove_prefix(next);
    } else {
      out.append(line.substr(0, limit));
      out += "\r\n";
      remaining -= columns;
      line.remove_prefix(limit);
    }
  }
  out.append(line);
}

std::string Wrap(const std::string& text, int columns) {
  if (columns <= 0)
    return text;
  std::string out;
  out.reserve(text.size() + text.size() / 32);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      WrapLine(std::string_view(text).substr(start), static_cast<std::size_t>(columns), out);
      break;
    }
    WrapLine(std::string_view(text).substr(start, end - start), static_cast<std::size_t>(columns),
             out);
    out += "\r\n";
    start = end + 2;
  }
  return out;
}

bool IsLineBreakFormat(int file_format) {
  return file_format == kSaveFormatTextLineBreaks || file_format == kSaveFormatDosTextLineBreaks;
}

}  // namespace

std::string RenderText(const Document& doc, const TextRenderOptions& options) {
  std::string out;
  AppendBlocks(doc.body, out, 0);
  AppendNotes(doc.footnotes, out);
  AppendNotes(doc.endnotes, out);
  return Wrap(out, options.wrap_columns);
}

int WrapColumns(const Document& doc) {
  if (doc.page.text_width_twips <= 0)
    return kDefaultWrapColumns;
  int columns = doc.page.text_width_twips / kTwipsPerCharacter;
  return columns > 0 ? columns : 1;
}

bool IsTextSaveFormat(int file_format) {
  return file_format == kSaveFormatText || file_format == kSaveFormatTextLineBreaks ||
         file_format == kSaveFormatDosText || file_format == kSaveFormatDosTextLineBreaks ||
         file_format == kSaveFormatUnicodeText;
}

int DefaultCodePage(int file_format) {
  switch (file_format) {
    case kSaveFormatDosText:
    case kSaveFormatDosTextLineBreaks:
      return OemCodePage();
    case kSaveFormatUnicodeText:
      return kCodePageUtf16Le;
    default:
      return AnsiCodePage();
  }
}

bool EncodeTextFile(const std::string& utf8, int code_page, std::string& bytes,
                    std::string& error) {
  std::string encoded;
  if (!EncodeText(utf8, code_page, encoded, error))
    return false;
  if (code_page == kCodePageUtf16Le) {
    bytes = std::string("\xFF\xFE", 2) + encoded;
  } else if (code_page == kCodePageUtf16Be) {
    bytes = std::string("\xFE\xFF", 2) + encoded;
  } else {
    bytes = std::move(encoded);
  }
  return true;
}

bool RenderTextFile(const Document& doc, int file_format, int encoding, std::string& bytes,
                    std::string& error) {
  if (!IsTextSaveFormat(file_format)) {
    error = "The file format " + std::to_string(file_format) + " is not a text format.";
    return false;
  }
  TextRenderOptions options;
  if (IsLineBreakFormat(file_format))
    options.wrap_columns = WrapColumns(doc);
  const int code_page = encoding != 0 ? encoding : DefaultCodePage(file_format);
  return EncodeTextFile(RenderText(doc, options), code_page, bytes, error);
}

bool RenderDocument(const Document& doc, int file_format, int encoding, std::string& bytes,
                    std::string& error) {
  if (file_format == kSaveFormatRtf) {
    bytes = RenderRtf(doc);
    return true;
  }
  if (IsTextSaveFormat(file_format)) {
    return RenderTextFile(doc, file_format, encoding, bytes, error);
  }
  error = "This engine cannot save in the file format " + std::to_string(file_format) +
          "; it writes text (2, 3, 4, 5, 7) and RTF (6).";
  return false;
}

bool WriteFileReplacing(const std::string& path, std::string_view bytes, std::string& error) {
  std::string reason;
  if (!fileio::WriteFileWhole(path, bytes, reason)) {
    error = "The file " + path + " cannot be written: " + reason + ".";
    return false;
  }
  return true;
}

bool SaveDocument(const Document& doc, const std::string& path, int file_format, int encoding,
                  std::string& error) {
  std::string bytes;
  if (!RenderDocument(doc, file_format, encoding, bytes, error))
    return false;
  return WriteFileReplacing(path, bytes, error);
}

}  // namespace quillon::docengine
