// Service-proxy messages: answers to requests made through the platform's service proxy, and
// messages the platform pushes on its own. Every plugin subscribes to them at initialize.
//
//   AwaitServiceProxyMessage(plugin, uuid, [](const ServiceProxyMessage& answer) { ... });
//   SetServiceProxyAsyncHandler(plugin, "inventory.changed", [](const ServiceProxyMessage&) {});
//
// Handlers run while the tables' mutex is held: they must not call back into these tables.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "foundation/fnv1a.h"
#include "platform/mutex.h"
#include "runtime/plugin_manager_types.h"

namespace dul {

class PluginCore;

using ServiceProxyMessage = Zorv::Client::AppModule::PluginServiceProxyResponse;
using ServiceProxyHandler = std::function<void(const ServiceProxyMessage&)>;

inline constexpr const char* kServiceProxyUuidEvent = "OnServiceProxyUuidEvent";
inline constexpr const char* kServiceProxyMethodEvent = "OnServiceProxyMethodEvent";
inline constexpr const char* kServiceProxyAsyncEvent = "OnServiceProxyAsyncEvent";
// The subscription flag under which the host delivers service-proxy messages.
inline constexpr std::uint32_t kServiceProxyEventFlag = 1;

// "service.method": the key of method-based and asynchronous messages.
std::string ServiceProxyMethodKey(const ServiceProxyMessage& message);

// The plugin's service-proxy state: requests waiting for their answer, answers nobody has claimed
// yet and the handlers of asynchronous messages, all under one mutex. `logName` prefixes the log
// line written when a waiting request is answered.
class ServiceProxyTables {
 public:
  ServiceProxyTables();
  ~ServiceProxyTables();
  ServiceProxyTables(const ServiceProxyTables&) = delete;
  ServiceProxyTables& operator=(const ServiceProxyTables&) = delete;

  // Keeps the message under `key` (replacing an unclaimed one with that key), then answers the
  // first kept message that a waiting request asks for.
  void StoreMessage(std::string key, ServiceProxyMessage message, std::string_view logName);
  // Registers a one-shot handler for the message with `key`, replacing an earlier one; a message
  // already kept under that key is handed over at once.
  void AwaitMessage(std::string key, ServiceProxyHandler handler, std::string_view logName);
  // Calls the asynchronous handler of `key`; false when there is none.
  bool DeliverAsync(std::string_view key, const ServiceProxyMessage& message);
  void SetAsyncHandler(std::string key, ServiceProxyHandler handler);
  void RemoveAsyncHandler(std::string_view key);
  // Empties the three tables; handlers are released after the mutex.
  void Clear();

  std::size_t storedMessageCount() const;
  std::size_t waitingRequestCount() const;

 private:
  template <class Value>
  using Table = std::unordered_map<std::string, Value, Fnv1aHash, std::equal_to<>>;

  // Hands the first kept message with a waiting request to it; the mutex is held.
  void AnswerFirstWaitingRequest(std::string_view logName);

  mutable platform::Mutex mutex_;
  Table<ServiceProxyHandler> waitingRequests_;
  Table<ServiceProxyMessage> storedMessages_;
  Table<ServiceProxyHandler> asyncHandlers_;
};

// Subscribes the plugin, under the service-proxy flag, to the uuid, method and asynchronous
// messages; called once at initialize.
void SubscribeServiceProxyEvents(PluginCore& plugin);

// Runs the rules of one delivered message: uuid and method messages are kept for a waiting
// request, asynchronous ones go to their handler (a missing handler is logged).
void HandleServiceProxyMessage(PluginCore& plugin, std::string_view eventName,
                               const ServiceProxyMessage& message);

void AwaitServiceProxyMessage(PluginCore& plugin, std::string key, ServiceProxyHandler handler);
void SetServiceProxyAsyncHandler(PluginCore& plugin, std::string key, ServiceProxyHandler handler);
void RemoveServiceProxyAsyncHandler(PluginCore& plugin, std::string_view key);

}  // namespace dul
