#include "platform/page_memory.h"

#include <windows.h>

namespace dul::platform {

void* ReserveMemory(std::size_t bytes) {
  return ::VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void ReleaseMemory(void* block, std::size_t) {
  if (block != nullptr)
    ::VirtualFree(block, 0, MEM_RELEASE);
}

}  // namespace dul::platform
