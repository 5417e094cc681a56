// Peer: one of the platform's other services as the host simulates it. The host hands a peer
// each request it claims, already read out of the request record, and turns the answer into a
// response record.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "binding/binding_property.h"

namespace dul::host {

struct PeerRequest {
  std::uint32_t method = 0;  // the request record's code, 1 DELETE ... 7 PUT, 8 named
  std::string methodName;    // "GET" ..., the method text for 8, "" for an unknown code
  std::string path;          // the URL up to its first "?"
  std::string query;         // after the "?", empty when there is none
  std::string body;          // bytes; empty without a body
  std::string contentType;   // empty without a body
  // The plugin's answer is wanted as JSON text (PeerAnswer::bodyJson) rather than as a value:
  // for a client that only sends it on.
  bool answerAsJson = false;
};

// One read of a streamed body: its bytes, or a failed read. A chunk longer than the reader's
// buffer is handed out over several reads.
struct StreamChunk {
  std::string bytes;
  bool fails = false;
  std::uint32_t overstatedBy = 0;  // a broken stream: reports this many bytes more than it wrote
};

struct PeerAnswer {
  std::uint32_t status = 200;
  std::optional<std::string> errorText;
  std::optional<Zorv::BindingProperty> body;
  std::optional<std::string> bodyJson;  // instead of `body`, the body as compact JSON text
  std::optional<std::vector<StreamChunk>> stream;   // when set, the body is streamed
  std::optional<std::uint64_t> streamExpectedSize;  // default: the chunks' total size
  std::optional<std::uint32_t> garbledKind;         // a broken answer: a body record of this kind
  std::string allowedMethods;  // with a 405: what the path takes ("GET, PUT"), for Allow
  std::string fault;           // what a fault rule made of this answer; empty when none did

  static PeerAnswer Value(Zorv::BindingProperty body, std::uint32_t status = 200);
  // Parses `json`; text that is not JSON answers 500 with the parser's message.
  static PeerAnswer Json(std::string_view json, std::uint32_t status = 200);
  static PeerAnswer Error(std::uint32_t status, std::string text);
  // 405 naming the method, the path and the methods the path takes ("GET, PUT").
  static PeerAnswer MethodNotAllowed(std::string_view method, std::string_view path,
                                     std::string_view allowed);
  static PeerAnswer Streamed(std::vector<StreamChunk> chunks);
  // `json` in chunks of `chunkSize` bytes; with `failAfter`, that many chunks come, then a read
  // fails.
  static PeerAnswer StreamedJson(std::string_view json, std::size_t chunkSize,
                                 std::optional<std::size_t> failAfter = std::nullopt);
};

class Peer {
 public:
  virtual ~Peer() = default;
  virtual PeerAnswer Answer(const PeerRequest& request) = 0;
};

// Answers every request through one function and keeps what it was sent.
class ScriptedPeer : public Peer {
 public:
  using AnswerFunction = std::function<PeerAnswer(const PeerRequest&)>;
  explicit ScriptedPeer(AnswerFunction answer) : answer_(std::move(answer)) {}

  PeerAnswer Answer(const PeerRequest& request) override;
  std::vector<PeerRequest>& requests() { return requests_; }

 private:
  AnswerFunction answer_;
  std::vector<PeerRequest> requests_;
};

// Answers by exact path and method ("" for any method); anything else 404 "Not Found". Keeps
// what it was sent.
class MapPeer : public Peer {
 public:
  void Set(std::string method, std::string path, PeerAnswer answer);
  PeerAnswer Answer(const PeerRequest& request) override;
  std::vector<PeerRequest>& requests() { return requests_; }

 private:
  std::map<std::pair<std::string, std::string>, PeerAnswer> answers_;
  std::vector<PeerRequest> requests_;
};

}  // namespace dul::host
