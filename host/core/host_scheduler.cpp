#include "host/core/host_scheduler.h"

#include <cmath>

namespace dul::host {

void HostScheduler::Add(double nowSeconds, const char* name, DulScheduledCallback callback,
                        void* userData, double delaySeconds) {
  const double delay = std::isnan(delaySeconds) || delaySeconds < 0.0 ? 0.0 : delaySeconds;
  entries_.insert(ScheduledCallback{nowSeconds + delay, nextSequence_++, nowSeconds, delaySeconds,
                                    name != nullptr ? name : "", callback, userData});
}

std::optional<ScheduledCallback> HostScheduler::TakeDue(double seconds, std::uint64_t passStart) {
  for (auto entry = entries_.begin(); entry != entries_.end(); ++entry) {
    if (entry->dueSeconds > seconds)
      return std::nullopt;
    if (entry->sequence >= passStart && entry->dueSeconds <= entry->scheduledAtSeconds)
      continue;
    ScheduledCallback taken = *entry;
    entries_.erase(entry);
    return taken;
  }
  return std::nullopt;
}

}  // namespace dul::host
