// HostScheduler: the plugin's scheduled callbacks, ordered by due time and, among equal due
// times, by the order they were scheduled in.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "contract/host_contract.h"

namespace dul::host {

struct ScheduledCallback {
  double dueSeconds = 0.0;
  std::uint64_t sequence = 0;
  double scheduledAtSeconds = 0.0;
  double delaySeconds = 0.0;  // as the plugin asked for it, before a bad delay is mended
  std::string name;
  DulScheduledCallback callback = nullptr;
  void* userData = nullptr;
};

class HostScheduler {
 public:
  // A negative or NaN delay falls due at once; an infinite one never does.
  void Add(double nowSeconds, const char* name, DulScheduledCallback callback, void* userData,
           double delaySeconds);
  // Removes and returns the first callback due at or before `seconds`. Callbacks scheduled from
  // sequence `passStart` on, due the moment they were scheduled, wait for a later pass, so a
  // callback that reschedules itself without delay cannot hold the host in one pass.
  std::optional<ScheduledCallback> TakeDue(double seconds, std::uint64_t passStart);
  // The sequence the next callback scheduled will get.
  std::uint64_t nextSequence() const { return nextSequence_; }
  std::vector<ScheduledCallback> Pending() const { return {entries_.begin(), entries_.end()}; }
  std::size_t size() const { return entries_.size(); }
  // When the first callback falls due; nothing while none waits.
  std::optional<double> NextDueSeconds() const {
    return entries_.empty() ? std::nullopt : std::optional<double>(entries_.begin()->dueSeconds);
  }
  void Clear() { entries_.clear(); }

 private:
  struct Earlier {
    bool operator()(const ScheduledCallback& a, const ScheduledCallback& b) const {
      return a.dueSeconds != b.dueSeconds ? a.dueSeconds < b.dueSeconds : a.sequence < b.sequence;
    }
  };
  std::set<ScheduledCallback, Earlier> entries_;
  std::uint64_t nextSequence_ = 0;
};

}  // namespace dul::host
