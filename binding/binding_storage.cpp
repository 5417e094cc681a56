#include "binding/binding_storage.h"

#include <iterator>

#include "binding/binding_property.h"
#include "binding/member_map.h"
#include "runtime/allocation_counters.h"
#include "runtime/fatal_error.h"

namespace Zorv {

static_assert(std::size(kMemberChunkCapacities) == 7, "one pool per chunk size");
static_assert(MemberChunkBytes(kMemberChunkCapacities[6]) <= SlabPool::kLargestBlock);

BindingStorage::BindingStorage()
    : pools_{SlabPool(sizeof(BindingByteBlock)),
             SlabPool(sizeof(BindingEnumCell)),
             SlabPool(sizeof(BindingElementBlock)),
             SlabPool(sizeof(MemberMap)),
             SlabPool(sizeof(BindingProperty)),
             SlabPool(MemberChunkBytes(kMemberChunkCapacities[0])),
             SlabPool(MemberChunkBytes(kMemberChunkCapacities[1])),
             SlabPool(MemberChunkBytes(kMemberChunkCapacities[2])),
             SlabPool(MemberChunkBytes(kMemberChunkCapacities[3])),
             SlabPool(MemberChunkBytes(kMemberChunkCapacities[4])),
             SlabPool(MemberChunkBytes(kMemberChunkCapacities[5])),
             SlabPool(MemberChunkBytes(kMemberChunkCapacities[6])),
             SlabPool(2 * sizeof(BindingProperty)),
             SlabPool(4 * sizeof(BindingProperty)),
             SlabPool(8 * sizeof(BindingProperty)),
             SlabPool(16 * sizeof(BindingProperty)),
             SlabPool(kLargestPooledElements * sizeof(BindingProperty))},
      heapBlocks_{&heapBlocks_, &heapBlocks_} {}

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
}

}  // namespace Zorv
