// A plugin served by the test host, with a telemetry service answering `answer` and keeping
// what it was sent.
#pragma once

#include <memory>

#include "host/core/peer.h"
#include "tests/support/hosted_plugin.h"

namespace dul::testing {

struct TelemetryFixture {
  TelemetryFixture() { hosted.host.AddPeer("/telemetry/", peer); }
  host::PeerAnswer answer = host::PeerAnswer::Value(Zorv::BindingProperty(), 204);
  std::shared_ptr<host::ScriptedPeer> peer =
      std::make_shared<host::ScriptedPeer>([this](const host::PeerRequest&) { return answer; });
  HostedPlugin<> hosted;
};

}  // namespace dul::testing
