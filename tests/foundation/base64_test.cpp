#include "foundation/base64.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace {

std::string DecodeToText(std::string_view text) {
  const std::vector<std::uint8_t> bytes = dul::Base64Decode(text);
  return std::string(bytes.begin(), bytes.end());
}

struct Vector {
  std::string_view bytes;
  std::string_view text;
};

// Catches wrong padding or bit order against the RFC 4648 test vectors, both ways.
TEST(Base64, EncodesAndDecodesTheStandardVectors) {
  const Vector vectors[] = {{"", ""},
                            {"f", "Zg=="},
                            {"fo", "Zm8="},
                            {"foo", "Zm9v"},
                            {"foob", "Zm9vYg=="},
                            {"fooba", "Zm9vYmE="},
                            {"foobar", "Zm9vYmFy"},
                            {"abc", "YWJj"},
                            {"ab", "YWI="},
                            {"a", "YQ=="}};
  for (const Vector& vector : vectors) {
    EXPECT_EQ(dul::Base64Encode(vector.bytes.data(), vector.bytes.size()), vector.text);
    EXPECT_EQ(DecodeToText(vector.text), vector.bytes) << vector.text;
  }
}

// Catches sign extension or table gaps for bytes above 0x7F and the "+" and "/" characters.
TEST(Base64, EveryByteValueRoundTrips) {
  std::vector<std::uint8_t> bytes;
  for (int value = 255; value >= 0; --value) {
    bytes.push_back(static_cast<std::uint8_t>(value));
  }
  const std::string text = dul::Base64Encode(bytes.data(), bytes.size());
  EXPECT_EQ(text.substr(0, 4), "//79");
  EXPECT_EQ(dul::Base64Decode(text), bytes);
}

// Catches a decoder that reads past where input ends or keeps a lone trailing character.
TEST(Base64, LenientDecoderStopsSilently) {
  const Vector cases[] = {
      {"ab", "YWI"},          // unpadded group of three
      {"a", "YW=Jj"},         // nothing after the first "=" is read
      {"", "Y"},              // a single character left over gives nothing
      {"abcd", "YWJjZA"},     // unpadded group of two after a full group
      {"a", "YW Jj"},         // a blank ends the input
      {"foo", "Zm9v\nYmFy"},  // so does a line break
      {"", "===="},
      {"", "\xC3\xA9YWJj"},  // a byte outside ASCII at the start
  };
  for (const Vector& lenient : cases) {
    EXPECT_EQ(DecodeToText(lenient.text), lenient.bytes) << lenient.text;
  }
}

}  // namespace
