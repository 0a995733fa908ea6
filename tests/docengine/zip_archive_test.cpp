// The zip reader at its edges: bombs by ratio and by total, sizes the
// central directory lies about, archives cut short or damaged, part names
// in another letter case.

#include "docengine/zip_archive.h"

#include <zip.h>

#include <gtest/gtest.h>

namespace quillon::docengine {
namespace {

// A zip archive in memory with the given members, deflated.
std::string MakeZip(const std::vector<std::pair<std::string, std::string>>& members) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* archive = zip_source_buffer_create(nullptr, 0, 0, &error);
  zip_t* zip = zip_open_from_source(archive, ZIP_TRUNCATE, &error);
  zip_source_keep(archive);
  for (const auto& [name, content] : members) {
    zip_source_t* source = zip_source_buffer(zip, content.data(), content.size(), 0);
    const zip_int64_t index = zip_file_add(zip, name.c_str(), source, ZIP_FL_ENC_UTF_8);
    zip_set_file_compression(zip, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 9);
  }
  zip_close(zip);
  std::string bytes;
  zip_source_open(archive);
  zip_source_seek(archive, 0, SEEK_END);
  bytes.resize(static_cast<std::size_t>(zip_source_tell(archive)));
  zip_source_seek(archive, 0, SEEK_SET);
  zip_source_read(archive, bytes.data(), bytes.size());
  zip_source_close(archive);
  zip_source_free(archive);
  zip_error_fini(&error);
  return bytes;
}

void PutLe32(std::string& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i)
    bytes[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i));
}

TEST(ZipArchive, BombsAreRefusedByRatioAndByTotal) {
  // 8 MiB of zeros deflate to a few KiB: far beyond the allowed ratio.
  const std::string zeros(8u << 20, '\0');
  const std::string bomb = MakeZip({{"word/document.xml", zeros}});
  ASSERT_LT(bomb.size(), 64u * 1024);
  ZipArchive archive;
  std::string error;
  ASSERT_TRUE(archive.Open(bomb, ReadLimits(), error)) << error;
  std::string out;
  bool is_bomb = false;
  EXPECT_FALSE(archive.Read("word/document.xml", out, error, &is_bomb));
  EXPECT_TRUE(is_bomb);
  EXPECT_EQ(error, kZipBombMessage);
  EXPECT_TRUE(out.empty());

  // Members that pass one by one but not together.
  std::string noise;
  std::uint32_t state = 1;
  for (int i = 0; i < 300000; ++i) {
    state = state * 1103515245u + 12345u;
    noise.push_back(static_cast<char>(state >> 24));
  }
  const std::string two = MakeZip({{"a.xml", noise}, {"b.xml", noise}});
  ReadLimits limits;
  limits.max_inflated_bytes = 500000;
  ZipArchive pair;
  ASSERT_TRUE(pair.Open(two, limits, error)) << error;
  ASSERT_TRUE(pair.Read("a.xml", out, error)) << error;
  EXPECT_EQ(out, noise);
  EXPECT_FALSE(pair.Read("b.xml", out, error, &is_bomb));
  EXPECT_TRUE(is_bomb);
  EXPECT_EQ(pair.inflated_total(), noise.size());
}

TEST(ZipArchive, ASizeTheDirectoryUnderstatesIsNotTrusted) {
  // The member inflates to 8 MiB but both headers say 100 bytes, so no
  // check on the declared size can catch it: only the counting loop can.
  std::string lying = MakeZip({{"content.xml", std::string(8u << 20, 'x')}});
  for (std::size_t at = 0; at + 30 <= lying.size(); ++at) {
    if (lying.compare(at, 4, "PK\x03\x04") == 0)
      PutLe32(lying, at + 22, 100);
    else if (lying.compare(at, 4, "PK\x01\x02") == 0)
      PutLe32(lying, at + 24, 100);
  }
  ZipArchive archive;
  std::string error;
  ASSERT_TRUE(archive.Open(lying, ReadLimits(), error)) << error;
  std::string out;
  const bool read = archive.Read("content.xml", out, error);
  // Either the library stops at the declared size or the loop at the
  // ratio: never 8 MiB in memory.
  EXPECT_LE(out.size(), 100u) << (read ? "read" : error);
}

TEST(ZipArchive, DamagedArchivesFailWithAMessage) {
  const std::string good =
      MakeZip({{"[Content_Types].xml", "<Types/>"}, {"word/document.xml", "<w:document/>"}});
  std::string error;
  // (No bytes at all read as an archive without parts, as an empty file is.)
  for (std::size_t cut : {std::size_t{3}, good.size() / 2, good.size() - 10}) {
    ZipArchive archive;
    error.clear();
    EXPECT_FALSE(archive.Open(std::string_view(good).substr(0, cut), ReadLimits(), error)) << cut;
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(archive.Has("word/document.xml"));
  }

  // Compressed data damaged behind an intact directory: the part fails,
  // the archive and its other parts do not.
  std::string text;
  for (int i = 0; i < 2000; ++i)
    text += "<w:p>paragraph " + std::to_string(i) + "</w:p>";
  std::string damaged = MakeZip({{"a.xml", "<ok/>"}, {"b.xml", text}});
  const std::size_t b = damaged.find("b.xml");
  ASSERT_NE(b, std::string::npos);
  for (std::size_t i = b + 5 + 40; i < b + 5 + 240; ++i)
    damaged[i] = static_cast<char>(damaged[i] ^ 0x5A);
  ZipArchive archive;
  ASSERT_TRUE(archive.Open(damaged, ReadLimits(), error)) << error;
  std::string out;
  EXPECT_FALSE(archive.Read("b.xml", out, error));
  EXPECT_NE(error.find("b.xml"), std::string::npos) << error;
  EXPECT_TRUE(archive.Read("a.xml", out, error)) << error;
  EXPECT_EQ(out, "<ok/>");
}

TEST(ZipArchive, PartNamesIgnoreLetterCaseAndALeadingSlash) {
  const std::string zip = MakeZip({{"Word/Document.xml", "<d/>"}});
  ZipArchive archive;
  std::string error;
  ASSERT_TRUE(archive.Open(zip, ReadLimits(), error)) << error;
  EXPECT_TRUE(archive.Has("/word/document.XML"));
  std::string out;
  ASSERT_TRUE(archive.Read("/WORD/document.xml", out, error)) << error;
  EXPECT_EQ(out, "<d/>");
  EXPECT_FALSE(archive.Read("word/missing.xml", out, error));
  EXPECT_NE(error.find("missing"), std::string::npos);
  EXPECT_EQ(archive.Names(), (std::vector<std::string>{"Word/Document.xml"}));
  EXPECT_TRUE(LooksLikeZip(zip));
  EXPECT_FALSE(LooksLikeZip("PK"));
}

}  // namespace
}  // namespace quillon::docengine
