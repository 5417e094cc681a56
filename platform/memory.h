// Raw memory of the C runtime and of the operating system.
#pragma once

#include <cstddef>

namespace dul::platform {

// Size of a block from the C runtime's malloc, as the runtime reports it (0 for null).
std::size_t MallocBlockSize(void* block);

}  // namespace dul::platform
