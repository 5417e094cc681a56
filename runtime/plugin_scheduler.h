// PluginScheduler: deferred callbacks at a deadline and named repeating timers, on top of the
// host's one scheduling operation. The plugin runs no threads: the host calls back.
//
//   scheduler.ScheduleAt("ItemSetsPlugin.Retrieve", [this] { Retrieve(); }, scheduler.Now());
//   scheduler.SetTimer("dul-item-sets.check_upload", 5.0, [this] { CheckUpload(); });
//
// A timer repeats every interval measured from the start of its previous tick's callback;
// setting it again restarts it with the new interval, and the old pending tick does nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>

#include "contract/host_contract.h"
#include "foundation/fnv1a.h"
#include "platform/mutex.h"

namespace dul {

class PluginCore;

class PluginScheduler {
 public:
  using Callback = std::function<void()>;

  explicit PluginScheduler(PluginCore& plugin);
  // Frees the callbacks still pending: a host drops the callbacks of a plugin it destroyed, since
  // their code may be unloaded with the library.
  ~PluginScheduler();
  PluginScheduler(const PluginScheduler&) = delete;
  PluginScheduler& operator=(const PluginScheduler&) = delete;

  // Nanoseconds on the monotonic clock on which deadlines are given.
  static std::int64_t Now();
  // A deadline `seconds` from now, held at the clock's range when it would lie beyond it.
  static std::int64_t DeadlineAfter(double seconds);

  // Runs the callback once, on a host call, at or after the deadline. The name is the host's.
  void ScheduleAt(const std::string& name, Callback callback, std::int64_t deadline);
  // Creates or replaces the named repeating timer; the first tick comes one interval from now.
  void SetTimer(const std::string& name, double intervalSeconds, Callback callback);
  // Forgets every timer; their pending ticks find nothing and log it.
  void ClearTimers() { timers_.clear(); }

  std::size_t pendingCallbacks() const;
  std::uint64_t nextIdentifier() const;

 private:
  struct ScheduledEntry {
    PluginScheduler* scheduler;
    std::uint64_t identifier;
    Callback callback;
  };
  struct Timer {
    std::string name;
    Callback tick;  // the closure for the current generation
    std::int64_t nextDeadline = 0;
    double intervalSeconds = 0;
    std::uint64_t generation = 0;
  };

  static void DUL_CALL Run(void* entry);
  void Tick(const std::string& name, std::uint64_t generation, const Callback& callback);
  void ScheduleTick(const Timer& timer);

  PluginCore& plugin_;
  mutable platform::Mutex mutex_;
  std::uint64_t nextIdentifier_ = 1;
  std::unordered_map<std::uint64_t, std::unique_ptr<ScheduledEntry>> scheduled_;
  std::unordered_map<std::string, Timer, Fnv1aHash, std::equal_to<>> timers_;
};

}  // namespace dul
