#include "host/services/peer_directory.h"

#include "host/services/service_answers.h"

namespace dul::host {

void PeerDirectory::Add(std::string prefix, std::shared_ptr<Peer> peer) {
  peers_.emplace_back(std::move(prefix), std::move(peer));
}

Peer* PeerDirectory::Find(std::string_view path) const {
  Peer* found = nullptr;
  std::size_t foundLength = 0;
  for (const auto& [prefix, peer] : peers_) {
    if (path.starts_with(prefix) && (found == nullptr || prefix.size() > foundLength)) {
      found = peer.get();
      foundLength = prefix.size();
    }
  }
  return found;
}

std::vector<std::string> PeerDirectory::prefixes() const {
  std::vector<std::string> all;
  for (const auto& entry : peers_)
    all.push_back(entry.first);
  return all;
}

PeerAnswer PeerDirectory::Answer(const PeerRequest& request) {
  Peer* peer = Find(request.path);
  return peer != nullptr ? peer->Answer(request) : NotFound(request);
}

}  // namespace dul::host
