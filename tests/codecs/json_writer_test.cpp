#include "codecs/json_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "binding/binding_type_registry.h"
#include "binding/binding_value_record.h"
#include "binding/builtin_types.h"
#include "codecs/json_reader.h"

namespace Zorv {
namespace {

std::string Compact(const BindingProperty& value) {
  return WriteJson(value, nullptr, nullptr);
}

// The same value written from its record, as the host writes a plugin's answer.
std::string CompactFromRecord(const BindingProperty& value) {
  DulBindingValueRecord record = MakeValueRecord(value, nullptr);
  const std::optional<std::string> text = WriteRecordJson(record);
  ClearValueRecord(record);
  return text.value_or("");
}

// Catches wrong number forms (1.0 losing its fraction, NaN leaving a hole), unescaped control
// characters, and an "empty" top value written as null; from a value and from its record.
TEST(JsonWriter, WritesScalarsInTheirJsonForm) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    BindingProperty value;
    const char* expected;
  } cases[] = {
      {BindingProperty(), ""},
      {BindingProperty(true), "true"},
      {BindingProperty(std::int64_t{-5}), "-5"},
      {BindingProperty(std::numeric_limits<std::uint64_t>::max()), "18446744073709551615"},
      {BindingProperty(1.0), "1.0"},
      {BindingProperty(0.0), "0.0"},
      {BindingProperty(0.1), "0.1"},
      {BindingProperty(1e300), "1e300"},
      {BindingProperty(nan), "null"},
      {BindingProperty(-inf), "null"},
      {BindingProperty(std::string_view("q\"\\/\x01\n\0\xC3\xA9", 9)),
       "\"q\\\"\\\\/\\u0001\\n\\u0000\xC3\xA9\""},
      {BindingProperty(std::vector<std::uint8_t>{'a', 'b', 'c'}), "\"YWJj\""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Compact(c.value), c.expected) << c.expected;
    EXPECT_EQ(CompactFromRecord(c.value), c.expected) << c.expected;
  }
}

// Catches members written in insertion order and empty members or elements dropped, from a value
// and from its record; and a record that is not in name order written as it stands instead of
// being left to the reader, which sorts it and keeps the last of a repeated name.
TEST(JsonWriter, WritesMembersInByteOrder) {
  BindingProperty value;
  value.Member("b") = 1;
  value.Member("a").PushBack();
  value.Member("a").PushBack() = std::nan("");
  value.Member("B").SetStructure();
  EXPECT_EQ(Compact(value), R"({"B":{},"a":[null,null],"b":1})");
  EXPECT_EQ(CompactFromRecord(value), R"({"B":{},"a":[null,null],"b":1})");

  DulBindingValueRecord one{};
  one.kind = 3;
  one.payload.unsigned64 = 1;
  for (const char* second : {"a", "b", "é"}) {
    const DulBindingMember members[] = {{"b", one, 0}, {second, one, 0}};
    DulBindingValueRecord record{};
    record.kind = 10;
    record.payload.span.data = members;
    record.payload.span.length = 2;
    EXPECT_EQ(WriteRecordJson(record).has_value(), std::string_view(second) > "b") << second;
  }
}

// Catches enums written by name without a registry, or by a wrong name with one.
TEST(JsonWriter, WritesEnumsByNameOnlyWithARegistry) {
  const std::uint32_t identity = StaticType::HashCode<BindingAsyncState>().hash;
  BindingProperty value;
  value.PushBack() = BindingEnumCell{4, identity};
  value.PushBack() = BindingEnumCell{-9, identity};
  BindingTypeRegistry registry;
  EXPECT_EQ(WriteJson(value, nullptr, nullptr), "[4,-9]");
  EXPECT_EQ(WriteJson(value, &registry, nullptr), R"(["Succeeded",-9])");
}

// Catches separators applied inside strings, missing indentation, and empty containers spread
// over lines.
TEST(JsonWriter, IndentedFormUsesTheSeparator) {
  BindingProperty value;
  value.Member("a").PushBack() = 1;
  value.Member("a").PushBack().SetCollection();
  value.Member("b") = "x\ny";
  value.Member("c").SetStructure();
  const std::string expected =
      "{\n    \"a\": [\n        1,\n        []\n    ],\n    \"b\": \"x\\ny\",\n    \"c\": {}\n}";
  EXPECT_EQ(WriteJson(value, nullptr, "\n"), expected);
  std::string crlf;
  for (char c : expected)
    c == '\n' ? crlf.append("\r\n") : crlf.append(1, c);
  EXPECT_EQ(WriteJson(value, nullptr, "\r\n"), crlf);
  EXPECT_EQ(WriteJson(value, nullptr, ""), Compact(value));
}

// Catches text that does not read back as the value written, compact or indented.
TEST(JsonWriter, RoundTripsThroughTheReader) {
  const BindingResult parsed =
      ParseJson(R"({"a":[1,-2,3.5,1e-7,0.30000000000000004,true,null,"\u00e9\t"],"b":[{},[[]]],)"
                R"("c":-9223372036854775808,"d":18446744073709551615})");
  ASSERT_TRUE(parsed.ok());
  for (const char* separator : {static_cast<const char*>(nullptr), "\r\n"})
    EXPECT_EQ(ParseJson(WriteJson(parsed.value(), nullptr, separator)).value(), parsed.value());
}

// Catches output pieces joined out of order, cut short or with a gap, and a value larger than a
// piece split wrongly: texts from a few bytes to several hundred kilobytes, one string of 100 KB.
TEST(JsonWriter, LongTextsArriveWholeAndInOrder) {
  for (const std::size_t count : {3u, 40u, 700u, 30000u}) {
    BindingProperty value;
    for (std::size_t i = 0; i < count; ++i)
      value.PushBack() = "element " + std::to_string(i);
    value.PushBack() = std::string(100 * 1024, 'x');
    for (const char* separator : {static_cast<const char*>(nullptr), "\r\n"}) {
      const std::string text = WriteJson(value, nullptr, separator);
      EXPECT_EQ(ParseJson(text).value(), value) << count;
      const std::string last = "\"element " + std::to_string(count - 1) + "\"";
      EXPECT_NE(text.find(last), std::string::npos) << count;
    }
  }
}

}  // namespace
}  // namespace Zorv
