#include "binding/storage/page_source.h"

#include <new>

#include "foundation/allocation_counters.h"
#include "platform/page_memory.h"

namespace Zorv {
namespace {

void*& NextPage(void* page) {
  return *static_cast<void**>(page);
}

}  // namespace

PageSource& PageSource::Instance() {
  alignas(PageSource) static unsigned char place[sizeof(PageSource)];
  static PageSource* const instance = new (place) PageSource();
  return *instance;
}

void* PageSource::TakePage() {
  dul::platform::MutexLock lock(mutex_);
  if (freePages_ == nullptr) {
    auto* chunk = static_cast<unsigned char*>(dul::platform::ReserveMemory(kChunkSize));
    if (chunk == nullptr)
      return nullptr;
    for (std::size_t page = 0; page < kPagesPerChunk; ++page)
      NextPage(chunk + page * kPageSize) =
          page + 1 < kPagesPerChunk ? chunk + (page + 1) * kPageSize : nullptr;
    freePages_ = chunk;
    pagesReserved_ += kPagesPerChunk;
  }
  void* page = freePages_;
  freePages_ = NextPage(page);
  ++pagesInUse_;
  dul::CountPagesTaken(kPageSize);
  return page;
}

void PageSource::ReturnPages(const PageChain& pages) {
  if (pages.first == nullptr)
    return;
  dul::platform::MutexLock lock(mutex_);
  NextPage(pages.last) = freePages_;
  freePages_ = pages.first;
  pagesInUse_ -= pages.count;
  dul::CountPagesReturned(kPageSize, pages.count);
}

void PageSource::ReturnPage(void* page) {
  PageChain chain;
  chain.Push(page);
  ReturnPages(chain);
}

std::size_t PageSource::PagesInUse() {
  dul::platform::MutexLock lock(mutex_);
  return pagesInUse_;
}

std::size_t PageSource::PagesReserved() {
  dul::platform::MutexLock lock(mutex_);
  return pagesReserved_;
}

}  // namespace Zorv
