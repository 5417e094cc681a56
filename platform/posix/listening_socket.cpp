#include "platform/listening_socket.h"

#include <sys/socket.h>

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

}  // namespace dul::platform
