#include "host/stand_in_platform.h"

#include "runtime/event_names.h"

namespace dul::host {
namespace {

constexpr const char* kSessionPath = "/dul-login/v1/session";
constexpr const char* kReadyPath = "/dul-player-preferences/v1/player-preferences-ready";

// Hands the plugin's requests to the platform's Answer.
class ForwardingPeer final : public Peer {
 public:
  explicit ForwardingPeer(StandInPlatform& platform) : platform_(platform) {}
  PeerAnswer Answer(const PeerRequest& request) override { return platform_.Answer(request); }

 private:
  StandInPlatform& platform_;
};

}  // namespace

StandInPlatform::StandInPlatform(const StandInPlatformOptions& options)
    : options_(options), peer_(std::make_shared<ForwardingPeer>(*this)) {}

void StandInPlatform::Install(HostRuntime& runtime) {
  runtime_ = &runtime;
  runtime.AddPeer(kSessionPath, peer_);
  runtime.AddPeer(kReadyPath, peer_);
}

void StandInPlatform::AfterInitialize() {
  ready_ = true;
  PublishReadiness();
}

void StandInPlatform::PublishReadiness() {
  if (runtime_ == nullptr)
    return;
  Zorv::BindingProperty event;
  event.Member("uri") = kReadyPath;
  event.Member("eventType") = "Update";
  event.Member("data") = ready_;
  runtime_->PublishEvent(EventNameForUri(kReadyPath), event);
  runtime_->PublishEvent("OnJsonApiEvent", event);
}

PeerAnswer StandInPlatform::Answer(const PeerRequest& request) {
  if (request.path == kSessionPath && request.methodName == "GET") {
    Zorv::BindingProperty session;
    session.Member("state") = options_.signedIn ? "SUCCEEDED" : "IN_PROGRESS";
    session.Member("accountId") = options_.signedIn ? options_.accountId : 0;
    session.Member("summonerId") = options_.signedIn ? options_.summonerId : 0;
    return PeerAnswer::Value(std::move(session));
  }
  if (request.path == kReadyPath && request.methodName == "GET")
    return PeerAnswer::Value(Zorv::BindingProperty(ready_));
  if (request.path == kReadyPath && request.methodName == "PUT") {
    if (request.body != "true" && request.body != "false")
      return PeerAnswer::Error(400, "The readiness is true or false");
    ready_ = request.body == "true";
    PublishReadiness();
    return PeerAnswer{};
  }
  return PeerAnswer::Error(404, "Not Found");
}

PeerAnswer StandInPlatform::SetFaultRules(const Zorv::BindingProperty&) {
  return PeerAnswer::Error(501, "Fault rules need the simulated platform services");
}

Zorv::BindingProperty StandInPlatform::ListFaultRules() {
  Zorv::BindingProperty none;
  none.SetCollection();
  return none;
}

void StandInPlatform::ClearFaultRules() {}

}  // namespace dul::host
