// SimulatedPlatformServices: the simulated platform as dul-host's loop sees it. It opens the
// services when the host installs them and forwards the HTTP front's requests and fault rules.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "host/app/platform_services.h"
#include "host/services/simulated_platform.h"

namespace dul::host {

class SimulatedPlatformServices final : public PlatformServices {
 public:
  explicit SimulatedPlatformServices(SimulatedPlatformOptions options)
      : options_(std::move(options)) {}

  Outcome Install(HostRuntime& runtime) override;
  void AfterInitialize() override;
  PeerAnswer Answer(const PeerRequest& request) override;
  PeerAnswer SetFaultRules(const Zorv::BindingProperty& rules) override;
  Zorv::BindingProperty ListFaultRules() override;
  void ClearFaultRules() override;

 private:
  SimulatedPlatformOptions options_;
  std::unique_ptr<SimulatedPlatform> platform_;
};

}  // namespace dul::host
