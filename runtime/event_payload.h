// Decoding of the payload records the host delivers with events: record to BindingProperty to a
// native payload type, both steps reported under "<result>". Events that fail are dropped.
#pragma once

#include <functional>
#include <utility>

#include "binding/binding_result.h"
#include "binding/binding_value_record.h"
#include "binding/native_conversion.h"
#include "contract/host_contract.h"
#include "runtime/plugin_core.h"

namespace dul {

// Reads the event's payload into `payload`; false when the record or the conversion fails.
template <class Payload>
bool DecodeEventPayload(const DulHostEventRecord& event, const Zorv::BindingTypeRegistry& registry,
                        Payload& payload) {
  Zorv::BindingResult read;
  Zorv::ReadValueRecord(read, event.payload, "<result>");
  if (!read.ok())
    return false;
  Zorv::BindingResult converted;
  Zorv::FromBinding(converted, payload, read.value(), "<result>", registry);
  return converted.ok();
}

// A raw host-event handler that decodes the payload with the plugin's registry and hands it to
// `handler`; payloads that do not decode never reach it.
template <class Payload>
PluginCore::HostEventHandler DecodingEventHandler(PluginCore& plugin,
                                                  std::function<void(const Payload&)> handler) {
  return [&plugin, handler = std::move(handler)](const DulHostEventRecord& event) {
    Payload payload{};
    if (DecodeEventPayload(event, plugin.typeRegistry(), payload))
      handler(payload);
  };
}

}  // namespace dul
