#include "codecs/message_pack_reader.h"

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/allocation_counters.h"
#include "foundation/format_text.h"

namespace Zorv {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::string Hex(const Bytes& bytes) {
  std::string text;
  for (std::uint8_t byte : bytes)
    text += dul::FormatText("%1$02X ", static_cast<unsigned>(byte));
  return text;
}

MessagePackReadResult Read(const Bytes& bytes) {
  return ReadMessagePack(bytes.data(), bytes.size());
}

std::uint64_t BytesAllocated() {
  return dul::ReadAllocationStats().bytesAllocated;
}

struct ValueCase {
  Bytes bytes;
  BindingProperty expected;
};

// Catches a wrong kind, a little-endian or unextended read, or a lost width, for every scalar.
TEST(MessagePackReader, ReadsEveryScalarFormat) {
  const ValueCase cases[] = {
      {{0x05}, std::int64_t{5}},
      {{0xFF}, std::int64_t{-1}},
      {{0xE0}, std::int64_t{-32}},
      {{0xCC, 0x05}, std::uint64_t{5}},
      {{0xCD, 0x12, 0x34}, std::uint64_t{0x1234}},
      {{0xCE, 0x89, 0xAB, 0xCD, 0xEF}, std::uint64_t{0x89ABCDEF}},
      {{0xCF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE}, ~std::uint64_t{1}},
      {{0xD0, 0x80}, std::int64_t{-128}},
      {{0xD1, 0xFF, 0xFE}, std::int64_t{-2}},
      {{0xD2, 0x80, 0x00, 0x00, 0x00}, std::int64_t{std::numeric_limits<std::int32_t>::min()}},
      {{0xD3, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08}, std::int64_t{0x0102030405060708}},
      {{0xD3, 0x80, 0, 0, 0, 0, 0, 0, 0}, std::numeric_limits<std::int64_t>::min()},
      {{0xCA, 0x3D, 0xCC, 0xCC, 0xCD}, static_cast<double>(0.1f)},
      {{0xCB, 0x40, 0x09, 0x21, 0xFB, 0x54, 0x44, 0x2D, 0x18}, 3.141592653589793},
      {{0xC0}, BindingProperty()},
      {{0xC3}, true},
      {{0xA0}, ""},
      {{0xA3, 'a', 0x00, 'c'}, std::string_view("a\0c", 3)},
      {{0xD9, 0x02, 'h', 'i'}, "hi"},
      {{0xDB, 0x00, 0x00, 0x00, 0x02, 'h', 'i'}, "hi"},
      {{0xC4, 0x02, 0x00, 0xFF}, Bytes{0x00, 0xFF}},
      {{0xC5, 0x00, 0x01, 0x7F}, Bytes{0x7F}},
      {{0xC6, 0x00, 0x00, 0x00, 0x00}, Bytes{}},
  };
  for (const ValueCase& c : cases) {
    const MessagePackReadResult read = Read(c.bytes);
    ASSERT_TRUE(read.result.ok()) << Hex(c.bytes) << read.result.ErrorText();
    EXPECT_EQ(read.result.value().KindName(), c.expected.KindName()) << Hex(c.bytes);
    EXPECT_TRUE(read.result.value() == c.expected) << Hex(c.bytes);
    EXPECT_EQ(read.consumed, c.bytes.size()) << Hex(c.bytes);
  }
}

struct ContainerCase {
  Bytes bytes;
  std::size_t consumed;
  BindingProperty expected;
};

// Catches wrong counts, little-endian counts, a lost element or bytes after the value consumed.
TEST(MessagePackReader, ReadsContainersAndStopsAfterTheValue) {
  BindingProperty emptyAndOne;
  emptyAndOne.PushBack();
  emptyAndOne.PushBack() = std::int64_t{1};
  BindingProperty map;
  map.Member("a") = std::int64_t{1};
  map.Member("b").PushBack() = true;
  BindingProperty emptyMap;
  emptyMap.SetStructure();
  BindingProperty emptyArray;
  emptyArray.SetCollection();
  const ContainerCase cases[] = {
      {{0x92, 0xC0, 0x01}, 3, BindingProperty(emptyAndOne)},
      {{0xDC, 0x00, 0x02, 0xC0, 0x01}, 5, BindingProperty(emptyAndOne)},
      {{0xDD, 0x00, 0x00, 0x00, 0x02, 0xC0, 0x01, 0xC3}, 7, BindingProperty(emptyAndOne)},
      {{0x82, 0xA1, 'b', 0x91, 0xC3, 0xA1, 'a', 0x01, 0x00}, 8, BindingProperty(map)},
      {{0xDE, 0x00, 0x02, 0xD9, 0x01, 'b', 0x91, 0xC3, 0xDA, 0x00, 0x01, 'a', 0x01},
       13,
       BindingProperty(map)},
      {{0xDF, 0x00, 0x00, 0x00, 0x02, 0xDB, 0x00, 0x00, 0x00, 0x01, 'a', 0x01, 0xA1, 'b', 0x91,
        0xC3},
       16,
       BindingProperty(map)},
      {{0x80, 0x80}, 1, BindingProperty(emptyMap)},
      {{0x90, 0x01}, 1, BindingProperty(emptyArray)},
      {{0x01, 0x02}, 1, std::int64_t{1}},
  };
  for (const ContainerCase& c : cases) {
    const MessagePackReadResult read = Read(c.bytes);
    ASSERT_TRUE(read.result.ok()) << Hex(c.bytes) << read.result.ErrorText();
    EXPECT_TRUE(read.result.value() == c.expected) << Hex(c.bytes);
    EXPECT_EQ(read.consumed, c.consumed) << Hex(c.bytes);
  }
}

// Catches a repeated key that adds a second member, or that loses the earlier collection or map.
TEST(MessagePackReader, RepeatedKeysSelectTheSameMember) {
  const Bytes bytes = {0x86, 0xA1, 's',  0x91, 0x01, 0xA1, 's',  0x02,        // scalar replaces
                       0xA1, 'l',  0x91, 0x01, 0xA1, 'l',  0x92, 0x02, 0x03,  // array extends
                       0xA1, 'm',  0x81, 0xA1, 'x',  0x01, 0xA1, 'm',  0x81,  // map merges
                       0xA1, 'y',  0x02};
  const MessagePackReadResult read = Read(bytes);
  ASSERT_TRUE(read.result.ok()) << read.result.ErrorText();
  const BindingProperty& value = read.result.value();
  EXPECT_EQ(value.Size(), 3u);
  EXPECT_EQ(value.Find("s").GetSigned(0), 2);
  ASSERT_EQ(value.Find("l").Size(), 3u);
  EXPECT_EQ(value.Find("l").At(0).GetSigned(0), 1);
  EXPECT_EQ(value.Find("l").At(2).GetSigned(0), 3);
  EXPECT_EQ(value.Find("m").Find("x").GetSigned(0), 1);
  EXPECT_EQ(value.Find("m").Find("y").GetSigned(0), 2);
}

// Catches a later nil of a repeated key that leaves the earlier value (as JSON's null does), and
// keys out of order or repeated inside nested maps.
TEST(MessagePackReader, RepeatedKeyWithNilEmptiesTheMember) {
  const Bytes bytes = {0x83, 0xA1, 'b', 0x92, 0x81, 0xA1, 'z',  0x01, 0x82, 0xA1, 'y',
                       0x02, 0xA1, 'x', 0x03, 0xA1, 'a',  0x05, 0xA1, 'b',  0xC0};
  const MessagePackReadResult read = Read(bytes);
  ASSERT_TRUE(read.result.ok()) << read.result.ErrorText();
  const BindingProperty& value = read.result.value();
  EXPECT_EQ(value.Size(), 2u);
  EXPECT_EQ(value.Find("a").GetSigned(0), 5);
  EXPECT_TRUE(value.Contains("b"));
  EXPECT_TRUE(value.Find("b").IsEmpty());

  const Bytes nested = {0x91, 0x83, 0xA1, 'y', 0x01, 0xA1, 'x', 0x02, 0xA1, 'y', 0x03};
  const MessagePackReadResult inner = Read(nested);
  ASSERT_TRUE(inner.result.ok()) << inner.result.ErrorText();
  const BindingProperty& map = inner.result.value().At(0);
  ASSERT_EQ(map.Size(), 2u);
  EXPECT_EQ((*map.Members().begin()).name, "x");
  EXPECT_EQ(map.Find("y").GetSigned(0), 3);
}

struct ErrorCase {
  Bytes bytes;
  std::string message;
};

// Catches a wrong message or position, a read past the end, or a half-built value left behind.
TEST(MessagePackReader, MalformedInputFailsWithMessageAndPosition) {
  const std::string integer = "Invalid MessagePack data. ";
  const std::string invalid = "Invalid MessagePack data at position ";
  const ErrorCase cases[] = {
      {{}, integer + "8-bit integer value at position 0 is truncated."},
      {{0x92, 0xC0}, integer + "8-bit integer value at position 2 is truncated."},
      {{0x81, 0xA1, 'a'}, integer + "8-bit integer value at position 3 is truncated."},
      {{0xDD, 0xFF, 0xFF, 0xFF, 0xFF}, integer + "8-bit integer value at position 5 is truncated."},
      {{0x81, 0xD9}, integer + "8-bit integer value at position 2 is truncated."},
      {{0xDC, 0x00}, integer + "16-bit integer value at position 1 is truncated."},
      {{0xD1, 0x00}, integer + "16-bit integer value at position 1 is truncated."},
      {{0xDB, 0x00, 0x00, 0x00}, integer + "32-bit integer value at position 1 is truncated."},
      {{0xCA, 0x00, 0x00}, integer + "32-bit integer value at position 1 is truncated."},
      {{0xCF, 1, 2, 3, 4, 5, 6, 7}, integer + "64-bit integer value at position 1 is truncated."},
      {{0xA3, 'a', 'b'}, integer + "String of size 3 at position 1 is truncated."},
      {{0x81, 0xA2, 'a'}, integer + "String of size 2 at position 2 is truncated."},
      {{0xDB, 0xFF, 0xFF, 0xFF, 0xFF, 'x'},
       integer + "String of size 4294967295 at position 5 is truncated."},
      {{0xC4, 0x03, 0x01}, integer + "Raw bytes of size 3 at position 2 are truncated."},
      {{0xC6, 0, 0, 0, 5, 1}, integer + "Raw bytes of size 5 at position 5 are truncated."},
      {{0x81, 0x01, 0x02}, invalid + "2. Map keys must be strings."},
      {{0x82, 0xA1, 'a', 0x01, 0xC0, 0x01}, invalid + "5. Map keys must be strings."},
      {{0xC1}, invalid + "0."},
      {{0x91, 0xC7, 0x01, 0x00, 0x00}, invalid + "1."},
      {{0xD4, 0x00, 0x00}, invalid + "0."},
      {{0x81, 0xA1, 'a', 0xD8}, invalid + "3."},
  };
  for (const ErrorCase& c : cases) {
    const MessagePackReadResult read = Read(c.bytes);
    EXPECT_FALSE(read.result.ok()) << Hex(c.bytes);
    EXPECT_EQ(read.result.ErrorText(), c.message) << Hex(c.bytes);
    EXPECT_EQ(read.result.value().Size(), 1u) << Hex(c.bytes);  // nothing but "error"
    EXPECT_EQ(read.consumed, 0u) << Hex(c.bytes);
  }
}

// Catches recursion or an off-by-one in the depth limit, for arrays and maps alike.
TEST(MessagePackReader, NestingStopsAfter512Levels) {
  const auto nested = [](std::size_t levels, Bytes open, std::uint8_t innermost) {
    Bytes bytes;
    for (std::size_t i = 1; i < levels; ++i)
      bytes.insert(bytes.end(), open.begin(), open.end());
    bytes.push_back(innermost);
    return bytes;
  };
  const std::string tooDeep = "Nesting is deeper than 512 levels.";
  EXPECT_TRUE(Read(nested(512, {0x91}, 0x90)).result.ok());
  EXPECT_TRUE(Read(nested(512, {0x81, 0xA0}, 0x80)).result.ok());
  EXPECT_EQ(Read(nested(513, {0x91}, 0x90)).result.ErrorText(),
            "Invalid MessagePack data at position 512. " + tooDeep);
  EXPECT_EQ(Read(nested(513, {0x81, 0xA0}, 0x80)).result.ErrorText(),
            "Invalid MessagePack data at position 1024. " + tooDeep);
  EXPECT_EQ(Read(nested(100000, {0xDC, 0x00, 0x01}, 0x90)).result.ErrorText(),
            "Invalid MessagePack data at position 1536. " + tooDeep);
}

// Catches a declared count that reserves gigabytes, alone or repeated at every level.
TEST(MessagePackReader, DeclaredCountsReserveOnlyWhatTheInputHolds) {
  const Bytes huge = {0xDD, 0xFF, 0xFF, 0xFF, 0xFF};
  std::uint64_t before = BytesAllocated();
  EXPECT_FALSE(Read(huge).result.ok());
  EXPECT_LT(BytesAllocated() - before, 64u * 1024);

  Bytes nested;
  for (std::size_t level = 0; level < kMessagePackDepthLimit; ++level)
    nested.insert(nested.end(), huge.begin(), huge.end());
  nested.resize(nested.size() + 10000, 0xC0);
  before = BytesAllocated();
  const MessagePackReadResult read = Read(nested);
  EXPECT_EQ(read.result.ErrorText(),
            "Invalid MessagePack data. 8-bit integer value at position 12560 is truncated.");
  EXPECT_LT(BytesAllocated() - before, 8u * 1024 * 1024);
}

}  // namespace
}  // namespace Zorv
