// The frame reader and the payload reader of the automation protocol at
// their edges: frames that arrive in pieces or several at once, lengths that
// are zero, too large or lie, values of unknown kinds. A peer's bytes must
// never make the reader read past what arrived or allocate what it claims.

#include "automation/protocol.h"

#include <gtest/gtest.h>

namespace quillon::automation::protocol {
namespace {

std::string Le32(std::uint32_t v) {
  std::string out;
  for (int shift = 0; shift < 32; shift += 8)
    out.push_back(static_cast<char>(v >> shift));
  return out;
}

const auto kNoObjects = [](std::uint32_t) { return ObjectPtr(); };

TEST(FrameReader, TakesWholeFramesOnlyAndEachOneOnce) {
  Writer first(MessageType::kResult);
  first.U32(7);
  first.Value(Variant("text"), [](const ObjectPtr&) { return 0u; });
  Writer second(MessageType::kRelease);
  second.U32(0);
  const std::string wire = first.Finish() + second.Finish();

  // Byte by byte: nothing until the first frame is complete.
  std::string buffer;
  std::string payload;
  std::vector<std::string> taken;
  for (char c : wire) {
    buffer.push_back(c);
    while (TakeFrame(buffer, payload))
      taken.push_back(payload);
  }
  ASSERT_EQ(taken.size(), 2u);
  EXPECT_TRUE(buffer.empty());
  Reader reader(taken[0]);
  EXPECT_EQ(reader.Type(), MessageType::kResult);
  EXPECT_EQ(reader.U32(), 7u);
  EXPECT_EQ(reader.Value(kNoObjects), Variant("text"));
  EXPECT_TRUE(reader.AtEnd());
  EXPECT_EQ(Reader(taken[1]).Type(), MessageType::kRelease);

  // Both at once, with the start of a third behind them.
  buffer = wire + Le32(100).substr(0, 3);
  ASSERT_TRUE(TakeFrame(buffer, payload));
  ASSERT_TRUE(TakeFrame(buffer, payload));
  EXPECT_FALSE(TakeFrame(buffer, payload));
  EXPECT_EQ(buffer.size(), 3u);
}

TEST(FrameReader, RefusesZeroAndOversizedLengthsBeforeWaitingForThem) {
  std::string buffer = Le32(0);
  std::string payload;
  EXPECT_THROW(TakeFrame(buffer, payload), ProtocolError);

  // A length over the limit fails at once, not after 4 GiB arrived.
  buffer = Le32(kMaxFrame + 1) + "x";
  EXPECT_THROW(TakeFrame(buffer, payload), ProtocolError);
  buffer = Le32(0xFFFFFFFFu);
  EXPECT_THROW(TakeFrame(buffer, payload), ProtocolError);

  // The largest allowed length is waited for.
  buffer = Le32(kMaxFrame) + "partial";
  EXPECT_FALSE(TakeFrame(buffer, payload));
}

TEST(PayloadReader, EveryReadStopsAtTheEndOfWhatArrived) {
  // A text that claims more bytes than follow (4 GiB) is refused, not
  // allocated.
  // (The reader keeps a view: each payload is named so that it outlives it.)
  {
    const std::string payload = Le32(0xFFFFFFF0u) + "abc";
    Reader reader(payload);
    EXPECT_THROW(reader.Text(), ProtocolError);
  }
  {
    const std::string payload("\x01", 1);
    Reader reader(payload);
    EXPECT_EQ(reader.U8(), 1u);
    EXPECT_THROW(reader.U8(), ProtocolError);
    EXPECT_THROW(reader.U16(), ProtocolError);
  }
  {
    const std::string payload("\x01\x02\x03", 3);
    Reader reader(payload);
    EXPECT_THROW(reader.U32(), ProtocolError);
  }
  // A value of a kind nobody writes, and a value cut after its kind byte.
  {
    const std::string payload("\x09", 1);
    Reader reader(payload);
    EXPECT_THROW(reader.Value(kNoObjects), ProtocolError);
  }
  for (Variant::Kind kind :
       {Variant::Kind::kBool, Variant::Kind::kInt, Variant::Kind::kText, Variant::Kind::kObject}) {
    const std::string payload(1, static_cast<char>(kind));
    Reader reader(payload);
    EXPECT_THROW(reader.Value(kNoObjects), ProtocolError) << static_cast<int>(kind);
  }
  // Handle 0 is the null object and never asks the table.
  {
    const std::string payload = std::string(1, static_cast<char>(Variant::Kind::kObject)) + Le32(0);
    Reader reader(payload);
    bool asked = false;
    const Variant value = reader.Value([&](std::uint32_t) {
      asked = true;
      return ObjectPtr();
    });
    EXPECT_FALSE(asked);
    EXPECT_EQ(value.kind(), Variant::Kind::kObject);
  }
}

TEST(PayloadReader, ValuesAndTextsComeBackAsWritten) {
  Writer writer(MessageType::kCall);
  writer.U16(0xBEEF);
  writer.Text(std::string("nul\0inside", 10));
  writer.Text("");
  writer.Value(Variant(static_cast<std::int32_t>(-2)), [](const ObjectPtr&) { return 0u; });
  writer.Value(Variant(true), [](const ObjectPtr&) { return 0u; });
  writer.Value(Variant(), [](const ObjectPtr&) { return 0u; });
  std::string buffer = writer.Finish();
  std::string payload;
  ASSERT_TRUE(TakeFrame(buffer, payload));
  Reader reader(payload);
  EXPECT_EQ(reader.Type(), MessageType::kCall);
  EXPECT_EQ(reader.U16(), 0xBEEFu);
  EXPECT_EQ(reader.Text(), std::string("nul\0inside", 10));
  EXPECT_EQ(reader.Text(), "");
  EXPECT_EQ(reader.Value(kNoObjects), Variant(static_cast<std::int32_t>(-2)));
  EXPECT_EQ(reader.Value(kNoObjects), Variant(true));
  EXPECT_EQ(reader.Value(kNoObjects).kind(), Variant::Kind::kEmpty);
  EXPECT_TRUE(reader.AtEnd());
}

}  // namespace
}  // namespace quillon::automation::protocol
