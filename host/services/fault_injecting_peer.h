// FaultInjectingPeer: stands in front of a peer and answers as the fault rules say. A request
// that a rule matches uses up one of the rule's count and is answered with the rule's status
// (with an error text outside 2xx, so the plugin sees a failed request) and body; a stream rule
// lets the peer answer and breaks its body after the first half. Other requests pass through.
#pragma once

#include <memory>
#include <utility>

#include "host/core/peer.h"
#include "host/services/fault_rules.h"

namespace dul::host {

class FaultInjectingPeer final : public Peer {
 public:
  FaultInjectingPeer(std::shared_ptr<FaultRules> rules, std::shared_ptr<Peer> inner)
      : rules_(std::move(rules)), inner_(std::move(inner)) {}
  PeerAnswer Answer(const PeerRequest& request) override;

 private:
  std::shared_ptr<FaultRules> rules_;
  std::shared_ptr<Peer> inner_;
};

// The answer a status-and-body rule gives.
PeerAnswer FaultAnswer(const FaultRule& rule);
// `answer` with its body streamed and failing after its first half; an answer without a body
// stays as it is.
PeerAnswer BreakStream(PeerAnswer answer);

}  // namespace dul::host
