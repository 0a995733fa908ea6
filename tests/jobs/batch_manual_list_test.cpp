// The manual list the batch works on: actions on selected rows, the count
// line and the column sort.

#include <gtest/gtest.h>

#include "jobs/manual_list.h"
#include "tests/support/temp_dir.h"

namespace quillon {
namespace {

using testing::TempDir;
using testing::WriteFile;

class ManualListTest : public ::testing::Test {
 protected:
  void Add(const std::string& name, size_t bytes) {
    WriteFile(dir_.File(name), std::string(bytes, 'x'));
    ASSERT_TRUE(AddFileRow(list_.list(), true, dir_.File(name), false, "", "", "Same File Path"));
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const FileListRow& row : list_.list().rows()) {
      names.push_back(RowSource(row).substr(dir_.path().size() + 1));
    }
    return names;
  }

  TempDir dir_;
  ManualList list_;
};

TEST_F(ManualListTest, SelectedRowsAreCheckedUncheckedAndDeletedWithTheCountLine) {
  for (const char* name : {"a.doc", "b.doc", "c.doc", "d.doc", "e.doc"}) {
    Add(name, 1);
  }
  list_.list().ClearSelection();
  list_.list().SetSelected(1, true);
  list_.list().SetSelected(3, true);
  list_.UncheckSelected();
  EXPECT_EQ(list_.count_line(), "Total 5 files, 3 selected");
  list_.InvertSelection();
  list_.DeleteSelected();
  EXPECT_EQ(Names(), (std::vector<std::string>{"b.doc", "d.doc"}));
  EXPECT_EQ(list_.count_line(), "Total 2 files, 0 selected");
  list_.SelectAll();
  list_.CheckSelected();
  EXPECT_EQ(list_.count_line(), "Total 2 files, 2 selected");
}

TEST_F(ManualListTest, EveryHeaderClickSortsTheOtherWayAndSizesSortAsText) {
  Add("B.doc", 100);
  Add("a.doc", 20);
  Add("c.doc", 3);
  list_.SortByColumn(4);  // "Size", ascending as text: "100" < "20" < "3"
  EXPECT_EQ(Names(), (std::vector<std::string>{"B.doc", "a.doc", "c.doc"}));
  list_.SortByColumn(0);  // another column, yet the other direction
  EXPECT_EQ(Names(), (std::vector<std::string>{"c.doc", "B.doc", "a.doc"}));
  list_.SortByColumn(0);
  EXPECT_EQ(Names(), (std::vector<std::string>{"a.doc", "B.doc", "c.doc"}));
  EXPECT_EQ(list_.sort_column(), 0);
}

}  // namespace
}  // namespace quillon
