#include "binding/storage/slab_pool.h"

#include <initializer_list>

#include "foundation/allocation_counters.h"
#include "foundation/fatal_error.h"

namespace Zorv {

void SmallArena::Reset() {
  for (std::size_t i = 0; i < chunkCount_; ++i)
    dul::CountingFree(chunks_[i]);
  chunkCount_ = 0;
  cursor_ = end_ = nullptr;
}

// The rest of the current chunk is left unused: blocks are small beside the chunks.
bool SmallArena::AddChunk() {
  if (chunkCount_ == kChunks)
    return false;
  auto* chunk = static_cast<unsigned char*>(dul::CountingAllocate(kChunkBytes[chunkCount_]));
  if (chunk == nullptr)
    dul::FatalError("chunk != nullptr", "Out of memory for binding values", __FILE__, __LINE__,
                    __func__);
  chunks_[chunkCount_] = chunk;
  cursor_ = chunk;
  end_ = chunk + kChunkBytes[chunkCount_++];
  return true;
}

// A freed arena block, or a new one from the arena; null when neither is left.
void* SlabPool::TakeOutsideSlabs() {
  if (arenaFree_ != nullptr) {
    void* block = arenaFree_;
    std::memcpy(&arenaFree_, block, sizeof(arenaFree_));
    return block;
  }
  return arena_ != nullptr ? arena_->Take(blockSize_) : nullptr;
}

void SlabPool::Unlink(Slab* slab, Slab*& list) {
  if (slab->previous != nullptr)
    slab->previous->next = slab->next;
  else
    list = slab->next;
  if (slab->next != nullptr)
    slab->next->previous = slab->previous;
}

void SlabPool::Link(Slab* slab, Slab*& list) {
  slab->previous = nullptr;
  slab->next = list;
  if (list != nullptr)
    list->previous = slab;
  list = slab;
}

SlabPool::Slab* SlabPool::AddSlab() {
  Slab* slab = spare_;
  spare_ = nullptr;
  if (slab == nullptr) {
    slab = static_cast<Slab*>(PageSource::Instance().TakePage());
    if (slab == nullptr)
      dul::FatalError("page != nullptr", "Out of memory for binding values", __FILE__, __LINE__,
                      __func__);
  }
  slab->blocksInUse = 0;
  slab->firstFree = kNoBlock;
  slab->handedOut = 0;
  Link(slab, partial_);
  return slab;
}

void SlabPool::RetireSlab(Slab* slab) {
  Unlink(slab, partial_);
  if (spare_ == nullptr) {
    spare_ = slab;
    return;
  }
  PageSource::Instance().ReturnPage(slab);
}

void SlabPool::ReturnAllPages() {
  PageChain pages;
  Reset(pages);
  PageSource::Instance().ReturnPages(pages);
}

void SlabPool::Reset(PageChain& pages) {
  for (Slab* list : {partial_, full_}) {
    while (list != nullptr) {
      Slab* next = list->next;
      pages.Push(list);
      list = next;
    }
  }
  if (spare_ != nullptr)
    pages.Push(spare_);
  partial_ = full_ = spare_ = nullptr;
  arenaFree_ = nullptr;  // the arena itself is reset by its owner
}

}  // namespace Zorv
