// The library's allocation functions. Every allocation of the library, C++ new and delete
// included, goes through them, so that the host can read how much memory the plugin holds.
// The six counters are process-wide and updated atomically.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dul {

void* CountingAllocate(std::size_t bytes);
void CountingFree(void* block);
void* CountingReallocate(void* block, std::size_t bytes);
char* CountingDuplicate(const char* text);
std::size_t CountingBlockSize(void* block);

struct AllocationStats {
  std::uint64_t peakLiveBytes = 0;
  std::uint64_t liveAllocationsAtPeak = 0;
  std::uint64_t bytesAllocated = 0;
  std::uint64_t allocations = 0;
  std::uint64_t bytesFreed = 0;
  std::uint64_t frees = 0;
};

// Pages the library takes from the operating system for itself (the value trees' pages), counted
// as one allocation each, so that the counters cover everything the library holds.
void CountPagesTaken(std::size_t pageBytes);
void CountPagesReturned(std::size_t pageBytes, std::size_t pages);

AllocationStats ReadAllocationStats();

}  // namespace dul
