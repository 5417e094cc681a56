#include "host/services/simulated_platform.h"

#include <optional>
#include <utility>

#include "host/core/host_runtime.h"
#include "host/services/champion_catalogue.h"
#include "host/services/fault_injecting_peer.h"
#include "host/services/game_data_peer.h"
#include "host/services/platform_resources.h"
#include "host/services/player_preferences_peer.h"
#include "host/services/resource_event_publisher.h"
#include "host/services/service_answers.h"
#include "host/services/sqlite_database.h"
#include "host/services/telemetry_recorder_peer.h"
#include "platform/file_system.h"

namespace dul::host {
namespace {

bool MakeStateDirectory(const std::string& path, std::string& error) {
  const std::uint32_t result = platform::CreateOneDirectory(path);
  if (result == platform::kErrorSuccess || result == platform::kErrorAlreadyExists)
    return true;
  error = "Cannot create the state directory " + path + " (system error " + std::to_string(result) +
          ")";
  return false;
}

// The services that keep their data in the store: preferences and telemetry.
bool AddStoredServices(PeerDirectory& directory, const SimulatedPlatformOptions& options,
                       std::shared_ptr<ResourceEventPublisher> publisher,
                       std::shared_ptr<SingleResourcePeer> login, std::string& error) {
  std::shared_ptr<SqliteDatabase> database =
      SqliteDatabase::Open(options.stateDirectory + "/preferences.sqlite3", error);
  if (!database)
    return false;
  auto account = [login] { return SignedInAccount(login->value()); };
  auto preferences = PlayerPreferencesPeer::Open(database, std::move(account), options.wallClock,
                                                 publisher, error);
  auto telemetry = preferences
                       ? TelemetryRecorderPeer::Open(database, options.wallClock, publisher, error)
                       : nullptr;
  if (!telemetry)
    return false;
  directory.Add("/dul-player-preferences/", std::move(preferences));
  directory.Add("/telemetry/", std::move(telemetry));
  return true;
}

}  // namespace

std::unique_ptr<SimulatedPlatform> SimulatedPlatform::Open(const SimulatedPlatformOptions& options,
                                                           HostRuntime& host, std::string& error) {
  std::optional<ChampionCatalogue> champions =
      ChampionCatalogue::Load(options.dataDirectory + "/champions.json", error);
  if (!champions || !MakeStateDirectory(options.stateDirectory, error))
    return nullptr;
  std::unique_ptr<SimulatedPlatform> platform(new SimulatedPlatform());
  auto publisher = std::make_shared<HostEventPublisher>(host);
  std::optional<Zorv::BindingProperty> session;
  if (options.signedIn)
    session = LoginSessionValue("SUCCEEDED", options.summonerId, options.accountId);
  auto login = MakeLoginSessionPeer(std::move(session), publisher);
  if (!AddStoredServices(*platform->directory_, options, publisher, login, error))
    return nullptr;
  platform->readiness_ = MakePreferencesReadyPeer(publisher);
  PeerDirectory& directory = *platform->directory_;
  directory.Add("/dul-login/", login);
  directory.Add("/dul-platform-config/", MakeItemSetsConfigPeer(publisher));
  directory.Add(kPreferencesReadyUri, platform->readiness_);
  directory.Add("/dul-game-data/", std::make_shared<GameDataPeer>(std::move(*champions)));
  platform->front_ = std::make_shared<FaultInjectingPeer>(platform->faults_, platform->directory_);
  for (std::string& prefix : directory.prefixes())
    host.AddPeer(std::move(prefix), platform->front_);
  return platform;
}

PeerAnswer SimulatedPlatform::Answer(const PeerRequest& request) {
  // Every service reads its bodies as JSON.
  if (!request.body.empty() && !IsJsonBodyType(request.contentType))
    return UnsupportedBodyType(request.contentType);
  return front_->Answer(request);
}

void SimulatedPlatform::AfterInitialize() {
  readiness_->Replace(Zorv::BindingProperty(true));
}

}  // namespace dul::host
