#include "contract/plugin_name.h"

#include <gtest/gtest.h>

#include "contract/plugin_api_version.h"
#include "tests/foundation/log_test_support.h"

namespace dul {
namespace {

struct FullNameCase {
  const char* kind;
  const char* fullName;
};

// Catches a kind comparison that is case-insensitive or a prefix that ignores the kind.
TEST(PluginName, FullNameFollowsTheKindExactly) {
  const FullNameCase cases[] = {{"backend", "pxm-be-dul-item-sets"},
                                {"frontend", "pxm-fe-dul-item-sets"},
                                {"Backend", "pxm-xx-dul-item-sets"},
                                {"backend ", "pxm-xx-dul-item-sets"},
                                {"", "pxm-xx-dul-item-sets"}};
  for (const auto& test : cases) {
    const PluginName name = MakePluginName("dul-item-sets", test.kind, "");
    EXPECT_EQ(name.fullName, test.fullName) << test.kind;
    EXPECT_EQ(name.shortName, "dul-item-sets");
    EXPECT_EQ(name.kind, test.kind);
  }
}

class PluginNameLog : public LoggerFixture {};

// Catches an unknown kind that goes unreported, or a known kind that is reported.
TEST_F(PluginNameLog, UnknownKindLogsOneErrorLine) {
  CapturingLogTarget target;
  AttachAlone(target, {kLogLevelOkay, 0, 0, kDefaultLogLineFormat});
  MakePluginName("dul-item-sets", "backend", "");
  MakePluginName("dul-item-sets", "frontend", "");
  EXPECT_TRUE(target.records.empty());
  MakePluginName("dul-item-sets", "Backend", "");
  ASSERT_EQ(target.records.size(), 1u);
  EXPECT_EQ(target.records[0].level, kLogLevelError);
  EXPECT_EQ(target.records[0].categories, 1u);
  EXPECT_EQ(target.records[0].message,
            "            Plugin Manager| GetFullNameFromShortNameAndType(\"dul-item-sets\", "
            "\"Backend\") called with an unknown type");
}

// Catches a prefix that keeps hyphens or misses a letter after one.
TEST(PluginName, TypeNamePrefixCapitalisesEachWord) {
  EXPECT_EQ(TypeNamePrefix("dul-item-sets"), "DulItemSets");
  EXPECT_EQ(TypeNamePrefix("a--b-"), "AB");
  EXPECT_EQ(TypeNamePrefix(""), "");
}

// Catches a version text that drops or misorders the pre-release and build parts.
TEST(PluginApiVersion, TextAddsPreReleaseAndBuild) {
  EXPECT_EQ((PluginApiVersion{18, 0, 0, "rc.1", "7"}.Text()), "18.0.0-rc.1+7");
  EXPECT_EQ((PluginApiVersion{18, 0, 0, "", ""}.Text()), "18.0.0");
  EXPECT_EQ((PluginApiVersion{18, 2, 3, "", "b"}.Text()), "18.2.3+b");
  EXPECT_EQ((PluginApiVersion{4294967295u, 0, 1, "x", ""}.Text()), "4294967295.0.1-x");
}

// Catches a comparison of patch before minor, or of anything but equal majors.
TEST(PluginApiVersion, CompatibilityComparesMinorThenPatch) {
  const PluginApiVersion own{18, 2, 5, "", ""};
  const struct {
    PluginApiVersion host;
    bool compatible;
  } cases[] = {{{18, 2, 5, "", ""}, true},  {{18, 3, 0, "", ""}, true},
               {{18, 2, 4, "", ""}, false}, {{18, 1, 9, "", ""}, false},
               {{19, 2, 5, "", ""}, false}, {{17, 9, 9, "", ""}, false}};
  for (const auto& test : cases) {
    EXPECT_EQ(IsCompatibleHostVersion(test.host, own), test.compatible) << test.host.Text();
  }
}

}  // namespace
}  // namespace dul
