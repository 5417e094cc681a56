#include "runtime/service_proxy.h"

#include <utility>

#include "foundation/format_text.h"
#include "foundation/logger.h"
#include "runtime/event_payload.h"
#include "runtime/plugin_core.h"

namespace dul {
namespace {

constexpr std::size_t kInitialBuckets = 8;
constexpr std::uint32_t kServiceProxyLogCategory = 1;

template <class Table>
void PrepareTable(Table& table) {
  table.rehash(kInitialBuckets);
  table.max_load_factor(1.0f);
}

}  // namespace

std::string ServiceProxyMethodKey(const ServiceProxyMessage& message) {
  return FormatText("%1.%2", message.serviceName, message.methodName);
}

ServiceProxyTables::ServiceProxyTables() {
  PrepareTable(waitingRequests_);
  PrepareTable(storedMessages_);
  PrepareTable(asyncHandlers_);
}

ServiceProxyTables::~ServiceProxyTables() = default;

void ServiceProxyTables::StoreMessage(std::string key, ServiceProxyMessage message,
                                      std::string_view logName) {
  platform::MutexLock lock(mutex_);
  storedMessages_.insert_or_assign(std::move(key), std::move(message));
  AnswerFirstWaitingRequest(logName);
}

void ServiceProxyTables::AwaitMessage(std::string key, ServiceProxyHandler handler,
                                      std::string_view logName) {
  platform::MutexLock lock(mutex_);
  waitingRequests_.insert_or_assign(std::move(key), std::move(handler));
  AnswerFirstWaitingRequest(logName);
}

void ServiceProxyTables::AnswerFirstWaitingRequest(std::string_view logName) {
  for (auto message = storedMessages_.begin(); message != storedMessages_.end(); ++message) {
    const auto request = waitingRequests_.find(message->first);
    if (request == waitingRequests_.end())
      continue;
    // Both entries leave the tables before the handler runs; it answers exactly once.
    const ServiceProxyHandler handler = std::move(request->second);
    waitingRequests_.erase(request);
    const std::string key = message->first;
    const ServiceProxyMessage answer = std::move(message->second);
    storedMessages_.erase(message);
    if (handler)
      handler(answer);
    Log(kLogLevelAlways, kServiceProxyLogCategory, 0, "%s: Fulfilled service proxy request: %s",
        std::string(logName).c_str(), key.c_str());
    return;
  }
}

bool ServiceProxyTables::DeliverAsync(std::string_view key, const ServiceProxyMessage& message) {
  platform::MutexLock lock(mutex_);
  const auto found = asyncHandlers_.find(key);
  if (found == asyncHandlers_.end() || !found->second)
    return false;
  found->second(message);
  return true;
}

void ServiceProxyTables::SetAsyncHandler(std::string key, ServiceProxyHandler handler) {
  platform::MutexLock lock(mutex_);
  asyncHandlers_.insert_or_assign(std::move(key), std::move(handler));
}

void ServiceProxyTables::RemoveAsyncHandler(std::string_view key) {
  ServiceProxyHandler removed;  // released after the mutex
  platform::MutexLock lock(mutex_);
  if (const auto found = asyncHandlers_.find(key); found != asyncHandlers_.end()) {
    removed = std::move(found->second);
    asyncHandlers_.erase(found);
  }
}

void ServiceProxyTables::Clear() {
  // Handlers may own objects whose destructors do anything; destroy them outside the mutex.
  Table<ServiceProxyHandler> waiting;
  Table<ServiceProxyMessage> stored;
  Table<ServiceProxyHandler> async;
  platform::MutexLock lock(mutex_);
  waiting.swap(waitingRequests_);
  stored.swap(storedMessages_);
  async.swap(asyncHandlers_);
}

std::size_t ServiceProxyTables::storedMessageCount() const {
  platform::MutexLock lock(mutex_);
  return storedMessages_.size();
}

std::size_t ServiceProxyTables::waitingRequestCount() const {
  platform::MutexLock lock(mutex_);
  return waitingRequests_.size();
}

void HandleServiceProxyMessage(PluginCore& plugin, std::string_view eventName,
                               const ServiceProxyMessage& message) {
  ServiceProxyTables& tables = plugin.serviceProxy();
  if (eventName == kServiceProxyUuidEvent) {
    tables.StoreMessage(message.uuid, message, plugin.shortName());
  } else if (eventName == kServiceProxyMethodEvent) {
    tables.StoreMessage(ServiceProxyMethodKey(message), message, plugin.shortName());
  } else if (eventName == kServiceProxyAsyncEvent) {
    const std::string key = ServiceProxyMethodKey(message);
    if (!tables.DeliverAsync(key, message)) {
      Log(kLogLevelError, kServiceProxyLogCategory, 0,
          "%s: Could not find registered handler for async service proxy event %s",
          plugin.shortName().c_str(), key.c_str());
    }
  }
}

void SubscribeServiceProxyEvents(PluginCore& plugin) {
  for (const char* eventName :
       {kServiceProxyUuidEvent, kServiceProxyMethodEvent, kServiceProxyAsyncEvent}) {
    plugin.SubscribeEvent(eventName,
                          DecodingEventHandler<ServiceProxyMessage>(
                              plugin,
                              [&plugin, eventName](const ServiceProxyMessage& message) {
                                HandleServiceProxyMessage(plugin, eventName, message);
                              }),
                          kServiceProxyEventFlag);
  }
}

void AwaitServiceProxyMessage(PluginCore& plugin, std::string key, ServiceProxyHandler handler) {
  plugin.serviceProxy().AwaitMessage(std::move(key), std::move(handler), plugin.shortName());
}

void SetServiceProxyAsyncHandler(PluginCore& plugin, std::string key, ServiceProxyHandler handler) {
  plugin.serviceProxy().SetAsyncHandler(std::move(key), std::move(handler));
}

void RemoveServiceProxyAsyncHandler(PluginCore& plugin, std::string_view key) {
  plugin.serviceProxy().RemoveAsyncHandler(key);
}

}  // namespace dul
