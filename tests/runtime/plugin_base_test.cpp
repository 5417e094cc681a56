#include "runtime/plugin_base.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "contract/memory_stats.h"
#include "foundation/allocation_counters.h"
#include "foundation/logger.h"
#include "runtime/load_plugin.h"
#include "runtime/plugin_manager_types.h"
#include "tests/support/hosted_plugin.h"

namespace dul {
namespace {

// A plugin that records the order of its load and initialization hooks.
class ProbePlugin : public PluginBase {
 public:
  void RegisterApi() override { registerApiCalls++; }
  bool OnInitialize() override {
    onInitializeCalls++;
    return initializeResult;
  }
  using PluginBase::SubscribeEvent;

  int registerApiCalls = 0;
  int onInitializeCalls = 0;
  bool initializeResult = true;
};

DulPluginHandshake HandshakeFor(std::uint32_t major, std::uint32_t minor, std::uint32_t patch) {
  return DulPluginHandshake{major, minor, patch, nullptr, nullptr, nullptr, nullptr};
}

struct HostVersionCase {
  std::uint32_t major, minor, patch;
};

class CompatibleHostVersion : public ::testing::TestWithParam<HostVersionCase> {};

// Catches a version check that rejects a newer minor or patch of the same major release.
TEST_P(CompatibleHostVersion, LoadsAndReportsOwnVersion) {
  const HostVersionCase version = GetParam();
  auto* plugin = new ProbePlugin();
  DulPluginHandshake handshake = HandshakeFor(version.major, version.minor, version.patch);
  LoadPlugin(*plugin, handshake, "dul-item-sets");
  EXPECT_EQ(handshake.apiMajor, 18u);
  EXPECT_EQ(handshake.apiMinor, 0u);
  EXPECT_EQ(handshake.apiPatch, 0u);
  EXPECT_EQ(handshake.plugin, PluginBase::AsObject(plugin));
  EXPECT_EQ(handshake.entryTable, &plugin->entryTable());
  EXPECT_EQ(handshake.endpointTable, &plugin->endpointTable());
  EXPECT_STREQ(handshake.shortName, "dul-item-sets");
  EXPECT_EQ(plugin->registerApiCalls, 1);
  EXPECT_EQ(plugin->hostApiVersion().Text(), std::to_string(version.major) + "." +
                                                 std::to_string(version.minor) + "." +
                                                 std::to_string(version.patch));
  handshake.entryTable->destroy(handshake.plugin);
}

INSTANTIATE_TEST_SUITE_P(PluginBase, CompatibleHostVersion,
                         ::testing::Values(HostVersionCase{18, 0, 0}, HostVersionCase{18, 5, 3},
                                           HostVersionCase{18, 0, 7}));

class IncompatibleHostVersion : public ::testing::TestWithParam<HostVersionCase> {};

// Catches a load that goes on with a host of another major release or an older minor.
TEST_P(IncompatibleHostVersion, EndsTheProcessWithTheAssertionText) {
  const HostVersionCase version = GetParam();
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        ProbePlugin plugin;
        DulPluginHandshake handshake = HandshakeFor(version.major, version.minor, version.patch);
        LoadPlugin(plugin, handshake, "dul-item-sets");
      },
      "Assertion failed!\n\nExpression: ALE-EECF0606");
}

INSTANTIATE_TEST_SUITE_P(PluginBase, IncompatibleHostVersion,
                         ::testing::Values(HostVersionCase{17, 9, 9}, HostVersionCase{19, 0, 0}));

// Catches names, prefix or tags derived from the wrong text.
TEST(PluginBase, LoadDerivesNamesPrefixAndTags) {
  ProbePlugin plugin;
  DulPluginHandshake handshake = HandshakeFor(18, 0, 0);
  LoadPlugin(plugin, handshake, "dul-item-sets");
  EXPECT_EQ(plugin.fullName(), "pxm-be-dul-item-sets");
  EXPECT_EQ(plugin.kind(), "backend");
  EXPECT_EQ(plugin.typeNamePrefix(), "DulItemSets");
  EXPECT_EQ(plugin.defaultTags(), (std::vector<std::string>{"Plugins", "Plugin dul-item-sets"}));
}

// Catches a load that skips the plugin-manager types or events, or registers them after the
// plugin's own API (whose types may refer to them).
TEST(PluginBase, LoadRegistersPluginManagerTypesBeforeTheApi) {
  class Checking : public ProbePlugin {
   public:
    void RegisterApi() override {
      sawResourceEvent = typeRegistry().FindType("PluginResourceEvent") != nullptr;
    }
    bool sawResourceEvent = false;
  } plugin;
  DulPluginHandshake handshake = HandshakeFor(18, 0, 0);
  LoadPlugin(plugin, handshake, "dul-item-sets");
  EXPECT_TRUE(plugin.sawResourceEvent);
  const Zorv::BindingTypeRegistry& registry = plugin.typeRegistry();
  const char* types[] = {"PluginManagerState",        "PluginManagerResource",
                         "PluginResourceEventType",   "PluginResourceEvent",
                         "PluginLcdsEvent",           "PluginLcdsResponse",
                         "PluginServiceProxyResponse"};
  for (const char* name : types) {
    const Zorv::BindingTypeDescriptor* type = registry.FindType(name);
    ASSERT_NE(type, nullptr) << name;
    EXPECT_EQ(type->tags, (std::vector<std::string>{"zclient"})) << name;
  }
  EXPECT_EQ(registry.FindType("PluginResourceEvent")->fields.size(), 3u);
  EXPECT_EQ(
      registry.EnumName(::StaticType::HashCode<Zorv::Client::PluginResourceEventType>().hash, 1),
      std::string("Update"));
  for (const char* event : {"OnJsonApiEvent", "OnLcdsEvent", "OnServiceProxyUuidEvent",
                            "OnServiceProxyMethodEvent", "OnServiceProxyAsyncEvent"}) {
    EXPECT_NE(registry.FindEvent(event), nullptr) << event;
  }
  EXPECT_EQ(registry.FindEvent("OnJsonApiEvent")->description, "Fired when a resource is changed.");
  EXPECT_NE(registry.FindEvent("OnCallback"), nullptr);  // built in from the start
}

// Catches an initialize that skips the log target, the user agent, the service-proxy
// subscriptions or the plugin's own hook, or reports something other than the hook's result.
TEST(PluginBase, InitializeWiresTheHostAndReturnsTheHookResult) {
  testing::HostedPlugin<ProbePlugin> hosted(false, host::ApiVersion{18, 5, 3});
  ProbePlugin* plugin = hosted.plugin;
  plugin->initializeResult = false;
  EXPECT_FALSE(hosted.Start());
  EXPECT_EQ(plugin->onInitializeCalls, 1);
  EXPECT_EQ(plugin->userAgent(), "ZorvClient/18.5.3 (dul-item-sets)");
  EXPECT_EQ(plugin->pluginHandle(), hosted.host.handle());
  const std::vector<host::HostSubscription>& subscriptions = hosted.host.subscribeHistory();
  ASSERT_EQ(subscriptions.size(), 3u);
  const char* expected[] = {"OnServiceProxyUuidEvent", "OnServiceProxyMethodEvent",
                            "OnServiceProxyAsyncEvent"};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(subscriptions[i].name, expected[i]);
    EXPECT_EQ(subscriptions[i].flag, 1u);
    EXPECT_EQ(subscriptions[i].plugin, hosted.host.handle());
    EXPECT_EQ(subscriptions[i].userData, static_cast<void*>(static_cast<PluginCore*>(plugin)));
  }
  Log(kLogLevelOkay, 4, 0, "hello %d", 7);  // excluded category XTR: dropped
  Log(kLogLevelOkay, 1, 0, "hello %d", 8);
  ASSERT_EQ(hosted.host.logLines().size(), 1u);
  EXPECT_EQ(hosted.host.logLines()[0].message, "hello 8");
  EXPECT_EQ(hosted.host.logLines()[0].level, 0u);
}

// Catches a shutdown that misses a subscribed name, unsubscribes one twice or keeps handlers, a
// replaced handler still called, or an event for a name without handler that is not ignored.
TEST(PluginBase, DestroyUnsubscribesEveryHandledEventOnce) {
  testing::HostedPlugin<ProbePlugin> hosted;
  ASSERT_TRUE(hosted.started);
  ProbePlugin* plugin = hosted.plugin;
  int delivered = 0;
  plugin->SubscribeEvent(
      "OnA", [&](const DulHostEventRecord&) { delivered++; }, 0);
  plugin->SubscribeEvent(
      "OnB", [&](const DulHostEventRecord&) { delivered += 10; }, 0);
  plugin->SubscribeEvent(
      "OnA", [&](const DulHostEventRecord&) { delivered += 100; }, 0);
  hosted.host.PublishEvent("OnA", Zorv::BindingProperty());
  EXPECT_EQ(delivered, 100);
  // A name the plugin never subscribed, through the callback the host was given for "OnA".
  testing::DeliverThrough(*hosted.host.FindSubscription("OnA"), "OnC", Zorv::BindingProperty());
  EXPECT_EQ(delivered, 100);
  hosted.Destroy();
  std::vector<std::string> names = hosted.host.unsubscribeHistory();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names,
            (std::vector<std::string>{"OnA", "OnB", "OnServiceProxyAsyncEvent",
                                      "OnServiceProxyMethodEvent", "OnServiceProxyUuidEvent"}));
  EXPECT_TRUE(hosted.host.subscriptions().empty());
}

// Catches counters that miss allocations or fill the host's words in the wrong order.
TEST(PluginBase, MemoryStatsCountAllocationsInHostWordOrder) {
  std::uint32_t before[kMemoryStatsWords];
  std::uint32_t after[kMemoryStatsWords];
  std::fill(std::begin(after), std::end(after), 0xFFFFFFFFu);
  PluginBase::GetMemoryStats(nullptr, before);
  auto* block = new std::string(1000, 'x');
  PluginBase::GetMemoryStats(nullptr, after);
  delete block;
  const auto counter = [](const std::uint32_t* words, int index) {
    return static_cast<std::uint64_t>(words[2 * index]) |
           (static_cast<std::uint64_t>(words[2 * index + 1]) << 32);
  };
  EXPECT_GE(counter(after, 2) - counter(before, 2), 1000u);  // bytes allocated
  EXPECT_GE(counter(after, 3) - counter(before, 3), 2u);     // the string object and its text
  EXPECT_GE(counter(after, 0), counter(after, 2) - counter(after, 4));  // peak >= live
  EXPECT_EQ(after[12], 0u);
  EXPECT_EQ(after[13], 0u);
  const AllocationStats stats = ReadAllocationStats();
  EXPECT_EQ(stats.frees, counter(after, 5) + 2);
}

}  // namespace
}  // namespace dul
