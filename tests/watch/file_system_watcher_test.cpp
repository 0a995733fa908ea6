// The directory watcher over real folders, with a short listing interval.

#include "watch/file_system_watcher.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "tests/support/temp_dir.h"
#include "tests/watch/watch_test_support.h"

namespace quillon {
namespace {

using namespace std::chrono_literals;
using testing::RunEventsFor;
using testing::RunEventsUntil;
using testing::TempDir;
using testing::WriteFile;

constexpr auto kInterval = 100ms;

class WatcherTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::EnsureApplication(); }

  // Starts watching the scratch folder and waits for the first listing.
  void Start(const std::string& masks, bool sub_tree) {
    watcher_ = std::make_unique<TFileSystemWatcher>();
    watcher_->SetWatchedDir(dir_.path());
    watcher_->SetFileFilters(masks);
    watcher_->SetWatchSubTree(sub_tree);
    watcher_->SetInterval(kInterval);
    watcher_->SetTag(42);
    watcher_->SetOnChange([this](TFileSystemWatcher* sender, TFileOperation operation,
                                 const std::string& new_name, const std::string& old_name) {
      EXPECT_EQ(sender, watcher_.get());
      EXPECT_EQ(sender->Tag(), 42u);
      EXPECT_EQ(operation, kFileAdded);
      EXPECT_EQ(old_name, "");
      events_.push_back(new_name);
    });
    watcher_->SetActived(true);
    ASSERT_TRUE(RunEventsUntil([this] { return watcher_->Ready(); }, 5s));
  }

  // Waits until `count` events have come, then a few intervals more so that
  // a surplus one would show.
  void ExpectEvents(const std::vector<std::string>& expected) {
    RunEventsUntil([&] { return events_.size() >= expected.size(); }, 5s);
    RunEventsFor(4 * kInterval);
    EXPECT_EQ(events_, expected);
    events_.clear();
  }

  TempDir dir_;
  std::unique_ptr<TFileSystemWatcher> watcher_;
  std::vector<std::string> events_;
};

TEST_F(WatcherTest, ReportsOnlyNamesThatAppearAfterTheFirstListing) {
  WriteFile(dir_.File("present.doc"), "x");
  Start("*.doc", false);
  ExpectEvents({});

  WriteFile(dir_.File("new.doc"), "x");
  WriteFile(dir_.File("other.txt"), "x");
  ExpectEvents({dir_.File("new.doc")});

  // New content under the same name, and a change of letter case only.
  WriteFile(dir_.File("present.doc"), "changed");
  ASSERT_EQ(::rename(dir_.File("new.doc").c_str(), dir_.File("NEW.DOC").c_str()), 0);
  ExpectEvents({});

  // Renamed into a matching name.
  ASSERT_EQ(::rename(dir_.File("other.txt").c_str(), dir_.File("other.doc").c_str()), 0);
  ExpectEvents({dir_.File("other.doc")});

  // Gone in one interval, back in a later one.
  ASSERT_EQ(::unlink(dir_.File("present.doc").c_str()), 0);
  RunEventsFor(3 * kInterval);
  WriteFile(dir_.File("present.doc"), "x");
  ExpectEvents({dir_.File("present.doc")});
}

TEST_F(WatcherTest, SubFoldersOnlyWithTheSubTree) {
  ::mkdir(dir_.File("sub").c_str(), 0755);
  Start("*.doc", false);
  WriteFile(dir_.File("sub/deep.doc"), "x");
  ExpectEvents({});
  watcher_->SetWatchSubTree(true);  // from the next listing on
  // Everything below is new to a listing that now takes the sub-tree.
  ExpectEvents({dir_.File("sub/deep.doc")});
  WriteFile(dir_.File("sub/more/deeper.doc"), "x");
  ExpectEvents({dir_.File("sub/more/deeper.doc")});
}

TEST_F(WatcherTest, AFileMatchingTwoMasksIsReportedOnce) {
  Start("*.doc;*.d*;;[bad", false);
  WriteFile(dir_.File("report.doc"), "x");
  WriteFile(dir_.File("data.dat"), "x");
  ExpectEvents({dir_.File("report.doc"), dir_.File("data.dat")});
}

TEST_F(WatcherTest, AFolderThatGoesAwayAndComesBackReportsItsFilesAgain) {
  std::string away = dir_.path() + "-away";
  WriteFile(dir_.File("a.doc"), "x");
  Start("*.doc", false);
  std::vector<bool> readable;
  QObject::connect(watcher_.get(), &TFileSystemWatcher::folderReadable,
                   [&readable](bool now) { readable.push_back(now); });
  ASSERT_EQ(::rename(dir_.path().c_str(), away.c_str()), 0);
  RunEventsFor(3 * kInterval);
  EXPECT_TRUE(events_.empty());
  EXPECT_EQ(readable, std::vector<bool>{false});  // told once, not at every listing
  ASSERT_EQ(::rename(away.c_str(), dir_.path().c_str()), 0);
  ExpectEvents({dir_.File("a.doc")});
  EXPECT_EQ(readable, (std::vector<bool>{false, true}));
}

TEST_F(WatcherTest, AFolderMissingAtTheStartIsToldAtTheFirstListing) {
  watcher_ = std::make_unique<TFileSystemWatcher>();
  std::vector<bool> readable;
  QObject::connect(watcher_.get(), &TFileSystemWatcher::folderReadable,
                   [&readable](bool now) { readable.push_back(now); });
  watcher_->SetWatchedDir(dir_.File("not-yet"));
  watcher_->SetFileFilters("*.doc");
  watcher_->SetInterval(kInterval);
  watcher_->SetOnChange([this](TFileSystemWatcher*, TFileOperation, const std::string& name,
                               const std::string&) { events_.push_back(name); });
  watcher_->SetActived(true);
  ASSERT_TRUE(RunEventsUntil([this] { return watcher_->Ready(); }, 5s));
  RunEventsFor(2 * kInterval);
  EXPECT_EQ(readable, std::vector<bool>{false});
  WriteFile(dir_.File("not-yet/a.doc"), "x");
  ExpectEvents({dir_.File("not-yet/a.doc")});
  EXPECT_EQ(readable, (std::vector<bool>{false, true}));
}

TEST_F(WatcherTest, NothingArrivesAfterTheStopRequest) {
  Start("*.doc", false);
  for (int i = 0; i < 200; ++i) {
    WriteFile(dir_.File("f" + std::to_string(i) + ".doc"), "x");
  }
  ASSERT_TRUE(RunEventsUntil([this] { return !events_.empty(); }, 5s));
  watcher_->SetActived(false);
  EXPECT_FALSE(watcher_->Actived());
  size_t seen = events_.size();
  RunEventsFor(4 * kInterval);
  EXPECT_EQ(events_.size(), seen);

  // Started again: the files now present are the first listing.
  watcher_->SetActived(true);
  ASSERT_TRUE(RunEventsUntil([this] { return watcher_->Ready(); }, 5s));
  events_.clear();
  WriteFile(dir_.File("late.doc"), "x");
  ExpectEvents({dir_.File("late.doc")});

  // Destroyed while deliveries are on their way: no handler runs.
  for (int i = 0; i < 20; ++i) {
    WriteFile(dir_.File("g" + std::to_string(i) + ".doc"), "x");
  }
  ASSERT_TRUE(RunEventsUntil([this] { return !events_.empty(); }, 5s));
  watcher_.reset();
  seen = events_.size();
  RunEventsFor(4 * kInterval);
  EXPECT_EQ(events_.size(), seen);
}

TEST_F(WatcherTest, WithoutAHandlerNothingRuns) {
  TFileSystemWatcher watcher;
  watcher.SetWatchedDir(dir_.path());
  watcher.SetInterval(kInterval);
  watcher.SetActived(true);
  RunEventsFor(3 * kInterval);
  EXPECT_FALSE(watcher.Ready());
}

TEST(ScanFolderTest, MaskByMaskDepthFirstInNameOrder) {
  TempDir dir;
  WriteFile(dir.File("b.doc"), "x");
  WriteFile(dir.File("a.DOC"), "x");
  WriteFile(dir.File("noext"), "x");
  WriteFile(dir.File("z/c.doc"), "x");
  WriteFile(dir.File("z/y/d.doc"), "x");
  WriteFile(dir.File("m/e.rtf"), "x");
  ::mkdir(dir.File("folder.doc").c_str(), 0755);
  ASSERT_EQ(::symlink(dir.path().c_str(), dir.File("z/loop").c_str()), 0);
  std::string root = dir.path() + "/";
  EXPECT_EQ(ScanFolder(dir.path(), "*.doc;*.rtf", true),
            (std::vector<std::string>{root + "a.DOC", root + "b.doc", root + "z/c.doc",
                                      root + "z/y/d.doc", root + "m/e.rtf"}));
  EXPECT_EQ(ScanFolder(dir.path(), "*.doc;*.rtf", false),
            (std::vector<std::string>{root + "a.DOC", root + "b.doc"}));
  EXPECT_EQ(ScanFolder(dir.path(), "*.*", false),
            (std::vector<std::string>{root + "a.DOC", root + "b.doc", root + "noext"}));
  EXPECT_EQ(ScanFolder(dir.path(), "*.doc;b*", false),
            (std::vector<std::string>{root + "a.DOC", root + "b.doc", root + "b.doc"}));
  EXPECT_TRUE(ScanFolder(dir.path(), "", true).empty());
  EXPECT_TRUE(ScanFolder(dir.path(), "[x", true).empty());
  EXPECT_TRUE(ScanFolder(dir.File("missing"), "*", true).empty());
}

}  // namespace
}  // namespace quillon
