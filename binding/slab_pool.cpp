#include "binding/slab_pool.h"

#include <initializer_list>

#include "runtime/fatal_error.h"

namespace Zorv {

SlabPool::SlabPool(std::size_t blockSize)
    : blockSize_(static_cast<std::uint16_t>((blockSize + 7) / 8 * 8)),
      blocksPerSlab_(
          static_cast<std::uint16_t>((PageSource::kPageSize - kHeaderBytes) / blockSize_)) {}

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

SlabPool::~SlabPool() {
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
}

}  // namespace Zorv
