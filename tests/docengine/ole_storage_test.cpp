// The compound-file reader at its edges: streams in the mini stream and in
// regular sectors, a file cut short, a damaged header, the size bound of a
// read, and property sets whose counts, offsets and lengths lie.

#include "docengine/ole_storage.h"

#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-utils.h>

#include <gtest/gtest.h>

namespace quillon::docengine::msdoc {
namespace {

// A compound file with the given root streams, written by libgsf.
std::string MakeCompoundFile(const std::vector<std::pair<std::string, std::string>>& streams) {
  gsf_init();
  GsfOutput* memory = gsf_output_memory_new();
  GsfOutfile* ole = gsf_outfile_msole_new(memory);
  for (const auto& [name, content] : streams) {
    GsfOutput* child = gsf_outfile_new_child(ole, name.c_str(), FALSE);
    gsf_output_write(child, content.size(), reinterpret_cast<const guint8*>(content.data()));
    gsf_output_close(child);
    g_object_unref(child);
  }
  gsf_output_close(GSF_OUTPUT(ole));
  g_object_unref(ole);
  const guint8* bytes = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(memory));
  std::string out(reinterpret_cast<const char*>(bytes),
                  static_cast<std::size_t>(gsf_output_size(memory)));
  g_object_unref(memory);
  return out;
}

std::string Pattern(std::size_t size) {
  std::string out;
  for (std::size_t i = 0; i < size; ++i)
    out.push_back(static_cast<char>((i * 7 + i / 251) & 0xFF));
  return out;
}

void Put16(std::string& s, std::uint16_t v) {
  s.push_back(static_cast<char>(v));
  s.push_back(static_cast<char>(v >> 8));
}
void Put32(std::string& s, std::uint32_t v) {
  for (int i = 0; i < 4; ++i)
    s.push_back(static_cast<char>(v >> (8 * i)));
}

// A summary-information stream: one section holding the code page and an
// 8-bit title, and a UTF-16 subject.
std::string PropertySet(std::uint16_t code_page, const std::string& title,
                        const std::u16string& subject) {
  std::string section;
  std::string values;
  auto entry_offset = [](int count, std::size_t values_size) {
    return static_cast<std::uint32_t>(8 + 8 * count + values_size);
  };
  std::vector<std::pair<std::uint32_t, std::uint32_t>> entries;
  entries.emplace_back(1, entry_offset(3, values.size()));
  Put32(values, 2);  // VT_I2
  Put16(values, code_page);
  Put16(values, 0);
  entries.emplace_back(2, entry_offset(3, values.size()));
  Put32(values, 0x1E);  // VT_LPSTR
  Put32(values, static_cast<std::uint32_t>(title.size() + 1));
  values += title;
  values.push_back('\0');
  while (values.size() % 4 != 0)
    values.push_back('\0');
  entries.emplace_back(3, entry_offset(3, values.size()));
  Put32(values, 0x1F);  // VT_LPWSTR
  Put32(values, static_cast<std::uint32_t>(subject.size()));
  for (char16_t c : subject)
    Put16(values, c);
  Put32(section, static_cast<std::uint32_t>(8 + 8 * entries.size() + values.size()));
  Put32(section, static_cast<std::uint32_t>(entries.size()));
  for (const auto& [id, offset] : entries) {
    Put32(section, id);
    Put32(section, offset);
  }
  section += values;

  std::string stream;
  Put16(stream, 0xFFFE);
  Put16(stream, 0);
  Put32(stream, 0);
  stream += std::string(16, '\0');  // class id
  Put32(stream, 1);                 // one section
  stream += std::string(16, '\x11');
  Put32(stream, 48);
  return stream + section;
}

TEST(OleStorage, StreamsInTheMiniStreamAndInSectorsReadBackWhole) {
  const std::string small = Pattern(300);
  const std::string large = Pattern(70000);
  const std::string file = MakeCompoundFile({{"1Table", small}, {"WordDocument", large}});
  ASSERT_TRUE(HasCompoundFileSignature(file));
  std::string error;
  std::unique_ptr<OleStorage> storage = OleStorage::Open(file, error);
  ASSERT_NE(storage, nullptr) << error;
  EXPECT_TRUE(storage->HasStream("WordDocument"));
  EXPECT_FALSE(storage->HasStream("0Table"));
  EXPECT_EQ(storage->ReadStream("1Table", 1 << 20), small);
  EXPECT_EQ(storage->ReadStream("WordDocument", 1 << 20), large);
  // The caller's bound holds: a larger stream is not copied out at all.
  EXPECT_EQ(storage->ReadStream("WordDocument", large.size() - 1), std::nullopt);
  EXPECT_EQ(storage->ReadStream("Data", 1 << 20), std::nullopt);
  std::vector<std::string> names = storage->StreamNames();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"1Table", "WordDocument"}));
}

TEST(OleStorage, AFileCutShortOrWithADamagedHeaderNeverGivesAShortStream) {
  const std::string large = Pattern(70000);
  const std::string file = MakeCompoundFile({{"WordDocument", large}});
  std::string error;
  for (std::size_t cut : {std::size_t{8}, std::size_t{512}, file.size() / 2, file.size() - 600}) {
    const std::string shorter = file.substr(0, cut);
    std::unique_ptr<OleStorage> storage = OleStorage::Open(shorter, error);
    if (storage == nullptr) {
      EXPECT_FALSE(error.empty()) << cut;
      continue;
    }
    const std::optional<std::string> stream = storage->ReadStream("WordDocument", 1 << 20);
    if (stream) {
      EXPECT_EQ(*stream, large) << "a stream cut at " << cut << " read as if whole";
    }
  }
  // A sector size of 2^40 bytes in the header.
  std::string damaged = file;
  damaged[30] = 40;
  error.clear();
  EXPECT_EQ(OleStorage::Open(damaged, error), nullptr);
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(OleStorage::Open("not a compound file at all", error), nullptr);
}

TEST(PropertySets, StringsReadInTheSetsCodePageAndLiesAreSkipped) {
  const std::string stream =
      PropertySet(1251, "\xCF\xF0\xE8\xE2\xE5\xF2", u"\u00C4rger");  // "Привет", "Ärger"
  PropertySetStrings strings;
  ASSERT_TRUE(ReadPropertySetStrings(stream, strings));
  EXPECT_EQ(strings.code_page, 1251);
  ASSERT_NE(strings.Find(2), nullptr);
  EXPECT_EQ(*strings.Find(2), "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82");
  ASSERT_NE(strings.Find(3), nullptr);
  EXPECT_EQ(*strings.Find(3), "\xC3\x84rger");

  // Cut anywhere, the stream reads what is whole and never past its end.
  for (std::size_t cut = 0; cut < stream.size(); ++cut) {
    PropertySetStrings partial;
    ReadPropertySetStrings(std::string_view(stream).substr(0, cut), partial);
    for (const auto& [id, text] : partial.strings) {
      EXPECT_EQ(text, *strings.Find(id)) << "cut at " << cut;
    }
  }

  // A string length of 4 GiB, and a property count far beyond the section.
  std::string lying = stream;
  const std::size_t title_length = 48 + 8 + 3 * 8 + 8 + 4;
  lying[title_length + 3] = '\x7F';
  PropertySetStrings skipped;
  ASSERT_TRUE(ReadPropertySetStrings(lying, skipped));
  EXPECT_EQ(skipped.Find(2), nullptr);
  EXPECT_NE(skipped.Find(3), nullptr);
  std::string counted = stream;
  counted[48 + 4 + 3] = '\x7F';
  PropertySetStrings none;
  EXPECT_FALSE(ReadPropertySetStrings(counted, none));
  EXPECT_TRUE(none.strings.empty());
}

}  // namespace
}  // namespace quillon::docengine::msdoc
