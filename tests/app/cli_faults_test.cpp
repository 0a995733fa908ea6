// Command-line runs of the real program while things go wrong around it:
// the word processor killed or stopped in the middle of a file, sources
// removed or replaced after the folder was listed, a destination folder
// that cannot be written, a destination file system that fills up. Each
// run has deletion of the sources on, so a fault that lost a document would
// show as a missing source.
//
// "The middle of a file" is made exact with a write lease: while the test
// holds one on a source, the word processor's open of that source waits in
// the kernel, and the test finds it waiting there.

#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include <zip.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/app/cli_harness.h"
#include "tests/support/engine_processes.h"

namespace quillon::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;
using namespace std::chrono_literals;

// While it lives, every other process's open of the file waits (up to the
// kernel's lease-break time, 45 s by default).
class OpenBlocker {
 public:
  explicit OpenBlocker(const std::string& path) {
    // The kernel tells the lease holder with SIGIO, which would end us.
    ::signal(SIGIO, SIG_IGN);
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    held_ = fd_ >= 0 && ::fcntl(fd_, F_SETLEASE, F_WRLCK) == 0;
  }
  ~OpenBlocker() { Release(); }
  bool held() const { return held_; }
  void Release() {
    if (fd_ >= 0) {
      ::fcntl(fd_, F_SETLEASE, F_UNLCK);
      ::close(fd_);
      fd_ = -1;
    }
  }

 private:
  int fd_ = -1;
  bool held_ = false;
};

class CliFaultsTest : public CliRunTest {
 protected:
  void SetUp() override {
    CliRunTest::SetUp();
    if (IsSkipped()) {
      return;
    }
    WriteSettings("");
  }

  void WriteSettings(const std::string& extra) {
    WriteFile(h_.Home("set.ini"),
              "[Tarvell\\Quillon]\nDelete Source File After Conversion=1\n" + extra);
  }
  void MakeRtf(const std::string& relative, const std::string& word) const {
    WriteFile(h_.Work(relative), "{\\rtf1\\ansi\\deff0 " + word + "\\par}");
  }
  bool Has(const std::string& relative) const { return FileExists(h_.Work(relative)); }
  std::string Text(const std::string& relative) const { return ReadFile(h_.Work(relative)); }
  std::vector<std::string> Errors() const { return CliHarness::Lines(h_.Home("error.log")); }

  // Runs the program on its own thread; Finish waits for it.
  void Start(std::vector<std::string> args) {
    runner_ = std::thread([this, args = std::move(args)] { result_ = h_.Run(args); });
  }
  CliResult Finish() {
    if (runner_.joinable()) {
      runner_.join();
    }
    return result_;
  }
  void TearDown() override { Finish(); }

  // This run's word-processor server while its open of a file waits on a
  // lease; -1 when none does within the time.
  pid_t EngineWaitingInOpen(std::chrono::seconds within = 20s) const {
    const std::string engine = CliHarness::BinDir() + "/quillon-engine";
    const auto until = std::chrono::steady_clock::now() + within;
    while (std::chrono::steady_clock::now() < until) {
      for (pid_t pid : EngineProcesses(engine, h_.Root() + "/run")) {
        if (ReadProc("/proc/" + std::to_string(pid) + "/wchan").find("break_lease") !=
            std::string::npos) {
          return pid;
        }
      }
      std::this_thread::sleep_for(20ms);
    }
    return -1;
  }

  static bool Gone(pid_t pid) {
    for (int i = 0; i < 200; ++i) {
      const std::string stat = ReadProc("/proc/" + std::to_string(pid) + "/stat");
      const std::size_t paren = stat.rfind(')');
      if (stat.empty() ||
          (paren != std::string::npos && stat.size() > paren + 2 && stat[paren + 2] == 'Z')) {
        return true;
      }
      std::this_thread::sleep_for(25ms);
    }
    return false;
  }

  std::thread runner_;
  CliResult result_;
};

TEST_F(CliFaultsTest, AWordProcessorKilledInTheMiddleOfAFileCostsThatFileOnly) {
  MakeRtf("in/a.rtf", "First");
  MakeRtf("in/b.rtf", "Second");
  MakeRtf("in/c.rtf", "Third");
  OpenBlocker blocker(h_.Work("in/b.rtf"));
  if (!blocker.held()) {
    GTEST_SKIP() << "this file system gives no write leases";
  }
  Start({h_.Work("in/*.rtf")});
  const pid_t engine = EngineWaitingInOpen();
  ASSERT_GT(engine, 0) << "the word processor never came to open b.rtf";
  ::kill(engine, SIGKILL);
  blocker.Release();
  CliResult run = Finish();

  EXPECT_EQ(run.exit_code, 1) << run.err;
  EXPECT_TRUE(Gone(engine));
  EXPECT_THAT(Text("in/a.txt"), HasSubstr("First"));
  EXPECT_THAT(Text("in/c.txt"), HasSubstr("Third")) << "no fresh word processor after the kill";
  EXPECT_FALSE(Has("in/b.txt"));
  EXPECT_TRUE(Has("in/b.rtf")) << "the source of a failed file was deleted";
  EXPECT_FALSE(Has("in/a.rtf"));
  EXPECT_FALSE(Has("in/c.rtf"));
  ASSERT_EQ(Errors().size(), 1u);
  EXPECT_THAT(Errors()[0], HasSubstr("Can not convert " + h_.Work("in/b.rtf") + "!"));
}

TEST_F(CliFaultsTest, AWordProcessorThatStopsAnsweringIsEndedAtTheTimeLimit) {
  WriteSettings("Engine Time Limit=5\n");
  MakeRtf("in/a.rtf", "First");
  MakeRtf("in/b.rtf", "Second");
  MakeRtf("in/c.rtf", "Third");
  OpenBlocker blocker(h_.Work("in/b.rtf"));
  if (!blocker.held()) {
    GTEST_SKIP() << "this file system gives no write leases";
  }
  const auto start = std::chrono::steady_clock::now();
  Start({h_.Work("in/*.rtf")});
  const pid_t engine = EngineWaitingInOpen();
  ASSERT_GT(engine, 0) << "the word processor never came to open b.rtf";
  ::kill(engine, SIGSTOP);
  blocker.Release();
  CliResult run = Finish();

  EXPECT_EQ(run.exit_code, 1) << run.err;
  EXPECT_TRUE(Gone(engine)) << "the stopped word processor was left behind";
  EXPECT_THAT(Text("in/c.txt"), HasSubstr("Third"));
  EXPECT_THAT(Text("in/a.txt"), HasSubstr("First"));
  EXPECT_TRUE(Has("in/b.rtf"));
  EXPECT_FALSE(Has("in/b.txt"));
  ASSERT_EQ(Errors().size(), 1u);
  EXPECT_THAT(Errors()[0], HasSubstr(h_.Work("in/b.rtf")));
  EXPECT_THAT(Errors()[0], HasSubstr("within 5 seconds"));
  // Bounded by the limit, not by the kernel's 45 s lease-break time.
  EXPECT_LT(std::chrono::steady_clock::now() - start, 40s);
}

TEST_F(CliFaultsTest, SourcesRemovedOrReplacedAfterTheListingAreOneErrorOrTheNewText) {
  MakeRtf("in/a.rtf", "First");
  MakeRtf("in/b.rtf", "Removed");
  MakeRtf("in/c.rtf", "Original");
  OpenBlocker blocker(h_.Work("in/a.rtf"));
  if (!blocker.held()) {
    GTEST_SKIP() << "this file system gives no write leases";
  }
  Start({h_.Work("in/*.rtf")});
  // The folder is listed by now: its first file is being opened.
  ASSERT_GT(EngineWaitingInOpen(), 0) << "the word processor never came to open a.rtf";
  fs::remove(h_.Work("in/b.rtf"));
  MakeRtf("in/c.new", "Replacement");
  fs::rename(h_.Work("in/c.new"), h_.Work("in/c.rtf"));
  blocker.Release();
  CliResult run = Finish();

  EXPECT_EQ(run.exit_code, 1) << run.err;
  EXPECT_THAT(Text("in/a.txt"), HasSubstr("First"));
  EXPECT_FALSE(Has("in/b.txt"));
  EXPECT_THAT(Text("in/c.txt"), HasSubstr("Replacement"));
  EXPECT_THAT(Text("in/c.txt"), Not(HasSubstr("Original")));
  ASSERT_EQ(Errors().size(), 1u);
  EXPECT_THAT(Errors()[0], HasSubstr("Can not convert " + h_.Work("in/b.rtf") + "!"));
}

// A folder the destination cannot be written in: as root through a
// read-only mount (root writes anywhere else), otherwise through its mode.
TEST_F(CliFaultsTest, AReadOnlyDestinationFolderKeepsEverySource) {
  MakeRtf("in/a.rtf", "First");
  MakeRtf("in/b.rtf", "Second");
  const std::string out = h_.Work("out");
  fs::create_directories(out);
  bool mounted = false;
  if (::geteuid() == 0) {
    if (::mount("tmpfs", out.c_str(), "tmpfs", MS_RDONLY, "size=64k") != 0) {
      GTEST_SKIP() << "this machine refuses a read-only tmpfs mount";
    }
    mounted = true;
  } else {
    ::chmod(out.c_str(), 0555);
  }
  CliResult run = h_.Run({"/d:" + out, h_.Work("in/*.rtf")});
  const std::vector<std::string> left = CliHarness::FilesBelow(out);
  if (mounted) {
    ::umount2(out.c_str(), MNT_DETACH);
  } else {
    ::chmod(out.c_str(), 0755);
  }

  EXPECT_EQ(run.exit_code, 2) << run.err;
  EXPECT_TRUE(left.empty()) << left.front();
  EXPECT_TRUE(Has("in/a.rtf"));
  EXPECT_TRUE(Has("in/b.rtf"));
  ASSERT_EQ(Errors().size(), 2u);
  EXPECT_THAT(Errors()[0], HasSubstr(mounted ? "Read-only file system" : "Permission denied"));
  EXPECT_THAT(Errors()[0], HasSubstr(h_.Work("in/a.rtf")));
}

TEST_F(CliFaultsTest, AFullDestinationFileSystemLeavesNoPartialTextAndKeepsTheSource) {
  if (::geteuid() != 0) {
    GTEST_SKIP() << "a full file system needs a small tmpfs, and mounting one needs root";
  }
  MakeRtf("in/a.rtf", "Small");
  std::string big;
  for (int i = 0; i < 4000; ++i) {
    big += "A line of text that makes the document too large for the destination.\\par ";
  }
  MakeRtf("in/b.rtf", big);
  const std::string out = h_.Work("out");
  fs::create_directories(out);
  if (::mount("tmpfs", out.c_str(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "this machine refuses a tmpfs mount";
  }
  CliResult run = h_.Run({"/d:" + out, h_.Work("in/*.rtf")});
  const std::vector<std::string> left = CliHarness::FilesBelow(out);
  const std::string small_text = ReadFile(out + "/a.txt");
  ::umount2(out.c_str(), MNT_DETACH);

  EXPECT_EQ(run.exit_code, 1) << run.err;
  EXPECT_EQ(left, (std::vector<std::string>{"a.txt"}));
  EXPECT_THAT(small_text, HasSubstr("Small"));
  EXPECT_FALSE(Has("in/a.rtf"));
  EXPECT_TRUE(Has("in/b.rtf"));
  ASSERT_EQ(Errors().size(), 1u);
  EXPECT_THAT(Errors()[0], HasSubstr(h_.Work("in/b.rtf")));
  EXPECT_THAT(Errors()[0], HasSubstr("No space left on device"));
}

// Found by the WordPerfect fuzz target: 5,770 bytes that make the
// WordPerfect library ask for a 4 GiB buffer. The word processor's memory cap
// turns that into one failed file; the next file still converts.
TEST_F(CliFaultsTest, ADocumentThatAsksForGigabytesIsOneClearError) {
  fs::create_directories(h_.Work("in"));
  fs::copy_file(std::string(QUILLON_TEST_DATA_DIR) + "/fuzz/wordperfect-4-gib-allocation.wpd",
                h_.Work("in/a.wpd"));
  MakeRtf("in/b.rtf", "After");
  CliResult run = h_.Run({h_.Work("in/*.wpd;*.rtf")});
  EXPECT_EQ(run.exit_code, 1) << run.err;
  EXPECT_TRUE(Has("in/a.wpd"));
  EXPECT_FALSE(Has("in/a.txt"));
  EXPECT_THAT(Text("in/b.txt"), HasSubstr("After"));
  ASSERT_EQ(Errors().size(), 1u);
  EXPECT_THAT(Errors()[0], HasSubstr("Can not convert " + h_.Work("in/a.wpd") + "!"));
}

// A gigabyte of plain text and a package whose document part inflates from a
// few KiB to 512 MiB: each is one clear error within the word processor's
// memory cap, and the batch goes on.
TEST_F(CliFaultsTest, AGigabyteOfTextAndAZipBombAreClearErrors) {
  fs::create_directories(h_.Work("in"));
  {
    std::ofstream big(h_.Work("in/a.txt"), std::ios::binary);
    const std::string line = "A line of plain text in a very large file.\r\n";
    std::string block;
    while (block.size() < (1u << 20))
      block += line;
    for (std::size_t written = 0; written < 1000000000u; written += block.size())
      big.write(block.data(), static_cast<std::streamsize>(block.size()));
    ASSERT_TRUE(big.good());
  }
  {
    zip_t* zip = zip_open(h_.Work("in/b.docx").c_str(), ZIP_CREATE | ZIP_TRUNCATE, nullptr);
    ASSERT_NE(zip, nullptr);
    const std::string zeros(512u << 20, '0');
    zip_source_t* source = zip_source_buffer(zip, zeros.data(), zeros.size(), 0);
    zip_file_add(zip, "word/document.xml", source, 0);
    const std::string types =
        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"/>";
    zip_file_add(zip, "[Content_Types].xml", zip_source_buffer(zip, types.data(), types.size(), 0),
                 0);
    ASSERT_EQ(zip_close(zip), 0);
  }
  ASSERT_LT(fs::file_size(h_.Work("in/b.docx")), 4u << 20);
  MakeRtf("in/c.rtf", "After");
  CliResult run = h_.Run({h_.Work("in/*.txt;*.docx;*.rtf")});
  EXPECT_EQ(run.exit_code, 2) << run.err;
  EXPECT_THAT(Text("in/c.txt"), HasSubstr("After"));
  EXPECT_FALSE(Has("in/b.txt"));
  const std::vector<std::string> errors = Errors();
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_THAT(errors[0],
              HasSubstr(h_.Work("in/a.txt") + "! Error Reason is The document is too large"));
  EXPECT_THAT(errors[1],
              HasSubstr(h_.Work("in/b.docx") + "! Error Reason is The document is too large"));
  fs::remove(h_.Work("in/a.txt"));
}

}  // namespace
}  // namespace quillon::testing
