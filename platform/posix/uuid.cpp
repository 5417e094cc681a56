#include "platform/uuid.h"

#include "platform/random_bytes.h"

namespace dul::platform {

std::optional<std::array<std::uint8_t, 16>> CreateRandomUuid() {
  std::array<std::uint8_t, 16> bytes{};
  if (!FillRandomBytes(bytes))
    return std::nullopt;
  // A GUID keeps its first three fields little-endian in memory: the version nibble is the high
  // nibble of the 16-bit field at bytes 6-7, that is byte 7; the variant sits in byte 8.
  bytes[7] = static_cast<std::uint8_t>((bytes[7] & 0x0F) | 0x40);
  bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);
  return bytes;
}

}  // namespace dul::platform
