// Loads the real shared library through its export, as the platform does.
#include <gtest/gtest.h>

#include "host/core/host_clock.h"
#include "host/core/host_runtime.h"
#include "host/core/plugin_loader.h"

namespace dul {
namespace {

// Catches an export that fails to build the plugin, reports the wrong version or names, follows
// the wrong resources, or whose entry table does not drive the object through its whole life.
TEST(LoadDulItemSets, HandshakeInitializeAndDestroy) {
  host::PluginLoader loader;
  ASSERT_TRUE(loader.Load(DUL_PLUGIN_LIBRARY, "load_dul_item_sets", host::ApiVersion{18, 0, 7}))
      << loader.error();
  EXPECT_EQ(loader.pluginVersion().major, 18u);
  EXPECT_EQ(loader.pluginVersion().minor, 0u);
  EXPECT_EQ(loader.pluginVersion().patch, 0u);
  EXPECT_STREQ(loader.handshake().shortName, "dul-item-sets");
  ASSERT_NE(loader.handshake().endpointTable, nullptr);

  host::VirtualClock clock;
  host::HostRuntime host(clock);
  ASSERT_TRUE(host.Start(loader));
  // The runtime's three service-proxy events, then the plugin's resources in order.
  const auto& subscriptions = host.subscribeHistory();
  ASSERT_EQ(subscriptions.size(), 6u);
  EXPECT_EQ(subscriptions[0].name, "OnServiceProxyUuidEvent");
  EXPECT_EQ(subscriptions[3].name, "OnJsonApiEvent_dul-login_v1_session");
  EXPECT_EQ(subscriptions[4].name, "OnJsonApiEvent_dul-platform-config_v1_namespaces_ItemSets");
  EXPECT_EQ(subscriptions[5].name,
            "OnJsonApiEvent_dul-player-preferences_v1_player-preferences-ready");

  const AllocationStats stats = loader.ReadMemoryStats();
  EXPECT_GT(stats.allocations, 0u);
  EXPECT_GE(stats.bytesAllocated, stats.bytesFreed);
  EXPECT_GE(stats.peakLiveBytes, stats.bytesAllocated - stats.bytesFreed);
  host.Stop();
  EXPECT_FALSE(loader.loaded());
}

// Catches a library that lets an incompatible host go on instead of ending the process.
TEST(LoadDulItemSets, IncompatibleHostEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        host::PluginLoader loader;
        loader.Load(DUL_PLUGIN_LIBRARY, "load_dul_item_sets", host::ApiVersion{19, 0, 0});
      },
      "Assertion failed!\n\nExpression: ALE-EECF0606");
}

// Catches a request answered by nobody: a request for an endpoint the plugin lacks is refused.
TEST(LoadDulItemSets, RequestForUnknownEndpointIsInvalidFunction) {
  host::PluginLoader loader;
  ASSERT_TRUE(loader.Load(DUL_PLUGIN_LIBRARY, "load_dul_item_sets", host::ApiVersion{}));
  const DulEndpointTable* table = loader.handshake().endpointTable;
  DulHostRequestRecord request{};
  request.method = 2;
  request.url = "/nowhere";
  DulHostResponseRecord response{};
  table->dispatch(table->plugin, &response, &request);
  EXPECT_STREQ(response.errorText, "Invalid function");
  const std::uint32_t status = response.status;  // a packed field: copy before comparing
  EXPECT_EQ(status, 404u);
}

}  // namespace
}  // namespace dul
