// PlayerPreferencesPeer: the player-preferences store. It keeps one document per account and
// type in SQLite, so stored copies survive a restart of the host.
//   GET /dul-player-preferences/v1/preference/{type}  -> {"data", "modified", "type"}, 404 for none
//   PUT /dul-player-preferences/v1/preference {"data", "type"} -> {"modified"}
// Both act for the signed-in account and answer 403 while none is signed in. "modified" is the
// time in milliseconds since the epoch, or one more than the last one handed out when the clock
// has not passed it, so every store gets a larger version than any before it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "host/core/peer.h"
#include "host/services/resource_event_publisher.h"
#include "host/services/sqlite_database.h"
#include "host/services/wall_clock.h"

namespace dul::host {

inline constexpr const char* kPreferencePath = "/dul-player-preferences/v1/preference";

class PlayerPreferencesPeer final : public Peer {
 public:
  using SignedInAccount = std::function<std::optional<std::uint64_t>()>;

  // Creates the store's table when it is missing; nothing, with `error` set, on failure.
  static std::shared_ptr<PlayerPreferencesPeer> Open(
      std::shared_ptr<SqliteDatabase> database, SignedInAccount account, WallClock clock,
      std::shared_ptr<ResourceEventPublisher> publisher, std::string& error);

  PeerAnswer Answer(const PeerRequest& request) override;

 private:
  PlayerPreferencesPeer(std::shared_ptr<SqliteDatabase> database, SignedInAccount account,
                        WallClock clock, std::shared_ptr<ResourceEventPublisher> publisher,
                        std::uint64_t lastModified);
  PeerAnswer Get(std::uint64_t account, const std::string& type);
  PeerAnswer Put(std::uint64_t account, const PeerRequest& request);
  std::uint64_t NextModified() const;

  std::shared_ptr<SqliteDatabase> database_;
  SignedInAccount account_;
  WallClock clock_;
  std::shared_ptr<ResourceEventPublisher> publisher_;
  std::uint64_t lastModified_;
};

}  // namespace dul::host
