// PageSource: the process-wide supplier of 4 KiB pages for the slab pools of every binding
// storage. It takes 64 KiB at a time from the operating system, cuts it into sixteen pages and
// hands pages out from a free list under one mutex. Pages handed back are kept for reuse for the
// life of the process; the object itself is never destroyed, so values that outlive static
// destruction still find their pages.
#pragma once

#include <cstddef>

#include "platform/mutex.h"

namespace Zorv {

// Pages on their way back to the source, linked through their first word.
struct PageChain {
  void* first = nullptr;
  void* last = nullptr;
  std::size_t count = 0;

  void Push(void* page) {
    *static_cast<void**>(page) = first;
    first = page;
    if (last == nullptr)
      last = page;
    ++count;
  }
};

class PageSource {
 public:
  static constexpr std::size_t kPageSize = 4096;
  static constexpr std::size_t kChunkSize = 64 * 1024;
  static constexpr std::size_t kPagesPerChunk = kChunkSize / kPageSize;

  static PageSource& Instance();

  // A page aligned to kPageSize, or null when the operating system refuses more memory.
  void* TakePage();
  void ReturnPages(const PageChain& pages);
  void ReturnPage(void* page);

  std::size_t PagesInUse();
  std::size_t PagesReserved();

 private:
  PageSource() = default;

  dul::platform::Mutex mutex_;
  void* freePages_ = nullptr;
  std::size_t pagesInUse_ = 0;
  std::size_t pagesReserved_ = 0;
};

}  // namespace Zorv
