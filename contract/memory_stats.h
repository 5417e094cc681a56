// The words getMemoryStats fills: the six allocation counters in their declared order, each as
// its low then its high 32-bit word, then two zero words. The plugin writes them, a host reads
// them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/allocation_counters.h"

namespace dul {

inline constexpr std::size_t kMemoryStatsWords = 14;

void WriteMemoryStatsWords(const AllocationStats& stats, std::uint32_t* words);
AllocationStats ReadMemoryStatsWords(const std::uint32_t* words);

}  // namespace dul
