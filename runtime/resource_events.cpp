#include "runtime/resource_events.h"

#include <optional>
#include <vector>

#include "binding/binding_value_record.h"
#include "contract/event_names.h"
#include "runtime/event_payload.h"
#include "runtime/json_api_client.h"

namespace dul {

using Zorv::Client::PluginResourceEvent;
using Zorv::Client::PluginResourceEventType;

bool UriMatchesPattern(std::string_view pattern, std::string_view uri) {
  std::size_t at = 0;
  for (const char expected : pattern) {
    if (expected != '*') {
      if (at == uri.size() || uri[at] != expected)
        return false;
      ++at;
      continue;
    }
    const std::size_t start = at;
    while (at < uri.size() && uri[at] != '/')
      ++at;
    if (at == uri.size() && at == start)
      return false;  // at the end of the URI, "*" stands for at least one character
  }
  return at == uri.size();
}

void PluginCore::Subscribe(const std::string& uri) {
  const std::string name = EventNameForUri(uri);
  if (++subscriptionCounts_[name] != 1)
    return;
  SubscribeEvent(
      name,
      DecodingEventHandler<PluginResourceEvent>(
          *this, [this](const PluginResourceEvent& event) { DispatchResourceEvent(event); }),
      kResourceEventFlag);
}

void PluginCore::Unsubscribe(const std::string& uri) {
  const std::string name = EventNameForUri(uri);
  const auto count = subscriptionCounts_.find(name);
  // An unsubscription without a subscription has nothing to release.
  if (count == subscriptionCounts_.end() || count->second == 0)
    return;
  if (--count->second != 0)
    return;
  subscriptionCounts_.erase(count);
  HostUnsubscribe(name.c_str(), pluginHandle_);
  eventHandlers_.erase(name);
}

void PluginCore::SetResourceHandler(const std::string& uri, ResourceEventHandler handler) {
  ResourceHandlerTable& table =
      uri.find('*') == std::string::npos ? exactUriHandlers_ : uriPatternHandlers_;
  table.insert_or_assign(uri, std::move(handler));
}

void PluginCore::DispatchResourceEvent(const PluginResourceEvent& event) {
  std::string uri = event.uri;
  if (uri.empty() || uri.front() != '/')
    uri.insert(uri.begin(), '/');
  // Run copies: a handler may observe further resources and so change these tables.
  std::vector<ResourceEventHandler> matching;
  if (const auto exact = exactUriHandlers_.find(uri); exact != exactUriHandlers_.end())
    matching.push_back(exact->second);
  for (const auto& [pattern, handler] : uriPatternHandlers_) {
    if (UriMatchesPattern(pattern, uri))
      matching.push_back(handler);
  }
  for (const ResourceEventHandler& handler : matching)
    handler(event);
}

void DeliverCurrentResource(PluginCore& plugin, const std::string& uri,
                            const PluginCore::ResourceEventHandler& handler) {
  RequestResult<Zorv::BindingProperty> current =
      RequestValue<Zorv::BindingProperty>(plugin, RequestMethod::kGet, uri);
  if (!current.ok())
    return;
  PluginResourceEvent event;
  event.uri = uri;
  event.eventType = PluginResourceEventType::Create;
  event.data = std::move(current.value());
  handler(event);
}

RequestOutcome PublishResourceEvent(PluginCore& plugin, std::string_view name,
                                    const PluginResourceEvent& event, std::uint32_t word) {
  Zorv::BindingResult converted;
  Zorv::ToBinding(converted, event, plugin.typeRegistry());
  if (!converted.ok())
    return RequestError{0, std::string(converted.ErrorText())};
  PublishResourceEventPayload(plugin, name, converted.value(), word);
  return std::nullopt;
}

void PublishResourceEventPayload(PluginCore& plugin, std::string_view name,
                                 const Zorv::BindingProperty& payload, std::uint32_t word) {
  const std::string derivedName = EventNameForUri(payload.Find("uri").GetString());
  DulHostEventRecord record{};
  record.name = derivedName.c_str();
  record.payload = Zorv::MakeValueRecord(payload, &plugin.typeRegistry());
  record.value = word;
  plugin.HostPublishEvent(&record);
  if (name != derivedName) {
    const std::string givenName(name);
    record.name = givenName.c_str();
    plugin.HostPublishEvent(&record);
  }
  Zorv::ClearValueRecord(record.payload);
}

}  // namespace dul
