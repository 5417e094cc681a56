// HostedPlugin: a plugin object built in-process, loaded through the load glue and driven by a
// HostRuntime on a virtual clock, so that tests go through the real host contract.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "binding/binding_property.h"
#include "binding/binding_value_record.h"
#include "binding/native_conversion.h"
#include "contract/host_contract.h"
#include "host/core/host_clock.h"
#include "host/core/host_runtime.h"
#include "host/core/plugin_loader.h"
#include "runtime/load_plugin.h"
#include "runtime/plugin_base.h"

namespace dul::testing {

template <class Plugin = PluginBase>
class HostedPlugin {
 public:
  // Loads the plugin as a host of `version` speaks; initializes it unless `start` is false.
  explicit HostedPlugin(bool start = true, host::ApiVersion version = {}) : plugin(new Plugin()) {
    handshake.apiMajor = version.major;
    handshake.apiMinor = version.minor;
    handshake.apiPatch = version.patch;
    LoadPlugin(*plugin, handshake, "dul-item-sets");
    if (start)
      started = host.Start(handshake);
  }
  ~HostedPlugin() { Destroy(); }
  HostedPlugin(const HostedPlugin&) = delete;
  HostedPlugin& operator=(const HostedPlugin&) = delete;

  bool Start() { return started = host.Start(handshake); }

  // Destroys the plugin through its entry table, as the host does at shutdown.
  void Destroy() {
    if (plugin == nullptr)
      return;
    if (host.running())
      host.Stop();
    else
      handshake.entryTable->destroy(handshake.plugin);
    plugin = nullptr;
  }

  host::VirtualClock clock;
  host::HostRuntime host{clock};
  DulPluginHandshake handshake{18, 0, 0, nullptr, nullptr, nullptr, nullptr};
  Plugin* plugin;
  bool started = false;
};

// Every event the host saw published, in order.
class PublishedEvents {
 public:
  explicit PublishedEvents(host::HostRuntime& host) {
    host.AddObserver([this](const host::PublishedEvent& event) {
      events.push_back(
          host::PublishedEvent{event.name, event.payload.Clone(), event.value, event.fromPlugin});
    });
  }
  std::vector<host::PublishedEvent> events;
};

// How many times the plugin subscribed to `name` at the host, counting those undone since.
inline std::size_t SubscribeCallsTo(const host::HostRuntime& host, std::string_view name) {
  std::size_t count = 0;
  for (const host::HostSubscription& subscription : host.subscribeHistory())
    count += subscription.name == name ? 1 : 0;
  return count;
}

// Calls a callback the host was given with `name` and `payload` directly, bypassing the host's
// bookkeeping: an event already on its way when the subscription went, or a name it never had.
inline void DeliverThrough(const host::HostSubscription& subscription, const char* name,
                           const Zorv::BindingProperty& payload) {
  DulBindingValueRecord record = Zorv::MakeValueRecord(payload, nullptr);
  const DulHostEventRecord event{name, record, 0, subscription.userData};
  subscription.callback(&event);
  Zorv::ClearValueRecord(record);
}

// Publishes a native payload on the host's behalf, converted with the plugin's registry.
template <class Plugin, class Payload>
void PublishNative(HostedPlugin<Plugin>& hosted, const char* name, const Payload& payload) {
  Zorv::BindingResult converted;
  Zorv::ToBinding(converted, payload, hosted.plugin->typeRegistry());
  ASSERT_TRUE(converted.ok()) << converted.ErrorText();
  hosted.host.PublishEvent(name, converted.value());
}

}  // namespace dul::testing
