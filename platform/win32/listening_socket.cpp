#include "platform/listening_socket.h"

#include <winsock2.h>

#include <string>

namespace dul::platform {

void UseAddressExclusively(std::uintptr_t socket) {
  const BOOL on = TRUE;
  ::setsockopt(static_cast<SOCKET>(socket), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
               reinterpret_cast<const char*>(&on), sizeof on);
}

void LengthenListenQueue(std::uintptr_t socket, int length) {
  ::listen(static_cast<SOCKET>(socket), length);
}

std::optional<std::string> LoopbackListenFailure(std::uint16_t port) {
  WSADATA data;
  if (::WSAStartup(MAKEWORD(2, 2), &data) != 0)
    return std::string("Windows sockets cannot start");
  std::optional<std::string> failure;
  const SOCKET handle = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (handle == INVALID_SOCKET) {
    failure = "system error " + std::to_string(::WSAGetLastError());
  } else {
    UseAddressExclusively(static_cast<std::uintptr_t>(handle));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = ::htons(port);
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    if (::bind(handle, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(handle, 1) != 0) {
      failure = ::WSAGetLastError() == WSAEADDRINUSE
                    ? "Address already in use"
                    : "system error " + std::to_string(::WSAGetLastError());
    }
    ::closesocket(handle);
  }
  ::WSACleanup();
  return failure;
}

}  // namespace dul::platform
