#include "codecs/yaml_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "foundation/allocation_counters.h"

namespace Zorv {
namespace {

std::string Repeat(std::string_view piece, std::size_t count) {
  std::string text;
  text.reserve(piece.size() * count);
  for (std::size_t i = 0; i < count; ++i)
    text.append(piece);
  return text;
}

std::string Nested(std::size_t depth, std::string_view inner = "") {
  return Repeat("[", depth) + std::string(inner) + Repeat("]", depth);
}

BindingProperty Sequence(std::initializer_list<BindingProperty> elements) {
  BindingProperty value;
  value.SetCollection();
  for (const BindingProperty& element : elements)
    value.PushBack() = element;
  return value;
}

struct TypingCase {
  std::string text;
  BindingProperty expected;
};

// Catches scalars typed into the wrong kind or losing digits: numbers, null and boolean words,
// quoting and tags.
TEST(YamlReader, TypesScalars) {
  const std::vector<TypingCase> cases = {
      {"42", BindingProperty(std::uint64_t{42})},
      {"-42", BindingProperty(std::int64_t{-42})},
      {"4.5", BindingProperty(4.5)},
      {"1.0", BindingProperty(std::uint64_t{1})},
      {"1e3", BindingProperty(std::uint64_t{1000})},
      {"-0", BindingProperty(std::uint64_t{0})},
      {"0x1A", BindingProperty(std::uint64_t{26})},
      {"-0x1A", BindingProperty(std::int64_t{-26})},
      {"0x1.8p1", BindingProperty(std::uint64_t{3})},
      {"0x.8", BindingProperty(0.5)},
      {".5", BindingProperty(0.5)},
      {"1e-400", BindingProperty(std::uint64_t{0})},
      {"9007199254740993", BindingProperty(std::uint64_t{9007199254740993u})},
      {"18446744073709551615", BindingProperty(std::numeric_limits<std::uint64_t>::max())},
      {"-9223372036854775808", BindingProperty(std::numeric_limits<std::int64_t>::min())},
      {"18446744073709551616", BindingProperty(18446744073709551616.0)},
      {"-9223372036854775809", BindingProperty(-9223372036854775808.0)},
      {"1e400", BindingProperty("1e400")},
      {"nan", BindingProperty("nan")},
      {"inf", BindingProperty("inf")},
      {"-inf", BindingProperty("-inf")},
      {"0x", BindingProperty("0x")},
      {"--5", BindingProperty("--5")},
      {"2024-01-31", BindingProperty("2024-01-31")},
      {"\"42\"", BindingProperty("42")},
      {"'yes'", BindingProperty("yes")},
      {"yes", BindingProperty(true)},
      {"ON", BindingProperty(true)},
      {"n", BindingProperty(false)},
      {"Off", BindingProperty(false)},
      {"false", BindingProperty(false)},
      {"False", BindingProperty(false)},
      {"FALSE", BindingProperty(false)},
      {"fALSE", BindingProperty("fALSE")},
      {"yes please", BindingProperty("yes please")},
      {"~", BindingProperty()},
      {"Null", BindingProperty()},
      {"''", BindingProperty("")},
      {"!!str 42", BindingProperty("42")},
      {"!!int 0x10", BindingProperty(std::uint64_t{16})},
      {"!!int -5", BindingProperty(std::int64_t{-5})},
      {"!!float 2", BindingProperty(2.0)},
      {"!!bool yes", BindingProperty(true)},
      {"!!bool maybe", BindingProperty()},
  };
  for (const TypingCase& test : cases) {
    const BindingResult result = ParseYaml(test.text);
    ASSERT_TRUE(result.ok()) << test.text << ": " << result.ErrorText();
    EXPECT_EQ(result.value(), test.expected) << test.text;
    EXPECT_EQ(result.value().Kind(), test.expected.Kind()) << test.text;
  }
}

struct FailureCase {
  std::string text;
  std::string message;
};

// Catches wrong or missing messages and positions for every way a document is refused.
TEST(YamlReader, RefusesWithMessageAndPosition) {
  const std::vector<FailureCase> cases = {
      {"!!int 1.5", "Value 1.5 for 'yaml' of type uint64_t is in an incorrect format"},
      {"!!int -99999999999999999999",
       "Value -99999999999999999999 for 'yaml' of type int64_t is out of range"},
      {"!!float abc", "Value abc for 'yaml' of type double is in an incorrect format"},
      {"!!float 1e999", "Value 1e999 for 'yaml' of type double is out of range"},
      {"!!binary AAAA", "Unsupported YAML tag 'tag:yaml.org,2002:binary'."},
      {"a: 1\n---\nb: 2", "Multi-document YAML is not supported."},
      {"~\n--- b", "Multi-document YAML is not supported."},
      {"? {a: 1}\n: x", "Unexpected start of mapping. At line: 1 col: 3"},
      {"x: 1\n? [a]\n: x", "Unexpected start of sequence. At line: 2 col: 3"},
      {"x: 1\n!!int 1: x",
       "Invalid mapping key. Only string scalar keys are allowed. At line: 2 col: 1"},
      {"- &n 5\n- {*n : 1}",
       "Invalid mapping key. Only string scalar keys are allowed. At line: 2 col: 4"},
      {"a: &x 1\nb: &x 2", "Duplicate occurrence of anchor \"x\". At line: 2 col: 4"},
      {"a: [*nope]", "Undefined alias encountered: \"nope\". At line: 1 col: 5"},
      {"a: &x [1, *x]", "Cannot deserialize cyclic aliases. Alias \"x\". At line: 1 col: 11"},
      {"a: b: c",
       "YAML parser error: mapping values are not allowed in this context. At line: 1 col: 5"},
      {"a: 1\nb: \xff", "YAML parser error: invalid leading UTF-8 octet. At line: 2 col: 4"},
  };
  for (const FailureCase& test : cases) {
    const BindingResult result = ParseYaml(test.text);
    EXPECT_FALSE(result.ok()) << test.text;
    EXPECT_EQ(result.ErrorText(), test.message) << test.text;
    // Nothing of the partly built value survives: the value is the error structure alone.
    EXPECT_EQ(result.value().Size(), 1u) << test.text;
  }
}

// Catches an anchored value found by a stale address after its collection grew, and shallow
// copies that share children with the anchor.
TEST(YamlReader, AliasCopiesTheAnchoredValue) {
  const BindingResult result =
      ParseYaml("- &a {k: [1, 2]}\n- 3\n- 4\n- 5\n- 6\n- *a\n- &s text\n- *s\n- {*s : 7}");
  ASSERT_TRUE(result.ok()) << result.ErrorText();
  const BindingProperty& list = result.value();
  ASSERT_EQ(list.Size(), 9u);
  EXPECT_EQ(list.At(5), list.At(0));
  EXPECT_EQ(list.At(5).Find("k"), Sequence({std::uint64_t{1}, std::uint64_t{2}}));
  EXPECT_EQ(list.At(7), BindingProperty("text"));
  EXPECT_EQ(list.At(8).Find("text"), BindingProperty(std::uint64_t{7}));
}

// Catches an inner anchor lost or stale once its outer anchor was copied for an alias and the
// member holding both was replaced.
TEST(YamlReader, NestedAnchorsSurviveCopiesAndReplacement) {
  const BindingResult result =
      ParseYaml("a: &o {i: &n [1, &s x]}\nb: *o\nc: *n\na: 0\nd: *n\ne: *s\nf: *o\n");
  ASSERT_TRUE(result.ok()) << result.ErrorText();
  const BindingProperty& document = result.value();
  const BindingProperty inner = Sequence({std::uint64_t{1}, "x"});
  EXPECT_EQ(document.Find("b").Find("i"), inner);
  EXPECT_EQ(document.Find("c"), inner);
  EXPECT_EQ(document.Find("d"), inner);
  EXPECT_EQ(document.Find("e"), BindingProperty("x"));
  EXPECT_EQ(document.Find("f"), document.Find("b"));
  EXPECT_EQ(document.Find("a"), BindingProperty(std::uint64_t{0}));
}

// Catches a repeated key that frees a value an anchor still points into (use after free), or
// that leaves or merges into the earlier value instead of replacing it.
TEST(YamlReader, RepeatedKeyKeepsWhatAnchorsMarked) {
  const BindingResult result = ParseYaml(
      "a: {k: &x [1, {m: &y 2}], j: &z 3}\n"
      "a: 0\n"
      "b: *x\n"
      "c: *y\n"
      "d: *z\n"
      "e: 5\n"
      "e: ~\n"
      "f: {x: 1}\n"
      "f: {y: 2}\n");
  ASSERT_TRUE(result.ok()) << result.ErrorText();
  const BindingProperty& document = result.value();
  EXPECT_EQ(document.Find("a"), BindingProperty(std::uint64_t{0}));
  EXPECT_EQ(document.Find("b").At(1).Find("m"), BindingProperty(std::uint64_t{2}));
  EXPECT_EQ(document.Find("c"), BindingProperty(std::uint64_t{2}));
  EXPECT_EQ(document.Find("d"), BindingProperty(std::uint64_t{3}));
  EXPECT_TRUE(document.Contains("e"));
  EXPECT_TRUE(document.Find("e").IsEmpty());
  EXPECT_FALSE(document.Find("f").Contains("x"));
  EXPECT_EQ(document.Find("f").Find("y"), BindingProperty(std::uint64_t{2}));
}

// Catches nesting limits that are off by one, and alias copies that nest deeper than the limit.
TEST(YamlReader, LimitsNestingTo512Levels) {
  const std::string anchored = "- &x " + Nested(10) + "\n- ";
  const struct {
    std::string text;
    bool ok;
    std::string message;
  } cases[] = {
      {Nested(512), true, ""},
      {Nested(513), false, "YAML nesting is deeper than 512 levels. At line: 1 col: 513"},
      {anchored + Nested(501, "*x"), true, ""},
      {anchored + Nested(502, "*x"), false,
       "YAML nesting is deeper than 512 levels. At line: 2 col: 505"},
  };
  for (const auto& test : cases) {
    const BindingResult result = ParseYaml(test.text);
    EXPECT_EQ(result.ok(), test.ok) << test.text.size();
    EXPECT_EQ(result.ErrorText(), test.message);
  }
}

// Catches unbounded recursion or memory on 100,000 nested flow sequences.
TEST(YamlReader, DeepNestingFailsCleanly) {
  const BindingResult result = ParseYaml(Nested(100000));
  EXPECT_EQ(result.ErrorText(), "YAML nesting is deeper than 512 levels. At line: 1 col: 513");
}

// Levels of ten aliases each to the level before; `levels` of them after the first.
std::string AliasLevels(int levels) {
  std::string text = "l0: &l0 [" + Repeat("x, ", 9) + "x]\n";
  for (int level = 1; level <= levels; ++level) {
    const std::string previous = "*l" + std::to_string(level - 1);
    text += "l" + std::to_string(level) + ": &l" + std::to_string(level) + " [" +
            Repeat(previous + ", ", 9) + previous + "]\n";
  }
  return text;
}

// Catches exponential alias expansion (a billion values from a few hundred bytes) and memory
// kept after the failure.
TEST(YamlReader, BoundsAliasExpansion) {
  const dul::AllocationStats before = dul::ReadAllocationStats();
  {
    const BindingResult small = ParseYaml(AliasLevels(4));
    ASSERT_TRUE(small.ok()) << small.ErrorText();
    EXPECT_EQ(small.value().Find("l4").At(9).At(9).At(9).At(9).At(9), BindingProperty("x"));
    const BindingResult result = ParseYaml(AliasLevels(8));
    EXPECT_EQ(result.ErrorText(),
              "YAML alias expansion exceeds 1000000 values. At line: 6 col: 45");
  }
  const dul::AllocationStats after = dul::ReadAllocationStats();
  EXPECT_LT(after.bytesAllocated - before.bytesAllocated, std::uint64_t{256} << 20);
  EXPECT_EQ(after.bytesAllocated - after.bytesFreed, before.bytesAllocated - before.bytesFreed);
}

// Catches an empty stream taken for an error.
TEST(YamlReader, EmptyStreamIsEmpty) {
  for (const char* text : {"", "# nothing\n", "---\n"}) {
    const BindingResult result = ParseYaml(text);
    EXPECT_TRUE(result.ok()) << text;
    EXPECT_TRUE(result.value().IsEmpty()) << text;
  }
}

}  // namespace
}  // namespace Zorv
