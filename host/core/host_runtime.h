// HostRuntime: the host's side of the plugin contract for one plugin, in-process and without
// HTTP. It serves the ten HostApi operations: requests go to registered peers or to the plugin's
// own endpoints, published events go to the subscribers of their name and to the host's
// observers, scheduled callbacks run on the host's clock, and waits, log lines, subscribes and
// unsubscribes are recorded.
//
//   VirtualClock clock;
//   HostRuntime host(clock);
//   host.AddPeer("/dul-login/", loginPeer);
//   host.Start(handshake);        // initialize with this host
//   host.AdvanceBy(5.0);          // runs every callback due within five seconds
//
// Everything runs on the caller's thread; the host never calls the plugin from two at once.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "binding/binding_property.h"
#include "contract/host_contract.h"
#include "host/core/bounded_history.h"
#include "host/core/endpoint_router.h"
#include "host/core/host_clock.h"
#include "host/core/host_response.h"
#include "host/core/host_scheduler.h"
#include "host/core/peer.h"

namespace dul::host {

class PluginLoader;

struct PublishedEvent {
  std::string name;
  Zorv::BindingProperty payload;
  std::uint32_t value = 0;
  bool fromPlugin = false;
};

struct HostSubscription {
  std::string name;
  DulPluginHandle plugin = nullptr;
  DulEventCallback callback = nullptr;
  void* userData = nullptr;
  std::uint32_t flag = 0;
};

struct HostLogLine {
  std::uint32_t level = 0;
  std::string message;
};

inline std::size_t HeldBytes(const HostSubscription& subscription) {
  return sizeof(HostSubscription) + subscription.name.size();
}
inline std::size_t HeldBytes(const HostLogLine& line) {
  return sizeof(HostLogLine) + line.message.size();
}

// What the host keeps of its records for inspection: the newest entries within these.
inline constexpr std::size_t kLogLinesKept = 4096;
inline constexpr std::size_t kLogBytesKept = 1 << 20;
inline constexpr std::size_t kHistoryEntriesKept = 1024;
inline constexpr std::size_t kHistoryBytesKept = 256 << 10;

// How often the plugin called each operation.
struct HostCallCounts {
  std::uint64_t requests = 0;
  std::uint64_t slot1 = 0;
  std::uint64_t published = 0;
  std::uint64_t subscribes = 0;
  std::uint64_t unsubscribes = 0;
  std::uint64_t schedules = 0;
  std::uint64_t yields = 0;
  std::uint64_t enterWaits = 0;
  std::uint64_t leaveWaits = 0;
};

class HostRuntime {
 public:
  using EventObserver = std::function<void(const PublishedEvent&)>;

  explicit HostRuntime(HostClock& clock);
  ~HostRuntime();
  HostRuntime(const HostRuntime&) = delete;
  HostRuntime& operator=(const HostRuntime&) = delete;

  // Initializes the plugin the handshake describes (built in-process; the handshake must outlive
  // the host) and returns initialize's result. Stop destroys it through its entry table.
  bool Start(const DulPluginHandshake& handshake);
  // The same for a plugin loaded from its library; Stop destroys it through the loader.
  bool Start(PluginLoader& loader);
  // Destroys the plugin, then drops its subscriptions and callbacks. Safe to call twice.
  void Stop();
  bool running() const { return handshake_ != nullptr; }

  DulHostInterface Interface() const { return DulHostInterface{&table_.api, handle()}; }
  DulPluginHandle handle() const;

  // Requests under `pathPrefix` go to `peer`; the longest matching prefix wins.
  void AddPeer(std::string pathPrefix, std::shared_ptr<Peer> peer);
  // Answers a request as the plugin's own requests are answered: a peer, else the plugin's
  // endpoint, else 404 "Not Found".
  PeerAnswer Call(const PeerRequest& request);
  // Delivers a request to the plugin endpoint that answers it; 404 "Invalid function" for none.
  PeerAnswer CallPlugin(const PeerRequest& request);

  // Publishes on the host's behalf: observers at once, then every subscriber of `name`, at once
  // unless a peer publishes while answering the plugin's request: then, as with the plugin's own
  // events, when the plugin's call has returned, so the plugin is never entered twice.
  void PublishEvent(const std::string& name, const Zorv::BindingProperty& payload,
                    std::uint32_t value = 0);
  void AddObserver(EventObserver observer) { observers_.push_back(std::move(observer)); }
  // Sees every request the plugin makes, with the answer it gets.
  using RequestObserver = std::function<void(const PeerRequest&, const PeerAnswer&)>;
  void ObserveRequests(RequestObserver observer) { requestObserver_ = std::move(observer); }
  // Delivers the events the plugin published; they wait until the plugin's call has returned.
  void DeliverPendingEvents();

  // Runs, in due-time then scheduling order, every callback due by now; returns how many ran.
  // A callback scheduled during the pass with no delay waits for the next pass.
  std::size_t RunDue();
  // Moves a virtual clock forward by `seconds`, running every callback that falls due on the
  // way at its due time; a real clock only runs what is due.
  std::size_t AdvanceBy(double seconds);
  // The callbacks waiting to run, in the order they will run.
  std::vector<ScheduledCallback> PendingCallbacks() const { return scheduler_.Pending(); }
  std::size_t PendingCallbackCount() const { return scheduler_.size(); }
  std::optional<double> NextDueSeconds() const { return scheduler_.NextDueSeconds(); }
  double NowSeconds() const { return clock_.NowSeconds(); }

  // The subscriptions in force, one per event name and plugin.
  const std::vector<HostSubscription>& subscriptions() const { return subscriptions_; }
  // The subscription to `name`, or null.
  const HostSubscription* FindSubscription(const std::string& name) const;
  // The subscribes the plugin made, in order, including those replaced or undone since, and the
  // event names of its unsubscribes, in order. Both outlive Stop. These, the log lines and the
  // wait labels keep their newest entries only (kHistoryEntriesKept, kLogLinesKept ...).
  const std::vector<HostSubscription>& subscribeHistory() const {
    return subscribeHistory_.entries();
  }
  const std::vector<std::string>& unsubscribeHistory() const {
    return unsubscribeHistory_.entries();
  }
  const BoundedHistory<HostLogLine>& logHistory() const { return logLines_; }
  const std::vector<HostLogLine>& logLines() const { return logLines_.entries(); }
  const std::vector<std::string>& waitLabels() const { return waitLabels_.entries(); }
  const HostCallCounts& calls() const { return calls_; }
  const ResponseCounters& responses() const { return responses_; }

 private:
  // The table comes first so that the address the plugin passes back finds the host.
  struct Table {
    DulHostApi api;
    HostRuntime* host;
  };
  static HostRuntime& From(const DulHostApi* api);
  static void DUL_CALL Request(const DulHostApi*, DulHostResponseRecord*,
                               const DulHostRequestRecord*);
  static void DUL_CALL Slot1(const DulHostApi*, std::uintptr_t, std::uintptr_t);
  static void DUL_CALL Publish(const DulHostApi*, const DulHostEventRecord*);
  static void DUL_CALL Subscribe(const DulHostApi*, const char*, DulPluginHandle, DulEventCallback,
                                 void*, std::uint32_t);
  static void DUL_CALL Unsubscribe(const DulHostApi*, const char*, DulPluginHandle);
  static void DUL_CALL Schedule(const DulHostApi*, const char*, DulScheduledCallback, void*, double,
                                std::uint32_t);
  static void DUL_CALL Yield(const DulHostApi*);
  static void DUL_CALL EnterWait(const DulHostApi*, const char*, std::uint32_t);
  static std::uint64_t DUL_CALL LeaveWait(const DulHostApi*);
  static void DUL_CALL Log(const DulHostApi*, std::uint32_t, const char*);

  bool Attach(const DulPluginHandshake& handshake, std::function<void()> destroy);
  Peer* FindPeer(const std::string& path) const;
  void Notify(const PublishedEvent& event);
  void Deliver(const PublishedEvent& event);
  std::size_t RunUntil(double seconds, bool moveClock);

  Table table_;
  HostClock& clock_;
  const DulPluginHandshake* handshake_ = nullptr;
  std::function<void()> destroy_;
  EndpointRouter router_;
  std::vector<std::pair<std::string, std::shared_ptr<Peer>>> peers_;
  std::vector<EventObserver> observers_;
  RequestObserver requestObserver_;
  std::vector<PublishedEvent> pendingEvents_;
  std::vector<HostSubscription> subscriptions_;
  BoundedHistory<HostSubscription> subscribeHistory_{kHistoryEntriesKept, kHistoryBytesKept};
  BoundedHistory<std::string> unsubscribeHistory_{kHistoryEntriesKept, kHistoryBytesKept};
  HostScheduler scheduler_;
  BoundedHistory<HostLogLine> logLines_{kLogLinesKept, kLogBytesKept};
  BoundedHistory<std::string> waitLabels_{kHistoryEntriesKept, kHistoryBytesKept};
  HostCallCounts calls_;
  ResponseCounters responses_;
  int requestDepth_ = 0;  // plugin requests being answered
};

}  // namespace dul::host
