#include "codecs/json_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <string_view>

#include "codecs/json_writer.h"

namespace Zorv {
namespace {

using K = BindingPropertyKind;

std::string Nested(std::size_t depth, std::string_view open, std::string_view close) {
  std::string text;
  for (std::size_t i = 0; i < depth; ++i)
    text.append(open);
  text.append("1");
  for (std::size_t i = 0; i < depth; ++i)
    text.append(close);
  return text;
}

// Catches numbers landing in the wrong kind or value, e.g. a non-negative integer read as
// signed or an overflowing integer wrapped instead of read as a float.
TEST(JsonReader, MapsEachJsonValueToItsKind) {
  const struct {
    const char* text;
    K kind;
    double number;
  } cases[] = {
      {"5", K::kUnsigned, 5},
      {"-5", K::kSigned, -5},
      {"5.0", K::kFloat, 5},
      {"5e0", K::kFloat, 5},
      {"18446744073709551615", K::kUnsigned, 18446744073709551615.0},
      {"18446744073709551616", K::kFloat, 18446744073709551616.0},
      {"-9223372036854775808", K::kSigned, -9223372036854775808.0},
      {"-9223372036854775809", K::kFloat, -9223372036854775809.0},
  };
  for (const auto& c : cases) {
    const BindingResult parsed = ParseJson(c.text);
    const BindingProperty& value = parsed.value();
    EXPECT_EQ(value.Kind(), c.kind) << c.text;
    const double number = value.Kind() == K::kSigned     ? double(value.GetSigned(0))
                          : value.Kind() == K::kUnsigned ? double(value.GetUnsigned(0))
                                                         : value.GetDouble(0);
    EXPECT_EQ(number, c.number) << c.text;
  }
  EXPECT_EQ(ParseJson("true").value().Kind(), K::kBool);
  EXPECT_EQ(ParseJson("\"x\"").value().GetString(), "x");
  EXPECT_EQ(ParseJson("[]").value().Kind(), K::kCollection);
  EXPECT_EQ(ParseJson("{}").value().Kind(), K::kStructure);
}

// Catches blank or absent text reported as an error instead of an empty document, and a view
// read beyond its end.
TEST(JsonReader, BlankTextIsEmptyWithSuccess) {
  for (const char* text : {"", " \t\r\n ", static_cast<const char*>(nullptr)}) {
    const BindingResult parsed = ParseJson(text);
    EXPECT_TRUE(parsed.ok() && parsed.value().IsEmpty());
  }
  EXPECT_TRUE(ParseJson(std::string("  ")).ok());
  const std::string_view blanksBeforeText = std::string_view("  x").substr(0, 2);
  EXPECT_TRUE(ParseJson(blanksBeforeText).ok() && ParseJson(blanksBeforeText).value().IsEmpty());
  const BindingResult array = ParseJson(std::string_view("[1]]").substr(0, 3));
  ASSERT_TRUE(array.ok()) << array.ErrorText();
  EXPECT_EQ(array.value().Size(), 1u);
}

// Catches wrong error texts or offsets, and a partial tree surviving beside the error.
TEST(JsonReader, SyntaxErrorsGiveTheTextAndOffset) {
  const struct {
    std::string text;
    const char* message;
  } cases[] = {
      {"[1] 2", "Error: The document root must not follow by other values. at offset 4."},
      {"{\"a\":[1,]}", "Error: Invalid value. at offset 8."},
      {"{1}", "Error: Missing a name for object member. at offset 1."},
      {"{\"a\" 1}", "Error: Missing a colon after a name of object member. at offset 5."},
      {"[1 2]", "Error: Missing a comma or ']' after an array element. at offset 3."},
      {"\"\\u12G4\"", "Error: Incorrect hex digit after \\u escape in string. at offset 1."},
      {"[\"abc", "Error: Missing a closing quotation mark in string. at offset 5."},
      {"1.", "Error: Miss fraction part in number. at offset 2."},
      {std::string("[1]\0[2]", 7),
       "Error: The document root must not follow by other values. at offset 3."},
  };
  for (const auto& c : cases) {
    const BindingResult parsed = ParseJson(c.text);
    EXPECT_FALSE(parsed.ok()) << c.text;
    EXPECT_EQ(parsed.ErrorText(), c.message) << c.text;
    EXPECT_EQ(parsed.value().Size(), 1u) << c.text;
  }
}

// Catches repeated members handled by plain replacement (or a target left over from an earlier
// object), an object given the name order of an earlier one of other names, and elements of nested
// arrays lost or misplaced.
TEST(JsonReader, RepeatedMembersMerge) {
  const struct {
    const char* text;
    const char* expected;
  } cases[] = {
      {R"({"a":1,"a":"x"})", R"({"a":"x"})"},
      {R"({"a":1,"a":null})", R"({"a":1})"},
      {R"({"a":{"x":1,"y":1},"a":{"y":2,"z":3}})", R"({"a":{"x":1,"y":2,"z":3}})"},
      {R"({"a":[1],"a":[2,3]})", R"({"a":[1,2,3]})"},
      {R"({"a":{"b":[1]},"a":{"b":[2]}})", R"({"a":{"b":[1,2]}})"},
      {R"({"a":[1],"a":5})", R"({"a":5})"},
      {R"({"a":{"b":1},"a":[2]})", R"({"a":[2]})"},
      {R"([{"a":1},{"a":2},null,[]])", R"([{"a":1},{"a":2},null,[]])"},
      {R"([{"c":1,"a":2,"b":3},{"c":4,"a":5,"b":6},{"z":7,"y":8,"x":9},{"b":0,"a":1,"b":2}])",
       R"([{"a":2,"b":3,"c":1},{"a":5,"b":6,"c":4},{"x":9,"y":8,"z":7},{"a":1,"b":2}])"},
      {R"({"a":[[1],[2,[3]]],"a":[[4]]})", R"({"a":[[1],[2,[3]],[4]]})"},
      {R"([[1,2],[3,[4,[5,{"a":[6]}]],7],8])", R"([[1,2],[3,[4,[5,{"a":[6]}]],7],8])"},
  };
  for (const auto& c : cases) {
    const BindingResult parsed = ParseJson(c.text);
    EXPECT_EQ(WriteJson(parsed.value(), nullptr, nullptr), c.expected) << c.text;
  }
}

// Catches elements lost or misplaced when an open array moves while large sibling arrays are read.
TEST(JsonReader, ReadsLargeNestedArraysInOrder) {
  std::string numbers = "0";
  for (int i = 1; i < 5000; ++i)
    numbers += "," + std::to_string(i);
  const std::string text = "[[" + numbers + "],{\"k\":[[" + numbers + "]," + numbers + "]}," +
                           numbers + ",[[[" + numbers + "]]]]";
  EXPECT_EQ(WriteJson(ParseJson(text).value(), nullptr, nullptr), text);
}

// Catches numbers read to a neighbouring double, which makes written floats drift on every read
// and write.
TEST(JsonReader, ReadsNumbersToTheNearestDouble) {
  for (const char* text : {"0.30000000000000004", "2.2250738585072014e-308", "5e-324",
                           "1.7976931348623157e308", "123456789012345678901234567890e-40"})
    EXPECT_EQ(ParseJson(text).value().GetDouble(0), std::strtod(text, nullptr)) << text;
}

// Catches zeros with an exponent or a zero fraction read as large or tiny nonzero doubles, alone
// and inside containers, and a lost sign on a negative zero.
TEST(JsonReader, ZeroSignificandsReadAsZero) {
  for (const char* text : {"0e300", "-0E+300", "0.000e-5", "-0.0e20", "0.0"}) {
    const BindingResult read = ParseJson(text);
    ASSERT_TRUE(read.ok()) << text;
    EXPECT_EQ(read.value().GetDouble(1), 0.0) << text;
    EXPECT_EQ(std::signbit(read.value().GetDouble(1)), text[0] == '-') << text;
  }
  const BindingResult read = ParseJson(std::string("{\"a\":[0e300,0.5e1],\"b\":0.00e308}"));
  ASSERT_TRUE(read.ok());
  EXPECT_EQ(WriteJson(read.value(), nullptr, nullptr), "{\"a\":[0.0,5.0],\"b\":0.0}");
}

// Catches long significands with large exponents read as unrelated doubles (even of the other
// sign) instead of the nearest one, or accepted when they are beyond any double.
TEST(JsonReader, LongSignificandsWithLargeExponents) {
  const std::string nines(113, '9');
  const std::string fits = "1" + nines + "e100";
  EXPECT_EQ(ParseJson(fits).value().GetDouble(0), std::strtod(fits.c_str(), nullptr));
  const std::string tiny = "[-1" + nines + "e-500]";
  const BindingResult zero = ParseJson(tiny);
  ASSERT_TRUE(zero.ok());
  EXPECT_EQ(zero.value().At(0).GetDouble(1), 0.0);
  for (const std::string& big : {"[" + nines + "e196]", "[1" + nines + "e300]"}) {
    const BindingResult read = ParseJson(big);
    EXPECT_FALSE(read.ok()) << big;
    EXPECT_EQ(read.ErrorText(), "Error: Number too big to be stored in double. at offset 1.");
  }
}

// Catches a depth limit that is off by one or missing for objects, and deep input that
// overflows the stack instead of failing.
TEST(JsonReader, NestingIsLimitedTo512Levels) {
  EXPECT_TRUE(ParseJson(Nested(kMaxJsonDepth, "[", "]")).ok());
  EXPECT_TRUE(ParseJson(Nested(kMaxJsonDepth, "{\"a\":", "}")).ok());
  EXPECT_EQ(ParseJson(Nested(kMaxJsonDepth + 1, "[", "]")).ErrorText(),
            "Error: Terminate parsing due to Handler error. at offset 513.");
  EXPECT_EQ(ParseJson(Nested(kMaxJsonDepth + 1, "{\"a\":", "}")).ErrorText(),
            "Error: Terminate parsing due to Handler error. at offset 2561.");
  EXPECT_FALSE(ParseJson(Nested(100000, "[", "]")).ok());
  EXPECT_FALSE(ParseJson(Nested(100000, "{\"k\":", "}")).ok());
}

// Catches strings cut at an embedded NUL, in values and in member names.
TEST(JsonReader, StringsKeepEmbeddedNul) {
  const BindingResult parsed = ParseJson(R"({"k\u0000x":"a\u0000b"})");
  EXPECT_EQ(parsed.value().Find(std::string_view("k\0x", 3)).GetString(),
            std::string_view("a\0b", 3));
}

}  // namespace
}  // namespace Zorv
