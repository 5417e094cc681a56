// HostedPlugin: a plugin object built in-process, loaded through the load glue and driven by a
// HostRuntime on a virtual clock, so that tests go through the real host contract.
#pragma once

#include <string>

#include "binding/binding_property.h"
#include "binding/binding_value_record.h"
#include "host/host_clock.h"
#include "host/host_runtime.h"
#include "runtime/host_contract.h"
#include "runtime/load_plugin.h"
#include "runtime/plugin_base.h"

namespace dul::testing {

template <class Plugin = PluginBase>
class HostedPlugin {
 public:
  // Loads the plugin; initializes it with the host unless `start` is false.
  explicit HostedPlugin(bool start = true) : plugin(new Plugin()) {
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

}  // namespace dul::testing
