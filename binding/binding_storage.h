// BindingStorage: where a root value and its children keep everything that is not a scalar: the
// intern table of their strings, one slab pool per kind of block and the list of its heap blocks.
// It belongs to exactly one root value (see binding_property.h for the lifetime rule) and is
// never locked.
#pragma once

#include <cstddef>
#include <cstdint>

#include "binding/storage/intern_table.h"
#include "binding/storage/slab_pool.h"

namespace Zorv {

class BindingStorage {
 public:
  enum class Block : std::uint8_t {
    kBlob,
    kEnum,
    kCollection,
    kStructure,
    kMemberCell,
    // Member chunks of 2 to 84 members, one pool per size of kMemberChunkCapacities.
    kChunk2,
    kChunk4,
    kChunk8,
    kChunk12,
    kChunk16,
    kChunk20,
    kChunk24,
    kChunk32,
    kChunk40,
    kChunk48,
    kChunk64,
    kChunk84,
    // Element arrays of 1 to 32 values, one pool per size of kElementCapacities; longer ones
    // are heap blocks.
    kElements1,
    kElements2,
    kElements3,
    kElements4,
    kElements6,
    kElements8,
    kElements12,
    kElements16,
    kElements24,
    kElements32,
  };
  static constexpr std::size_t kBlockKinds = 27;
  static constexpr std::uint8_t kElementCapacities[] = {1, 2, 3, 4, 6, 8, 12, 16, 24, 32};
  static constexpr std::size_t kLargestPooledElements = 32;

  BindingStorage();
  ~BindingStorage();
  BindingStorage(const BindingStorage&) = delete;
  BindingStorage& operator=(const BindingStorage&) = delete;

  InternTable& texts() { return texts_; }
  const InternTable& texts() const { return texts_; }

  void* Allocate(Block block) { return pools_[static_cast<std::size_t>(block)].Allocate(); }
  void Free(Block block, void* address) { pools_[static_cast<std::size_t>(block)].Free(address); }
  std::size_t BlockSize(Block block) const {
    return pools_[static_cast<std::size_t>(block)].blockSize();
  }

  // Blocks too large for the pools (long element arrays, member slot arrays, blob bytes), from
  // the counting allocator. Each is linked into the storage's list, so that Reset frees them
  // all without walking the tree. Ends the process when memory cannot be had.
  void* AllocateHeap(std::size_t bytes) { return Link(NewHeapBlock(bytes)); }
  void* ReallocateHeap(void* block, std::size_t bytes);
  void FreeHeap(void* block);
  // A heap block made before the storage may take it (blob bytes copied ahead of a Clear), then
  // linked: or freed with FreeUnlinkedHeap if it never is.
  static void* NewUnlinkedHeap(std::size_t bytes) { return NewHeapBlock(bytes) + 1; }
  static void FreeUnlinkedHeap(void* block);
  void LinkHeap(void* block) { Link(static_cast<HeapLink*>(block) - 1); }

  // Forgets every string and block at once, frees the heap blocks and hands all pages back: the
  // root's whole tree is gone.
  void Reset();

 private:
  // Opens every heap block; two pointers keep the payload as aligned as the block itself.
  struct HeapLink {
    HeapLink* previous;
    HeapLink* next;
  };

  static HeapLink* NewHeapBlock(std::size_t bytes);
  void* Link(HeapLink* link) {
    link->previous = &heapBlocks_;
    link->next = heapBlocks_.next;
    heapBlocks_.next->previous = link;
    heapBlocks_.next = link;
    return link + 1;
  }

  SmallArena arena_;  // before the pools that share it
  InternTable texts_;
  SlabPool pools_[kBlockKinds];
  HeapLink heapBlocks_;  // the list's sentinel: circular, empty when it points at itself
};

}  // namespace Zorv
