#include "runtime/plugin_name.h"

#include <gtest/gtest.h>

#include "runtime/plugin_api_version.h"

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
