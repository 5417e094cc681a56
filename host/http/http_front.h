// HttpFront: dul-host's HTTP server on 127.0.0.1. Every request must carry the access token
// (unless authentication is off). Requests for the plugin's endpoints and the services' paths go
// to the DevelopmentHost; "/dul-host/v1/" holds the host's own resources: status, version, sync,
// events (a Server-Sent Events stream), faults, clock/advance, shutdown and openapi.json (the
// OpenAPI document of every route, data/openapi.json with the plugin's endpoints added).
//
// A request that changes anything (POST, PUT, PATCH, DELETE) with an Origin header other than
// the host's own (http://127.0.0.1:PORT, http://localhost:PORT) is refused with 403; no answer
// carries CORS headers.
//
// "/" and "/page/..." serve the editor page's files without the token: they hold no data, and
// the page sends the token (taken from the address's fragment) on each call it makes.
//
// Error answers carry {"httpStatus": N, "message": "..."}. Bodies above kLargestRequestBody are
// refused with 413 before they are read.
//
// Each open connection holds one server thread (cpp-httplib's model), at most
// kConnectionThreadLimit; a connection idle for kIdleConnectionSeconds is closed, and at most
// kEventStreamLimit event streams are open at once (503 with Retry-After beyond), so idle clients
// and streams cannot take every thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "host/app/access_token.h"
#include "host/app/development_host.h"
#include "host/app/event_journal.h"
#include "host/app/http_translation.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace dul::host {

// Room for a document of some ten thousand sets, the largest a player is expected to keep.
inline constexpr std::size_t kLargestRequestBody = 32 * 1024 * 1024;
inline constexpr std::string_view kHostResourcePrefix = "/dul-host/v1/";
inline constexpr std::size_t kConnectionThreadLimit = 320;
inline constexpr std::size_t kEventStreamLimit = 64;
// Waiting for a request (the first one or the next on a kept-alive connection).
inline constexpr int kIdleConnectionSeconds = 2;
// Waiting for the next bytes of a request begun, or for a client to take the answer's bytes.
inline constexpr int kStalledReadSeconds = 5;
inline constexpr int kStalledWriteSeconds = 5;
inline constexpr int kEventStreamRetrySeconds = 5;
// Connections waiting to be accepted; the server library listens with 5, which a burst of idle
// connections fills, and a dropped connection waits a second before it tries again.
inline constexpr int kListenQueueLength = 1024;

// Writes a reply into the server's response, taking its body over.
void WriteReply(HttpReply reply, httplib::Response& response);

class HttpFront {
 public:
  // `token` null: no authentication. `requestShutdown` is called by POST /dul-host/v1/shutdown;
  // whoever owns the host then stops it.
  HttpFront(DevelopmentHost& host, EventJournal& journal, std::optional<AccessToken> token,
            std::function<void()> requestShutdown);
  ~HttpFront();
  HttpFront(const HttpFront&) = delete;
  HttpFront& operator=(const HttpFront&) = delete;

  // Binds 127.0.0.1:`port` (0: a free port) and serves on a thread of its own; the port bound,
  // or nothing when it cannot bind.
  std::optional<std::uint16_t> Listen(std::uint16_t port);
  // Stops accepting, lets the requests in progress end, and joins the server's threads.
  void Stop();

  // Time spent in the request handlers (HTTP parsing and writing excluded), for comparison with
  // the time spent in the plugin.
  std::uint64_t handlerNanoseconds() const { return handlerNanoseconds_.load(); }
  std::uint64_t handledRequests() const { return handledRequests_.load(); }

 private:
  void Route();
  bool FromOwnOrigin(const httplib::Request& request, httplib::Response& response) const;
  bool Authorized(const httplib::Request& request, httplib::Response& response) const;
  bool ServePage(const httplib::Request& request, httplib::Response& response) const;
  void ServeForward(const httplib::Request& request, httplib::Response& response);
  void ServeHostResource(const httplib::Request& request, httplib::Response& response);
  void ServeEvents(const httplib::Request& request, httplib::Response& response);
  void ServeFaults(const httplib::Request& request, httplib::Response& response);
  void ServeAdvance(const httplib::Request& request, httplib::Response& response);
  void ServeShutdown(httplib::Response& response);

  DevelopmentHost& host_;
  EventJournal& journal_;
  std::optional<AccessToken> token_;
  std::function<void()> requestShutdown_;
  std::unique_ptr<httplib::Server> server_;
  std::atomic<std::uint16_t> port_{0};
  std::optional<std::uintptr_t> listeningSocket_;  // seen while the server sets it up
  std::thread thread_;
  std::shared_ptr<std::atomic<bool>> closing_ = std::make_shared<std::atomic<bool>>(false);
  std::atomic<std::uint64_t> handlerNanoseconds_{0};
  std::atomic<std::uint64_t> handledRequests_{0};
  std::shared_ptr<std::atomic<std::size_t>> openStreams_ =
      std::make_shared<std::atomic<std::size_t>>(0);
};

}  // namespace dul::host
