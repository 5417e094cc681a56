#include "host/app/host_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dul::host {
namespace {

bool Parse(std::vector<const char*> arguments, HostOptions& options, std::string& error) {
  return ParseHostOptions(arguments, options, error);
}

// Catches defaults that differ from the documented ones, or a plugin path not beside the
// executable.
TEST(HostOptionsTest, DefaultsAreTheDocumentedOnes) {
  const HostOptions options = DefaultHostOptions("/opt/build/dul-host");
  EXPECT_EQ(options.pluginPath, "/opt/build/libpxm-be-dul-item-sets.so");
  EXPECT_EQ(options.stateDirectory, ".dul-host");
  EXPECT_EQ(options.port, 2999);
  EXPECT_EQ(options.accountId, 1001u);
  EXPECT_EQ(options.summonerId, 42u);
  EXPECT_TRUE(options.signedIn);
  EXPECT_EQ(options.clock, ClockKind::kReal);
  EXPECT_TRUE(options.authentication);
  EXPECT_EQ(DefaultHostOptions("dul-host").pluginPath, "./libpxm-be-dul-item-sets.so");
}

// Catches an option ignored or applied to the wrong field, in either spelling of a value.
TEST(HostOptionsTest, ReadsEveryOption) {
  HostOptions options = DefaultHostOptions("/b/dul-host");
  std::string error;
  ASSERT_TRUE(Parse({"--plugin", "p.so", "--state=s", "--port", "0", "--account-id",
                     "18446744073709551615", "--summoner-id=7", "--signed-out", "--clock",
                     "virtual", "--no-auth", "--log-level", "3", "--api-version", "19.2.3"},
                    options, error))
      << error;
  EXPECT_EQ(options.pluginPath, "p.so");
  EXPECT_EQ(options.stateDirectory, "s");
  EXPECT_EQ(options.port, 0);
  EXPECT_EQ(options.accountId, 18446744073709551615u);
  EXPECT_EQ(options.summonerId, 7u);
  EXPECT_FALSE(options.signedIn);
  EXPECT_EQ(options.clock, ClockKind::kVirtual);
  EXPECT_FALSE(options.authentication);
  EXPECT_EQ(options.logLevel, 3u);
  EXPECT_EQ(options.hostVersion.major, 19u);
  EXPECT_EQ(options.hostVersion.patch, 3u);
  EXPECT_FALSE(options.helpRequested);
}

// Catches malformed or out-of-range values accepted (wrapped, truncated, signed), unknown
// options ignored, a missing value read as success, and an error that does not name the culprit.
TEST(HostOptionsTest, RefusesWhatItCannotRead) {
  struct Case {
    std::vector<const char*> arguments;
    const char* errorMentions;
  };
  const Case cases[] = {
      {{"--port", "65536"}, "--port"},
      {{"--port", "-1"}, "--port"},
      {{"--port", "+80"}, "--port"},
      {{"--port", "80x"}, "--port"},
      {{"--port", ""}, "--port"},
      {{"--account-id", "18446744073709551616"}, "--account-id"},
      {{"--clock", "fast"}, "--clock"},
      {{"--log-level", "4"}, "--log-level"},
      {{"--api-version", "18.0"}, "--api-version"},
      {{"--api-version", "18.0.0.1"}, "--api-version"},
      {{"--plugin", ""}, "--plugin"},
      {{"--state"}, "--state"},
      {{"--verbose"}, "--verbose"},
      {{"--no-auth=yes"}, "--no-auth"},
      {{"extra"}, "extra"},
  };
  for (const Case& c : cases) {
    HostOptions options;
    std::string error;
    EXPECT_FALSE(Parse(c.arguments, options, error)) << c.arguments[0];
    EXPECT_NE(error.find(c.errorMentions), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace dul::host
