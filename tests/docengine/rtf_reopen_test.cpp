// The RTF re-open of the conversion road: a Word document saved as RTF,
// closed and opened again from that file is not read a second time while
// the file is what the engine wrote, and is read anew once it is not.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "automation/variant.h"
#include "docengine/object_model.h"
#include "tests/docengine/doc_fixture.h"
#include "tests/support/temp_dir.h"

namespace quillon::docengine {
namespace {

using automation::Args;
using automation::NamedArg;
using automation::ObjectPtr;
using automation::Variant;

Args Named(std::vector<NamedArg> named) {
  Args args;
  args.named = std::move(named);
  return args;
}

class RtfReopenTest : public ::testing::Test {
 protected:
  RtfReopenTest() {
    EngineOptions options;
    options.on_file_read = [this](const std::string& path) { reads_.push_back(path); };
    app_ = MakeApplication(options);
    testing::DocFixture f;
    f.text =
        u"First paragraph\rSecond \u00e9 one\x07"
        u"cell\x07\x07"
        u"After the table\r";
    f.ccp_text = static_cast<int>(f.text.size());
    f.para_props = {{28, testing::Sprm(0x2416, {1})},
                    {33, testing::Sprm(0x2416, {1})},
                    {34, testing::Sprm(0x2416, {1}) + testing::Sprm(0x2417, {1})}};
    f.title = "Title";
    doc_path_ = dir_.File("source.doc");
    testing::WriteFile(doc_path_, testing::BuildDoc(f));
    rtf_path_ = dir_.File("source.rtf");
  }

  ObjectPtr Open(const std::string& path) {
    return app_->Get("Documents")
        .AsObject()
        ->Call("Open", Named({{"FileName", Variant(path)}, {"ReadOnly", Variant(true)}}))
        .AsObject();
  }

  static void SaveAs(const ObjectPtr& doc, const std::string& path, int format) {
    doc->Call("SaveAs", Named({{"FileName", Variant(path)}, {"FileFormat", Variant(format)}}));
  }

  static void Close(const ObjectPtr& doc) {
    doc->Call("Close", Named({{"SaveChanges", Variant(0)}}));
  }

  // Opens the .doc, saves it as RTF and closes it, as the road does.
  void SaveSourceAsRtf() {
    ObjectPtr doc = Open(doc_path_);
    SaveAs(doc, rtf_path_, 6);
    Close(doc);
  }

  // The text save of the document, as the file's bytes.
  std::string TextOf(const ObjectPtr& doc) {
    const std::string out = dir_.File("out.txt");
    SaveAs(doc, out, 2);
    return testing::ReadFile(out);
  }

  // What a fresh application makes of the file: read it, save as text.
  std::string TextReadFresh(const std::string& path) {
    ObjectPtr app = MakeApplication();
    ObjectPtr doc = app->Get("Documents")
                        .AsObject()
                        ->Call("Open", Named({{"FileName", Variant(path)}}))
                        .AsObject();
    const std::string out = dir_.File("fresh.txt");
    SaveAs(doc, out, 2);
    return testing::ReadFile(out);
  }

  testing::TempDir dir_;
  std::vector<std::string> reads_;
  ObjectPtr app_;
  std::string doc_path_;
  std::string rtf_path_;
};

TEST_F(RtfReopenTest, TheFileJustWrittenIsNotReadAgain) {
  SaveSourceAsRtf();
  ASSERT_TRUE(testing::FileExists(rtf_path_));  // the file is still written
  ObjectPtr reopened = Open(rtf_path_);
  EXPECT_EQ(reads_, std::vector<std::string>{doc_path_});
  EXPECT_EQ(reopened->Get("FullName").ToText(), rtf_path_);
  EXPECT_EQ(reopened->Get("OpenEncoding").ToInt(), 1252);
  const std::string text = TextOf(reopened);
  EXPECT_EQ(text, TextReadFresh(rtf_path_));
  EXPECT_NE(text.find(" one\tcell\r\nAfter the table\r\n"), std::string::npos);
  EXPECT_EQ(reopened->Get("Characters").AsObject()->Get("Count").ToInt(),
            MakeApplication()
                ->Get("Documents")
                .AsObject()
                ->Call("Open", Named({{"FileName", Variant(rtf_path_)}}))
                .AsObject()
                ->Get("Characters")
                .AsObject()
                ->Get("Count")
                .ToInt());
  Close(reopened);
  // Taken once: a second open of the same file reads it.
  Close(Open(rtf_path_));
  EXPECT_EQ(reads_, (std::vector<std::string>{doc_path_, rtf_path_}));
}

TEST_F(RtfReopenTest, AFileChangedSinceItWasWrittenIsReadAnew) {
  struct Change {
    const char* what;
    void (*apply)(const std::string& path);
  };
  const Change changes[] = {
      {"longer",
       [](const std::string& path) {
         std::string bytes = testing::ReadFile(path);
         bytes.insert(bytes.rfind('}'), "{Added}\\par ");
         testing::WriteFile(path, bytes);
       }},
      {"rewritten in place, same size and modification time",
       [](const std::string& path) {
         struct stat before {};
         ASSERT_EQ(::stat(path.c_str(), &before), 0);
         std::string bytes = testing::ReadFile(path);
         const std::size_t at = bytes.find("First");
         ASSERT_NE(at, std::string::npos);
         bytes.replace(at, 5, "Fixed");
         int fd = ::open(path.c_str(), O_WRONLY);
         ASSERT_GE(fd, 0);
         ASSERT_EQ(::pwrite(fd, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
         const timespec times[2] = {before.st_atim, before.st_mtim};
         ASSERT_EQ(::futimens(fd, times), 0);
         ::close(fd);
       }},
      {"replaced by another file of the same size and time",
       [](const std::string& path) {
         struct stat before {};
         ASSERT_EQ(::stat(path.c_str(), &before), 0);
         std::string bytes = testing::ReadFile(path);
         bytes.replace(bytes.find("First"), 5, "Other");
         const std::string other = path + ".new";
         testing::WriteFile(other, bytes);
         const timespec times[2] = {before.st_atim, before.st_mtim};
         ASSERT_EQ(::utimensat(AT_FDCWD, other.c_str(), times, 0), 0);
         ASSERT_EQ(std::rename(other.c_str(), path.c_str()), 0);
       }},
  };
  for (const Change& change : changes) {
    SCOPED_TRACE(change.what);
    reads_.clear();
    SaveSourceAsRtf();
    change.apply(rtf_path_);
    ObjectPtr reopened = Open(rtf_path_);
    EXPECT_EQ(reads_, (std::vector<std::string>{doc_path_, rtf_path_}));
    EXPECT_EQ(TextOf(reopened), TextReadFresh(rtf_path_));
    Close(reopened);
  }
}

TEST_F(RtfReopenTest, OnlyAnUnchangedDocumentClosedRightAfterIsTaken) {
  // Changed after the save: the file no longer is the document.
  {
    ObjectPtr doc = Open(doc_path_);
    SaveAs(doc, rtf_path_, 6);
    doc->Invoke(automation::CallKind::kPut, "BuiltInDocumentProperties",
                Args{{Variant("Title"), Variant("Changed")}, {}});
    Close(doc);
    Close(Open(rtf_path_));
    EXPECT_EQ(reads_, (std::vector<std::string>{doc_path_, rtf_path_}));
  }
  // Saved as RTF, then as text over the same name.
  reads_.clear();
  {
    ObjectPtr doc = Open(doc_path_);
    SaveAs(doc, rtf_path_, 6);
    SaveAs(doc, rtf_path_, 2);
    Close(doc);
    Close(Open(rtf_path_));
    EXPECT_EQ(reads_, (std::vector<std::string>{doc_path_, rtf_path_}));
  }
  // Another file opened in between lets the kept document go.
  reads_.clear();
  {
    SaveSourceAsRtf();
    Close(Open(doc_path_));
    Close(Open(rtf_path_));
    EXPECT_EQ(reads_, (std::vector<std::string>{doc_path_, doc_path_, rtf_path_}));
  }
  // Opening it to recover text reads the file.
  reads_.clear();
  {
    SaveSourceAsRtf();
    Close(app_->Get("Documents")
              .AsObject()
              ->Call("Open", Named({{"FileName", Variant(rtf_path_)}, {"Format", Variant(20)}}))
              .AsObject());
    EXPECT_EQ(reads_, (std::vector<std::string>{doc_path_, rtf_path_}));
  }
}

}  // namespace
}  // namespace quillon::docengine
