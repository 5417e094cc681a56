// A plugin loaded and initialized against a RecordingHost for event tests: it answers GET
// requests from a table, records what it publishes, and lets a test deliver events through the
// callback the host was given.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "binding/binding_property.h"
#include "binding/binding_value_record.h"
#include "binding/native_conversion.h"
#include "runtime/load_plugin.h"
#include "runtime/plugin_base.h"
#include "tests/support/recording_host.h"

namespace dul::testing {

class EventProbePlugin : public PluginBase {
 public:
  struct Published {
    std::string name;
    std::uint32_t word;
    Zorv::BindingProperty payload;
  };

  // Answers a GET whose URL is in `answers` with that body; anything else as the host would.
  void HostRequest(DulHostResponseRecord* response, const DulHostRequestRecord* request) override {
    requestedUrls.emplace_back(request->url);
    const auto answer = answers.find(request->url);
    if (answer == answers.end())
      return PluginBase::HostRequest(response, request);
    response->body = Zorv::MakeValueRecord(answer->second, nullptr);
    response->statusText = "";
    response->status = 200;
    response->release = &ReleaseBody;
  }

  void HostPublishEvent(const DulHostEventRecord* event) override {
    publishCount++;
    if (!keepPublished)
      return;
    Zorv::BindingResult payload;
    Zorv::ReadValueRecord(payload, event->payload, "payload");
    published.push_back(Published{event->name, event->value, payload.TakeValue()});
  }

  std::map<std::string, Zorv::BindingProperty> answers;
  std::vector<std::string> requestedUrls;
  std::vector<Published> published;
  std::size_t publishCount = 0;
  bool keepPublished = true;

 private:
  static void DUL_CALL ReleaseBody(DulHostResponseRecord* response) {
    Zorv::ClearValueRecord(response->body);
  }
};

// Owns the host and the plugin; the plugin is destroyed through the entry table, as the host
// does, unless a test destroys it first.
class LoadedProbePlugin {
 public:
  LoadedProbePlugin() : plugin(new EventProbePlugin()) {
    DulPluginHandshake handshake{18, 0, 0, nullptr, nullptr, nullptr, nullptr};
    LoadPlugin(*plugin, handshake, "dul-item-sets");
    const DulHostInterface link = host.Interface();
    plugin->entryTable().initialize(PluginBase::AsObject(plugin), &link);
  }
  ~LoadedProbePlugin() { Destroy(); }
  LoadedProbePlugin(const LoadedProbePlugin&) = delete;
  LoadedProbePlugin& operator=(const LoadedProbePlugin&) = delete;

  void Destroy() {
    if (plugin != nullptr)
      plugin->entryTable().destroy(PluginBase::AsObject(plugin));
    plugin = nullptr;
  }

  // Delivers `payload` under `name` through the latest callback the host was given for it.
  void Deliver(const char* name, const Zorv::BindingProperty& payload) {
    const RecordingHost::Subscription* target = nullptr;
    for (const RecordingHost::Subscription& subscription : host.subscriptions)
      target = subscription.name == name ? &subscription : target;
    ASSERT_NE(target, nullptr) << name;
    DulBindingValueRecord record = Zorv::MakeValueRecord(payload, &plugin->typeRegistry());
    const DulHostEventRecord event{name, record, 0, target->userData};
    target->callback(&event);
    Zorv::ClearValueRecord(record);
  }

  // Converts a native payload with the plugin's registry, then delivers it.
  template <class Payload>
  void DeliverNative(const char* name, const Payload& payload) {
    Zorv::BindingResult converted;
    Zorv::ToBinding(converted, payload, plugin->typeRegistry());
    ASSERT_TRUE(converted.ok()) << converted.ErrorText();
    Deliver(name, converted.value());
  }

  std::size_t SubscriptionsTo(const std::string& name) const {
    std::size_t count = 0;
    for (const RecordingHost::Subscription& subscription : host.subscriptions)
      count += subscription.name == name ? 1 : 0;
    return count;
  }

  RecordingHost host;
  EventProbePlugin* plugin;
};

}  // namespace dul::testing
