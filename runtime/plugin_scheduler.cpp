#include "runtime/plugin_scheduler.h"

#include <cmath>
#include <limits>

#include "foundation/format_text.h"
#include "foundation/logger.h"
#include "platform/clock.h"
#include "runtime/host_entry_guard.h"
#include "runtime/plugin_core.h"

namespace dul {
namespace {

constexpr std::size_t kInitialBuckets = 8;
constexpr std::int64_t kLatestDeadline = std::numeric_limits<std::int64_t>::max();

}  // namespace

PluginScheduler::PluginScheduler(PluginCore& plugin)
    : plugin_(plugin), scheduled_(kInitialBuckets), timers_(kInitialBuckets) {
  scheduled_.max_load_factor(1.0f);
  timers_.max_load_factor(1.0f);
}

PluginScheduler::~PluginScheduler() = default;

std::int64_t PluginScheduler::Now() {
  return platform::MonotonicNanoseconds();
}

std::int64_t PluginScheduler::DeadlineAfter(double seconds) {
  const double deadline = static_cast<double>(Now()) + seconds * 1e9;
  // 2^63 as a double: anything from there on (or NaN) is beyond the clock's range.
  if (!(deadline < 9223372036854775808.0))
    return kLatestDeadline;
  return static_cast<std::int64_t>(deadline);
}

void PluginScheduler::ScheduleAt(const std::string& name, Callback callback,
                                 std::int64_t deadline) {
  // In doubles, so that no distance between two points of the clock overflows.
  double delay = (static_cast<double>(deadline) - static_cast<double>(Now())) * 1e-9;
  if (!(delay > 0.0))
    delay = 0.0;
  ScheduledEntry* entry = nullptr;
  {
    platform::MutexLock lock(mutex_);
    const std::uint64_t identifier = nextIdentifier_++;
    auto owned =
        std::make_unique<ScheduledEntry>(ScheduledEntry{this, identifier, std::move(callback)});
    entry = owned.get();
    scheduled_.emplace(identifier, std::move(owned));
  }
  plugin_.HostSchedule(name.c_str(), &PluginScheduler::Run, entry, delay, 0);
}

void DUL_CALL PluginScheduler::Run(void* userData) {
  auto* entry = static_cast<ScheduledEntry*>(userData);
  if (entry == nullptr)
    return;
  PluginScheduler* scheduler = entry->scheduler;
  // The entry is released even when its callback fails.
  GuardHostEntry("scheduled callback", [&] { entry->callback(); });
  platform::MutexLock lock(scheduler->mutex_);
  scheduler->scheduled_.erase(entry->identifier);
}

void PluginScheduler::SetTimer(const std::string& name, double intervalSeconds, Callback callback) {
  Timer& timer = timers_[name];
  timer.name = name;
  timer.intervalSeconds = intervalSeconds;
  timer.nextDeadline = DeadlineAfter(intervalSeconds);
  const std::uint64_t generation = ++timer.generation;
  timer.tick = [this, name, generation, callback = std::move(callback)] {
    Tick(name, generation, callback);
  };
  ScheduleTick(timer);
}

void PluginScheduler::ScheduleTick(const Timer& timer) {
  ScheduleAt(FormatText("Timer: %1", timer.name), timer.tick, timer.nextDeadline);
}

void PluginScheduler::Tick(const std::string& name, std::uint64_t generation,
                           const Callback& callback) {
  auto found = timers_.find(name);
  if (found == timers_.end()) {
    Log(kLogLevelWarning, 65, 0, "%s: Couldn't find timer named %s", plugin_.shortName().c_str(),
        name.c_str());
    return;
  }
  if (found->second.generation != generation)
    return;  // set again since this tick was made
  found->second.nextDeadline = DeadlineAfter(found->second.intervalSeconds);
  callback();
  found = timers_.find(name);  // the callback may have set or cleared timers
  if (found != timers_.end() && found->second.generation == generation) {
    ScheduleTick(found->second);
  }
}

std::size_t PluginScheduler::pendingCallbacks() const {
  platform::MutexLock lock(mutex_);
  return scheduled_.size();
}

std::uint64_t PluginScheduler::nextIdentifier() const {
  platform::MutexLock lock(mutex_);
  return nextIdentifier_;
}

}  // namespace dul
