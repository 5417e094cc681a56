#include "platform/memory.h"

#include <malloc.h>

namespace dul::platform {

std::size_t MallocBlockSize(void* block) {
  return block == nullptr ? 0 : ::_msize(block);
}

}  // namespace dul::platform
