#include "host/app/event_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <thread>
#include <vector>

namespace dul::host {
namespace {

using namespace std::chrono_literals;

// Catches work run on the calling threads, or two pieces at once: the plugin must see one
// thread only.
TEST(EventLoopTest, RunsAllWorkOnItsOneThreadOneAtATime) {
  EventLoop loop;
  loop.Start();
  std::set<std::thread::id> threads;  // touched only on the loop
  int running = 0;
  int overlaps = 0;
  std::vector<std::thread> callers;
  for (int i = 0; i < 4; ++i) {
    callers.emplace_back([&] {
      for (int j = 0; j < 200; ++j) {
        const std::optional<int> result = loop.Call([&] {
          overlaps += running++ > 0;
          threads.insert(std::this_thread::get_id());
          running--;
          return j;
        });
        EXPECT_EQ(result, j);
      }
    });
  }
  for (std::thread& caller : callers)
    caller.join();
  loop.Stop();
  ASSERT_EQ(threads.size(), 1u);
  EXPECT_NE(*threads.begin(), std::this_thread::get_id());
  EXPECT_EQ(overlaps, 0);
}

// Catches a loop that leaves its due chore waiting for the next request, calls it before the sleep
// it asked for ends, or spins while nothing is due.
TEST(EventLoopTest, CallsItsChoreWhenTheSleepItAskedForEnds) {
  std::atomic<int> chores = 0;
  const auto start = std::chrono::steady_clock::now();
  std::atomic<std::int64_t> secondAtMs = -1;
  EventLoop loop([&]() -> std::optional<double> {
    const int count = ++chores;
    if (count == 2) {
      secondAtMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now() - start)
                       .count();
    }
    return count == 1 ? std::optional<double>(0.05) : std::nullopt;
  });
  loop.Start();
  // No request ever comes: a loop that waits for one instead never calls the chore again.
  for (int i = 0; i < 5000 && chores.load() < 2; ++i)
    std::this_thread::sleep_for(1ms);
  std::this_thread::sleep_for(100ms);  // room for a spinning loop to call it again
  EXPECT_EQ(chores.load(), 2);
  EXPECT_GE(secondAtMs.load(), 45);
  ASSERT_TRUE(loop.RunAndWait([] {}));
  // Work may have scheduled something: the chore runs again after it.
  for (int i = 0; i < 1000 && chores.load() < 3; ++i)
    std::this_thread::sleep_for(1ms);
  EXPECT_EQ(chores.load(), 3);
  loop.Stop();
}

// Catches work accepted after Stop (its caller would wait for ever), work handed in before Stop
// dropped, and a call from inside the loop that deadlocks waiting for itself.
TEST(EventLoopTest, FinishesHandedInWorkAndRefusesLaterWork) {
  EventLoop loop;
  loop.Start();
  int ran = 0;
  std::atomic<bool> queuing = false;
  std::thread queued;
  std::thread slow([&] {
    loop.RunAndWait([&] {
      // While the loop is busy here, another caller hands in work.
      queued = std::thread([&] {
        queuing = true;
        EXPECT_TRUE(loop.RunAndWait([&] { ran++; }));
      });
      while (!queuing)
        std::this_thread::sleep_for(1ms);
      std::this_thread::sleep_for(100ms);
      ran++;
    });
  });
  while (!queuing)
    std::this_thread::sleep_for(1ms);
  std::this_thread::sleep_for(50ms);
  loop.Stop();
  slow.join();
  queued.join();
  EXPECT_EQ(ran, 2);
  EXPECT_FALSE(loop.RunAndWait([&] { ran++; }));
  EXPECT_EQ(loop.Call([] { return 1; }), std::nullopt);
  EXPECT_EQ(ran, 2);

  EventLoop nested;
  nested.Start();
  EXPECT_EQ(nested.Call([&] { return nested.Call([] { return 5; }).value_or(0); }), 5);
}

}  // namespace
}  // namespace dul::host
