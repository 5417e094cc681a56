// ResourceEventPublisher: how the simulated services announce each change of their resources.
// The host's publisher sends every change under the event name derived from the resource's path
// and again under "OnJsonApiEvent", with the payload the plugin's resource-event conversion reads:
//   {"uri": "/dul-login/v1/session", "eventType": "Update", "data": {...}}
// Observers of the HostRuntime (an event stream, a test) see both publications.
#pragma once

#include <string_view>

#include "binding/binding_property.h"
#include "contract/resource_event_type.h"

namespace dul::host {

class HostRuntime;

using ResourceEventType = Zorv::Client::PluginResourceEventType;

// The event's payload; a Delete carries "empty" data (null in JSON).
Zorv::BindingProperty ResourceEventPayload(std::string_view uri, ResourceEventType type,
                                           const Zorv::BindingProperty& data);

class ResourceEventPublisher {
 public:
  virtual ~ResourceEventPublisher() = default;
  virtual void Publish(std::string_view uri, ResourceEventType type,
                       const Zorv::BindingProperty& data) = 0;
};

// Publishes through the host, which must outlive it.
class HostEventPublisher final : public ResourceEventPublisher {
 public:
  explicit HostEventPublisher(HostRuntime& host) : host_(host) {}
  void Publish(std::string_view uri, ResourceEventType type,
               const Zorv::BindingProperty& data) override;

 private:
  HostRuntime& host_;
};

}  // namespace dul::host
