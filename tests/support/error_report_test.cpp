// The error report link, and its way to the mail composer: a stub
// xdg-email on PATH receives exactly the link.

#include "support/error_report.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdlib>
#include <string>

#include "tests/support/temp_dir.h"
#include "util/translate.h"

namespace quillon {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

const std::string kBodyStart =
    "mailto:support@quillon.example.org?Subject=Conversion%20Error%2C%20please%20help%21&Body=";

TEST(ErrorReportTest, EmptyReportHoldsTheFixedLinesAndAnEmptyErrorList) {
  std::string link = ErrorReportLink("Quillon 4.0 Build210604", "Debian GNU/Linux 12 (Build 6.1)",
                                     std::nullopt, {});
  EXPECT_EQ(link, kBodyStart +
                      "Please%20fill%20in%20details%20of%20your%20error%20to%20send%20in%20for%20"
                      "support.%0D%0A%0D%0A"
                      "Product%20Name%20%3A%20Quillon%204.0%20Build210604%0D%0A"
                      "OS%20%3A%20Debian%20GNU%2FLinux%2012%20%28Build%206.1%29%0D%0A"
                      "Error%20Logs%20%3A%20%0D%0A");
}

TEST(ErrorReportTest, VersionAndErrorsAreEncodedLineByLine) {
  std::string link = ErrorReportLink("Q", "L", 16, {"Error, a-b.c_d ü", "second & third"});
  EXPECT_NE(link.find("Office%20Version%20%3A%2016%0D%0A"), std::string::npos) << link;
  EXPECT_NE(link.find("Error%20Logs%20%3A%20%0D%0A"
                      "Error%2C%20a-b.c_d%20%C3%BC%0D%0A"
                      "second%20%26%20third%0D%0A"),
            std::string::npos)
      << link;
  // Nothing of the body can end the link's parameters early.
  EXPECT_EQ(link.find('&', link.find("&Body=") + 1), std::string::npos);
}

TEST(ErrorReportTest, SystemDescriptionIsOneLine) {
  std::string os = OperatingSystemDescription();
  EXPECT_FALSE(os.empty());
  EXPECT_EQ(os.find('\n'), std::string::npos);
  EXPECT_NE(os.find("(Build "), std::string::npos) << os;
}

TEST(ErrorReportTest, LinkGoesToTheMailComposerOnPath) {
  int argc = 0;
  QCoreApplication app(argc, nullptr);
  TempDir dir;
  std::string received = dir.File("received");
  std::string stub = dir.File("xdg-email");
  // Written aside and renamed, so that the file is whole once it exists.
  WriteFile(stub, "#!/bin/sh\nprintf '%s' \"$*\" > '" + received + ".part' && mv '" + received +
                      ".part' '" + received + "'\n");
  ::chmod(stub.c_str(), 0755);
  const char* old_path = std::getenv("PATH");
  std::string kept = old_path != nullptr ? old_path : "";
  setenv("PATH", (dir.path() + ":" + kept).c_str(), 1);

  SendErrorReport("Quillon 4.0 Build210604", std::nullopt, {"Error, one", "Error, two"}, false);
  QElapsedTimer waited;
  waited.start();
  while (!testing::FileExists(received) && waited.elapsed() < 10000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  }
  setenv("PATH", kept.c_str(), 1);
  ASSERT_TRUE(testing::FileExists(received));
  std::string link = ReadFile(received);
  EXPECT_EQ(link.rfind(kBodyStart, 0), 0u) << link;
  EXPECT_NE(link.find("Error%2C%20one%0D%0AError%2C%20two%0D%0A"), std::string::npos) << link;
}

TEST(ErrorReportTest, CommandLineRunWritesTheLinkToStandardError) {
  ::testing::internal::CaptureStderr();
  SendErrorReport("Q", std::nullopt, {"Error, x"}, true);
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(err.rfind(kBodyStart, 0), 0u) << err;
  EXPECT_NE(err.find("Error%2C%20x%0D%0A\n"), std::string::npos) << err;
}

}  // namespace
}  // namespace quillon
