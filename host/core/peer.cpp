#include "host/core/peer.h"

#include <algorithm>

#include "binding/binding_result.h"
#include "codecs/json_reader.h"

namespace dul::host {

PeerAnswer PeerAnswer::Value(Zorv::BindingProperty body, std::uint32_t status) {
  PeerAnswer answer;
  answer.status = status;
  answer.body = std::move(body);
  return answer;
}

PeerAnswer PeerAnswer::Json(std::string_view json, std::uint32_t status) {
  Zorv::BindingResult parsed = Zorv::ParseJson(json);
  if (!parsed.ok())
    return Error(500, std::string(parsed.ErrorText()));
  return Value(parsed.TakeValue(), status);
}

PeerAnswer PeerAnswer::Error(std::uint32_t status, std::string text) {
  PeerAnswer answer;
  answer.status = status;
  answer.errorText = std::move(text);
  return answer;
}

PeerAnswer PeerAnswer::MethodNotAllowed(std::string_view method, std::string_view path,
                                        std::string_view allowed) {
  PeerAnswer answer =
      Error(405, "Method " + std::string(method) + " is not allowed on " + std::string(path) +
                     " (allowed: " + std::string(allowed) + ")");
  answer.allowedMethods = allowed;
  return answer;
}

PeerAnswer PeerAnswer::Streamed(std::vector<StreamChunk> chunks) {
  PeerAnswer answer;
  answer.stream = std::move(chunks);
  return answer;
}

PeerAnswer PeerAnswer::StreamedJson(std::string_view json, std::size_t chunkSize,
                                    std::optional<std::size_t> failAfter) {
  std::vector<StreamChunk> chunks;
  const std::size_t step = std::max<std::size_t>(chunkSize, 1);
  for (std::size_t offset = 0; offset < json.size(); offset += step) {
    if (failAfter && chunks.size() == *failAfter)
      break;
    chunks.push_back(StreamChunk{std::string(json.substr(offset, step))});
  }
  if (failAfter)
    chunks.push_back(StreamChunk{{}, true});
  PeerAnswer answer = Streamed(std::move(chunks));
  answer.streamExpectedSize = json.size();
  return answer;
}

PeerAnswer ScriptedPeer::Answer(const PeerRequest& request) {
  requests_.push_back(request);
  return answer_(request);
}

void MapPeer::Set(std::string method, std::string path, PeerAnswer answer) {
  answers_.insert_or_assign({std::move(method), std::move(path)}, std::move(answer));
}

PeerAnswer MapPeer::Answer(const PeerRequest& request) {
  requests_.push_back(request);
  auto found = answers_.find({request.methodName, request.path});
  if (found == answers_.end())
    found = answers_.find({std::string(), request.path});
  if (found == answers_.end())
    return PeerAnswer::Error(404, "Not Found");
  return found->second;
}

}  // namespace dul::host
