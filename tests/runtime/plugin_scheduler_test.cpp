#include "runtime/plugin_scheduler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "tests/foundation/log_test_support.h"
#include "tests/support/hosted_plugin.h"

namespace dul {
namespace {

// A plugin served by the test host on a virtual clock, so that callbacks run exactly when the
// test moves the clock past their delay.
class SchedulerTest : public LoggerFixture {
 protected:
  void SetUp() override {
    LoggerFixture::SetUp();
    hosted = std::make_unique<testing::HostedPlugin<>>();
    ASSERT_TRUE(hosted->started);
    AttachAlone(target, {kLogLevelOkay, 0, 0, kDefaultLogLineFormat});
  }
  void TearDown() override {
    hosted.reset();
    LoggerFixture::TearDown();
  }

  PluginScheduler& scheduler() { return hosted->plugin->scheduler(); }
  host::HostRuntime& host() { return hosted->host; }
  std::vector<host::ScheduledCallback> Pending() { return hosted->host.PendingCallbacks(); }
  // The callback the plugin scheduled last.
  host::ScheduledCallback Newest() {
    std::vector<host::ScheduledCallback> pending = Pending();
    EXPECT_FALSE(pending.empty());
    host::ScheduledCallback newest;
    for (const host::ScheduledCallback& callback : pending)
      newest = callback.sequence >= newest.sequence ? callback : newest;
    return newest;
  }

  std::unique_ptr<testing::HostedPlugin<>> hosted;
  CapturingLogTarget target;
};

// Catches a past deadline sent as a negative delay, a callback run before its deadline, and
// identifiers not counted from 1.
TEST_F(SchedulerTest, PastDeadlinesRunAtOnceAndIdentifiersCountFromOne) {
  EXPECT_EQ(scheduler().nextIdentifier(), 1u);
  int runs = 0;
  scheduler().ScheduleAt(
      "task", [&] { runs++; }, PluginScheduler::Now() - 5'000'000'000);
  scheduler().ScheduleAt(
      "later", [&] { runs += 10; }, PluginScheduler::Now() + 2'000'000'000);
  const std::vector<host::ScheduledCallback> pending = Pending();
  ASSERT_EQ(pending.size(), 2u);
  EXPECT_EQ(pending[0].name, "task");
  EXPECT_EQ(pending[0].delaySeconds, 0.0);
  EXPECT_EQ(pending[1].name, "later");
  EXPECT_GT(pending[1].delaySeconds, 1.9);
  EXPECT_LE(pending[1].delaySeconds, 2.0);
  EXPECT_EQ(scheduler().nextIdentifier(), 3u);
  EXPECT_EQ(scheduler().pendingCallbacks(), 2u);
  EXPECT_EQ(host().RunDue(), 1u);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(host().AdvanceBy(1.8), 0u);
  EXPECT_EQ(host().AdvanceBy(0.2), 1u);
  EXPECT_EQ(runs, 11);
  EXPECT_EQ(scheduler().pendingCallbacks(), 0u);
}

// Catches a timer set twice that ticks twice, or a tick that stops repeating.
TEST_F(SchedulerTest, ResettingATimerLeavesOneLiveTimer) {
  int ticks = 0;
  scheduler().SetTimer("dul-item-sets.check_upload", 5.0, [&] { ticks++; });
  scheduler().SetTimer("dul-item-sets.check_upload", 7.0, [&] { ticks += 100; });
  ASSERT_EQ(Pending().size(), 2u);
  EXPECT_EQ(Pending()[0].name, "Timer: dul-item-sets.check_upload");
  EXPECT_EQ(host().AdvanceBy(5.0), 1u);  // the first setting's tick: a newer generation exists
  EXPECT_EQ(ticks, 0);
  EXPECT_EQ(Pending().size(), 1u);  // only the second setting's tick remains
  EXPECT_EQ(host().AdvanceBy(2.0), 1u);
  EXPECT_EQ(ticks, 100);
  ASSERT_EQ(Pending().size(), 1u);  // repeats
  EXPECT_GT(Pending()[0].delaySeconds, 6.9);
  host().AdvanceBy(7.0);
  EXPECT_EQ(ticks, 200);
  EXPECT_EQ(Pending().size(), 1u);
}

// Catches an old tick that reschedules after its callback set the timer again.
TEST_F(SchedulerTest, ACallbackThatResetsItsTimerIsNotRescheduledByTheOldTick) {
  int ticks = 0;
  scheduler().SetTimer("t", 5.0, [&] {
    ticks++;
    scheduler().SetTimer("t", 9.0, [&] { ticks += 10; });
  });
  EXPECT_EQ(host().AdvanceBy(5.0), 1u);
  ASSERT_EQ(Pending().size(), 1u);  // only the new setting's tick
  EXPECT_GT(Pending()[0].delaySeconds, 8.9);
  host().AdvanceBy(9.0);
  EXPECT_EQ(ticks, 11);
}

// Catches a tick of a cleared timer that runs its callback or stays silent, here or at the host.
TEST_F(SchedulerTest, ATickOfAClearedTimerLogsOneLine) {
  int ticks = 0;
  scheduler().SetTimer("gone", 5.0, [&] { ticks++; });
  hosted->plugin->Shutdown();
  const std::size_t hostLinesBefore = host().logLines().size();
  EXPECT_EQ(host().AdvanceBy(5.0), 1u);
  EXPECT_EQ(ticks, 0);
  ASSERT_EQ(target.records.size(), 1u);
  EXPECT_EQ(target.records[0].message, "dul-item-sets: Couldn't find timer named gone");
  EXPECT_EQ(target.records[0].level, kLogLevelWarning);
  EXPECT_EQ(target.records[0].categories, 65u);
  ASSERT_EQ(host().logLines().size(), hostLinesBefore + 1);
  EXPECT_EQ(host().logLines().back().message, "dul-item-sets: Couldn't find timer named gone");
  EXPECT_EQ(host().logLines().back().level, kLogLevelWarning);
  EXPECT_TRUE(Pending().empty());
}

// Catches deadline arithmetic that overflows for huge or infinite intervals.
TEST_F(SchedulerTest, HugeIntervalsStayFiniteAndNonNegative) {
  for (const double interval : {1e300, std::numeric_limits<double>::infinity(), 9.3e9}) {
    const std::size_t before = Pending().size();
    scheduler().SetTimer("big", interval, [] {});
    ASSERT_EQ(Pending().size(), before + 1);
    const double delay = Newest().delaySeconds;
    EXPECT_TRUE(std::isfinite(delay)) << interval;
    EXPECT_GT(delay, 9.0e9) << interval;
  }
  EXPECT_EQ(PluginScheduler::DeadlineAfter(1e300), std::numeric_limits<std::int64_t>::max());
}

// Catches callbacks still pending at destroy that are kept alive, run later, or left at the host
// to call into the destroyed plugin.
TEST_F(SchedulerTest, DestroyFreesThePendingCallbacks) {
  int runs = 0;
  auto capture = std::make_shared<int>(0);
  const std::weak_ptr<int> captured = capture;
  scheduler().ScheduleAt(
      "task", [&runs, capture] { runs += *capture + 1; }, PluginScheduler::Now() + 1'000'000'000);
  scheduler().SetTimer("t", 2.0, [&runs, capture] { runs += *capture + 1; });
  capture.reset();
  ASSERT_FALSE(captured.expired());
  hosted->Destroy();
  EXPECT_TRUE(captured.expired());
  EXPECT_TRUE(host().PendingCallbacks().empty());
  EXPECT_EQ(host().AdvanceBy(10.0), 0u);
  EXPECT_EQ(runs, 0);
}

}  // namespace
}  // namespace dul
