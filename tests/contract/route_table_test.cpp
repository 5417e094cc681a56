#include "contract/route_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dul {
namespace {

constexpr std::uint32_t kAny = 0, kGet = 2, kHead = 3, kPost = 6, kPut = 7, kNamed = 8;

struct Entry {
  std::uint32_t method;
  const char* methodText;
  const char* pathTemplate;
  bool getAndHeadOnly = false;
};

struct ChoiceCase {
  const char* label;
  std::vector<Entry> routes;
  std::uint32_t method;
  const char* methodText;
  const char* path;
  int expected;  // the chosen index, -1 for none
};

// Catches a choice that differs from the contract's: the first match instead of the one that
// captures least, a later equal match replacing the first, methods, method texts or the
// GET-and-HEAD mark ignored, an unknown method code taken by a route of one method. The plugin's
// routing and the host's endpoint router both choose through this one table.
TEST(RouteTable, ChoosesTheRouteThatCapturesLeast) {
  const ChoiceCase cases[] = {
      {"literal beats an earlier template",
       {{kGet, "", "/a/{x}"}, {kGet, "", "/a/b"}},
       kGet,
       "",
       "/a/b",
       1},
      {"equal capture keeps the first",
       {{kGet, "", "/a/{x}"}, {kGet, "", "/{y}/b"}},
       kGet,
       "",
       "/a/b",
       0},
      {"shorter capture wins", {{kGet, "", "/{+x}"}, {kGet, "", "/a/{y}"}}, kGet, "", "/a/bc", 1},
      {"method must agree", {{kPost, "", "/a/{x}"}, {kGet, "", "/a/{y}"}}, kGet, "", "/a/b", 1},
      {"any method takes PUT", {{kAny, "", "/a"}}, kPut, "", "/a", 0},
      {"unknown code only for any", {{kGet, "", "/a"}}, 42, "", "/a", -1},
      {"named method agrees", {{kNamed, "PROPFIND", "/a"}}, kNamed, "PROPFIND", "/a", 0},
      {"named method differs", {{kNamed, "PROPFIND", "/a"}}, kNamed, "MKCOL", "/a", -1},
      {"GET and HEAD only refuses POST", {{kAny, "", "/a", true}}, kPost, "", "/a", -1},
      {"GET and HEAD only takes HEAD", {{kAny, "", "/a", true}}, kHead, "", "/a", 0},
      {"no route", {{kGet, "", "/a/b"}}, kGet, "", "/a/c", -1},
  };
  for (const ChoiceCase& c : cases) {
    SCOPED_TRACE(c.label);
    RouteTable table;
    for (const Entry& entry : c.routes)
      table.Add(entry.method, entry.methodText, entry.pathTemplate, entry.getAndHeadOnly);
    std::vector<std::string_view> captures;
    const std::optional<std::size_t> chosen =
        table.Choose(c.method, c.methodText, c.path, captures);
    EXPECT_EQ(chosen ? static_cast<int>(*chosen) : -1, c.expected);
  }
}

// Catches captures of another candidate than the chosen one, and a range that is not kept to.
TEST(RouteTable, CapturesOfTheChosenRouteWithinTheRange) {
  RouteTable table;
  table.Add(kGet, "", "/{+all}");
  table.Add(kGet, "", "/files/{name}");
  std::vector<std::string_view> captures;
  EXPECT_EQ(table.Choose(kGet, "", "/files/a.json", captures), 1u);
  EXPECT_EQ(captures, (std::vector<std::string_view>{"a.json"}));
  EXPECT_EQ(table.Choose(kGet, "", "/files/a.json", captures, 0, 1), 0u);
  EXPECT_EQ(captures, (std::vector<std::string_view>{"files/a.json"}));
  EXPECT_EQ(table.Choose(kGet, "", "/other", captures, 1, 2), std::nullopt);
}

}  // namespace
}  // namespace dul
