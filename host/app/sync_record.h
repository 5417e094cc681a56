// SyncRecord: what the host saw of the item sets' way out of the plugin, for GET
// /dul-host/v1/sync: the last preference the service stored, the last store that failed and the
// last save telemetry event, each noted from the requests the services answered (the plugin's
// and those over HTTP) with the wall-clock and host-clock time it happened at.
//
//   SyncRecord record;
//   record.Note(request, answer, [&] { return NotedAt{FormatUtcTime(wall()), host.Now()}; });
//   record.AddTo(view);  // "lastStored", "lastFailedStore", "lastSaveEvent": an object or null
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "binding/binding_property.h"
#include "host/core/peer.h"

namespace dul::host {

inline constexpr const char* kSaveEventPath = "/telemetry/v1/events/item_sets__item_sets_save";

struct NotedAt {
  std::string time;  // UTC text
  double clockSeconds = 0.0;
};

class SyncRecord {
 public:
  // `now` is asked only for a request the record keeps: most requests pass by unread.
  void Note(const PeerRequest& request, const PeerAnswer& answer,
            const std::function<NotedAt()>& now);
  void AddTo(Zorv::BindingProperty& view) const;

 private:
  Zorv::BindingProperty lastStored_;
  Zorv::BindingProperty lastFailedStore_;
  Zorv::BindingProperty lastSaveEvent_;
};

// Every file below `directory` (links never followed; FindFiles) as {"path" (relative to it, with
// "/"), "bytes", "modified" (UTC text)}, sorted by path; an empty list when it cannot be read.
Zorv::BindingProperty FilesBelow(const std::string& directory);

}  // namespace dul::host
