#include "platform/listening_socket.h"

#include <winsock2.h>

namespace dul::platform {

void UseAddressExclusively(std::uintptr_t socket) {
  const BOOL on = TRUE;
  ::setsockopt(static_cast<SOCKET>(socket), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
               reinterpret_cast<const char*>(&on), sizeof on);
}

void LengthenListenQueue(std::uintptr_t socket, int length) {
  ::listen(static_cast<SOCKET>(socket), length);
}

}  // namespace dul::platform
