#include "foundation/format_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace dul {
namespace {

struct FormatCase {
  const char* format;
  std::vector<FormatArgument> arguments;
  std::string expected;
};

std::string Format(const FormatCase& c) {
  return FormatTextWith(c.format, c.arguments.data(), c.arguments.size());
}

void ExpectAll(const std::vector<FormatCase>& cases) {
  for (const FormatCase& c : cases) {
    EXPECT_EQ(Format(c), c.expected) << "format: " << c.format;
  }
}

// Catches placeholders filled from the wrong argument or parsed as printf where they are numbered,
// and an explicit zero precision taken for none.
TEST(FormatTextTest, NumberedPlaceholdersPickTheirArguments) {
  ExpectAll({
      {"%1 which supports plugin API %2 is not compatible with core's plugin API %3",
       {"dul-item-sets", "17.0.0", "18.0.0"},
       "dul-item-sets which supports plugin API 17.0.0 is not compatible with core's plugin API "
       "18.0.0"},
      {"%1/%2%3.json", {"/games/config", "ZORV_ItemSet_", 7}, "/games/config/ZORV_ItemSet_7.json"},
      {"%2 %1", {"a", "b"}, "b a"},
      {"%%1", {"a"}, "%1"},
      {"%1 (%2)", {"Disk full", -5}, "Disk full (-5)"},
      {"%0-%0-%0", {1, 2, 3}, "1-2-3"},
      {"%1 %s %s", {"a", "b", "c"}, "a a b"},    // an explicit number does not move the sequence
      {"%4d|%4s|", {12, 3, "x"}, "  12|   3|"},  // %4 beyond three arguments is a width
      {"%2$-4s|%1$.2s|", {"abc", "de"}, "de  |ab|"},
      // An explicit zero precision is a precision, not its absence.
      {"%1$.0f|%2$.0s|", {1.5, "abc"}, "2||"},
  });
}

// Catches 64-bit values cut to 32 bits and doubles printed with the wrong default conversion.
TEST(FormatTextTest, DefaultConversionsKeepFullValues) {
  ExpectAll({
      {"%1", {std::int64_t{5000000000}}, "5000000000"},
      {"%1", {std::numeric_limits<std::int64_t>::min()}, "-9223372036854775808"},
      {"%1", {std::numeric_limits<std::uint64_t>::max()}, "18446744073709551615"},
      {"%1", {4000000000u}, "4000000000"},
      {"%1", {2.5}, "2.5"},
      {"%1", {1e20}, "1e+20"},
      {"%1", {'A'}, "A"},
      {"%1", {static_cast<unsigned char>(200)}, "200"},
  });
}

// Catches a directive's own letter or length modifier misreading the argument (%n, %Lf, %hhd,
// %llc).
TEST(FormatTextTest, ExplicitDirectivesAreSettledAgainstTheKind) {
  ExpectAll({
      {"%1$5s", {42}, "   42"},
      {"%1$x", {std::uint64_t{0x123456789ab}}, "123456789ab"},
      {"%1$x", {std::int64_t{-1}}, "ffffffffffffffff"},
      {"%1$x", {static_cast<signed char>(-1)}, "ffffffff"},
      {"%1$hhd", {300}, "300"},
      {"%1$Lf", {2.5}, "2.500000"},
      {"%1$lls", {"text"}, "text"},
      {"%1$n", {7}, "7"},
      {"%1$c", {std::int64_t{66}}, "B"},
      {"%1$05.3c|%2$#05s|", {std::int64_t{67}, "ab"}, "    C|   ab|"},
      {"%1$+.3e", {1500.0}, "+1.500e+03"},
  });
}

// Catches "*" taking the wrong argument, a non-integer one, or mishandling negative values.
TEST(FormatTextTest, AsteriskWidthAndPrecision) {
  ExpectAll({
      {"[%*d]", {5, 42}, "[   42]"},
      {"[%2$*1$d]", {6, 7}, "[     7]"},
      {"[%*d]", {-4, 7}, "[7   ]"},
      {"[%.*s]", {-1, "abc"}, "[abc]"},
      {"[%.*s]", {std::uint64_t{2}, "abc"}, "[ab]"},
      {"a%*db", {2.5, 3}, "a"},
      {"a%*4$db", {1, 2, 3}, "a"},
      {"a%*1db", {1, 2, 3}, "a"},
  });
}

// Catches malformed or exhausted placeholders producing garbage instead of ending the output.
TEST(FormatTextTest, MalformedPlaceholdersEndTheOutput) {
  const std::string flags58(58, '-');
  ExpectAll({
      {"50%", {}, "50"},
      {"a %s b %s c", {"x"}, "a x b "},
      {"a %1 b", {}, "a "},
      {"a%1$", {1}, "a"},
  });
  EXPECT_EQ(FormatText("<%" + flags58 + "d>", 5), "<5>");
  EXPECT_EQ(FormatText("<%" + flags58 + "-d>", 5), "<");
}

// Catches an overflow of the 4096-byte buffer and huge widths that lose or stall the output.
TEST(FormatTextTest, OutputIsCutAtTheLimit) {
  const std::string longText(5000, 'x');
  EXPECT_EQ(FormatText("%1", longText), longText.substr(0, kFormatTextLimit));
  EXPECT_EQ(FormatText(longText + "%1", 1), longText.substr(0, kFormatTextLimit));
  EXPECT_EQ(FormatText(longText.substr(0, 4094) + "%1tail", "yz"), longText.substr(0, 4094) + "y");
  EXPECT_EQ(FormatText("%1$5000d", 7), std::string(kFormatTextLimit, ' '));
  EXPECT_EQ(FormatText("%1$99999999999d", 7), std::string(kFormatTextLimit, ' '));
  EXPECT_EQ(FormatText("%1$5001s", longText), " " + longText.substr(0, kFormatTextLimit - 1));
  const std::string precise = FormatText("%1$.99999999999f", 1.5);
  ASSERT_EQ(precise.size(), kFormatTextLimit);
  EXPECT_EQ(precise.substr(0, 6), "1.5000");
  const std::string leftAligned = FormatText("%*d", std::numeric_limits<std::int64_t>::min(), 7);
  ASSERT_EQ(leftAligned.size(), kFormatTextLimit);
  EXPECT_EQ(leftAligned.substr(0, 2), "7 ");
}

// Catches texts read past their view or beyond an embedded NUL.
TEST(FormatTextTest, TextsAreBoundedByTheirViewAndFirstNul) {
  const std::string_view withNul("ab\0cd", 5);
  const char buffer[] = {'w', 'x', 'y', 'z'};
  EXPECT_EQ(FormatText("[%1]", withNul), "[ab]");
  EXPECT_EQ(FormatText("[%1$4s]", withNul), "[  ab]");
  EXPECT_EQ(FormatText("[%1]", std::string_view(buffer, 2)), "[wx]");
}

// Catches a wrong success text or a swapped message and code.
TEST(FormatTextTest, ErrorOutcomeText) {
  EXPECT_EQ(FormatArgument::ErrorOutcomeText(false, 0, "ignored"), "Success");
  EXPECT_EQ(FormatArgument::ErrorOutcomeText(true, 404, "Not found"), "Not found (404)");
  EXPECT_EQ(FormatText("Saving ended: %1", FormatArgument::ErrorOutcomeText(true, -2, "Denied")),
            "Saving ended: Denied (-2)");
}

// Catches crashes, overflows and undefined behaviour on arbitrary format texts.
TEST(FormatTextTest, RandomFormatsStayBounded) {
  std::mt19937 random(20240611);
  const std::string alphabet = "%%%%$$**..0123456789-+ #hlLjtzcdiouxXsgaefGAEFnp%1234 abc";
  const std::string bigText(6000, 'q');
  const std::vector<std::vector<FormatArgument>> argumentSets = {
      {-7, "text", 2.5},
      {std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::uint64_t>::max(), 'z'},
      {bigText, 1e300, static_cast<unsigned char>(255)},
      {std::numeric_limits<int>::max(), -1e-300, std::string_view("n\0ul", 4)},
  };
  for (int round = 0; round < 20000; ++round) {
    std::string format(random() % 80, ' ');
    for (char& c : format) {
      c = random() % 4 == 0 ? static_cast<char>(' ' + random() % 95)
                            : alphabet[random() % alphabet.size()];
    }
    const std::vector<FormatArgument>& arguments = argumentSets[round % argumentSets.size()];
    const std::string output = FormatTextWith(format, arguments.data(), round % 4);
    ASSERT_LE(output.size(), kFormatTextLimit) << format;
  }
}

}  // namespace
}  // namespace dul
