// PlatformServices: the platform's other services as dul-host simulates them, seen from the
// host's loop. The host installs them into its HostRuntime before the plugin starts (so the
// plugin's requests reach them), tells them when initialize has returned, hands them the HTTP
// requests that are not the plugin's, and forwards the fault rules.
//
// Every call is made on the host's loop thread, one at a time.
#pragma once

#include <optional>
#include <string>

#include "binding/binding_property.h"
#include "host/core/host_runtime.h"
#include "host/core/outcome.h"
#include "host/core/peer.h"

namespace dul::host {

class PlatformServices {
 public:
  virtual ~PlatformServices() = default;

  // Adds the services' peers to `runtime`; they serve the plugin's requests from then on. The
  // reason they cannot be set up (their store or data unusable), or nothing.
  virtual Outcome Install(HostRuntime& runtime) = 0;
  // Runs once the plugin's initialize has returned: the services that come up after the plugin
  // (the preferences service's readiness) announce themselves.
  virtual void AfterInitialize() = 0;
  // Answers an HTTP request on a service's path, fault rules applied; 404 for any other path.
  virtual PeerAnswer Answer(const PeerRequest& request) = 0;

  // The fault rules: Set replaces them all from a JSON list (an error answer, such as 400 with
  // the reason, leaves them as they were), List gives them as a JSON list, Clear removes them.
  virtual PeerAnswer SetFaultRules(const Zorv::BindingProperty& rules) = 0;
  virtual Zorv::BindingProperty ListFaultRules() = 0;
  virtual void ClearFaultRules() = 0;
};

}  // namespace dul::host
