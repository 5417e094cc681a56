// Read/write memory straight from the operating system, for allocators that manage pages
// themselves. Blocks are aligned to at least 4 KiB.
#pragma once

#include <cstddef>

namespace dul::platform {

// Reserves and commits `bytes` of zeroed read/write memory; null when the system refuses.
void* ReserveMemory(std::size_t bytes);

// Gives back a block from ReserveMemory; `bytes` is the size it was reserved with.
void ReleaseMemory(void* block, std::size_t bytes);

}  // namespace dul::platform
