#include "platform/uuid.h"

#include <windows.h>

#include <rpc.h>

#include <cstring>

namespace dul::platform {

std::optional<std::array<std::uint8_t, 16>> CreateRandomUuid() {
  UUID uuid{};
  if (::UuidCreate(&uuid) != RPC_S_OK)
    return std::nullopt;
  std::array<std::uint8_t, 16> bytes{};
  static_assert(sizeof(uuid) == 16);
  std::memcpy(bytes.data(), &uuid, bytes.size());
  return bytes;
}

}  // namespace dul::platform
