// Unpredictable bytes from the operating system, for secrets such as access tokens.
#pragma once

#include <cstdint>
#include <span>

namespace dul::platform {

// Fills `bytes` from the system's cryptographic random source; false when it cannot.
bool FillRandomBytes(std::span<std::uint8_t> bytes);

}  // namespace dul::platform
