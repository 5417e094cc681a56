// PeerDirectory: hands each request to the peer registered under the longest prefix of its path,
// as the host does; 404 "Not Found" when no prefix matches.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/core/peer.h"

namespace dul::host {

class PeerDirectory final : public Peer {
 public:
  void Add(std::string prefix, std::shared_ptr<Peer> peer);
  // The peer for `path`, or null.
  Peer* Find(std::string_view path) const;
  std::vector<std::string> prefixes() const;

  PeerAnswer Answer(const PeerRequest& request) override;

 private:
  std::vector<std::pair<std::string, std::shared_ptr<Peer>>> peers_;
};

}  // namespace dul::host
