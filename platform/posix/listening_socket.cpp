#include "platform/listening_socket.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace dul::platform {

void UseAddressExclusively(std::uintptr_t socket) {
  const int descriptor = static_cast<int>(socket);
  const int on = 1;
  ::setsockopt(descriptor, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
#ifdef SO_REUSEPORT
  const int off = 0;
  ::setsockopt(descriptor, SOL_SOCKET, SO_REUSEPORT, &off, sizeof off);
#endif
}

void LengthenListenQueue(std::uintptr_t socket, int length) {
  ::listen(static_cast<int>(socket), length);  // a second listen sets the new length
}

std::optional<std::string> LoopbackListenFailure(std::uint16_t port) {
  const int descriptor = ::socket(AF_INET, SOCK_STREAM, 0);
  if (descriptor < 0)
    return std::string(std::strerror(errno));
  UseAddressExclusively(static_cast<std::uintptr_t>(descriptor));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::optional<std::string> failure;
  if (::bind(descriptor, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(descriptor, 1) != 0) {
    failure = std::strerror(errno);
  }
  ::close(descriptor);
  return failure;
}

}  // namespace dul::platform
