#include "contract/route_template.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dul {
namespace {

struct MatchCase {
  const char* label;
  std::string pathTemplate;
  std::string path;
  bool matches;
  std::vector<std::string> captures;
};

class RouteTemplateMatch : public ::testing::TestWithParam<MatchCase> {};

// Catches placeholders that span or stop at the wrong characters, a partial-path match, special
// characters read as pattern syntax, and a split other than the greedy leftmost one.
TEST_P(RouteTemplateMatch, MatchesLikeTheEscapedExpression) {
  const MatchCase& test = GetParam();
  const RouteTemplate route = RouteTemplate::Compile(test.pathTemplate);
  std::vector<std::string_view> captures;
  ASSERT_EQ(route.Match(test.path, captures), test.matches);
  if (test.matches) {
    EXPECT_EQ(std::vector<std::string>(captures.begin(), captures.end()), test.captures);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Route, RouteTemplateMatch,
    ::testing::Values(
        MatchCase{"simple", "/a/{x}", "/a/b", true, {"b"}},
        MatchCase{"simple_stops_at_slash", "/a/{x}", "/a/b/c", false, {}},
        MatchCase{"simple_empty", "/a/{x}", "/a/", true, {""}},
        MatchCase{"reserved_spans_slashes", "/files/{+rest}", "/files/a/b/c", true, {"a/b/c"}},
        MatchCase{"reserved_stops_at_line_feed", "/r/{+rest}", "/r/a\nb", false, {}},
        MatchCase{"fragment", "/page{#part}", "/page#top/x", true, {"top/x"}},
        MatchCase{"dot_is_literal", "/a/{x}.json", "/a/bXjson", false, {}},
        MatchCase{"dot_after_group", "/a/{x}.json", "/a/b.c.json", true, {"b.c"}},
        MatchCase{"plus_is_literal", "/{x}/a+b", "/q/aab", false, {}},
        MatchCase{"specials_are_literal", "/(a)[b]|^$*?\\", "/(a)[b]|^$*?\\", true, {}},
        MatchCase{"whole_path_only", "/a/{x}/b", "/a/c/b/x", false, {}},
        MatchCase{"greedy_first_group", "/{+a}/{+b}", "/x/y/z", true, {"x/y", "z"}},
        MatchCase{"adjacent_groups", "/{x}{y}", "/ab", true, {"ab", ""}},
        MatchCase{
            "backtracks_into_group", "/{+a}/end/{x}", "/p/end/q/end/r", true, {"p/end/q", "r"}},
        MatchCase{"unclosed_brace_adds_nothing", "/a/{x", "/a/", true, {}},
        MatchCase{"literal_template_exact_length", "/a/b", "/a/b/", false, {}}),
    [](const ::testing::TestParamInfo<MatchCase>& info) { return std::string(info.param.label); });

// Catches a compiler that keeps "+" or "#" in the name, escapes the wrong characters or numbers
// the placeholders out of template order.
TEST(RouteTemplate, CompilesPatternAndPlaceholders) {
  const RouteTemplate item =
      RouteTemplate::Compile("/dul-item-sets/v1/item-sets/{summonerId}/sets");
  EXPECT_EQ(item.pattern(), "/dul-item-sets/v1/item-sets/([^/]*)/sets");
  EXPECT_FALSE(item.isLiteral());

  const RouteTemplate mixed = RouteTemplate::Compile("/x.y/{+rest}/{a}{#frag}");
  EXPECT_EQ(mixed.pattern(), "/x\\.y/(.*)/([^/]*)#(.*)");
  ASSERT_EQ(mixed.placeholders().size(), 3u);
  EXPECT_EQ(mixed.placeholders()[0].name, "rest");
  EXPECT_EQ(mixed.placeholders()[0].kind, PlaceholderKind::kReserved);
  EXPECT_EQ(mixed.placeholders()[1].name, "a");
  EXPECT_EQ(mixed.placeholders()[1].kind, PlaceholderKind::kSimple);
  EXPECT_EQ(mixed.placeholders()[2].name, "frag");
  EXPECT_EQ(mixed.placeholders()[2].kind, PlaceholderKind::kFragment);

  EXPECT_TRUE(RouteTemplate::Compile("/plain/path").isLiteral());
}

// Catches a matcher whose stack or running time grows with the path: a 1 MiB path, matching and
// not matching, including a template whose naive backtracking would be quadratic or worse.
TEST(RouteTemplate, MatchesMebibytePathsWithoutRecursion) {
  const std::string longSegment(1 << 20, 'x');
  std::vector<std::string_view> captures;
  ASSERT_TRUE(RouteTemplate::Compile("/a/{x}/b").Match("/a/" + longSegment + "/b", captures));
  EXPECT_EQ(captures[0].size(), longSegment.size());

  const std::string slashes(1 << 20, '/');
  EXPECT_FALSE(RouteTemplate::Compile("/{+a}/{+b}/{+c}/end").Match(slashes, captures));
  EXPECT_TRUE(RouteTemplate::Compile("/{+a}/{+b}/{+c}/end").Match(slashes + "end", captures));
  EXPECT_EQ(captures[0].size(), slashes.size() - 4);  // b and c left empty
}

}  // namespace
}  // namespace dul
