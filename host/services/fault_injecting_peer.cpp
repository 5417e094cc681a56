#include "host/services/fault_injecting_peer.h"

#include <string>

#include "codecs/json_writer.h"

namespace dul::host {

PeerAnswer FaultInjectingPeer::Answer(const PeerRequest& request) {
  const std::optional<FaultRule> rule = rules_->Take(request.methodName, request.path);
  if (!rule)
    return inner_->Answer(request);
  PeerAnswer answer = rule->streamFails ? BreakStream(inner_->Answer(request)) : FaultAnswer(*rule);
  answer.fault =
      rule->streamFails ? "a stream that breaks off" : "status " + std::to_string(rule->status);
  return answer;
}

PeerAnswer FaultAnswer(const FaultRule& rule) {
  PeerAnswer answer;
  answer.status = rule.status;
  if (rule.body)
    answer.body = rule.body->Clone();
  constexpr std::uint32_t kFirstSuccess = 200;
  constexpr std::uint32_t kLastSuccess = 299;
  if (rule.status < kFirstSuccess || rule.status > kLastSuccess)
    answer.errorText = "Injected fault: status " + std::to_string(rule.status);
  return answer;
}

PeerAnswer BreakStream(PeerAnswer answer) {
  std::string bytes;
  if (answer.stream) {
    for (const StreamChunk& chunk : *answer.stream)
      bytes += chunk.bytes;
  } else if (answer.body) {
    bytes = Zorv::WriteJson(*answer.body, nullptr, nullptr);
  } else {
    return answer;
  }
  // Two halves: the first arrives, the read of the second fails.
  const std::size_t half = bytes.size() / 2 + bytes.size() % 2;
  PeerAnswer broken = PeerAnswer::StreamedJson(bytes, half, 1);
  broken.status = answer.status;
  broken.errorText = std::move(answer.errorText);
  return broken;
}

}  // namespace dul::host
