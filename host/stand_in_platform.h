// StandInPlatform: the least of the platform's services that lets the plugin run under dul-host:
// the login session (signed in or out, as the options say) and the preferences service's
// readiness, which turns true right after initialize. Every other service path answers 404 and
// fault rules are not offered (501).
#pragma once

#include <cstdint>
#include <memory>

#include "host/platform_services.h"

namespace dul::host {

struct StandInPlatformOptions {
  std::uint64_t accountId = 1001;
  std::uint64_t summonerId = 42;
  bool signedIn = true;
};

class StandInPlatform final : public PlatformServices {
 public:
  explicit StandInPlatform(const StandInPlatformOptions& options);

  void Install(HostRuntime& runtime) override;
  void AfterInitialize() override;
  PeerAnswer Answer(const PeerRequest& request) override;
  PeerAnswer SetFaultRules(const Zorv::BindingProperty& rules) override;
  Zorv::BindingProperty ListFaultRules() override;
  void ClearFaultRules() override;

 private:
  void PublishReadiness();

  StandInPlatformOptions options_;
  HostRuntime* runtime_ = nullptr;
  bool ready_ = false;
  std::shared_ptr<Peer> peer_;
};

}  // namespace dul::host
