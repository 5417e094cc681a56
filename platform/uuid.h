// Random (version 4) UUIDs from the operating system.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace dul::platform {

// 16 bytes in the Windows in-memory order of a GUID; nothing when the system cannot create one.
std::optional<std::array<std::uint8_t, 16>> CreateRandomUuid();

}  // namespace dul::platform
