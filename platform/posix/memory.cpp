#include "platform/memory.h"

#include <malloc.h>

namespace dul::platform {

std::size_t MallocBlockSize(void* block) {
  return block == nullptr ? 0 : ::malloc_usable_size(block);
}

}  // namespace dul::platform
