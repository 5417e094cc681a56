#include "platform/page_memory.h"

#include <sys/mman.h>

namespace dul::platform {

void* ReserveMemory(std::size_t bytes) {
  void* block = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return block == MAP_FAILED ? nullptr : block;
}

void ReleaseMemory(void* block, std::size_t bytes) {
  if (block != nullptr)
    ::munmap(block, bytes);
}

}  // namespace dul::platform
