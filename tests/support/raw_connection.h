// RawConnection: a bare TCP connection (to 127.0.0.1 unless told), for clients no HTTP library
// would play: one that never sends a request, or sends one and holds the connection open.
#pragma once

#include <httplib.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace dul::testing {

class RawConnection {
 public:
  // Reads and writes give up after `timeoutSeconds`.
  explicit RawConnection(std::uint16_t port, int timeoutSeconds = 10,
                         const std::string& address = "127.0.0.1") {
    httplib::Error error = httplib::Error::Success;
    socket_ = httplib::detail::create_client_socket(address, "", port, AF_INET, true, nullptr,
                                                    timeoutSeconds, 0, timeoutSeconds, 0,
                                                    timeoutSeconds, 0, "", error);
  }
  ~RawConnection() {
    if (open())
      httplib::detail::close_socket(socket_);
  }
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;

  bool open() const { return socket_ != INVALID_SOCKET; }

  bool Send(std::string_view text) {
    return open() && httplib::detail::send_socket(socket_, text.data(), text.size(), 0) ==
                         static_cast<ssize_t>(text.size());
  }

  // What arrives until `wanted` has come, the peer closes or a read times out.
  std::string ReadUntil(std::string_view wanted) {
    std::string text;
    char buffer[4096];
    while (open() && text.find(wanted) == std::string::npos) {
      const ssize_t got = httplib::detail::read_socket(socket_, buffer, sizeof buffer, 0);
      if (got <= 0)
        break;
      text.append(buffer, static_cast<std::size_t>(got));
    }
    return text;
  }

  // True when the peer closed the connection (rather than a read timing out).
  bool ClosedByPeer() {
    char byte = 0;
    return open() && httplib::detail::read_socket(socket_, &byte, 1, 0) == 0;
  }

 private:
  socket_t socket_ = INVALID_SOCKET;
};

}  // namespace dul::testing
