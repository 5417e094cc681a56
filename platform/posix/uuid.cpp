#include "platform/uuid.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace dul::platform {

std::optional<std::array<std::uint8_t, 16>> CreateRandomUuid() {
  std::array<std::uint8_t, 16> bytes{};
  const int descriptor = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  if (descriptor < 0)
    return std::nullopt;
  std::size_t filled = 0;
  while (filled < bytes.size()) {
    const ssize_t got = ::read(descriptor, bytes.data() + filled, bytes.size() - filled);
    if (got < 0 && errno == EINTR)
      continue;
    if (got <= 0)
      break;
    filled += static_cast<std::size_t>(got);
  }
  ::close(descriptor);
  if (filled != bytes.size())
    return std::nullopt;
  // A GUID keeps its first three fields little-endian in memory: the version nibble is the high
  // nibble of the 16-bit field at bytes 6-7, that is byte 7; the variant sits in byte 8.
  bytes[7] = static_cast<std::uint8_t>((bytes[7] & 0x0F) | 0x40);
  bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);
  return bytes;
}

}  // namespace dul::platform
