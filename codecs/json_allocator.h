// JsonCountingAllocator: the allocator the JSON reader's and writers' scratch stacks use, so that
// their memory shows in the library's allocation counters like everything else.
#pragma once

#include <cstddef>

#include "runtime/allocation_counters.h"

namespace Zorv {

class JsonCountingAllocator {
 public:
  static const bool kNeedFree = true;

  void* Malloc(std::size_t size) { return size != 0 ? dul::CountingAllocate(size) : nullptr; }
  void* Realloc(void* block, std::size_t /*oldSize*/, std::size_t newSize) {
    if (newSize != 0)
      return dul::CountingReallocate(block, newSize);
    dul::CountingFree(block);
    return nullptr;
  }
  static void Free(void* block) { dul::CountingFree(block); }
};

}  // namespace Zorv
