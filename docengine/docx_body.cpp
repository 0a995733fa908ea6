// The body walk of the word-processing package reader: blocks, paragraphs,
// runs, tables, drawings and text boxes, alternate content and embedded
// chunks of other formats.

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "charset/code_page.h"
#include "docengine/docx_parser.h"
#include "docengine/docx_xml.h"
#include "docengine/html_reader.h"
#include "docengine/model_building.h"
#include "docengine/web_archive.h"
#include "docengine/zip_archive.h"

namespace quillon::docengine::docx {

namespace {

// The namespaces whose markup this reader reads, in their transitional and
// strict forms. Word 2010 and later add vocabularies of their own; those
// listed here only wrap or qualify markup that the reader reads anyway
// (shapes, groups and canvases holding text boxes, drawing and text
// properties).
bool IsReadNamespace(std::string_view uri) {
  static constexpr std::string_view kRead[] = {
      "http://schemas.openxmlformats.org/wordprocessingml/2006/main",
      "http://purl.oclc.org/ooxml/wordprocessingml/main",
      "http://schemas.openxmlformats.org/officeDocument/2006/relationships",
      "http://purl.oclc.org/ooxml/officeDocument/relationships",
      "http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing",
      "http://purl.oclc.org/ooxml/drawingml/wordprocessingDrawing",
      "http://schemas.openxmlformats.org/drawingml/2006/main",
      "http://purl.oclc.org/ooxml/drawingml/main",
      "http://schemas.openxmlformats.org/drawingml/2006/picture",
      "http://purl.oclc.org/ooxml/drawingml/picture",
      "http://schemas.openxmlformats.org/officeDocument/2006/math",
      "http://purl.oclc.org/ooxml/officeDocument/math",
      "http://schemas.openxmlformats.org/markup-compatibility/2006",
      "http://schemas.microsoft.com/office/word/2010/wordprocessingShape",
      "http://schemas.microsoft.com/office/word/2010/wordprocessingGroup",
      "http://schemas.microsoft.com/office/word/2010/wordprocessingCanvas",
      "http://schemas.microsoft.com/office/word/2010/wordprocessingDrawing",
      "http://schemas.microsoft.com/office/drawing/2010/main",
      "http://schemas.microsoft.com/office/word/2010/wordml",
      "http://schemas.microsoft.com/office/word/2012/wordml",
      "urn:schemas-microsoft-com:vml",
      "urn:schemas-microsoft-com:office:office",
      "urn:schemas-microsoft-com:office:word",
  };
  for (std::string_view known : kRead) {
    if (uri == known)
      return true;
  }
  return false;
}

// The namespace URI that `prefix` stands for at `node`; empty when no
// declaration in scope binds it.
std::string_view NamespaceOf(pugi::xml_node node, std::string_view prefix) {
  std::string attribute = "xmlns:";
  attribute.append(prefix);
  for (; node; node = node.parent()) {
    if (pugi::xml_attribute a = node.attribute(attribute.c_str()))
      return a.value();
  }
  return {};
}

bool RequiresOnlyReadNamespaces(const pugi::xml_node& choice) {
  const std::string requires_text = AttrText(choice, "Requires");
  bool any = false;
  std::size_t start = 0;
  while (start < requires_text.size()) {
    const std::size_t end =
        std::min(requires_text.find_first_of(" \t\r\n", start), requires_text.size());
    if (end > start) {
      any = true;
      const std::string_view prefix(requires_text.data() + start, end - start);
      if (!IsReadNamespace(NamespaceOf(choice, prefix)))
        return false;
    }
    start = end + 1;
  }
  return any;
}

}  // namespace

pugi::xml_node PickAlternate(const pugi::xml_node& alternate) {
  pugi::xml_node fallback;
  for (pugi::xml_node c : alternate.children()) {
    if (Local(c) == "Choice") {
      if (RequiresOnlyReadNamespaces(c))
        return c;
    } else if (Local(c) == "Fallback" && !fallback) {
      fallback = c;
    }
  }
  return fallback;
}

bool DocxParser::TooDeep(int depth) {
  if (depth <= options_.limits.max_depth)
    return false;
  Fail(ReadResult::Failure("The document is damaged: its elements nest too deeply."));
  return true;
}

void DocxParser::Fail(ReadResult failure) {
  if (!failed_) {
    failed_ = true;
    failure_ = std::move(failure);
  }
}

bool DocxParser::InFieldCode() const {
  for (bool in_code : fields_) {
    if (in_code)
      return true;
  }
  return false;
}

void DocxParser::AddText(Paragraph& para, std::string text, const Context& ctx,
                         const RunFormat& format, bool field_code) {
  if (text.empty() || failed_)
    return;
  chars_ += text.size();
  if (chars_ > options_.limits.max_text_chars) {
    Fail(ReadResult::Failure("The document is too large to open."));
    return;
  }
  docengine::Run run;
  run.hidden = ctx.hidden || format.vanish.value_or(false);
  run.deleted = ctx.deleted;
  run.inserted = ctx.inserted;
  run.field_code = field_code || InFieldCode();
  run.field = field_;
  run.note = note_mark_;
  run.lang = format.lang;
  run.lang_fe = format.lang_fe;
  AppendRunText(para.runs, run, text);
}

void DocxParser::ParseDrawing(const pugi::xml_node& node, std::vector<Block>& extra,
                              const Context& ctx, int depth) {
  if (TooDeep(depth) || failed_)
    return;
  for (pugi::xml_node c : node.children()) {
    if (c.type() != pugi::node_element)
      continue;
    const std::string_view name = Local(c);
    if (name == "txbxContent") {
      Context inner = ctx;
      inner.paragraph_style.clear();
      ParseBlocks(c, extra, inner, depth + 1);
    } else if (name == "AlternateContent") {
      if (pugi::xml_node pick = PickAlternate(c))
        ParseDrawing(pick, extra, ctx, depth + 1);
    } else {
      ParseDrawing(c, extra, ctx, depth + 1);
    }
  }
}

void DocxParser::ParseRun(const pugi::xml_node& r, Paragraph& para, std::vector<Block>& extra,
                          const Context& ctx, int depth) {
  if (TooDeep(depth))
    return;
  pugi::xml_node rpr = Child(r, "rPr");
  RunFormat format = StyleSheet::ReadRunFormat(rpr);
  styles_.ResolveStyle(AttrText(Child(rpr, "rStyle"), "val"), format);
  styles_.ResolveStyle(ctx.paragraph_style, format);
  if (!format.vanish && styles_.defaults().vanish)
    format.vanish = styles_.defaults().vanish;
  if (format.lang == 0)
    format.lang = styles_.defaults().lang;
  if (format.lang_fe == 0)
    format.lang_fe = styles_.defaults().lang_fe;
  Context deleted = ctx;
  deleted.deleted = true;
  for (pugi::xml_node c : r.children()) {
    if (c.type() != pugi::node_element)
      continue;
    const std::string_view name = Local(c);
    if (name == "t") {
      AddText(para, NodeText(c), ctx, format, false);
    } else if (name == "delText") {
      AddText(para, NodeText(c), deleted, format, false);
    } else if (name == "instrText") {
      AddText(para, NodeText(c), ctx, format, true);
    } else if (name == "delInstrText") {
      AddText(para, NodeText(c), deleted, format, true);
    } else if (name == "tab" || name == "ptab") {
      AddText(para, "\t", ctx, format, false);
    } else if (name == "br") {
      const std::string type = AttrText(c, "type");
      AddText(para, type == "page" ? "\f" : "\n", ctx, format, false);
    } else if (name == "cr") {
      AddText(para, "\n", ctx, format, false);
    } else if (name == "noBreakHyphen") {
      AddText(para, "\u2011", ctx, format, false);
    } else if (name == "sym") {
      const std::string hex = AttrText(c, "char");
      char32_t code = static_cast<char32_t>(std::strtoul(hex.c_str(), nullptr, 16));
      // Symbol-font characters are stored in the private use area; the low
      // byte is the character of the font.
      if (code >= 0xF020 && code <= 0xF0FF && AsciiLower(AttrText(c, "font")) == "symbol") {
        code -= 0xF000;
        if (code == 0xB7)
          code = 0x2022;
      }
      if (code != 0) {
        std::string text;
        AppendUtf8(text, code);
        AddText(para, text, ctx, format, false);
      }
    } else if (name == "fldChar") {
      const std::string type = AttrText(c, "fldCharType");
      if (type == "begin") {
        if (field_ == 0)
          field_ = ++field_counter_;
        fields_.push_back(true);
      } else if (type == "separate") {
        if (!fields_.empty())
          fields_.back() = false;
      } else if (type == "end") {
        if (!fields_.empty())
          fields_.pop_back();
        if (fields_.empty() && simple_fields_open_ == 0)
          field_ = 0;
      }
    } else if (name == "footnoteReference" || name == "endnoteReference") {
      const bool custom = AttrOn(c, "customMarkFollows");
      const bool endnote = name == "endnoteReference";
      const std::string id = AttrText(c, "id");
      const std::string mark = notes_.Mark(endnote, id, custom);
      note_mark_ = notes_.Anchor(endnote, id);
      AddText(para, mark, ctx, format, false);
      note_mark_ = 0;
    } else if (name == "drawing" || name == "pict" || name == "object") {
      ParseDrawing(c, extra, ctx, depth + 1);
    } else if (name == "AlternateContent") {
      if (pugi::xml_node pick = PickAlternate(c))
        ParseRun(pick, para, extra, ctx, depth + 1);
    } else if (name == "ruby") {
      // The base text reads on; the phonetic guide is left out.
      if (pugi::xml_node base = Child(c, "rubyBase"))
        ParseInline(base, para, extra, ctx, depth + 1);
    }
  }
}

// A simple field or a hyperlink element: its instruction becomes a code run
// of its own, so that it reads like a complex field.
void DocxParser::ParseSimpleField(const pugi::xml_node& node, Paragraph& para,
                                  std::vector<Block>& extra, const Context& ctx, int depth) {
  const bool outermost = field_ == 0;
  if (outermost) {
    field_ = ++field_counter_;
    std::string code;
    if (Local(node) == "fldSimple") {
      code = AttrText(node, "instr");
    } else if (auto rel = main_rels_.find(AttrText(node, "id")); rel != main_rels_.end()) {
      code = "HYPERLINK \"" + rel->second.target + "\"";
    } else {
      code = "HYPERLINK \\l \"" + AttrText(node, "anchor") + "\"";
    }
    AddText(para, code, ctx, styles_.defaults(), true);
  }
  ++simple_fields_open_;
  ParseInline(node, para, extra, ctx, depth);
  --simple_fields_open_;
  if (outermost)
    field_ = 0;
}

void DocxParser::ParseInline(const pugi::xml_node& node, Paragraph& para, std::vector<Block>& extra,
                             const Context& ctx, int depth) {
  if (TooDeep(depth) || failed_)
    return;
  for (pugi::xml_node c : node.children()) {
    if (c.type() != pugi::node_element)
      continue;
    const std::string_view name = Local(c);
    if (name == "r") {
      ParseRun(c, para, extra, ctx, depth);
    } else if (name == "ins" || name == "moveTo") {
      Context inner = ctx;
      inner.inserted = true;
      ParseInline(c, para, extra, inner, depth + 1);
    } else if (name == "del" || name == "moveFrom") {
      Context inner = ctx;
      inner.deleted = true;
      ParseInline(c, para, extra, inner, depth + 1);
    } else if (name == "hyperlink" || name == "fldSimple") {
      ParseSimpleField(c, para, extra, ctx, depth + 1);
    } else if (name == "smartTag" || name == "customXml" || name == "bdo" || name == "dir" ||
               name == "oMath" || name == "oMathPara" || name == "e" || name == "num" ||
               name == "den" || name == "sub" || name == "sup" || name == "fName" ||
               name == "lim") {
      ParseInline(c, para, extra, ctx, depth + 1);
    } else if (name == "sdt") {
      if (pugi::xml_node content = Child(c, "sdtContent")) {
        ParseInline(content, para, extra, ctx, depth + 1);
      }
    } else if (name == "AlternateContent") {
      if (pugi::xml_node pick = PickAlternate(c))
        ParseInline(pick, para, extra, ctx, depth + 1);
    } else if (name == "sdtContent") {
      ParseInline(c, para, extra, ctx, depth + 1);
    }
  }
}

void DocxParser::ParseParagraph(const pugi::xml_node& p, std::vector<Block>& out, Context ctx,
                                int depth) {
  Paragraph para;
  std::vector<Block> extra;
  pugi::xml_node ppr = Child(p, "pPr");
  ctx.paragraph_style = AttrText(Child(ppr, "pStyle"), "val");
  if (ctx.paragraph_style.empty())
    ctx.paragraph_style = styles_.default_paragraph_style();

  std::string num_id;
  int ilvl = -1;
  if (pugi::xml_node numpr = Child(ppr, "numPr")) {
    num_id = AttrText(Child(numpr, "numId"), "val");
    if (pugi::xml_node l = Child(numpr, "ilvl"))
      ilvl = ToInt(AttrText(l, "val"));
  }
  if (num_id.empty() || ilvl < 0)
    styles_.ResolveNumbering(ctx.paragraph_style, num_id, ilvl);
  if (pugi::xml_node sect = Child(ppr, "sectPr")) {
    NoteSection(sect);
    const int width = Twips(AttrText(Child(sect, "pgSz"), "w"));
    pugi::xml_node mar = Child(sect, "pgMar");
    const int text = width - Twips(AttrText(mar, "left")) - Twips(AttrText(mar, "right")) -
                     Twips(AttrText(mar, "gutter"));
    if (width > 0 && text > 0 && section_width_ == 0)
      section_width_ = text;
  }

  ParseInline(p, para, extra, ctx, depth + 1);

  // A paragraph whose mark is deleted or hidden melts into the next one;
  // when nothing visible remains of it, it is gone.
  pugi::xml_node mark = Child(ppr, "rPr");
  RunFormat mark_format = StyleSheet::ReadRunFormat(mark);
  styles_.ResolveStyle(ctx.paragraph_style, mark_format);
  const bool mark_gone = ctx.deleted || Child(mark, "del") || mark_format.vanish.value_or(false);
  bool visible = false;
  for (const Run& run : para.runs) {
    if (!run.hidden && !run.deleted && !run.field_code)
      visible = true;
  }
  if (mark_gone && !visible) {
    for (Block& b : extra)
      out.push_back(std::move(b));
    return;
  }

  if (!num_id.empty() && num_id != "0") {
    if (ilvl < 0)
      ilvl = 0;
    // Styles tie list levels to themselves as well.
    para.list_level = ilvl;
    para.list_label = styles_.ListLabel(num_id, ilvl);
  }
  out.push_back(Block::FromParagraph(std::move(para)));
  for (Block& b : extra)
    out.push_back(std::move(b));
}

template <typename Visit>
void DocxParser::ForEachWrapped(const pugi::xml_node& container, std::string_view wanted, int depth,
                                Visit& visit) {
  if (TooDeep(depth))
    return;
  for (pugi::xml_node c : container.children()) {
    if (c.type() != pugi::node_element || failed_)
      continue;
    const std::string_view name = Local(c);
    if (name == wanted) {
      visit(c, depth);
    } else if (name == "sdt") {
      if (pugi::xml_node content = Child(c, "sdtContent"))
        ForEachWrapped(content, wanted, depth + 1, visit);
    } else if (name == "customXml") {
      ForEachWrapped(c, wanted, depth + 1, visit);
    }
  }
}

void DocxParser::ParseCells(const pugi::xml_node& container, TableRow& row, const Context& ctx,
                            int depth) {
  auto cell = [&](const pugi::xml_node& tc, int at) {
    TableCell parsed;
    ParseBlocks(tc, parsed.blocks, ctx, at + 1);
    row.cells.push_back(std::move(parsed));
  };
  ForEachWrapped(container, "tc", depth, cell);
}

void DocxParser::ParseRows(const pugi::xml_node& container, Table& table, const Context& ctx,
                           int depth) {
  auto row = [&](const pugi::xml_node& tr, int at) {
    TableRow parsed;
    Context row_ctx = ctx;
    pugi::xml_node trpr = Child(tr, "trPr");
    if (Child(trpr, "del"))
      row_ctx.deleted = true;
    if (Child(trpr, "ins"))
      row_ctx.inserted = true;
    ParseCells(tr, parsed, row_ctx, at + 1);
    table.rows.push_back(std::move(parsed));
  };
  ForEachWrapped(container, "tr", depth, row);
}

Table DocxParser::ParseTable(const pugi::xml_node& tbl, const Context& ctx, int depth) {
  Table table;
  ParseRows(tbl, table, ctx, depth);
  return table;
}

void DocxParser::ParseAltChunk(const pugi::xml_node& chunk, std::vector<Block>& out) {
  auto rel = main_rels_.find(AttrText(chunk, "id"));
  if (rel == main_rels_.end() || rel->second.external)
    return;
  std::string data;
  ReadResult ignored;
  if (!package_.ReadPart(rel->second.target, data, ignored)) {
    if (package_.failed())
      Fail(package_.failure());
    return;
  }
  const std::string type = package_.ContentTypeOf(rel->second.target);
  const std::string name = AsciiLower(rel->second.target);
  if (type == "message/rfc822" || type.find("multipart/") != std::string::npos ||
      type.find("mimearchive") != std::string::npos || EndsWith(name, ".mht") ||
      EndsWith(name, ".mhtml")) {
    data = HtmlFromWebArchive(data);
  }
  OpenOptions sub_options = options_;
  sub_options.path = rel->second.target;
  sub_options.limits.max_text_chars =
      options_.limits.max_text_chars > chars_ ? options_.limits.max_text_chars - chars_ : 0;
  Document sub;
  const std::string_view head(data.data(), std::min<std::size_t>(data.size(), 4096));
  ReadResult result = ReadResult::Failure("no reader");
  if (!LooksLikeZip(head)) {
    const Reader* best = nullptr;
    int best_score = 0;
    for (const auto& reader : BuiltInReaders()) {
      if (reader->Name() == "docx")
        continue;
      const int score = reader->Sniff(head, sub_options.path);
      if (score > best_score) {
        best = reader.get();
        best_score = score;
      }
    }
    if (type == "text/html" || type == "application/xhtml+xml" ||
        type.find("html") != std::string::npos) {
      result = ReadHtmlDocument(data, sub_options, sub);
    } else if (best != nullptr) {
      result = best->Read(data, sub_options, sub);
    } else if (type == "text/plain") {
      Paragraph para;
      std::size_t start = 0;
      while (start <= data.size()) {
        std::size_t end = data.find('\n', start);
        if (end == std::string::npos)
          end = data.size();
        std::string line = data.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
          line.pop_back();
        Paragraph p;
        if (!line.empty())
          p.runs.push_back(docengine::Run{line});
        sub.body.push_back(Block::FromParagraph(std::move(p)));
        start = end + 1;
      }
      result = ReadResult::Success();
    }
  }
  if (!result.ok)
    return;
  for (Block& b : sub.body) {
    out.push_back(std::move(b));
  }
  chars_ += 1;
}

void DocxParser::ParseBlocks(const pugi::xml_node& container, std::vector<Block>& out,
                             const Context& ctx, int depth) {
  if (TooDeep(depth))
    return;
  for (pugi::xml_node c : container.children()) {
    if (c.type() != pugi::node_element || failed_)
      continue;
    const std::string_view name = Local(c);
    if (name == "p") {
      ParseParagraph(c, out, ctx, depth);
    } else if (name == "tbl") {
      out.push_back(Block::FromTable(ParseTable(c, ctx, depth + 1)));
    } else if (name == "sdt") {
      if (pugi::xml_node content = Child(c, "sdtContent"))
        ParseBlocks(content, out, ctx, depth + 1);
    } else if (name == "customXml" || name == "sdtContent") {
      ParseBlocks(c, out, ctx, depth + 1);
    } else if (name == "ins" || name == "moveTo") {
      Context inner = ctx;
      inner.inserted = true;
      ParseBlocks(c, out, inner, depth + 1);
    } else if (name == "del" || name == "moveFrom") {
      Context inner = ctx;
      inner.deleted = true;
      ParseBlocks(c, out, inner, depth + 1);
    } else if (name == "AlternateContent") {
      if (pugi::xml_node pick = PickAlternate(c))
        ParseBlocks(pick, out, ctx, depth + 1);
    } else if (name == "altChunk") {
      ParseAltChunk(c, out);
    } else if (name == "sectPr") {
      NoteSection(c);
      const int width = Twips(AttrText(Child(c, "pgSz"), "w"));
      pugi::xml_node mar = Child(c, "pgMar");
      const int text = width - Twips(AttrText(mar, "left")) - Twips(AttrText(mar, "right")) -
                       Twips(AttrText(mar, "gutter"));
      if (width > 0 && text > 0)
        doc_.page.text_width_twips = text;
    }
  }
}

}  // namespace quillon::docengine::docx
