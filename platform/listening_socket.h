// Options for the sockets a server listens on.
#pragma once

#include <cstdint>

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

}  // namespace dul::platform
