#include "foundation/allocation_counters.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "platform/memory.h"

namespace dul {
namespace {

// Constant-initialised, so they count from the very first allocation of the process.
std::atomic<std::uint64_t> gPeakLiveBytes{0};
std::atomic<std::uint64_t> gLiveAllocationsAtPeak{0};
std::atomic<std::uint64_t> gBytesAllocated{0};
std::atomic<std::uint64_t> gAllocations{0};
std::atomic<std::uint64_t> gBytesFreed{0};
std::atomic<std::uint64_t> gFrees{0};

void RaisePeak() {
  const std::uint64_t live = gBytesAllocated.load() - gBytesFreed.load();
  std::uint64_t peak = gPeakLiveBytes.load();
  while (live > peak) {
    if (gPeakLiveBytes.compare_exchange_weak(peak, live)) {
      gLiveAllocationsAtPeak.store(gAllocations.load() - gFrees.load());
      return;
    }
  }
}

void CountAllocated(void* block) {
  gBytesAllocated.fetch_add(platform::MallocBlockSize(block));
  gAllocations.fetch_add(1);
  RaisePeak();
}

void CountFreed(void* block) {
  gBytesFreed.fetch_add(platform::MallocBlockSize(block));
  gFrees.fetch_add(1);
}

}  // namespace

void* CountingAllocate(std::size_t bytes) {
  void* block = std::malloc(bytes == 0 ? 1 : bytes);
  if (block != nullptr)
    CountAllocated(block);
  return block;
}

void CountingFree(void* block) {
  if (block == nullptr)
    return;
  CountFreed(block);
  std::free(block);
}

void* CountingReallocate(void* block, std::size_t bytes) {
  if (block == nullptr)
    return CountingAllocate(bytes);
  if (bytes == 0) {
    CountingFree(block);
    return nullptr;
  }
  const std::size_t oldSize = platform::MallocBlockSize(block);
  void* moved = std::realloc(block, bytes);
  if (moved == nullptr)
    return nullptr;  // the old block is untouched and still counted
  gBytesFreed.fetch_add(oldSize);
  gFrees.fetch_add(1);
  CountAllocated(moved);
  return moved;
}

char* CountingDuplicate(const char* text) {
  const std::size_t length = std::strlen(text) + 1;
  auto* copy = static_cast<char*>(CountingAllocate(length));
  if (copy != nullptr)
    std::memcpy(copy, text, length);
  return copy;
}

std::size_t CountingBlockSize(void* block) {
  return platform::MallocBlockSize(block);
}

void CountPagesTaken(std::size_t pageBytes) {
  gBytesAllocated.fetch_add(pageBytes);
  gAllocations.fetch_add(1);
  RaisePeak();
}

void CountPagesReturned(std::size_t pageBytes, std::size_t pages) {
  gBytesFreed.fetch_add(static_cast<std::uint64_t>(pageBytes) * pages);
  gFrees.fetch_add(pages);
}

AllocationStats ReadAllocationStats() {
  return AllocationStats{gPeakLiveBytes.load(),  gLiveAllocationsAtPeak.load(),
                         gBytesAllocated.load(), gAllocations.load(),
                         gBytesFreed.load(),     gFrees.load()};
}

}  // namespace dul
