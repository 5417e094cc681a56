#include "host/http/http_front.h"

#include <httplib.h>

#include <chrono>
#include <exception>
#include <memory>
#include <utility>

#include "contract/request_method.h"
#include "host/app/http_translation.h"
#include "host/http/connection_threads.h"
#include "platform/clock.h"
#include "platform/listening_socket.h"

namespace dul::host {
namespace {

constexpr std::size_t kKeepAliveRequests = 10000;

}  // namespace

// Takes the reply's body over: a whole document is not copied once more on its way out.
void WriteReply(HttpReply reply, httplib::Response& response) {
  response.status = reply.status;
  if (!reply.allow.empty())
    response.set_header("Allow", reply.allow);
  if (reply.breaksMidway) {
    auto bytes = std::make_shared<std::string>(std::move(reply.body));
    response.set_chunked_content_provider(
        reply.contentType, [bytes](std::size_t offset, httplib::DataSink& sink) {
          // Whatever came before the failure goes out; then the connection breaks.
          return offset == 0 && !bytes->empty() && sink.write(bytes->data(), bytes->size());
        });
    return;
  }
  if (!reply.contentType.empty()) {
    response.body = std::move(reply.body);
    response.headers.erase("Content-Type");
    response.set_header("Content-Type", reply.contentType);
  }
}

namespace {

// Why the server refused a request before any handler saw it.
std::string RefusalText(const httplib::Request& request, int status) {
  const bool hasBody =
      request.method == "POST" || request.method == "PUT" || request.method == "PATCH";
  if (status == 400 && hasBody && !request.has_header("Content-Length") &&
      !request.has_header("Transfer-Encoding")) {
    return request.method + " needs a Content-Length header, 0 for no body (curl: -d '')";
  }
  if (status == 413 &&
      request.get_header_value("Content-Type").starts_with("application/x-www-form-urlencoded")) {
    return "A form-encoded body is limited to 8192 bytes (curl -d sends one: add "
           "-H 'Content-Type: application/json')";
  }
  if (status == 413)
    return "The body is larger than " + std::to_string(kLargestRequestBody) + " bytes";
  return std::string(StatusText(status));
}

bool ChangesState(const std::string& method) {
  return method == "POST" || method == "PUT" || method == "PATCH" || method == "DELETE";
}

PeerRequest PeerRequestOf(const httplib::Request& request) {
  PeerRequest peer;
  peer.methodName = request.method;
  peer.method = MethodCodeOf(request.method);
  peer.path = request.path;
  const std::size_t question = request.target.find('?');
  if (question != std::string::npos)
    peer.query = request.target.substr(question + 1);
  peer.body = request.body;
  peer.contentType = request.get_header_value("Content-Type");
  peer.answerAsJson = true;  // sent on as it is
  return peer;
}

}  // namespace

HttpFront::HttpFront(DevelopmentHost& host, EventJournal& journal, std::optional<AccessToken> token,
                     std::function<void()> requestShutdown)
    : host_(host),
      journal_(journal),
      token_(std::move(token)),
      requestShutdown_(std::move(requestShutdown)),
      server_(std::make_unique<httplib::Server>()) {
  Route();
}

HttpFront::~HttpFront() {
  Stop();
}

// A page of another site can make a browser send a request here (a form, a fetch without
// preflight); an Origin header tells such a request apart, and only the host's own may change
// anything. No request gets CORS headers, so no other page reads an answer either.
bool HttpFront::FromOwnOrigin(const httplib::Request& request, httplib::Response& response) const {
  if (!ChangesState(request.method) || !request.has_header("Origin"))
    return true;
  const std::string origin = request.get_header_value("Origin");
  const std::string port = std::to_string(port_.load());
  if (origin == "http://127.0.0.1:" + port || origin == "http://localhost:" + port)
    return true;
  WriteReply(ErrorReply(403, "Origin " + origin +
                                 " may not change anything here; only http://127.0.0.1:" + port +
                                 " and http://localhost:" + port + " may"),
             response);
  return false;
}

bool HttpFront::Authorized(const httplib::Request& request, httplib::Response& response) const {
  if (!token_ || token_->Authorizes(request.get_header_value("Authorization")))
    return true;
  response.set_header("WWW-Authenticate", "Basic realm=\"dul-host\"");
  WriteReply(ErrorReply(401, request.has_header("Authorization")
                                 ? "The token sent is not this host's: this host's token changes "
                                   "at every start: read host.json again"
                                 : "A token is required: Authorization: Bearer TOKEN (see "
                                   "host.json)"),
             response);
  return false;
}

void HttpFront::Route() {
  httplib::Server& server = *server_;
  server.new_task_queue = [] { return new ConnectionThreads(kConnectionThreadLimit); };
  server.set_payload_max_length(kLargestRequestBody);
  server.set_keep_alive_max_count(kKeepAliveRequests);
  // A connection holds a thread while open: one that sends nothing gives it back soon.
  server.set_keep_alive_timeout(kIdleConnectionSeconds);
  server.set_read_timeout(kStalledReadSeconds, 0);
  server.set_write_timeout(kStalledWriteSeconds, 0);
  // An answer leaves in more than one write; without this, the client's delayed acknowledgement
  // holds the last one back some 40 ms on every kept-alive connection.
  server.set_tcp_nodelay(true);
  // The library's default also asks for a shared port: a second host on the same port would
  // bind too and receive a share of the requests.
  server.set_socket_options([this](auto socket) {
    listeningSocket_ = static_cast<std::uintptr_t>(socket);
    platform::UseAddressExclusively(*listeningSocket_);
  });
  // Refused before the body is read: another site's page, no token, or a path the plugin could
  // misread.
  server.set_pre_routing_handler(
      [this](const httplib::Request& request, httplib::Response& response) {
        if (ServePage(request, response) || !FromOwnOrigin(request, response) ||
            !Authorized(request, response))
          return httplib::Server::HandlerResponse::Handled;
        if (IsAcceptablePath(request.path))
          return httplib::Server::HandlerResponse::Unhandled;
        WriteReply(ErrorReply(400, "The path must start with \"/\" and hold no control character"),
                   response);
        return httplib::Server::HandlerResponse::Handled;
      });
  // The server's own refusals (413, 414, 400 for a malformed request ...) get the error body.
  server.set_error_handler(httplib::Server::HandlerWithResponse(
      [](const httplib::Request& request, httplib::Response& response) {
        if (!response.body.empty())
          return httplib::Server::HandlerResponse::Unhandled;
        WriteReply(ErrorReply(response.status, RefusalText(request, response.status)), response);
        return httplib::Server::HandlerResponse::Handled;
      }));
  server.set_exception_handler(
      [](const httplib::Request&, httplib::Response& response, std::exception_ptr failure) {
        std::string message = "Internal error";
        try {
          std::rethrow_exception(failure);
        } catch (const std::exception& error) {
          message += std::string(": ") + error.what();
        }
        WriteReply(ErrorReply(500, message), response);
      });
  const auto handler = [this](const httplib::Request& request, httplib::Response& response) {
    const std::int64_t start = platform::MonotonicNanoseconds();
    if (request.path.starts_with(kHostResourcePrefix))
      ServeHostResource(request, response);
    else
      ServeForward(request, response);
    handlerNanoseconds_ += static_cast<std::uint64_t>(platform::MonotonicNanoseconds() - start);
    handledRequests_++;
  };
  server.Get(".*", handler);
  server.Post(".*", handler);
  server.Put(".*", handler);
  server.Patch(".*", handler);
  server.Delete(".*", handler);
  server.Options(".*", handler);
}

std::optional<std::uint16_t> HttpFront::Listen(std::uint16_t port) {
  int bound = port;
  if (port == 0)
    bound = server_->bind_to_any_port("127.0.0.1");
  else if (!server_->bind_to_port("127.0.0.1", port))
    bound = -1;
  if (bound <= 0 || bound > 65535)
    return std::nullopt;
  port_ = static_cast<std::uint16_t>(bound);
  if (listeningSocket_)
    platform::LengthenListenQueue(*listeningSocket_, kListenQueueLength);
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  // A stop before the server runs would be missed and leave it listening for ever.
  for (int i = 0; i < 5000 && !server_->is_running(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return static_cast<std::uint16_t>(bound);
}

void HttpFront::Stop() {
  closing_->store(true);  // event streams end, so the server's threads can be joined
  server_->stop();
  if (thread_.joinable())
    thread_.join();
}

void HttpFront::ServeForward(const httplib::Request& request, httplib::Response& response) {
  WriteReply(ReplyFor(host_.Handle(PeerRequestOf(request))), response);
}

}  // namespace dul::host
