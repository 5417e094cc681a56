#include "platform/page_memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace dul::platform {
namespace {

// Catches a backend that hands out unaligned, unwritable or non-zeroed memory: slabs find their
// header by clearing the low 12 bits of a block's address.
TEST(PageMemory, ReservedMemoryIsAlignedZeroedAndWritable) {
  constexpr std::size_t kBytes = 64 * 1024;
  auto* block = static_cast<unsigned char*>(ReserveMemory(kBytes));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % 4096, 0u);
  EXPECT_EQ(block[0], 0);
  EXPECT_EQ(block[kBytes - 1], 0);
  std::memset(block, 0xAB, kBytes);
  EXPECT_EQ(block[kBytes / 2], 0xAB);
  ReleaseMemory(block, kBytes);
}

}  // namespace
}  // namespace dul::platform
