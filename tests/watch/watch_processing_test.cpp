// Watch processing over real folders and the real engine server: what is
// converted, where it lands, what is left alone and what is logged.

#include "watch/watch_processing.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>

#include "engine/word_connection.h"
#include "tests/support/scripted_prompter.h"
#include "tests/support/temp_dir.h"
#include "tests/watch/watch_test_support.h"
#include "util/files.h"

namespace quillon {
namespace {

using namespace std::chrono_literals;
using testing::FileExists;
using testing::ReadFile;
using testing::RunEventsFor;
using testing::RunEventsUntil;
using testing::RuntimeFolderScope;
using testing::TempDir;
using testing::WriteFile;

constexpr auto kInterval = 200ms;
constexpr const char* kTextFormat = "2=Text only(*.txt)";

class RecordingLog : public BatchLog {
 public:
  void AddLogLine(const std::string& line) override { lines.push_back(line); }
  void ReportError(const std::string& message) override { errors.push_back(message); }
  void WriteLogFiles() override { ++writes; }
  void ClearBatchErrors() override { errors.clear(); }
  std::vector<std::string> BatchErrors() override { return errors; }
  std::string TimeText() override { return "12:00:00"; }

  int SuccessLinesFor(const std::string& source) const {
    int count = 0;
    for (const std::string& line : lines) {
      count += line.find("successfully convert " + source + " to") != std::string::npos;
    }
    return count;
  }

  std::vector<std::string> lines;
  std::vector<std::string> errors;
  int writes = 0;
};

std::string Sample() {
  return ReadFile(std::string(QUILLON_TEST_DATA_DIR) + "/engine/sample.rtf");
}

// A process that holds `path` open for writing (the sample written into
// it) for `hold`, then closes it and ends.
pid_t StartWriter(const std::string& path, std::chrono::milliseconds hold) {
  std::string content = Sample();
  pid_t pid = ::fork();
  if (pid == 0) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
      ::_exit(1);
    }
    ssize_t written = ::write(fd, content.data(), content.size());
    ::usleep(static_cast<useconds_t>(hold.count() * 1000));
    ::close(fd);
    ::_exit(written == static_cast<ssize_t>(content.size()) ? 0 : 1);
  }
  return pid;
}

bool Exited(pid_t pid) {
  int status = 0;
  return ::waitpid(pid, &status, WNOHANG) == pid;
}

class WatchProcessingTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    testing::EnsureApplication();
    struct stat info {};
    if (::stat((std::string(QUILLON_BIN_DIR) + "/quillon-engine").c_str(), &info) != 0) {
      return;
    }
    runtime_ = new RuntimeFolderScope;  // never meet a server of the user's
    engine::ResetWordConnection();
  }
  static void TearDownTestSuite() {
    engine::ReleaseWord();
    engine::ResetWordConnection();
    delete runtime_;
    runtime_ = nullptr;
  }

  void SetUp() override {
    if (runtime_ == nullptr) {
      GTEST_SKIP() << "quillon-engine is not built";
    }
    formats_.Fill();
    processor_ = std::make_unique<WatchProcessor>(list_, formats_, log_);
    processor_->SetWatchInterval(kInterval);
  }

  void TearDown() override {
    if (processor_) {
      processor_->StopAllWatches();
    }
  }

  // Adds a checked entry over `folder`, starts it and waits until its
  // watcher has taken its first listing.
  int Watch(const std::string& folder, const std::string& convert_to,
            const std::string& masks = "*.rtf", const std::string& exclude_words = "",
            bool sub_folders = false, const std::string& format = kTextFormat) {
    int row = list_.AddWatchRow(true, folder, convert_to, masks, exclude_words,
                                sub_folders ? "Yes" : "No", format);
    EXPECT_TRUE(processor_->StartWatchEntry(row));
    EXPECT_EQ(list_.entry(row).state, WatchState::kWatching);
    const TFileSystemWatcher* watcher = list_.entry(row).watcher.get();
    EXPECT_TRUE(RunEventsUntil([watcher] { return watcher->Ready(); }, 5s));
    return row;
  }

  bool WaitForFile(const std::string& path, std::chrono::milliseconds limit = 20s) {
    return RunEventsUntil([&path] { return FileExists(path); }, limit);
  }

  // Long enough for a surplus report and its conversion to show.
  void Settle() {
    RunEventsFor(4 * kInterval);
    RunEventsUntil([this] { return processor_->pending_events().empty() && !processor_->busy(); },
                   10s);
    RunEventsFor(2 * kInterval);
  }

  static RuntimeFolderScope* runtime_;
  TempDir in_;
  TempDir out_;
  DestinationFormatTable formats_;
  RecordingLog log_;
  WatchListModel list_;
  std::unique_ptr<WatchProcessor> processor_;
};

RuntimeFolderScope* WatchProcessingTest::runtime_ = nullptr;

TEST_F(WatchProcessingTest, NewFilesConvertExactlyOnceAndPresentOnesNever) {
  WriteFile(in_.File("present.rtf"), Sample());
  Watch(in_.path(), out_.path());
  WriteFile(in_.File("new.rtf"), Sample());
  ASSERT_TRUE(WaitForFile(out_.File("new.txt")));
  Settle();
  EXPECT_NE(ReadFile(out_.File("new.txt")).find("The quick brown fox"), std::string::npos);
  EXPECT_FALSE(FileExists(out_.File("present.txt")));
  EXPECT_EQ(log_.SuccessLinesFor(in_.File("new.rtf")), 1);
  EXPECT_EQ(log_.SuccessLinesFor(in_.File("present.rtf")), 0);
  EXPECT_TRUE(log_.errors.empty()) << log_.errors.front();
  EXPECT_GE(log_.writes, 1) << "the log files are written after each file";
  EXPECT_EQ(list_.entry(0).state, WatchState::kWatching);
}

TEST_F(WatchProcessingTest, AFileStillBeingWrittenWaitsForItsWriter) {
  Watch(in_.path(), out_.path());
  std::atomic<int> seen_locked{0};
  processor_->SetFileLockedFunction([&seen_locked](const std::string& path) {
    bool locked = IsFileLocked(path);
    seen_locked += locked;
    return locked;
  });
  auto started = std::chrono::system_clock::now();
  pid_t writer = StartWriter(in_.File("held.rtf"), 5s);
  ASSERT_GT(writer, 0);
  ASSERT_TRUE(WaitForFile(out_.File("held.txt"), 30s));
  struct stat info {};
  ASSERT_EQ(::stat(out_.File("held.txt").c_str(), &info), 0);
  auto written = std::chrono::system_clock::from_time_t(info.st_mtim.tv_sec) +
                 std::chrono::nanoseconds(info.st_mtim.tv_nsec);
  EXPECT_GE(written - started, 4500ms) << "converted before its writer closed it";
  EXPECT_GT(seen_locked.load(), 0);
  EXPECT_TRUE(RunEventsUntil([writer] { return Exited(writer); }, 5s));
  EXPECT_NE(ReadFile(out_.File("held.txt")).find("The quick brown fox"), std::string::npos);
  Settle();
  EXPECT_EQ(log_.SuccessLinesFor(in_.File("held.rtf")), 1);
}

TEST_F(WatchProcessingTest, AFileThatStaysInUseIsConvertedAfterTheLimit) {
  processor_->SetLockWait(1s, 50ms);
  Watch(in_.path(), out_.path());
  pid_t writer = StartWriter(in_.File("stuck.rtf"), 30s);
  ASSERT_GT(writer, 0);
  bool converted = WaitForFile(out_.File("stuck.txt"), 15s);
  bool writer_still_there = !Exited(writer);
  ::kill(writer, SIGKILL);
  ::waitpid(writer, nullptr, 0);
  EXPECT_TRUE(converted);
  EXPECT_TRUE(writer_still_there);
}

TEST_F(WatchProcessingTest, TildeNamesAndExcludedFoldersAreLeftAlone) {
  Watch(in_.path(), out_.path(), "*.rtf;*.doc", "draft", true);
  WriteFile(in_.File("~$x.doc"), Sample());
  WriteFile(in_.File("drafts/a.rtf"), Sample());
  WriteFile(in_.File("keep/b.rtf"), Sample());
  ASSERT_TRUE(WaitForFile(out_.File("keep/b.txt")));
  Settle();
  EXPECT_FALSE(FileExists(out_.File("~$x.txt")));
  EXPECT_FALSE(FileExists(out_.File("drafts/a.txt")));
  EXPECT_FALSE(FileExists(out_.File("drafts")));
  EXPECT_EQ(log_.lines.size(), 1u);
  EXPECT_TRUE(log_.errors.empty());
}

TEST_F(WatchProcessingTest, SubFoldersAreKeptBelowTheDestinationFolder) {
  TempDir second_in;
  TempDir second_out;
  Watch(in_.path(), out_.path(), "*.rtf", "", true);
  Watch(second_in.path(), "[With Same File Tree]" + second_out.path(), "*.rtf", "", true);
  WriteFile(in_.File("Sub/c.rtf"), Sample());
  WriteFile(second_in.File("Sub/deeper/d.rtf"), Sample());
  EXPECT_TRUE(WaitForFile(out_.File("Sub/c.txt")));
  EXPECT_TRUE(WaitForFile(second_out.File("Sub/deeper/d.txt")));
  Settle();
  EXPECT_TRUE(log_.errors.empty());
}

TEST_F(WatchProcessingTest, SameFilePathWritesBesideTheSource) {
  Watch(in_.path(), "Same File Path");
  WriteFile(in_.File("beside.rtf"), Sample());
  EXPECT_TRUE(WaitForFile(in_.File("beside.txt")));
}

TEST_F(WatchProcessingTest, AnEntryWithoutDestinationLogsEachFile) {
  Watch(in_.path(), "");
  WriteFile(in_.File("one.rtf"), Sample());
  WriteFile(in_.File("two.rtf"), Sample());
  ASSERT_TRUE(RunEventsUntil([this] { return log_.errors.size() >= 2; }, 10s));
  Settle();
  EXPECT_EQ(log_.errors, (std::vector<std::string>{"Error, destination file path is empty!",
                                                   "Error, destination file path is empty!"}));
  EXPECT_TRUE(log_.lines.empty());
  EXPECT_FALSE(FileExists(in_.File("one.txt")));
}

TEST_F(WatchProcessingTest, AFileThatVanishesGivesOneError) {
  Watch(in_.path(), out_.path());
  processor_->SetFileLockedFunction([](const std::string& path) {
    ::unlink(path.c_str());  // gone between its report and its conversion
    return false;
  });
  WriteFile(in_.File("gone.rtf"), Sample());
  ASSERT_TRUE(RunEventsUntil([this] { return !log_.errors.empty(); }, 10s));
  Settle();
  ASSERT_EQ(log_.errors.size(), 1u);
  EXPECT_EQ(log_.errors[0].rfind("Error, Can not convert " + in_.File("gone.rtf") + "!", 0), 0u)
      << log_.errors[0];
  EXPECT_EQ(list_.entry(0).state, WatchState::kWatching) << "the entry keeps watching";
}

TEST_F(WatchProcessingTest, EventsStayWithTheirOwnEntry) {
  TempDir second_in;
  TempDir second_out;
  WriteFile(in_.File("first.rtf"), Sample());
  WriteFile(second_in.File("second.rtf"), Sample());
  int first = Watch(in_.path(), out_.path());
  int second = Watch(second_in.path(), second_out.path());
  // Both files queued before either converts, then the first entry is
  // deleted: the second one moves up to its place.
  processor_->QueueWatchEvent(list_.entry(first).watcher.get(), kFileAdded, in_.File("first.rtf"),
                              "");
  processor_->QueueWatchEvent(list_.entry(second).watcher.get(), kFileAdded,
                              second_in.File("second.rtf"), "");
  list_.DeleteRows({first});
  ASSERT_TRUE(WaitForFile(second_out.File("second.txt")));
  Settle();
  EXPECT_FALSE(FileExists(out_.File("first.txt")));
  EXPECT_FALSE(FileExists(second_out.File("first.txt")));
  EXPECT_EQ(log_.lines.size(), 1u);
}

TEST_F(WatchProcessingTest, UnknownFormatIsShownAndTheEntryGoesOnWatching) {
  testing::ScriptedPrompter prompter;
  Watch(in_.path(), out_.path(), "*.rtf", "", false, "99=No such format");
  WriteFile(in_.File("x.rtf"), Sample());
  ASSERT_TRUE(RunEventsUntil([&prompter] { return !prompter.shown().empty(); }, 10s));
  Settle();
  EXPECT_EQ(prompter.texts(),
            (std::vector<std::string>{"Destination file format -1 does not exist!"}));
  EXPECT_FALSE(FileExists(out_.File("x.txt")));
  EXPECT_EQ(list_.entry(0).state, WatchState::kWatching);
}

TEST_F(WatchProcessingTest, StopWatchStopsOnlyTheGivenRunningRows) {
  int a = Watch(in_.path(), out_.path());
  TempDir other;
  int b = Watch(other.path(), out_.path());
  int unchecked =
      list_.AddWatchRow(false, other.path(), out_.path(), "*.rtf", "", "No", kTextFormat);
  processor_->StartWatch();
  EXPECT_EQ(list_.entry(unchecked).state, WatchState::kIdle);
  EXPECT_FALSE(processor_->StartWatchEntry(a)) << "a running entry does not start twice";
  processor_->StopWatch({});
  EXPECT_EQ(list_.entry(a).state, WatchState::kWatching);
  processor_->StopWatch({a});
  EXPECT_EQ(list_.entry(a).state, WatchState::kIdle);
  EXPECT_EQ(list_.entry(a).watcher, nullptr);
  EXPECT_EQ(list_.entry(b).state, WatchState::kWatching);
  WriteFile(in_.File("after-stop.rtf"), Sample());
  RunEventsFor(4 * kInterval);
  EXPECT_FALSE(FileExists(out_.File("after-stop.txt")));
  processor_->StopAllWatches();
  EXPECT_EQ(list_.entry(b).state, WatchState::kIdle);
}

TEST_F(WatchProcessingTest, ClosingEndsTheWaitForAFileInUse) {
  Watch(in_.path(), out_.path());
  processor_->SetFileLockedFunction([this](const std::string&) {
    processor_->RequestClose();
    return true;
  });
  WriteFile(in_.File("late.rtf"), Sample());
  ASSERT_TRUE(RunEventsUntil([this] { return !log_.lines.empty(); }, 10s));
  EXPECT_NE(log_.lines[0].find(in_.File("late.rtf") + " was not converted"), std::string::npos);
  EXPECT_FALSE(FileExists(out_.File("late.txt")));
  EXPECT_TRUE(log_.errors.empty());
}

}  // namespace
}  // namespace quillon
