#include "host/app/access_token.h"

#include <gtest/gtest.h>

#include <string>

#include "foundation/base64.h"

namespace dul::host {
namespace {

std::string Basic(const std::string& pair) {
  return "Basic " + Base64Encode(pair.data(), pair.size());
}

// Catches a token that is short, not hexadecimal, or the same from one start to the next.
TEST(AccessTokenTest, NewTokensAreLongAndDistinct) {
  const std::optional<AccessToken> first = AccessToken::Create();
  const std::optional<AccessToken> second = AccessToken::Create();
  ASSERT_TRUE(first && second);
  EXPECT_EQ(first->text().size(), 64u);
  EXPECT_EQ(first->text().find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_NE(first->text(), second->text());
}

// Catches a wrong, partial or extended token let in, a correct one turned away in either
// scheme, and a malformed header mistaken for credentials.
TEST(AccessTokenTest, AuthorizesOnlyTheExactTokenInEitherScheme) {
  const AccessToken token("abc123");
  struct Case {
    std::string header;
    bool authorized;
  };
  const Case cases[] = {
      {"Bearer abc123", true},
      {"bearer abc123", true},
      {"BEARER  abc123 ", true},
      {Basic("dul:abc123"), true},
      {"basic " + Base64Encode("dul:abc123", 10), true},
      {"Bearer abc12", false},
      {"Bearer abc1234", false},
      {"Bearer ABC123", false},
      {"Bearer", false},
      {"abc123", false},
      {"", false},
      {"Token abc123", false},
      {Basic("dul:abc12"), false},
      {Basic("admin:abc123"), false},
      {Basic("dul"), false},
      {Basic("dul:abc123") + "!!", false},
      {"Basic abc123", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(token.Authorizes(c.header), c.authorized) << c.header;
  EXPECT_FALSE(AccessToken("").Authorizes("Bearer "));
  EXPECT_FALSE(AccessToken("").Authorizes(Basic("dul:")));
}

}  // namespace
}  // namespace dul::host
