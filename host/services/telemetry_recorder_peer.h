// TelemetryRecorderPeer: the telemetry service, which records what plugins report in SQLite.
//   POST /telemetry/v1/events/{name} {METRIC: value, ...} records the event with the current time
//   GET  /telemetry/v1/events lists every record, oldest first:
//        [{"name": EVENT, "time": "2024-05-01T12:34:56.789Z", "data": {METRIC: TEXT}}]
// Metric values that are not texts are kept as their JSON text. Only the newest events are kept:
// at most kTelemetryEventsKept, and kTelemetryBytesKept bytes of names and data.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "host/core/peer.h"
#include "host/services/resource_event_publisher.h"
#include "host/services/sqlite_database.h"
#include "host/services/wall_clock.h"

namespace dul::host {

inline constexpr const char* kTelemetryEventsPath = "/telemetry/v1/events";
inline constexpr std::size_t kTelemetryEventsKept = 10000;
inline constexpr std::size_t kTelemetryBytesKept = 4 << 20;

class TelemetryRecorderPeer final : public Peer {
 public:
  // Creates the record table when it is missing; nothing, with `error` set, on failure.
  static std::shared_ptr<TelemetryRecorderPeer> Open(
      std::shared_ptr<SqliteDatabase> database, WallClock clock,
      std::shared_ptr<ResourceEventPublisher> publisher, std::string& error);

  PeerAnswer Answer(const PeerRequest& request) override;

 private:
  TelemetryRecorderPeer(std::shared_ptr<SqliteDatabase> database, WallClock clock,
                        std::shared_ptr<ResourceEventPublisher> publisher);
  PeerAnswer Record(const PeerRequest& request, const std::string& name);
  PeerAnswer List();

  std::shared_ptr<SqliteDatabase> database_;
  WallClock clock_;
  std::shared_ptr<ResourceEventPublisher> publisher_;
};

}  // namespace dul::host
