#include "binding/native_conversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "binding/binding_type_builder.h"

namespace conversion_test {

enum class Color : std::int32_t { kRed = 1, kGreen = 2 };

struct Inner {
  std::int32_t number = 0;
  std::string label;
};

struct Outer {
  std::string name;
  std::vector<Inner> inners;
  Color color = Color::kRed;
  std::vector<std::uint8_t> bytes;
  std::string optional;
  std::uint16_t count = 0;
};

struct NeverRegistered {
  int value = 0;
};

}  // namespace conversion_test

DUL_BINDING_TYPE_NAME(enum, conversion_test::Color)
DUL_BINDING_TYPE_NAME(struct, conversion_test::Inner)
DUL_BINDING_TYPE_NAME(struct, conversion_test::Outer)
DUL_BINDING_TYPE_NAME(struct, conversion_test::NeverRegistered)

namespace Zorv {
namespace {

using conversion_test::Color;
using conversion_test::Inner;
using conversion_test::Outer;

class NativeConversion : public ::testing::Test {
 protected:
  NativeConversion() {
    BeginType<Color>(registry, "TestColor")
        .AddEnumValue("RED", 1, "")
        .AddEnumValue("GREEN", 2, "")
        .AddEnumValue("ALSO_GREEN", 2, "");
    BeginType<Inner>(registry, "TestInner")
        .AddField("number", "", DUL_BINDING_FIELD(Inner, number), BindingFieldFlags::kRequired)
        .AddField("label", "", DUL_BINDING_FIELD(Inner, label));
    BeginType<Outer>(registry, "TestOuter")
        .AddField("name", "", DUL_BINDING_FIELD(Outer, name))
        .AddField("inners", "", DUL_BINDING_FIELD(Outer, inners))
        .AddField("color", "", DUL_BINDING_FIELD(Outer, color))
        .AddField("bytes", "", DUL_BINDING_FIELD(Outer, bytes))
        .AddField("optional", "", DUL_BINDING_FIELD(Outer, optional),
                  BindingFieldFlags::kOmitWhenEmpty)
        .AddField("count", "", DUL_BINDING_FIELD(Outer, count));
  }

  template <class T>
  std::string ReadError(const BindingProperty& input, T target = T{}) {
    BindingResult result;
    FromBinding(result, target, input, "field", registry);
    return result.ok() ? std::string("ok") : std::string(result.ErrorText());
  }

  BindingTypeRegistry registry;
};

struct IntegerCase {
  const char* text;
  const char* outcome;  // "ok:<value>" or the message
};

// Catches wrong base detection, range checks or messages when integers are read from texts.
TEST_F(NativeConversion, IntegersFromTexts) {
  const auto int8 = [&](const char* text) {
    std::int8_t value = 0;
    BindingResult result;
    FromBinding(result, value, BindingProperty(text), "field", registry);
    return result.ok() ? "ok:" + std::to_string(value) : std::string(result.ErrorText());
  };
  EXPECT_EQ(int8("0x7f"), "ok:127");
  EXPECT_EQ(int8("0x80"), "Value 0x80 for 'field' of type int8 is out of range");
  EXPECT_EQ(int8("-0x80"), "ok:-128");
  const auto int32 = [&](const char* text) {
    std::int32_t value = -1;
    BindingResult result;
    FromBinding(result, value, BindingProperty(text), "field", registry);
    return result.ok() ? "ok:" + std::to_string(value) : std::string(result.ErrorText());
  };
  const IntegerCase cases[] = {
      {"010", "ok:8"},
      {"", "ok:0"},
      {" 12", "ok:12"},
      {"12 ", "Value 12  for 'field' of type int32 is in an incorrect format"},
      {"2147483648", "Value 2147483648 for 'field' of type int32 is out of range"},
      {"99999999999999999999",
       "Value 99999999999999999999 for 'field' of type int32 is out of range"},
      {"1.5", "Value 1.5 for 'field' of type int32 is in an incorrect format"},
  };
  for (const auto& test : cases)
    EXPECT_EQ(int32(test.text), test.outcome) << test.text;
}

// Catches unsigned reads that let negative numbers wrap around.
TEST_F(NativeConversion, UnsignedRefusesNegatives) {
  EXPECT_EQ(ReadError<std::uint8_t>(BindingProperty(std::int64_t{-1})),
            "Value -1 for 'field' of type uint8 is out of range");
  EXPECT_EQ(ReadError<std::uint8_t>(BindingProperty("-0")),
            "Value -0 for 'field' of type uint8 is out of range");
  EXPECT_EQ(ReadError<std::uint64_t>(BindingProperty(" -5")),
            "Value  -5 for 'field' of type uint64 is out of range");
  EXPECT_EQ(ReadError<std::uint8_t>(BindingProperty(-0.5)),
            "Value -0.5 for 'field' of type uint8 is out of range");
  EXPECT_EQ(ReadError<std::uint8_t>(BindingProperty(std::uint64_t{256})),
            "Value 256 for 'field' of type uint8 is out of range");
}

// Catches floats that round instead of truncating, and texts read leniently.
TEST_F(NativeConversion, FloatsIntoIntegersTruncate) {
  std::int16_t value = 0;
  BindingResult result;
  FromBinding(result, value, BindingProperty(3.9), "field", registry);
  EXPECT_TRUE(result.ok());
  EXPECT_EQ(value, 3);
  EXPECT_EQ(ReadError<std::int16_t>(BindingProperty("3.9")),
            "Value 3.9 for 'field' of type int16 is in an incorrect format");
  EXPECT_EQ(ReadError<std::int64_t>(BindingProperty(9.3e18)),
            "Value 9.3e+18 for 'field' of type int64 is out of range");
  EXPECT_EQ(ReadError<std::int32_t>(BindingProperty(std::nan(""))),
            "Value nan for 'field' of type int32 is out of range");
  EXPECT_EQ(ReadError<float>(BindingProperty(1e39)),
            "Value 1e+39 for 'field' of type float is out of range");
  EXPECT_EQ(ReadError<double>(BindingProperty("1e999")),
            "Value 1e999 for 'field' of type double is out of range");
}

// Catches bool reads that accept other spellings or other kinds.
TEST_F(NativeConversion, BoolsAndStrings) {
  EXPECT_EQ(ReadError<bool>(BindingProperty("TRUE")),
            "Value TRUE for 'field' of type bool is in an incorrect format. Options are \"true\", "
            "\"false\", \"1\", \"0\".");
  EXPECT_EQ(ReadError<bool>(BindingProperty(std::int64_t{1})),
            "Couldn't assign value to 'field' of type bool because the input is of an invalid type "
            "signed.");
  EXPECT_EQ(ReadError<bool>(BindingProperty()), "A value for 'field' is required.");
  EXPECT_EQ(ReadError<std::string>(BindingProperty(std::uint64_t{5})),
            "Couldn't assign value to 'field' because the input is not a string.");
  std::string text;
  BindingResult result;
  FromBinding(result, text, BindingProperty(BindingEnumCell{2, StaticType::HashCode<Color>().hash}),
              "field", registry);
  EXPECT_EQ(text, "ALSO_GREEN");  // the first name in name order with that value
  EXPECT_EQ(ReadError<std::string>(
                BindingProperty(BindingEnumCell{7, StaticType::HashCode<Color>().hash})),
            "7 is not a valid enumeration value for 'field'.");
}

// Catches enum reads that accept unknown numbers or names, or ignore names.
TEST_F(NativeConversion, EnumsByNameOrNumber) {
  Color color = Color::kRed;
  BindingResult result;
  FromBinding(result, color, BindingProperty("GREEN"), "color", registry);
  EXPECT_TRUE(result.ok());
  EXPECT_EQ(color, Color::kGreen);
  EXPECT_EQ(ReadError<Color>(BindingProperty("1")), "ok");
  EXPECT_EQ(ReadError<Color>(BindingProperty("green")),
            "Value green for 'field' of type TestColor is in an incorrect format");
  EXPECT_EQ(ReadError<Color>(BindingProperty("3")),
            "3 is not a valid TestColor enumeration value for 'field'.");
  EXPECT_EQ(ReadError<Color>(BindingProperty(std::uint64_t{4294967297})),
            "4294967297 is not a valid TestColor enumeration value for 'field'.");
  EXPECT_EQ(ReadError<Color>(BindingProperty(true)),
            "Couldn't assign value to 'field' of enum type because the input is of an invalid "
            "type bool.");
}

// Catches blob reads that accept characters outside the Base64 alphabet.
TEST_F(NativeConversion, BlobsFromBase64Texts) {
  std::vector<std::uint8_t> bytes;
  BindingResult result;
  FromBinding(result, bytes, BindingProperty("aGk="), "data", registry);
  EXPECT_EQ(bytes, (std::vector<std::uint8_t>{'h', 'i'}));
  EXPECT_EQ(ReadError<std::vector<std::uint8_t>>(BindingProperty("aGk=!")),
            "Couldn't assign string value to 'field' of type blob because the input has invalid "
            "base64 characters.");
  EXPECT_EQ(ReadError<std::vector<std::uint8_t>>(BindingProperty(1.0)),
            "Couldn't assign value to 'field' of type blob because the input is not a blob.");
}

// Catches vectors that fail on empty elements or report the element's index in the name.
TEST_F(NativeConversion, VectorsAndMaps) {
  BindingProperty list;
  list.PushBack() = 1;
  list.PushBack();
  list.PushBack() = 3;
  std::vector<std::int32_t> numbers{9, 9, 9, 9};
  BindingResult result;
  FromBinding(result, numbers, list, "list", registry);
  EXPECT_EQ(numbers, (std::vector<std::int32_t>{1, 0, 3}));
  list.At(1) = "x";
  EXPECT_EQ(ReadError<std::vector<std::int32_t>>(list),
            "Value x for 'field' of type int32 is in an incorrect format");
  EXPECT_EQ(ReadError<std::vector<std::int32_t>>(BindingProperty(1)),
            "Couldn't assign value to 'field' of type vector because the input not a collection.");
  BindingProperty object;
  object.Member("b") = 2;
  object.Member("a") = 1;
  std::map<std::string, std::int64_t> map;
  BindingResult mapResult;
  FromBinding(mapResult, map, object, "map", registry);
  EXPECT_EQ(map, (std::map<std::string, std::int64_t>{{"a", 1}, {"b", 2}}));
  EXPECT_EQ(ReadError<decltype(map)>(BindingProperty()),
            "Couldn't assign value to 'field' of type map because the input not a structure.");
}

// Catches record walks that stop on extra members, miss required fields or name the wrong field.
TEST_F(NativeConversion, RecordsRead) {
  BindingProperty input;
  input.Member("name") = "set";
  input.Member("unknown") = true;
  input.Member("color") = "GREEN";
  input.Member("inners").PushBack().Member("number") = "7";
  Outer outer;
  BindingResult result;
  FromBinding(result, outer, input, "itemSets", registry);
  ASSERT_TRUE(result.ok()) << result.ErrorText();
  EXPECT_EQ(outer.name, "set");
  EXPECT_EQ(outer.color, Color::kGreen);
  ASSERT_EQ(outer.inners.size(), 1u);
  EXPECT_EQ(outer.inners[0].number, 7);

  input.Member("inners").At(0).Member("number").Clear();  // present but empty
  EXPECT_EQ(ReadError<Outer>(input),
            "Couldn't assign value to 'inners' of type TestInner because the input structure "
            "doesn't have required field 'number'.");
  input.Member("inners").At(0).Member("number") = 1;
  input.Member("count") = -1;
  EXPECT_EQ(ReadError<Outer>(input), "Value -1 for 'count' of type uint16 is out of range");
  EXPECT_EQ(ReadError<Outer>(BindingProperty(1)),
            "Couldn't assign value to 'field' of type TestOuter because the input not a "
            "structure.");
}

// Catches writers that drop empty members without the flag or keep them with it.
TEST_F(NativeConversion, RecordsWriteAndRoundTrip) {
  Outer outer;
  outer.name = "set";
  outer.inners = {{1, "a"}, {2, ""}};
  outer.color = Color::kGreen;
  outer.bytes = {0, 255};
  BindingResult result;
  ToBinding(result, outer, registry);
  ASSERT_TRUE(result.ok());
  const BindingProperty& value = result.value();
  EXPECT_FALSE(value.Contains("optional"));
  EXPECT_TRUE(value.Contains("count"));
  EXPECT_EQ(value.Find("inners").At(1).Find("label").Kind(), BindingPropertyKind::kString);
  EXPECT_EQ(value.Find("color").GetEnum().value, 2);
  EXPECT_EQ(value.Find("bytes").Size(), 2u);

  Outer back;
  BindingResult readBack;
  FromBinding(readBack, back, value, "outer", registry);
  ASSERT_TRUE(readBack.ok()) << readBack.ErrorText();
  EXPECT_EQ(back.name, "set");
  EXPECT_EQ(back.inners[1].number, 2);
  EXPECT_EQ(back.color, Color::kGreen);
  EXPECT_EQ(back.bytes, outer.bytes);

  // Two fields of one name make one member, not two.
  BindingTypeRegistry twice;
  BeginType<Inner>(twice, "TestTwice")
      .AddField("label", "", DUL_BINDING_FIELD(Inner, label))
      .AddField("label", "", DUL_BINDING_FIELD(Inner, label));
  ToBinding(result, Inner{}, twice);
  EXPECT_EQ(result.value().Size(), 1u);
}

using conversion_test::NeverRegistered;

// Catches a serializer that reports an unregistered record without naming its type.
TEST_F(NativeConversion, SerializingAnUnregisteredRecordNamesTheType) {
  BindingResult plain;
  ToBinding(plain, NeverRegistered{}, registry);
  EXPECT_EQ(plain.ErrorText(),
            "Couldn't convert native value because it's an unregistered structure.");
  const BindingResult result = SerializeToBinding(NeverRegistered{}, registry);
  EXPECT_EQ(result.ErrorText(),
            "Failed to convert type \"const char *__cdecl "
            "StaticType::Name<struct conversion_test::NeverRegistered>(void)\" to BindingProperty "
            "for serialization");
  EXPECT_EQ(
      ReadError<NeverRegistered>(BindingProperty()),
      "Couldn't assign value to 'field' because the input is an unregistered structure or not "
      "a structure at all.");
}

// Catches a walk that goes on after the first error, replacing the reported message.
TEST_F(NativeConversion, FirstErrorWins) {
  BindingResult result;
  std::int8_t small = 0;
  FromBinding(result, small, BindingProperty(1000), "first", registry);
  FromBinding(result, small, BindingProperty("x"), "second", registry);
  EXPECT_EQ(result.ErrorText(), "Value 1000 for 'first' of type int8 is out of range");
}

}  // namespace
}  // namespace Zorv
