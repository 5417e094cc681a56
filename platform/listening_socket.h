// Options for the sockets a server listens on.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace dul::platform {

// Lets a listening socket rebind its port right after an earlier process released it, but never
// share the port with another listener (no SO_REUSEPORT; on Windows SO_EXCLUSIVEADDRUSE), so a
// second server on the same port fails to bind instead of receiving half the connections.
// `socket` is the system's socket handle.
void UseAddressExclusively(std::uintptr_t socket);

// Lengthens the queue of connections a listening socket holds until they are accepted, so that a
// burst of connections is not dropped (a dropped connection tries again only after a second).
// Where the system keeps the length the socket first listened with (Windows), nothing changes.
void LengthenListenQueue(std::uintptr_t socket, int length);

// Why a server could not listen on 127.0.0.1:`port` now ("Address already in use"); nothing
// when it could. Tries with a socket of its own, closed again at once.
std::optional<std::string> LoopbackListenFailure(std::uint16_t port);

}  // namespace dul::platform
