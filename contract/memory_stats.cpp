#include "contract/memory_stats.h"

namespace dul {
namespace {

constexpr std::size_t kCounters = 6;

}  // namespace

void WriteMemoryStatsWords(const AllocationStats& stats, std::uint32_t* words) {
  const std::uint64_t counters[kCounters] = {stats.peakLiveBytes,  stats.liveAllocationsAtPeak,
                                             stats.bytesAllocated, stats.allocations,
                                             stats.bytesFreed,     stats.frees};
  for (std::size_t i = 0; i < kCounters; ++i) {
    words[2 * i] = static_cast<std::uint32_t>(counters[i]);
    words[2 * i + 1] = static_cast<std::uint32_t>(counters[i] >> 32);
  }
  words[2 * kCounters] = 0;
  words[2 * kCounters + 1] = 0;
}

AllocationStats ReadMemoryStatsWords(const std::uint32_t* words) {
  const auto counter = [words](std::size_t index) {
    return static_cast<std::uint64_t>(words[2 * index]) |
           (static_cast<std::uint64_t>(words[2 * index + 1]) << 32);
  };
  return AllocationStats{counter(0), counter(1), counter(2), counter(3), counter(4), counter(5)};
}

}  // namespace dul
