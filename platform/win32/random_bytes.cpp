#include "platform/random_bytes.h"

#include <windows.h>

#include <bcrypt.h>

namespace dul::platform {

bool FillRandomBytes(std::span<std::uint8_t> bytes) {
  constexpr std::size_t kLargestRequest = 0x10000000;
  while (!bytes.empty()) {
    const std::size_t count = bytes.size() < kLargestRequest ? bytes.size() : kLargestRequest;
    if (!BCRYPT_SUCCESS(::BCryptGenRandom(nullptr, bytes.data(), static_cast<ULONG>(count),
                                          BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
      return false;
    }
    bytes = bytes.subspan(count);
  }
  return true;
}

}  // namespace dul::platform
