#pragma once
// Builds small Word 97-2003 files for tests, byte by byte, so that every
// fixture is reproducible from its description: the text of all stories,
// character and paragraph property runs, notes, comments, lists and the
// summary title, packed into a compound file with libgsf.

#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace quillon::testing {

inline void Put16(std::string& s, std::size_t at, std::uint16_t v) {
  if (s.size() < at + 2)
    s.resize(at + 2, '\0');
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>(v >> 8);
}
inline void Put32(std::string& s, std::size_t at, std::uint32_t v) {
  Put16(s, at, static_cast<std::uint16_t>(v & 0xFFFF));
  Put16(s, at + 2, static_cast<std::uint16_t>(v >> 16));
}
inline void Add16(std::string& s, std::uint16_t v) {
  Put16(s, s.size(), v);
}
inline void Add32(std::string& s, std::uint32_t v) {
  Put32(s, s.size(), v);
}

// A property modifier with its operand, as bytes.
inline std::string Sprm(std::uint16_t op, std::initializer_list<std::uint8_t> operand) {
  std::string s;
  Add16(s, op);
  for (std::uint8_t b : operand)
    s += static_cast<char>(b);
  return s;
}

// Writes a compound file with the given streams.
inline std::string BuildCompoundFile(
    const std::vector<std::pair<std::string, std::string>>& streams) {
  GsfOutput* mem = gsf_output_memory_new();
  GsfOutfile* ole = gsf_outfile_msole_new(mem);
  for (const auto& [name, bytes] : streams) {
    GsfOutput* child = gsf_outfile_new_child(ole, name.c_str(), FALSE);
    gsf_output_write(child, bytes.size(), reinterpret_cast<const guint8*>(bytes.data()));
    gsf_output_close(child);
    g_object_unref(child);
  }
  gsf_output_close(GSF_OUTPUT(ole));
  g_object_unref(ole);
  const guint8* data = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(mem));
  std::string out(reinterpret_cast<const char*>(data), gsf_output_size(mem));
  g_object_unref(mem);
  return out;
}

// A summary information property set holding one 8-bit title.
inline std::string BuildSummaryInformation(const std::string& title_cp1252) {
  std::string s;
  Add16(s, 0xFFFE);
  Add16(s, 0);
  Add32(s, 0x00020006);
  s.append(16, '\0');
  Add32(s, 1);
  const unsigned char fmtid[16] = {0xE0, 0x85, 0x9F, 0xF2, 0xF9, 0x4F, 0x68, 0x10,
                                   0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9};
  s.append(reinterpret_cast<const char*>(fmtid), 16);
  Add32(s, 48);
  std::string sec;
  std::string code_page;
  Add32(code_page, 2);
  Add16(code_page, 1252);
  Add16(code_page, 0);
  std::string title;
  Add32(title, 0x1E);
  std::string text = title_cp1252 + '\0';
  while (text.size() % 4)
    text += '\0';
  Add32(title, static_cast<std::uint32_t>(text.size()));
  title += text;
  std::uint32_t first = 8 + 2 * 8;
  Add32(sec, 0);
  Add32(sec, 2);
  Add32(sec, 1);
  Add32(sec, first);
  Add32(sec, 2);
  Add32(sec, first + static_cast<std::uint32_t>(code_page.size()));
  sec += code_page + title;
  Put32(sec, 0, static_cast<std::uint32_t>(sec.size()));
  return s + sec;
}

struct DocFixture {
  // Every story's text, one after another: main text, then footnotes,
  // comments and endnotes. UTF-16 code units.
  std::u16string text;
  int ccp_text = 0, ccp_ftn = 0, ccp_atn = 0, ccp_edn = 0;
  bool compressed = false;  // store the text as 8-bit (only for text below U+0100)

  struct Range {
    int cp_begin, cp_end;
    std::string grpprl;
  };
  std::vector<Range> char_runs;  // ranges with character modifiers
  // Paragraph modifiers, keyed by the position of the paragraph mark.
  std::vector<std::pair<int, std::string>> para_props;

  std::vector<int> footnote_refs, footnote_txt;  // positions; txt relative to its story
  std::vector<int> endnote_refs, endnote_txt;
  std::vector<int> comment_refs, comment_txt;
  std::vector<std::u16string> comment_authors;  // one per comment, in order
  std::string lists_lst, lists_lfo;             // raw list tables
  std::string title;                            // summary title (8-bit)
  std::uint16_t lid_fe = 0;
  std::string section_sprms;  // first section's modifiers
};

// Packs a fixture into the bytes of a .doc file.
inline std::string BuildDoc(const DocFixture& f) {
  constexpr std::uint32_t kTextAt = 1024;
  std::string word(kTextAt, '\0');
  auto fc_of = [&](int cp) -> std::uint32_t {
    return f.compressed ? kTextAt + cp : kTextAt + 2 * cp;
  };
  for (char16_t c : f.text) {
    if (f.compressed) {
      word += static_cast<char>(c & 0xFF);
    } else {
      Add16(word, c);
    }
  }
  const int total = static_cast<int>(f.text.size());
  auto pad_page = [&] {
    while (word.size() % 512)
      word += '\0';
  };

  // Character properties: as many pages as the runs need.
  pad_page();
  std::vector<std::uint32_t> chp_pages, chp_page_fcs;
  {
    std::vector<std::pair<int, std::string>> bounds;  // start, grpprl
    int cp = 0;
    const std::vector<DocFixture::Range>& runs = f.char_runs;
    for (const auto& r : runs) {
      if (r.cp_begin > cp)
        bounds.push_back({cp, {}});
      bounds.push_back({r.cp_begin, r.grpprl});
      cp = r.cp_end;
    }
    if (cp < total)
      bounds.push_back({cp, {}});
    const int last_end = runs.empty() || runs.back().cp_end < total ? total : runs.back().cp_end;
    std::size_t first = 0;
    while (first < bounds.size()) {
      // As many runs as fit: positions, offsets and the property lists.
      std::size_t crun = 0, props = 0;
      while (first + crun < bounds.size()) {
        const std::size_t g = bounds[first + crun].second.size();
        const std::size_t more = g == 0 ? 0 : g + 2;
        if (4 * (crun + 2) + (crun + 1) + props + more + 2 > 511)
          break;
        props += more;
        ++crun;
      }
      std::string page(512, '\0');
      for (std::size_t i = 0; i < crun; ++i)
        Put32(page, 4 * i, fc_of(bounds[first + i].first));
      Put32(page, 4 * crun,
            fc_of(first + crun < bounds.size() ? bounds[first + crun].first : last_end));
      std::size_t free_end = 511;
      for (std::size_t i = 0; i < crun; ++i) {
        const std::string& g = bounds[first + i].second;
        if (g.empty())
          continue;
        std::size_t at = (free_end - 1 - g.size()) & ~std::size_t{1};
        page[at] = static_cast<char>(g.size());
        page.replace(at + 1, g.size(), g);
        page[4 * (crun + 1) + i] = static_cast<char>(at / 2);
        free_end = at;
      }
      page[511] = static_cast<char>(crun);
      chp_page_fcs.push_back(fc_of(bounds[first].first));
      chp_pages.push_back(static_cast<std::uint32_t>(word.size() / 512));
      word += page;
      first += crun;
    }
    chp_page_fcs.push_back(fc_of(last_end));
  }
  // Paragraph properties: one run per paragraph mark, as many pages as
  // they need.
  std::vector<std::uint32_t> pap_pages, pap_page_fcs;
  {
    std::vector<int> marks;
    for (int i = 0; i < total; ++i)
      if (f.text[i] == 0x0D || f.text[i] == 0x07)
        marks.push_back(i);
    std::map<int, std::string> props(f.para_props.begin(), f.para_props.end());
    auto papx_of = [&](int mark) {
      auto found = props.find(mark);
      std::string body;
      Add16(body, 0);  // style: Normal
      if (found != props.end())
        body += found->second;
      std::string papx;
      if (body.size() % 2 == 1) {
        papx += static_cast<char>((body.size() + 1) / 2);
      } else {
        papx += '\0';
        papx += static_cast<char>(body.size() / 2);
      }
      return papx + body;
    };
    std::size_t first = 0;
    int start = 0;
    while (first < marks.size()) {
      std::size_t cpara = 0, used = 0;
      std::vector<std::string> papxs;
      while (first + cpara < marks.size()) {
        std::string papx = papx_of(marks[first + cpara]);
        const std::size_t more = papx.size() + 2;
        if (4 * (cpara + 2) + 13 * (cpara + 1) + used + more + 2 > 511)
          break;
        used += more;
        papxs.push_back(std::move(papx));
        ++cpara;
      }
      std::string page(512, '\0');
      pap_page_fcs.push_back(fc_of(start));
      for (std::size_t i = 0; i < cpara; ++i) {
        Put32(page, 4 * i, fc_of(start));
        start = marks[first + i] + 1;
      }
      Put32(page, 4 * cpara, fc_of(start));
      std::size_t free_end = 511;
      for (std::size_t i = 0; i < cpara; ++i) {
        const std::string& papx = papxs[i];
        std::size_t at = (free_end - papx.size() - 1) & ~std::size_t{1};
        page.replace(at, papx.size(), papx);
        page[4 * (cpara + 1) + 13 * i] = static_cast<char>(at / 2);
        free_end = at;
      }
      page[511] = static_cast<char>(cpara);
      pap_pages.push_back(static_cast<std::uint32_t>(word.size() / 512));
      word += page;
      first += cpara;
    }
    pap_page_fcs.push_back(fc_of(total));
    if (marks.empty()) {
      std::string page(512, '\0');
      Put32(page, 0, fc_of(0));
      pap_page_fcs = {fc_of(0), fc_of(total)};
      pap_pages.push_back(static_cast<std::uint32_t>(word.size() / 512));
      word += page;
    }
  }
  std::uint32_t sepx_at = 0xFFFFFFFF;
  if (!f.section_sprms.empty()) {
    sepx_at = static_cast<std::uint32_t>(word.size());
    Add16(word, static_cast<std::uint16_t>(f.section_sprms.size()));
    word += f.section_sprms;
  }

  // Table stream: the structures the file information block points to.
  std::string table;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> pairs(93, {0, 0});
  auto place = [&](int index, const std::string& bytes) {
    pairs[index] = {static_cast<std::uint32_t>(table.size()),
                    static_cast<std::uint32_t>(bytes.size())};
    table += bytes;
  };
  {
    std::string clx;
    clx += '\x02';
    Add32(clx, 4 * 2 + 8);
    Add32(clx, 0);
    Add32(clx, static_cast<std::uint32_t>(total));
    Add16(clx, 0);
    Add32(clx, f.compressed ? (2 * kTextAt) | 0x40000000u : kTextAt);
    Add16(clx, 0);
    place(33, clx);
  }
  {
    auto bin_table = [](const std::vector<std::uint32_t>& fcs,
                        const std::vector<std::uint32_t>& pages) {
      std::string plc;
      for (std::uint32_t fc : fcs)
        Add32(plc, fc);
      for (std::uint32_t pn : pages)
        Add32(plc, pn);
      return plc;
    };
    place(12, bin_table(chp_page_fcs, chp_pages));
    place(13, bin_table(pap_page_fcs, pap_pages));
  }
  auto note_plcs = [&](const std::vector<int>& refs, const std::vector<int>& txt, int ref_index,
                       int txt_index, int ref_end) {
    if (refs.empty())
      return;
    std::string r;
    for (int cp : refs)
      Add32(r, cp);
    Add32(r, ref_end);
    for (std::size_t i = 0; i < refs.size(); ++i)
      Add16(r, 1);
    place(ref_index, r);
    std::string t;
    for (int cp : txt)
      Add32(t, cp);
    place(txt_index, t);
  };
  note_plcs(f.footnote_refs, f.footnote_txt, 2, 3, f.ccp_text);
  note_plcs(f.endnote_refs, f.endnote_txt, 46, 47, f.ccp_text);
  if (!f.comment_refs.empty()) {
    std::string r;
    for (int cp : f.comment_refs)
      Add32(r, cp);
    Add32(r, f.ccp_text);
    for (std::size_t i = 0; i < f.comment_refs.size(); ++i) {
      std::string atrd(30, '\0');
      Put16(atrd, 0, 2);
      Put16(atrd, 2, 'A');
      Put16(atrd, 4, 'B');
      Put16(atrd, 20, static_cast<std::uint16_t>(i));
      r += atrd;
    }
    place(4, r);
    std::string t;
    for (int cp : f.comment_txt)
      Add32(t, cp);
    place(5, t);
    std::string owners;
    for (const auto& name : f.comment_authors) {
      Add16(owners, static_cast<std::uint16_t>(name.size()));
      for (char16_t c : name)
        Add16(owners, c);
    }
    place(36, owners);
  }
  if (!f.lists_lst.empty())
    place(73, f.lists_lst);
  if (!f.lists_lfo.empty())
    place(74, f.lists_lfo);
  if (sepx_at != 0xFFFFFFFF) {
    std::string sed;
    Add32(sed, 0);
    Add32(sed, static_cast<std::uint32_t>(f.ccp_text));
    std::string entry(12, '\0');
    Put32(entry, 2, sepx_at);
    sed += entry;
    place(6, sed);
  }

  // File information block.
  std::string fib;
  Put16(fib, 0, 0xA5EC);
  Put16(fib, 2, 193);
  Put16(fib, 6, 0x0409);
  Put16(fib, 0x0A, 0);
  Put16(fib, 0x20, 14);
  Put16(fib, 0x22 + 13 * 2, f.lid_fe);
  std::size_t lw = 0x22 + 28;
  Put16(fib, lw, 22);
  Put32(fib, lw + 2 + 3 * 4, static_cast<std::uint32_t>(f.ccp_text));
  Put32(fib, lw + 2 + 4 * 4, static_cast<std::uint32_t>(f.ccp_ftn));
  Put32(fib, lw + 2 + 7 * 4, static_cast<std::uint32_t>(f.ccp_atn));
  Put32(fib, lw + 2 + 8 * 4, static_cast<std::uint32_t>(f.ccp_edn));
  std::size_t fc = lw + 2 + 88;
  Put16(fib, fc, 93);
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    Put32(fib, fc + 2 + 8 * i, pairs[i].first);
    Put32(fib, fc + 6 + 8 * i, pairs[i].second);
  }
  word.replace(0, fib.size(), fib);

  std::vector<std::pair<std::string, std::string>> streams = {{"WordDocument", word},
                                                              {"0Table", table}};
  if (!f.title.empty())
    streams.push_back({"\005SummaryInformation", BuildSummaryInformation(f.title)});
  return BuildCompoundFile(streams);
}

}  // namespace quillon::testing
