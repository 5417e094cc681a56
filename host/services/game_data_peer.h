// GameDataPeer: the game-data service's champion records,
//   GET /dul-game-data/assets/v1/champions/{id}.json
// answered as a streamed body in small chunks, as the real service streams its assets; 404 for
// an id the catalogue lacks; and every record at once, for pickers that choose by alias,
//   GET /dul-game-data/assets/v1/champion-summary.json
#pragma once

#include <cstddef>
#include <utility>

#include "host/core/peer.h"
#include "host/services/champion_catalogue.h"

namespace dul::host {

inline constexpr const char* kChampionsPath = "/dul-game-data/assets/v1/champions/";
inline constexpr const char* kChampionSummaryPath =
    "/dul-game-data/assets/v1/champion-summary.json";
inline constexpr std::size_t kChampionChunkSize = 16;

class GameDataPeer final : public Peer {
 public:
  explicit GameDataPeer(ChampionCatalogue catalogue) : catalogue_(std::move(catalogue)) {}
  PeerAnswer Answer(const PeerRequest& request) override;

 private:
  ChampionCatalogue catalogue_;
};

}  // namespace dul::host
