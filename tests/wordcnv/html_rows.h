#pragma once
// Reads back the tables of a converter page: each table's caption and the
// text of every cell, entities resolved, so that tests compare values
// rather than markup.

#include <string>
#include <vector>

namespace quillon::testing {

struct PageTable {
  std::string caption;
  std::vector<std::vector<std::string>> rows;
};

inline std::string Unescaped(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 4, "<br>") == 0) {
      out += '\n';
      i += 3;
      continue;
    }
    if (text[i] == '&') {
      for (const auto& [entity, c] : {std::pair<const char*, char>{"&amp;", '&'},
                                      {"&lt;", '<'},
                                      {"&gt;", '>'},
                                      {"&quot;", '"'}}) {
        const std::string e = entity;
        if (text.compare(i, e.size(), e) == 0) {
          out += c;
          i += e.size() - 1;
          goto next;
        }
      }
    }
    out += text[i];
  next:;
  }
  return out;
}

inline std::vector<PageTable> PageTables(const std::string& html) {
  std::vector<PageTable> tables;
  std::size_t at = 0;
  while ((at = html.find("<table", at)) != std::string::npos) {
    const std::size_t end = html.find("</table>", at);
    const std::string body = html.substr(at, end - at);
    at = end;
    PageTable table;
    const std::size_t caption = body.find("<caption>");
    if (caption != std::string::npos) {
      const std::size_t close = body.find("</caption>", caption);
      table.caption = Unescaped(body.substr(caption + 9, close - caption - 9));
    }
    std::size_t row = 0;
    while ((row = body.find("<tr>", row)) != std::string::npos) {
      const std::size_t row_end = body.find("</tr>", row);
      std::vector<std::string> cells;
      std::size_t cell = row;
      while ((cell = body.find("<t", cell + 1)) != std::string::npos && cell < row_end) {
        const bool heading = body.compare(cell, 4, "<th>") == 0;
        if (!heading && body.compare(cell, 4, "<td>") != 0) {
          continue;
        }
        const std::size_t close = body.find(heading ? "</th>" : "</td>", cell);
        cells.push_back(Unescaped(body.substr(cell + 4, close - cell - 4)));
        cell = close;
      }
      table.rows.push_back(cells);
      row = row_end;
    }
    tables.push_back(table);
  }
  return tables;
}

}  // namespace quillon::testing
