#include "platform/random_bytes.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace dul::platform {

bool FillRandomBytes(std::span<std::uint8_t> bytes) {
  const int descriptor = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  if (descriptor < 0)
    return false;
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
  return filled == bytes.size();
}

}  // namespace dul::platform
