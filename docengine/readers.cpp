// The list of built-in readers. Each reader's source file defines its
// Make...Reader() factory; add one line here per reader.

#include "docengine/reader.h"

#include "docengine/doc_reader.h"
#include "docengine/docx_reader.h"
#include "docengine/html_reader.h"
#include "docengine/wpd_reader.h"
#include "docengine/reader_factories.h"

namespace quillon::docengine {

const std::vector<std::unique_ptr<Reader>>& BuiltInReaders() {
  static const std::vector<std::unique_ptr<Reader>> readers = [] {
    std::vector<std::unique_ptr<Reader>> list;
    list.push_back(MakeRtfReader());
    list.push_back(MakeDocReader());
    list.push_back(MakeDocxReader());
    list.push_back(MakeHtmlReader());
    list.push_back(MakeWordPerfectReader());
    // Plain text sniffs lowest: any markup reader that knows the file wins.
    list.push_back(MakeTextReader());
    return list;
  }();
  return readers;
}

}  // namespace quillon::docengine
