#include "host/core/host_runtime.h"

#include <algorithm>
#include <utility>

#include "binding/binding_result.h"
#include "binding/binding_value_record.h"
#include "host/core/plugin_loader.h"
#include "host/core/request_records.h"

namespace dul::host {

HostRuntime::HostRuntime(HostClock& clock)
    : table_{DulHostApi{&Request, &Slot1, &Publish, &Subscribe, &Unsubscribe, &Schedule, &Yield,
                        &EnterWait, &LeaveWait, &Log},
             this},
      clock_(clock) {}

HostRuntime::~HostRuntime() {
  Stop();
}

HostRuntime& HostRuntime::From(const DulHostApi* api) {
  return *reinterpret_cast<const Table*>(api)->host;
}

DulPluginHandle HostRuntime::handle() const {
  return reinterpret_cast<DulPluginHandle>(const_cast<HostRuntime*>(this));
}

bool HostRuntime::Attach(const DulPluginHandshake& handshake, std::function<void()> destroy) {
  Stop();
  handshake_ = &handshake;
  destroy_ = std::move(destroy);
  router_ = EndpointRouter(handshake.endpointTable);
  const DulHostInterface host = Interface();
  const bool initialized = handshake.entryTable->initialize(handshake.plugin, &host) != 0;
  DeliverPendingEvents();
  return initialized;
}

bool HostRuntime::Start(const DulPluginHandshake& handshake) {
  return Attach(handshake, [&handshake] { handshake.entryTable->destroy(handshake.plugin); });
}

bool HostRuntime::Start(PluginLoader& loader) {
  if (!loader.loaded())
    return false;
  return Attach(loader.handshake(), [&loader] { loader.Destroy(); });
}

void HostRuntime::Stop() {
  if (handshake_ == nullptr)
    return;
  destroy_();
  handshake_ = nullptr;
  destroy_ = nullptr;
  router_ = EndpointRouter();
  // Nothing of the destroyed plugin may be called any more.
  scheduler_.Clear();
  pendingEvents_.clear();
  subscriptions_.clear();
}

void HostRuntime::AddPeer(std::string pathPrefix, std::shared_ptr<Peer> peer) {
  peers_.emplace_back(std::move(pathPrefix), std::move(peer));
}

Peer* HostRuntime::FindPeer(const std::string& path) const {
  Peer* found = nullptr;
  std::size_t foundLength = 0;
  for (const auto& [prefix, peer] : peers_) {
    if (path.compare(0, prefix.size(), prefix) == 0 &&
        (found == nullptr || prefix.size() > foundLength)) {
      found = peer.get();
      foundLength = prefix.size();
    }
  }
  return found;
}

PeerAnswer HostRuntime::Call(const PeerRequest& request) {
  if (Peer* peer = FindPeer(request.path))
    return peer->Answer(request);
  if (running() && router_.Choose(request.method, request.methodName, request.path))
    return CallPlugin(request);
  return PeerAnswer::Error(404, "Not Found");
}

PeerAnswer HostRuntime::CallPlugin(const PeerRequest& request) {
  const std::optional<std::uint32_t> endpoint =
      running() ? router_.Choose(request.method, request.methodName, request.path) : std::nullopt;
  if (!endpoint)
    return PeerAnswer::Error(404, "Invalid function");
  PeerAnswer answer = DispatchToEndpoint(*handshake_->endpointTable, *endpoint, request, handle());
  DeliverPendingEvents();
  return answer;
}

void HostRuntime::Notify(const PublishedEvent& event) {
  for (const EventObserver& observer : observers_)
    observer(event);
}

void HostRuntime::PublishEvent(const std::string& name, const Zorv::BindingProperty& payload,
                               std::uint32_t value) {
  PublishedEvent event{name, payload.Clone(), value, false};
  Notify(event);
  pendingEvents_.push_back(std::move(event));
  if (requestDepth_ == 0)
    DeliverPendingEvents();
}

void HostRuntime::DeliverPendingEvents() {
  while (!pendingEvents_.empty()) {
    const PublishedEvent event = std::move(pendingEvents_.front());
    pendingEvents_.erase(pendingEvents_.begin());
    Deliver(event);
  }
}

void HostRuntime::Deliver(const PublishedEvent& event) {
  // A callback may subscribe or unsubscribe: deliver to the subscribers of the moment, each only
  // while it is still subscribed.
  const std::vector<HostSubscription> targets = subscriptions_;
  for (const HostSubscription& target : targets) {
    if (target.name != event.name)
      continue;
    const bool stillSubscribed =
        std::any_of(subscriptions_.begin(), subscriptions_.end(), [&](const HostSubscription& s) {
          return s.name == target.name && s.plugin == target.plugin &&
                 s.callback == target.callback && s.userData == target.userData;
        });
    if (!stillSubscribed)
      continue;
    DulBindingValueRecord payload = Zorv::MakeValueRecord(event.payload, nullptr);
    const DulHostEventRecord record{target.name.c_str(), payload, event.value, target.userData};
    target.callback(&record);
    Zorv::ClearValueRecord(payload);
  }
}

const HostSubscription* HostRuntime::FindSubscription(const std::string& name) const {
  for (const HostSubscription& subscription : subscriptions_) {
    if (subscription.name == name)
      return &subscription;
  }
  return nullptr;
}

std::size_t HostRuntime::RunUntil(double seconds, bool moveClock) {
  const std::uint64_t passStart = scheduler_.nextSequence();
  std::size_t ran = 0;
  DeliverPendingEvents();
  while (std::optional<ScheduledCallback> next = scheduler_.TakeDue(seconds, passStart)) {
    if (moveClock)
      clock_.MoveTo(next->dueSeconds);
    next->callback(next->userData);
    ran++;
    DeliverPendingEvents();
  }
  if (moveClock)
    clock_.MoveTo(seconds);
  return ran;
}

std::size_t HostRuntime::RunDue() {
  return RunUntil(clock_.NowSeconds(), false);
}

std::size_t HostRuntime::AdvanceBy(double seconds) {
  const double target = clock_.NowSeconds() + std::max(seconds, 0.0);
  if (!clock_.MoveTo(clock_.NowSeconds()))
    return RunDue();  // a real clock cannot be moved
  return RunUntil(target, true);
}

// The HostApi operations.

void DUL_CALL HostRuntime::Request(const DulHostApi* api, DulHostResponseRecord* response,
                                   const DulHostRequestRecord* request) {
  HostRuntime& host = From(api);
  host.calls_.requests++;
  PeerRequest peerRequest;
  std::string error;
  if (request->plugin != host.handle())
    error = "Request from an unknown plugin";
  host.requestDepth_++;
  const PeerAnswer answer = error.empty() && ReadPeerRequest(*request, peerRequest, error)
                                ? host.Call(peerRequest)
                                : PeerAnswer::Error(400, error);
  host.requestDepth_--;
  if (host.requestObserver_)
    host.requestObserver_(peerRequest, answer);
  FillResponseRecord(*response, answer, host.responses_);
}

void DUL_CALL HostRuntime::Slot1(const DulHostApi* api, std::uintptr_t, std::uintptr_t) {
  From(api).calls_.slot1++;
}

void DUL_CALL HostRuntime::Publish(const DulHostApi* api, const DulHostEventRecord* event) {
  HostRuntime& host = From(api);
  host.calls_.published++;
  Zorv::BindingResult payload;
  Zorv::ReadValueRecord(payload, event->payload, "payload");
  PublishedEvent published{event->name != nullptr ? event->name : "",
                           payload.ok() ? payload.TakeValue() : Zorv::BindingProperty(),
                           event->value, true};
  host.Notify(published);
  host.pendingEvents_.push_back(std::move(published));
}

void DUL_CALL HostRuntime::Subscribe(const DulHostApi* api, const char* eventName,
                                     DulPluginHandle plugin, DulEventCallback callback,
                                     void* userData, std::uint32_t flag) {
  HostRuntime& host = From(api);
  host.calls_.subscribes++;
  if (eventName == nullptr || callback == nullptr)
    return;  // nothing that could ever be delivered
  HostSubscription subscription{eventName, plugin, callback, userData, flag};
  host.subscribeHistory_.Add(subscription);
  for (HostSubscription& existing : host.subscriptions_) {
    if (existing.name == subscription.name && existing.plugin == plugin) {
      existing = std::move(subscription);  // one subscription per name: the latest wins
      return;
    }
  }
  host.subscriptions_.push_back(std::move(subscription));
}

void DUL_CALL HostRuntime::Unsubscribe(const DulHostApi* api, const char* eventName,
                                       DulPluginHandle plugin) {
  HostRuntime& host = From(api);
  host.calls_.unsubscribes++;
  if (eventName == nullptr)
    return;
  host.unsubscribeHistory_.Add(eventName);
  std::erase_if(host.subscriptions_, [&](const HostSubscription& subscription) {
    return subscription.name == eventName && subscription.plugin == plugin;
  });
}

void DUL_CALL HostRuntime::Schedule(const DulHostApi* api, const char* name,
                                    DulScheduledCallback callback, void* userData,
                                    double delaySeconds, std::uint32_t) {
  HostRuntime& host = From(api);
  host.calls_.schedules++;
  if (callback == nullptr)
    return;
  host.scheduler_.Add(host.clock_.NowSeconds(), name, callback, userData, delaySeconds);
}

void DUL_CALL HostRuntime::Yield(const DulHostApi* api) {
  From(api).calls_.yields++;
}

void DUL_CALL HostRuntime::EnterWait(const DulHostApi* api, const char* label, std::uint32_t) {
  HostRuntime& host = From(api);
  host.calls_.enterWaits++;
  host.waitLabels_.Add(label != nullptr ? label : "");
}

std::uint64_t DUL_CALL HostRuntime::LeaveWait(const DulHostApi* api) {
  From(api).calls_.leaveWaits++;
  return 0;
}

void DUL_CALL HostRuntime::Log(const DulHostApi* api, std::uint32_t level, const char* message) {
  From(api).logLines_.Add(HostLogLine{level, message != nullptr ? message : ""});
}

}  // namespace dul::host
