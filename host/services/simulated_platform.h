// SimulatedPlatform: the platform's other services as dul-host plays them for the plugin: the
// login session, the item-set configuration, the preferences service's readiness and store, the
// game data's champion records and the telemetry recorder. Open creates them, with the store
// and the telemetry log in "<stateDirectory>/preferences.sqlite3" and the champion records from
// "<dataDirectory>/champions.json", and installs them into the host, behind the fault rules, so
// that the plugin's requests reach them; the HTTP front reaches the same services through Answer.
//
//   std::unique_ptr<SimulatedPlatform> platform = SimulatedPlatform::Open(options, host, error);
//   host.Start(loader);
//   platform->AfterInitialize();  // the preferences service comes up
//
// Everything but faults() runs on the host's event loop; faults() may be used from any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "host/core/peer.h"
#include "host/services/fault_rules.h"
#include "host/services/peer_directory.h"
#include "host/services/single_resource_peer.h"
#include "host/services/wall_clock.h"

namespace dul::host {

class HostRuntime;

struct SimulatedPlatformOptions {
  std::string stateDirectory;  // created when missing (one level)
  std::string dataDirectory;   // holds champions.json
  std::uint64_t accountId = 1001;
  std::uint64_t summonerId = 42;
  bool signedIn = true;  // otherwise there is no login session until one is PUT
  WallClock wallClock = SystemWallClock();
};

class SimulatedPlatform {
 public:
  // Creates the services and installs them into `host` (once per host: the first installation's
  // prefixes win), which must outlive what it was given;
  // nothing, with `error` saying what failed, when the state directory, the store or the
  // champion records cannot be used.
  static std::unique_ptr<SimulatedPlatform> Open(const SimulatedPlatformOptions& options,
                                                 HostRuntime& host, std::string& error);

  // Answers a request for one of the services (fault rules applied); 404 for other paths.
  PeerAnswer Answer(const PeerRequest& request);
  // Whether a service answers requests for `path` (otherwise they belong to the plugin).
  bool Serves(std::string_view path) const { return directory_->Find(path) != nullptr; }
  // Marks the preferences service ready and publishes the Update, as it does once the plugin
  // has initialized.
  void AfterInitialize();

  FaultRules& faults() { return *faults_; }

 private:
  SimulatedPlatform() = default;

  std::shared_ptr<PeerDirectory> directory_ = std::make_shared<PeerDirectory>();
  std::shared_ptr<FaultRules> faults_ = std::make_shared<FaultRules>();
  std::shared_ptr<Peer> front_;
  std::shared_ptr<SingleResourcePeer> readiness_;
};

}  // namespace dul::host
