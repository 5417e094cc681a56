// The histories the host keeps for inspection: bounded by count and bytes, newest kept.
#include "host/core/bounded_history.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dul::host {
namespace {

// Catches a history that outgrows its count or byte limit, drops the newest entries instead of
// the oldest, loses an entry larger than the whole budget, or miscounts what it dropped.
TEST(BoundedHistory, KeepsTheNewestEntriesWithinCountAndBytes) {
  const struct {
    const char* name;
    std::size_t maxCount;
    std::size_t maxBytes;
    std::vector<std::string> added;
    std::vector<std::string> kept;
  } cases[] = {
      {"under both limits", 4, 1 << 20, {"a", "b", "c"}, {"a", "b", "c"}},
      {"count exceeded", 4, 1 << 20, {"a", "b", "c", "d", "e"}, {"c", "d", "e"}},
      {"bytes exceeded",
       100,
       HeldBytes(std::string(10, 'x')) * 3,
       {std::string(10, 'a'), std::string(10, 'b'), std::string(10, 'c'), std::string(10, 'd')},
       {std::string(10, 'c'), std::string(10, 'd')}},
      {"one entry beyond the budget",
       100,
       64,
       {"a", std::string(500, 'z')},
       {std::string(500, 'z')}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BoundedHistory<std::string> history(c.maxCount, c.maxBytes);
    for (const std::string& entry : c.added)
      history.Add(entry);
    EXPECT_EQ(history.entries(), c.kept);
    EXPECT_EQ(history.added(), c.added.size());
    EXPECT_EQ(history.dropped(), c.added.size() - c.kept.size());
    std::size_t bytes = 0;
    for (const std::string& entry : c.kept)
      bytes += HeldBytes(entry);
    EXPECT_EQ(history.bytes(), bytes);
  }
}

// Catches a history that grows without bound over a long run.
TEST(BoundedHistory, StaysBoundedOverALongRun) {
  BoundedHistory<std::string> history(1000, 64 << 10);
  for (int i = 0; i < 100000; ++i) {
    history.Add(std::to_string(i) + std::string(static_cast<std::size_t>(i % 200), '.'));
    ASSERT_LE(history.entries().size(), 1000u);
    ASSERT_LE(history.bytes(), std::size_t{64 << 10});
  }
  EXPECT_EQ(history.entries().back(), "99999" + std::string(199, '.'));
}

}  // namespace
}  // namespace dul::host
