#include "runtime/plugin_manager_types.h"

#include "binding/binding_type_builder.h"
#include "binding/binding_type_registry.h"

namespace dul {
namespace {

using namespace Zorv::Client;
using namespace Zorv::Client::AppModule;
using Zorv::BeginType;
using Zorv::BindingTypeRegistry;

constexpr std::string_view kTag = "zclient";

void RegisterStateAndResourceEvent(BindingTypeRegistry& registry) {
  BeginType<PluginManagerState>(registry, "PluginManagerState")
      .AddTag(kTag)
      .AddEnumValue("NotReady", 0, "")
      .AddEnumValue("PluginsInitialized", 1, "");
  BeginType<PluginManagerResource>(registry, "PluginManagerResource")
      .AddTag(kTag)
      .AddField("state", "", &PluginManagerResource::state);
  BeginType<PluginResourceEventType>(registry, "PluginResourceEventType")
      .AddTag(kTag)
      .AddEnumValue("Create", 0, "")
      .AddEnumValue("Update", 1, "")
      .AddEnumValue("Delete", 2, "");
  BeginType<PluginResourceEvent>(registry, "PluginResourceEvent")
      .AddTag(kTag)
      .AddField("uri", "", &PluginResourceEvent::uri)
      .AddField("eventType", "", &PluginResourceEvent::eventType)
      .AddField("data", "", &PluginResourceEvent::data);
}

void RegisterAppModuleRecords(BindingTypeRegistry& registry) {
  BeginType<PluginLcdsEvent>(registry, "PluginLcdsEvent")
      .AddTag(kTag)
      .AddField("clientId", "", &PluginLcdsEvent::clientId)
      .AddField("subtopic", "", &PluginLcdsEvent::subtopic)
      .AddField("typeName", "", &PluginLcdsEvent::typeName)
      .AddField("body", "", &PluginLcdsEvent::body);
  BeginType<PluginLcdsResponse>(registry, "PluginLcdsResponse")
      .AddTag(kTag)
      .AddField("typeName", "", &PluginLcdsResponse::typeName)
      .AddField("body", "", &PluginLcdsResponse::body);
  using Response = PluginServiceProxyResponse;
  BeginType<Response>(registry, "PluginServiceProxyResponse")
      .AddTag(kTag)
      .AddField("uuid", "", &Response::uuid)
      .AddField("serviceName", "", &Response::serviceName)
      .AddField("methodName", "", &Response::methodName)
      .AddField("payload", "", &Response::payload)
      .AddField("status", "", &Response::status)
      .AddField("error", "", &Response::error);
}

void RegisterEvents(BindingTypeRegistry& registry) {
  using ::StaticType::HashCode;
  registry.RegisterEvent("OnJsonApiEvent", HashCode<PluginResourceEvent>(),
                         "Fired when a resource is changed.", {});
  registry.RegisterEvent("OnLcdsEvent", HashCode<PluginLcdsEvent>(),
                         "Fired when a message is received over the LCDS connection.", {});
  const auto& proxy = HashCode<PluginServiceProxyResponse>();
  registry.RegisterEvent("OnServiceProxyUuidEvent", proxy,
                         "Fired when a uuid-based service proxy message is received.", {});
  registry.RegisterEvent("OnServiceProxyMethodEvent", proxy,
                         "Fired when a method-based service proxy message is received.", {});
  registry.RegisterEvent("OnServiceProxyAsyncEvent", proxy,
                         "Fired when an async service proxy message is received.", {});
}

}  // namespace

void RegisterPluginManagerTypes(BindingTypeRegistry& registry) {
  RegisterStateAndResourceEvent(registry);
  RegisterAppModuleRecords(registry);
  RegisterEvents(registry);
}

}  // namespace dul
