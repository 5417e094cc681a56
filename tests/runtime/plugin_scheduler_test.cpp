#include "runtime/plugin_scheduler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "runtime/load_plugin.h"
#include "tests/runtime/log_test_support.h"
#include "tests/support/recording_host.h"

namespace dul {
namespace {

// A plugin wired to a recording host, so that scheduled callbacks can be run by hand.
class SchedulerTest : public LoggerFixture {
 protected:
  void SetUp() override {
    LoggerFixture::SetUp();
    plugin = new PluginBase();
    DulPluginHandshake handshake{18, 0, 0, nullptr, nullptr, nullptr, nullptr};
    LoadPlugin(*plugin, handshake, "dul-item-sets");
    const DulHostInterface link = host.Interface();
    ASSERT_EQ(PluginBase::Initialize(PluginBase::AsObject(plugin), &link), 1);
    AttachAlone(target, {kLogLevelOkay, 0, 0, kDefaultLogLineFormat});
  }
  void TearDown() override {
    if (plugin != nullptr)
      PluginBase::Destroy(PluginBase::AsObject(plugin));
    LoggerFixture::TearDown();
  }

  testing::RecordingHost host;
  PluginBase* plugin = nullptr;
  CapturingLogTarget target;
};

// Catches a past deadline sent as a negative delay, and identifiers not counted from 1.
TEST_F(SchedulerTest, PastDeadlinesRunAtOnceAndIdentifiersCountFromOne) {
  PluginScheduler& scheduler = plugin->scheduler();
  EXPECT_EQ(scheduler.nextIdentifier(), 1u);
  int runs = 0;
  scheduler.ScheduleAt(
      "task", [&] { runs++; }, PluginScheduler::Now() - 5'000'000'000);
  scheduler.ScheduleAt(
      "later", [&] { runs += 10; }, PluginScheduler::Now() + 2'000'000'000);
  ASSERT_EQ(host.scheduled.size(), 2u);
  EXPECT_EQ(host.scheduled[0].name, "task");
  EXPECT_EQ(host.scheduled[0].delaySeconds, 0.0);
  EXPECT_GT(host.scheduled[1].delaySeconds, 1.9);
  EXPECT_LE(host.scheduled[1].delaySeconds, 2.0);
  EXPECT_EQ(scheduler.nextIdentifier(), 3u);
  EXPECT_EQ(scheduler.pendingCallbacks(), 2u);
  host.RunNextScheduled();
  host.RunNextScheduled();
  EXPECT_EQ(runs, 11);
  EXPECT_EQ(scheduler.pendingCallbacks(), 0u);
}

// Catches a timer set twice that ticks twice, or a tick that stops repeating.
TEST_F(SchedulerTest, ResettingATimerLeavesOneLiveTimer) {
  PluginScheduler& scheduler = plugin->scheduler();
  int ticks = 0;
  scheduler.SetTimer("dul-item-sets.check_upload", 5.0, [&] { ticks++; });
  scheduler.SetTimer("dul-item-sets.check_upload", 7.0, [&] { ticks += 100; });
  ASSERT_EQ(host.scheduled.size(), 2u);
  EXPECT_EQ(host.scheduled[0].name, "Timer: dul-item-sets.check_upload");
  host.RunNextScheduled();  // the first setting's tick: a newer generation exists
  EXPECT_EQ(ticks, 0);
  EXPECT_EQ(host.scheduled.size(), 1u);  // only the second setting's tick remains
  host.RunNextScheduled();
  EXPECT_EQ(ticks, 100);
  ASSERT_EQ(host.scheduled.size(), 1u);  // repeats
  EXPECT_GT(host.scheduled[0].delaySeconds, 6.9);
  host.RunNextScheduled();
  EXPECT_EQ(ticks, 200);
}

// Catches an old tick that reschedules after its callback set the timer again.
TEST_F(SchedulerTest, ACallbackThatResetsItsTimerIsNotRescheduledByTheOldTick) {
  PluginScheduler& scheduler = plugin->scheduler();
  int ticks = 0;
  scheduler.SetTimer("t", 5.0, [&] {
    ticks++;
    scheduler.SetTimer("t", 9.0, [&] { ticks += 10; });
  });
  host.RunNextScheduled();
  ASSERT_EQ(host.scheduled.size(), 1u);  // only the new setting's tick
  EXPECT_GT(host.scheduled[0].delaySeconds, 8.9);
  host.RunNextScheduled();
  EXPECT_EQ(ticks, 11);
}

// Catches a tick of a cleared timer that runs its callback or stays silent.
TEST_F(SchedulerTest, ATickOfAClearedTimerLogsOneLine) {
  int ticks = 0;
  plugin->scheduler().SetTimer("gone", 5.0, [&] { ticks++; });
  plugin->Shutdown();
  host.RunNextScheduled();
  EXPECT_EQ(ticks, 0);
  ASSERT_EQ(target.records.size(), 1u);
  EXPECT_EQ(target.records[0].message, "dul-item-sets: Couldn't find timer named gone");
  EXPECT_EQ(target.records[0].level, kLogLevelWarning);
  EXPECT_EQ(target.records[0].categories, 65u);
}

// Catches deadline arithmetic that overflows for huge or infinite intervals.
TEST_F(SchedulerTest, HugeIntervalsStayFiniteAndNonNegative) {
  for (const double interval : {1e300, std::numeric_limits<double>::infinity(), 9.3e9}) {
    host.scheduled.clear();
    plugin->scheduler().SetTimer("big", interval, [] {});
    ASSERT_EQ(host.scheduled.size(), 1u);
    const double delay = host.scheduled[0].delaySeconds;
    EXPECT_TRUE(std::isfinite(delay)) << interval;
    EXPECT_GT(delay, 9.0e9) << interval;
  }
  EXPECT_EQ(PluginScheduler::DeadlineAfter(1e300), std::numeric_limits<std::int64_t>::max());
}

}  // namespace
}  // namespace dul
