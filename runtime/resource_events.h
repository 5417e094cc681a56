// Resource events: observing other plugins' resources with typed handlers, and announcing changes
// of the plugin's own resources.
//
//   ObserveResource<LoginSession>(plugin, "/dul-login/v1/session",
//                                 [](const ResourceEvent<LoginSession>& event) { ... });
//   ObserveResource<BindingProperty>(plugin, "/dul-item-sets/v1/item-sets/*/sets", handler);
//   PublishResourceEvent(plugin, "OnJsonApiEvent", {uri, PluginResourceEventType::Update, data},
//   0);
//
// Observing subscribes, through the plugin's Subscribe, to the host event name of the URI
// (EventNameForUri); subscriptions are counted per name, so URIs that share a name share one
// host subscription. Handlers run on the thread on which the host delivers the event.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "binding/binding_result.h"
#include "binding/native_conversion.h"
#include "runtime/plugin_core.h"
#include "runtime/plugin_manager_types.h"
#include "runtime/request_error.h"

namespace dul {

// The subscription flag under which the host delivers resource events.
inline constexpr std::uint32_t kResourceEventFlag = 0;

// A resource event with its data converted to T; T is default-constructed for Delete.
template <class T>
struct ResourceEvent {
  std::string uri;
  Zorv::Client::PluginResourceEventType eventType = Zorv::Client::PluginResourceEventType::Create;
  T value{};
};

// Whether `uri` matches `pattern`: ordinary characters match themselves; "*" matches the URI up to
// its next "/" (not consuming it) or, at the end of the URI, at least one character.
//   "/a/*/c" matches "/a/7/c", not "/a/7/8/c"; "/a/*" does not match "/a/".
bool UriMatchesPattern(std::string_view pattern, std::string_view uri);

// Publishes the event under the host event name of its URI and again under `name` when that
// differs; `word` travels with the record. Fails, without publishing, when the event does not
// convert.
RequestOutcome PublishResourceEvent(PluginCore& plugin, std::string_view name,
                                    const Zorv::Client::PluginResourceEvent& event,
                                    std::uint32_t word);

// The payload of a resource event whose data is `data`, converted once and in place, for callers
// that also use the converted data elsewhere (payload.value().Find("data")). Fails as the
// conversion of `data` fails.
template <class T>
Zorv::BindingResult ResourceEventPayload(const PluginCore& plugin, std::string_view uri,
                                         Zorv::Client::PluginResourceEventType type,
                                         const T& data) {
  Zorv::BindingResult payload;
  Zorv::ToBinding(payload, Zorv::Client::PluginResourceEvent{std::string(uri), type, {}},
                  plugin.typeRegistry());
  if (payload.ok())
    Zorv::WriteBinding(payload, payload.value().Member("data"), data, plugin.typeRegistry());
  return payload;
}

// Publishes such a payload as PublishResourceEvent publishes an event.
void PublishResourceEventPayload(PluginCore& plugin, std::string_view name,
                                 const Zorv::BindingProperty& payload, std::uint32_t word);

// Reads the resource at `uri` (GET) and hands it to `handler` as a Create event; a failed read
// delivers nothing.
void DeliverCurrentResource(PluginCore& plugin, const std::string& uri,
                            const PluginCore::ResourceEventHandler& handler);

// Wraps a typed handler: the event's data is converted to T (under "<value>") unless the event is
// a Delete; an event whose data does not convert never reaches the handler.
template <class T>
PluginCore::ResourceEventHandler TypedResourceEventHandler(
    PluginCore& plugin, std::function<void(const ResourceEvent<T>&)> handler) {
  return [&plugin, handler = std::move(handler)](const Zorv::Client::PluginResourceEvent& event) {
    ResourceEvent<T> typed;
    typed.uri = event.uri;
    typed.eventType = event.eventType;
    if (event.eventType != Zorv::Client::PluginResourceEventType::Delete) {
      Zorv::BindingResult converted;
      Zorv::FromBinding(converted, typed.value, event.data, "<value>", plugin.typeRegistry());
      if (!converted.ok())
        return;
    }
    handler(typed);
  };
}

// Registers `handler` for the URI (a pattern when it contains "*"), replacing an earlier handler
// of the same URI, and subscribes. A URI without "*" is read at once and its current value
// delivered as a Create event.
template <class T>
void ObserveResource(PluginCore& plugin, const std::string& uri,
                     std::function<void(const ResourceEvent<T>&)> handler) {
  PluginCore::ResourceEventHandler typed = TypedResourceEventHandler<T>(plugin, std::move(handler));
  plugin.SetResourceHandler(uri, typed);
  plugin.Subscribe(uri);
  if (uri.find('*') == std::string::npos)
    DeliverCurrentResource(plugin, uri, typed);
}

}  // namespace dul
