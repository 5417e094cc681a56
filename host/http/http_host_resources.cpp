// The host's own resources under "/dul-host/v1/": status, version, sync, events, faults,
// clock/advance, shutdown and openapi.json.
#include <httplib.h>

#include <charconv>
#include <chrono>
#include <memory>
#include <string>

#include "binding/binding_result.h"
#include "codecs/json_reader.h"
#include "codecs/json_writer.h"
#include "host/app/http_translation.h"
#include "host/http/http_front.h"
#include "host/services/service_answers.h"

namespace dul::host {
namespace {

using Clock = std::chrono::steady_clock;

// A silent stream sends a comment this often, so a client that went away is noticed.
constexpr auto kKeepAliveInterval = std::chrono::seconds(15);
constexpr auto kJournalWait = std::chrono::milliseconds(500);
constexpr double kShutdownWaitSeconds = 30.0;

void WrongMethod(const httplib::Request& request, const char* allowed,
                 httplib::Response& response) {
  WriteReply(ReplyFor(PeerAnswer::MethodNotAllowed(request.method, request.path, allowed)),
             response);
}

// The request's JSON body; nothing, with a 400 written, when it is not JSON.
std::optional<Zorv::BindingProperty> JsonBody(const httplib::Request& request,
                                              httplib::Response& response) {
  if (const std::string type = request.get_header_value("Content-Type");
      !request.body.empty() && !IsJsonBodyType(type)) {
    WriteReply(ReplyFor(UnsupportedBodyType(type)), response);
    return std::nullopt;
  }
  Zorv::BindingResult parsed = Zorv::ParseJson(request.body);
  if (parsed.ok() && !parsed.value().IsEmpty())
    return parsed.TakeValue();
  WriteReply(
      ErrorReply(400, parsed.ok() ? "A JSON body is required"
                                  : "The body is not JSON: " + std::string(parsed.ErrorText())),
      response);
  return std::nullopt;
}

std::optional<double> NumberOf(const Zorv::BindingProperty& value) {
  switch (value.Kind()) {
    case Zorv::BindingPropertyKind::kUnsigned:
      return static_cast<double>(value.GetUnsigned(0));
    case Zorv::BindingPropertyKind::kSigned:
      return static_cast<double>(value.GetSigned(0));
    case Zorv::BindingPropertyKind::kFloat:
      return value.GetDouble(0.0);
    default:
      return std::nullopt;
  }
}

// Last-Event-ID: decimal digits; nothing for anything else.
std::optional<std::uint64_t> EventIdOf(const std::string& text) {
  std::uint64_t id = 0;
  const char* end = text.data() + text.size();
  const auto [stop, failure] = std::from_chars(text.data(), end, id);
  if (text.empty() || failure != std::errc() || stop != end)
    return std::nullopt;
  return id;
}

// Tells a reader whose Last-Event-ID is another run's that ids began again at `firstId` (the
// host restarted): what follows is everything this run still holds. It has no id, so the
// reader's last id stays as it was until the next event.
std::string ResetEvent(std::uint64_t firstId) {
  Zorv::BindingProperty data;
  data.Member("firstId") = firstId;
  data.Member("message") =
      "Last-Event-ID is not an id of this run of dul-host, which has restarted; the events this "
      "run still holds follow";
  return "event: reset\ndata: " + Zorv::WriteJson(data, nullptr, nullptr) + "\n\n";
}

// One of the kEventStreamLimit places for an open stream, given back when the stream ends.
class StreamPlace {
 public:
  static std::unique_ptr<StreamPlace> Take(std::shared_ptr<std::atomic<std::size_t>> open) {
    if (open->fetch_add(1) >= kEventStreamLimit) {
      open->fetch_sub(1);
      return nullptr;
    }
    return std::unique_ptr<StreamPlace>(new StreamPlace(std::move(open)));
  }
  ~StreamPlace() { open_->fetch_sub(1); }
  StreamPlace(const StreamPlace&) = delete;
  StreamPlace& operator=(const StreamPlace&) = delete;

 private:
  explicit StreamPlace(std::shared_ptr<std::atomic<std::size_t>> open) : open_(std::move(open)) {}
  std::shared_ptr<std::atomic<std::size_t>> open_;
};

// Streams the journal from `cursor` on until the journal closes or the client goes.
class EventStream {
 public:
  EventStream(EventJournal& journal, std::uint64_t cursor,
              std::shared_ptr<const std::atomic<bool>> closing, std::unique_ptr<StreamPlace> place)
      : journal_(journal),
        cursor_(cursor),
        closing_(std::move(closing)),
        place_(std::move(place)) {}

  bool Next(httplib::DataSink& sink) {
    if (!greeted_) {
      // At once, so the client knows the stream is open before any event comes.
      greeted_ = true;
      static constexpr std::string_view kGreeting = ": dul-host events\n\n";
      return sink.write(kGreeting.data(), kGreeting.size());
    }
    const JournalRead read = journal_.ReadAfter(cursor_, kJournalWait);
    std::string text;
    if (read.reset)
      text += ResetEvent(journal_.firstId());
    if (read.missed > 0) {
      text += ": " + std::to_string(read.missed) +
              " events left the backlog before they could be sent\n\n";
    }
    for (const JournalEntry& entry : read.entries) {
      text += FormatServerSentEvent(entry);
      cursor_ = entry.id;
    }
    if (text.empty() && Clock::now() - lastWrite_ >= kKeepAliveInterval)
      text = ": keep-alive\n\n";
    if (!text.empty()) {
      lastWrite_ = Clock::now();
      if (!sink.write(text.data(), text.size()))
        return false;
    }
    if (read.closed || closing_->load())
      sink.done();
    return true;
  }

 private:
  EventJournal& journal_;
  std::uint64_t cursor_;
  std::shared_ptr<const std::atomic<bool>> closing_;
  std::unique_ptr<StreamPlace> place_;
  Clock::time_point lastWrite_ = Clock::now();
  bool greeted_ = false;
};

}  // namespace

void HttpFront::ServeHostResource(const httplib::Request& request, httplib::Response& response) {
  const std::string_view name = std::string_view(request.path).substr(kHostResourcePrefix.size());
  const std::string& method = request.method;
  if (name == "status") {
    method == "GET" ? WriteReply(ReplyFor(host_.Status()), response)
                    : WrongMethod(request, "GET", response);
  } else if (name == "version") {
    method == "GET" ? WriteReply(ReplyFor(host_.Version()), response)
                    : WrongMethod(request, "GET", response);
  } else if (name == "sync") {
    method == "GET" ? WriteReply(ReplyFor(host_.Sync()), response)
                    : WrongMethod(request, "GET", response);
  } else if (name == "events") {
    method == "GET" ? ServeEvents(request, response) : WrongMethod(request, "GET", response);
  } else if (name == "faults") {
    ServeFaults(request, response);
  } else if (name == "clock/advance") {
    method == "POST" ? ServeAdvance(request, response) : WrongMethod(request, "POST", response);
  } else if (name == "shutdown") {
    method == "POST" ? ServeShutdown(response) : WrongMethod(request, "POST", response);
  } else if (name == "openapi.json") {
    const std::string serverUrl = "http://127.0.0.1:" + std::to_string(port_.load());
    method == "GET" ? WriteReply(ReplyFor(host_.ApiDescription(serverUrl)), response)
                    : WrongMethod(request, "GET", response);
  } else {
    WriteReply(ErrorReply(404, "No such host resource: " + request.path), response);
  }
}

void HttpFront::ServeEvents(const httplib::Request& request, httplib::Response& response) {
  std::uint64_t cursor = journal_.newestId();
  if (request.has_header("Last-Event-ID")) {
    const std::optional<std::uint64_t> lastSeen =
        EventIdOf(request.get_header_value("Last-Event-ID"));
    if (!lastSeen) {
      WriteReply(ErrorReply(400, "Last-Event-ID must be a decimal event id"), response);
      return;
    }
    cursor = *lastSeen;
  }
  std::unique_ptr<StreamPlace> place = StreamPlace::Take(openStreams_);
  if (!place) {
    response.set_header("Retry-After", std::to_string(kEventStreamRetrySeconds));
    WriteReply(ErrorReply(503, std::to_string(kEventStreamLimit) +
                                   " event streams are open already; close one or retry later"),
               response);
    return;
  }
  auto stream = std::make_shared<EventStream>(journal_, cursor, closing_, std::move(place));
  response.set_header("Cache-Control", "no-cache");
  response.set_chunked_content_provider(
      "text/event-stream",
      [stream](std::size_t, httplib::DataSink& sink) { return stream->Next(sink); });
}

void HttpFront::ServeFaults(const httplib::Request& request, httplib::Response& response) {
  if (request.method == "GET") {
    WriteReply(ReplyFor(host_.ListFaultRules()), response);
  } else if (request.method == "DELETE") {
    WriteReply(ReplyFor(host_.ClearFaultRules()), response);
  } else if (request.method == "PUT") {
    // The rules' own reader refuses anything but a list of sound rules, with the reason.
    if (const std::optional<Zorv::BindingProperty> rules = JsonBody(request, response))
      WriteReply(ReplyFor(host_.SetFaultRules(*rules)), response);
  } else {
    WrongMethod(request, "GET, PUT, DELETE", response);
  }
}

void HttpFront::ServeAdvance(const httplib::Request& request, httplib::Response& response) {
  const std::optional<Zorv::BindingProperty> body = JsonBody(request, response);
  if (!body)
    return;
  const std::optional<double> seconds = NumberOf(body->Find("seconds"));
  if (body->Kind() != Zorv::BindingPropertyKind::kStructure || !seconds) {
    WriteReply(ErrorReply(400, "The body is {\"seconds\": S}"), response);
    return;
  }
  WriteReply(ReplyFor(host_.Advance(*seconds)), response);
}

void HttpFront::ServeShutdown(httplib::Response& response) {
  requestShutdown_();
  // The answer waits for the plugin's destroy, so the caller knows nothing is written any more.
  if (host_.WaitUntilStopped(kShutdownWaitSeconds)) {
    Zorv::BindingProperty body;
    body.Member("message") = "The plugin was destroyed; dul-host exits";
    WriteReply(ReplyFor(PeerAnswer::Value(std::move(body))), response);
  } else {
    WriteReply(ErrorReply(503, "The plugin is still being destroyed"), response);
  }
}

}  // namespace dul::host
