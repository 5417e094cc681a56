// JsonCountingAllocator: the allocator the JSON reader's and writers' scratch stacks use, so that
// their memory shows in the library's allocation counters like everything else. Its first block,
// up to kInlineBytes, lives inside the allocator object itself, which sits on the caller's stack:
// most documents then need no heap block for the scratch stack at all. Every block opens with a
// word that says where it lives, because RapidJSON frees through a static function.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "foundation/allocation_counters.h"

namespace Zorv {

class JsonCountingAllocator {
 public:
  static const bool kNeedFree = true;
  static constexpr std::size_t kInlineBytes = 1024;

  JsonCountingAllocator() = default;
  JsonCountingAllocator(const JsonCountingAllocator&) = delete;
  JsonCountingAllocator& operator=(const JsonCountingAllocator&) = delete;

  void* Malloc(std::size_t size) {
    if (size == 0)
      return nullptr;
    if (!inlineTaken_ && size <= kInlineBytes) {
      inlineTaken_ = true;
      return Tagged(inline_, kInline);
    }
    return HeapBlock(size);
  }
  void* Realloc(void* block, std::size_t oldSize, std::size_t newSize) {
    if (block == nullptr)
      return Malloc(newSize);
    if (newSize == 0) {
      Free(block);
      return nullptr;
    }
    if (TagOf(block) == kInline) {
      if (newSize <= kInlineBytes)
        return block;
      void* grown = HeapBlock(newSize);
      if (grown != nullptr)
        std::memcpy(grown, block, oldSize < newSize ? oldSize : newSize);
      return grown;
    }
    void* moved = dul::CountingReallocate(HeaderOf(block), kHeaderBytes + newSize);
    return moved != nullptr ? static_cast<unsigned char*>(moved) + kHeaderBytes : nullptr;
  }
  static void Free(void* block) {
    if (block != nullptr && TagOf(block) == kHeap)
      dul::CountingFree(HeaderOf(block));
  }

 private:
  static constexpr std::uint64_t kHeap = 0;
  static constexpr std::uint64_t kInline = 1;
  static constexpr std::size_t kHeaderBytes = sizeof(std::uint64_t);

  static void* Tagged(void* header, std::uint64_t tag) {
    std::memcpy(header, &tag, sizeof tag);
    return static_cast<unsigned char*>(header) + kHeaderBytes;
  }
  static void* HeaderOf(void* block) { return static_cast<unsigned char*>(block) - kHeaderBytes; }
  static std::uint64_t TagOf(void* block) {
    std::uint64_t tag;
    std::memcpy(&tag, HeaderOf(block), sizeof tag);
    return tag;
  }
  static void* HeapBlock(std::size_t size) {
    void* header = dul::CountingAllocate(kHeaderBytes + size);
    return header != nullptr ? Tagged(header, kHeap) : nullptr;
  }

  alignas(8) unsigned char inline_[kHeaderBytes + kInlineBytes];
  bool inlineTaken_ = false;
};

}  // namespace Zorv
