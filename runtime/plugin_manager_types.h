// The records of the platform's plugin manager that every plugin registers in its type registry:
// resource events (the record of every resource change), LCDS messages and service-proxy answers.
#pragma once

#include <cstdint>
#include <string>

#include "binding/binding_property.h"
#include "binding/type_spelling.h"
#include "contract/resource_event_type.h"

namespace Zorv {
class BindingTypeRegistry;
}

namespace Zorv::Client {

enum class PluginManagerState : std::int32_t {
  NotReady = 0,
  PluginsInitialized = 1,
};

struct PluginManagerResource {
  PluginManagerState state = PluginManagerState::NotReady;
};

struct PluginResourceEvent {
  std::string uri;
  PluginResourceEventType eventType = PluginResourceEventType::Create;
  BindingProperty data;
};

}  // namespace Zorv::Client

namespace Zorv::Client::AppModule {

struct PluginLcdsEvent {
  std::string clientId;
  std::string subtopic;
  std::string typeName;
  BindingProperty body;
};

struct PluginLcdsResponse {
  std::string typeName;
  BindingProperty body;
};

struct PluginServiceProxyResponse {
  std::string uuid;
  std::string serviceName;
  std::string methodName;
  std::string payload;
  std::string status;
  std::string error;
};

}  // namespace Zorv::Client::AppModule

DUL_BINDING_TYPE_NAME(enum, Zorv::Client::PluginManagerState);
DUL_BINDING_TYPE_NAME(struct, Zorv::Client::PluginManagerResource);
DUL_BINDING_TYPE_NAME(enum, Zorv::Client::PluginResourceEventType);
DUL_BINDING_TYPE_NAME(struct, Zorv::Client::PluginResourceEvent);
DUL_BINDING_TYPE_NAME(struct, Zorv::Client::AppModule::PluginLcdsEvent);
DUL_BINDING_TYPE_NAME(struct, Zorv::Client::AppModule::PluginLcdsResponse);
DUL_BINDING_TYPE_NAME(struct, Zorv::Client::AppModule::PluginServiceProxyResponse);

namespace dul {

// Registers the plugin-manager types (tagged "zclient") and the five runtime events.
void RegisterPluginManagerTypes(Zorv::BindingTypeRegistry& registry);

}  // namespace dul
