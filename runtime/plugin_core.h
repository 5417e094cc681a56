// PluginCore: the tables every plugin keeps (event handlers and the shutting-down state) and the
// host operations, declared abstract in the host's slot order and implemented by PluginBase.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>

#include "binding/binding_type_registry.h"
#include "contract/host_contract.h"
#include "foundation/fnv1a.h"
#include "runtime/plugin_event_subscriber.h"
#include "runtime/plugin_manager_types.h"
#include "runtime/plugin_scheduler.h"
#include "runtime/service_proxy.h"

namespace dul {

class TelemetrySender;

class PluginCore : public PluginEventSubscriber {
 public:
  // A handler of the raw records the host delivers under one event name.
  using HostEventHandler = std::function<void(const DulHostEventRecord&)>;
  // A handler of decoded resource events (resource_events.h).
  using ResourceEventHandler = std::function<void(const Zorv::Client::PluginResourceEvent&)>;

  PluginCore();
  ~PluginCore() override;
  PluginCore(const PluginCore&) = delete;
  PluginCore& operator=(const PluginCore&) = delete;

  // Unsubscribes every event name at the host and empties the handler tables.
  virtual void Shutdown();

  virtual void HostRequest(DulHostResponseRecord* response,
                           const DulHostRequestRecord* request) = 0;
  virtual void HostSlot1(std::uintptr_t first, std::uintptr_t second) = 0;
  virtual void HostPublishEvent(const DulHostEventRecord* event) = 0;
  virtual void HostSubscribe(const char* eventName, DulPluginHandle plugin,
                             DulEventCallback callback, void* userData, std::uint32_t flag) = 0;
  virtual void HostUnsubscribe(const char* eventName, DulPluginHandle plugin) = 0;
  virtual void HostSchedule(const char* name, DulScheduledCallback callback, void* userData,
                            double delaySeconds, std::uint32_t zero) = 0;
  virtual void HostYield() = 0;
  virtual void HostEnterWait(const char* label, std::uint32_t zero) = 0;
  virtual std::uint64_t HostLeaveWait() = 0;

  // Installs the handler for a host event name, replacing an earlier one, and subscribes to it.
  void SubscribeEvent(const std::string& eventName, HostEventHandler handler, std::uint32_t flag);

  // The callback handed to the host: routes a delivered record to the handler of its name.
  static void DUL_CALL DeliverHostEvent(const DulHostEventRecord* event);

  // Resource events, defined in resource_events.cpp. Subscriptions are counted per host event
  // name: the first subscribes at the host, the last unsubscription unsubscribes there.
  void Subscribe(const std::string& uri) override;
  void Unsubscribe(const std::string& uri) override;
  // Stores the handler of a URI, or of a pattern when it contains "*", replacing an earlier one.
  void SetResourceHandler(const std::string& uri, ResourceEventHandler handler);
  // Calls the handler of the event's URI, then every pattern handler that matches it.
  void DispatchResourceEvent(const Zorv::Client::PluginResourceEvent& event);

  // The plugin's own registry: built-in types from the start, then whatever the load registers.
  Zorv::BindingTypeRegistry& typeRegistry() { return *typeRegistry_; }
  const Zorv::BindingTypeRegistry& typeRegistry() const { return *typeRegistry_; }
  // Deferred callbacks and named timers, through the host's scheduling.
  PluginScheduler& scheduler() { return *scheduler_; }
  // Waiting service-proxy requests, unclaimed messages and asynchronous handlers.
  ServiceProxyTables& serviceProxy() { return serviceProxy_; }
  // Posts telemetry events; null until initialize creates it.
  TelemetrySender* telemetrySender() { return telemetrySender_.get(); }
  DulPluginHandle pluginHandle() const { return pluginHandle_; }
  const std::string& shortName() const { return shortName_; }
  const std::string& userAgent() const { return userAgent_; }
  bool shuttingDown() const { return shuttingDown_; }

 protected:
  using EventHandlerTable = std::unordered_map<std::string, std::shared_ptr<HostEventHandler>,
                                               Fnv1aHash, std::equal_to<>>;
  using ResourceHandlerTable =
      std::unordered_map<std::string, ResourceEventHandler, Fnv1aHash, std::equal_to<>>;
  using SubscriptionCountTable =
      std::unordered_map<std::string, std::uint32_t, Fnv1aHash, std::equal_to<>>;

  std::unique_ptr<Zorv::BindingTypeRegistry> typeRegistry_;
  ResourceHandlerTable exactUriHandlers_;
  ResourceHandlerTable uriPatternHandlers_;
  EventHandlerTable eventHandlers_;
  SubscriptionCountTable subscriptionCounts_;
  ServiceProxyTables serviceProxy_;
  std::unique_ptr<PluginScheduler> scheduler_;
  std::unique_ptr<TelemetrySender> telemetrySender_;
  DulPluginHandle pluginHandle_ = nullptr;
  std::string shortName_;
  std::string userAgent_;
  bool shuttingDown_ = false;
};

}  // namespace dul
