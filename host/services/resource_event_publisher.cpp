#include "host/services/resource_event_publisher.h"

#include <string>

#include "contract/event_names.h"
#include "host/core/host_runtime.h"

namespace dul::host {

Zorv::BindingProperty ResourceEventPayload(std::string_view uri, ResourceEventType type,
                                           const Zorv::BindingProperty& data) {
  Zorv::BindingProperty payload;
  payload.Member("uri") = uri;
  payload.Member("eventType") = ResourceEventTypeName(type);
  Zorv::BindingProperty& carried = payload.Member("data");
  if (type != ResourceEventType::Delete)
    carried = data;
  return payload;
}

void HostEventPublisher::Publish(std::string_view uri, ResourceEventType type,
                                 const Zorv::BindingProperty& data) {
  static constexpr std::string_view kGeneralName = "OnJsonApiEvent";
  const Zorv::BindingProperty payload = ResourceEventPayload(uri, type, data);
  const std::string derivedName = EventNameForUri(uri);
  host_.PublishEvent(derivedName, payload);
  if (derivedName != kGeneralName)
    host_.PublishEvent(std::string(kGeneralName), payload);
}

}  // namespace dul::host
