#include "host/app/simulated_platform_services.h"

namespace dul::host {

Outcome SimulatedPlatformServices::Install(HostRuntime& runtime) {
  std::string error;
  platform_ = SimulatedPlatform::Open(options_, runtime, error);
  if (!platform_)
    return Outcome::Failed("the simulated services cannot start: " + error);
  return Outcome::Ok();
}

void SimulatedPlatformServices::AfterInitialize() {
  if (platform_)
    platform_->AfterInitialize();
}

PeerAnswer SimulatedPlatformServices::Answer(const PeerRequest& request) {
  if (!platform_)
    return PeerAnswer::Error(404, "Not Found");
  return platform_->Answer(request);
}

PeerAnswer SimulatedPlatformServices::SetFaultRules(const Zorv::BindingProperty& rules) {
  if (!platform_)
    return PeerAnswer::Error(503, "The simulated services are not running");
  if (Outcome set = platform_->faults().Set(rules); !set.ok())
    return PeerAnswer::Error(400, set.message());
  return PeerAnswer::Value(platform_->faults().List());
}

Zorv::BindingProperty SimulatedPlatformServices::ListFaultRules() {
  if (platform_)
    return platform_->faults().List();
  Zorv::BindingProperty none;
  none.SetCollection();
  return none;
}

void SimulatedPlatformServices::ClearFaultRules() {
  if (platform_)
    platform_->faults().Clear();
}

}  // namespace dul::host
