#include "runtime/plugin_core.h"

#include <utility>

#include "runtime/host_entry_guard.h"
#include "runtime/telemetry_sender.h"

namespace dul {

namespace {
constexpr std::size_t kInitialBuckets = 8;
}

PluginCore::PluginCore()
    : typeRegistry_(std::make_unique<Zorv::BindingTypeRegistry>()),
      exactUriHandlers_(kInitialBuckets),
      uriPatternHandlers_(kInitialBuckets),
      eventHandlers_(kInitialBuckets),
      subscriptionCounts_(kInitialBuckets) {
  exactUriHandlers_.max_load_factor(1.0f);
  uriPatternHandlers_.max_load_factor(1.0f);
  eventHandlers_.max_load_factor(1.0f);
  subscriptionCounts_.max_load_factor(1.0f);
  scheduler_ = std::make_unique<PluginScheduler>(*this);
}

PluginCore::~PluginCore() = default;

void PluginCore::Shutdown() {
  for (const auto& [name, handler] : eventHandlers_)
    HostUnsubscribe(name.c_str(), pluginHandle_);
  eventHandlers_.clear();
  serviceProxy_.Clear();
  scheduler_->ClearTimers();
  exactUriHandlers_.clear();
  uriPatternHandlers_.clear();
}

void PluginCore::SubscribeEvent(const std::string& eventName, HostEventHandler handler,
                                std::uint32_t flag) {
  eventHandlers_[eventName] = std::make_shared<HostEventHandler>(std::move(handler));
  HostSubscribe(eventName.c_str(), pluginHandle_, &PluginCore::DeliverHostEvent, this, flag);
}

void DUL_CALL PluginCore::DeliverHostEvent(const DulHostEventRecord* event) {
  if (event == nullptr || event->name == nullptr || event->userData == nullptr)
    return;
  GuardHostEntry("event delivery", [event] {
    auto* plugin = static_cast<PluginCore*>(event->userData);
    const auto found = plugin->eventHandlers_.find(std::string_view(event->name));
    if (found == plugin->eventHandlers_.end())
      return;
    // Hold the handler: it may replace or remove its own table entry while it runs.
    const std::shared_ptr<HostEventHandler> handler = found->second;
    (*handler)(*event);
  });
}

}  // namespace dul
