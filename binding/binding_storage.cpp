#include "binding/binding_storage.h"

#include <iterator>

#include "binding/binding_property.h"
#include "binding/member_map.h"
#include "foundation/allocation_counters.h"
#include "foundation/fatal_error.h"

namespace Zorv {

static_assert(std::size(kMemberChunkCapacities) == 12, "one pool per chunk size");
static_assert(std::size(BindingStorage::kElementCapacities) == 10, "one pool per element size");
static_assert(BindingStorage::kElementCapacities[9] == BindingStorage::kLargestPooledElements);
static_assert(MemberChunkBytes(kMemberChunkCapacities[11]) <= SlabPool::kLargestBlock);

BindingStorage::BindingStorage()
    : texts_(&arena_),
      pools_{SlabPool(sizeof(BindingByteBlock)),
             SlabPool(sizeof(BindingEnumCell)),
             SlabPool(sizeof(BindingElementBlock)),
             SlabPool(sizeof(MemberMap)),
             SlabPool(sizeof(MemberCell)),
             SlabPool(MemberChunkBytes(kMemberChunkCapacities[0])),
             SlabPool(MemberChunkBytes(kMemberChunkCapacities[1])),
             SlabPool(MemberChunkBytes(kMemberChunkCapacities[2])),
             SlabPool(MemberChunkBytes(kMemberChunkCapacities[3])),
             SlabPool(MemberChunkBytes(kMemberChunkCapacities[4])),
             SlabPool(MemberChunkBytes(kMemberChunkCapacities[5])),
             SlabPool(MemberChunkBytes(kMemberChunkCapacities[6])),
             SlabPool(MemberChunkBytes(kMemberChunkCapacities[7])),
             SlabPool(MemberChunkBytes(kMemberChunkCapacities[8])),
             SlabPool(MemberChunkBytes(kMemberChunkCapacities[9])),
             SlabPool(MemberChunkBytes(kMemberChunkCapacities[10])),
             SlabPool(MemberChunkBytes(kMemberChunkCapacities[11])),
             SlabPool(kElementCapacities[0] * sizeof(BindingProperty)),
             SlabPool(kElementCapacities[1] * sizeof(BindingProperty)),
             SlabPool(kElementCapacities[2] * sizeof(BindingProperty)),
             SlabPool(kElementCapacities[3] * sizeof(BindingProperty)),
             SlabPool(kElementCapacities[4] * sizeof(BindingProperty)),
             SlabPool(kElementCapacities[5] * sizeof(BindingProperty)),
             SlabPool(kElementCapacities[6] * sizeof(BindingProperty)),
             SlabPool(kElementCapacities[7] * sizeof(BindingProperty)),
             SlabPool(kElementCapacities[8] * sizeof(BindingProperty)),
             SlabPool(kElementCapacities[9] * sizeof(BindingProperty))},
      heapBlocks_{&heapBlocks_, &heapBlocks_} {
  for (SlabPool& pool : pools_)
    pool.ShareArena(&arena_);
}

BindingStorage::~BindingStorage() {
  Reset();
}

BindingStorage::HeapLink* BindingStorage::NewHeapBlock(std::size_t bytes) {
  if (bytes > SIZE_MAX - sizeof(HeapLink))
    dul::FatalError("bytes", "Binding block too large", __FILE__, __LINE__, __func__);
  void* block = dul::CountingAllocate(sizeof(HeapLink) + bytes);
  if (block == nullptr)
    dul::FatalError("block != nullptr", "Out of memory for binding values", __FILE__, __LINE__,
                    __func__);
  return static_cast<HeapLink*>(block);
}

// The neighbours are patched after the move; the block's own links moved with it.
void* BindingStorage::ReallocateHeap(void* block, std::size_t bytes) {
  if (block == nullptr)
    return AllocateHeap(bytes);
  if (bytes > SIZE_MAX - sizeof(HeapLink))
    dul::FatalError("bytes", "Binding block too large", __FILE__, __LINE__, __func__);
  void* moved =
      dul::CountingReallocate(static_cast<HeapLink*>(block) - 1, sizeof(HeapLink) + bytes);
  if (moved == nullptr)
    dul::FatalError("moved != nullptr", "Out of memory for binding values", __FILE__, __LINE__,
                    __func__);
  auto* link = static_cast<HeapLink*>(moved);
  link->previous->next = link;
  link->next->previous = link;
  return link + 1;
}

void BindingStorage::FreeHeap(void* block) {
  if (block == nullptr)
    return;
  HeapLink* link = static_cast<HeapLink*>(block) - 1;
  link->previous->next = link->next;
  link->next->previous = link->previous;
  dul::CountingFree(link);
}

void BindingStorage::FreeUnlinkedHeap(void* block) {
  if (block != nullptr)
    dul::CountingFree(static_cast<HeapLink*>(block) - 1);
}

void BindingStorage::Reset() {
  for (HeapLink* link = heapBlocks_.next; link != &heapBlocks_;) {
    HeapLink* next = link->next;
    dul::CountingFree(link);
    link = next;
  }
  heapBlocks_ = {&heapBlocks_, &heapBlocks_};
  PageChain pages;
  texts_.Reset(pages);
  for (SlabPool& pool : pools_)
    pool.Reset(pages);
  PageSource::Instance().ReturnPages(pages);
  arena_.Reset();
}

}  // namespace Zorv
