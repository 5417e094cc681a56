#include "runtime/telemetry_sender.h"

#include <gtest/gtest.h>

#include <chrono>

#include "runtime/load_plugin.h"
#include "runtime/plugin_base.h"
#include "tests/support/recording_host.h"
#include "tests/support/scripted_request_plugin.h"

namespace dul {
namespace {

using testing::ScriptedRequestPlugin;

bool IsReady(const std::future<RequestOutcome>& future) {
  return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

struct EventCase {
  const char* name;
  const char* eventName;
  const char* url;
};

class TelemetryEvent : public ::testing::TestWithParam<EventCase> {};

// Catches an event posted with another method, an escaped or altered name, a body that is not
// one structure, or a future that is not ready when the call returns.
TEST_P(TelemetryEvent, PostsAStructureToTheNamedPath) {
  const EventCase& event = GetParam();
  ScriptedRequestPlugin plugin;
  plugin.answer = ScriptedRequestPlugin::CountReleases;
  TelemetrySender sender(plugin);
  std::future<RequestOutcome> sent = sender.SendTelemetryEvent(event.eventName, {});
  ASSERT_TRUE(IsReady(sent));
  EXPECT_FALSE(sent.get().has_value());
  ASSERT_EQ(plugin.requests.size(), 1u);
  EXPECT_EQ(plugin.requests[0].method, 6u);
  EXPECT_EQ(plugin.requests[0].url, event.url);
  ASSERT_EQ(plugin.requests[0].argumentCount, 1u);
  EXPECT_EQ(plugin.requests[0].body.Kind(), Zorv::BindingPropertyKind::kStructure);
  EXPECT_EQ(plugin.requests[0].body.Size(), 0u);
  EXPECT_EQ(ScriptedRequestPlugin::releaseCalls(), 1);
}

INSTANTIATE_TEST_SUITE_P(TelemetrySender, TelemetryEvent,
                         ::testing::Values(EventCase{"EmptyList", "item-sets-saved",
                                                     "/telemetry/v1/events/item-sets-saved"},
                                           EventCase{"SlashAddressesADeeperPath", "item-sets/saved",
                                                     "/telemetry/v1/events/item-sets/saved"}),
                         [](const auto& info) { return std::string(info.param.name); });

// Catches an error answer lost on its way into the future, or an answer left unreleased.
TEST(TelemetrySender, ErrorAnswerArrivesInTheReadyFuture) {
  ScriptedRequestPlugin plugin;
  plugin.answer = [](DulHostResponseRecord& response) {
    response.errorText = "Unavailable";
    response.status = 503;
    ScriptedRequestPlugin::CountReleases(response);
  };
  TelemetrySender sender(plugin);
  std::future<RequestOutcome> sent = sender.SendTelemetryEvent("save", {});
  ASSERT_TRUE(IsReady(sent));
  const RequestOutcome outcome = sent.get();
  ASSERT_TRUE(outcome.has_value());
  EXPECT_EQ(outcome->code, 503);
  EXPECT_EQ(outcome->message, "Error response for POST /telemetry/v1/events/save: Unavailable");
  EXPECT_EQ(ScriptedRequestPlugin::releaseCalls(), 1);
}

// Catches a plugin that has no sender after initialize or sends around the host it was given.
TEST(TelemetrySender, InitializeCreatesTheSenderThatPostsThroughTheHost) {
  auto* plugin = new PluginBase();
  DulPluginHandshake handshake{18, 0, 0, nullptr, nullptr, nullptr, nullptr};
  LoadPlugin(*plugin, handshake, "dul-item-sets");
  EXPECT_EQ(plugin->telemetrySender(), nullptr);
  testing::RecordingHost host;
  const DulHostInterface link = host.Interface();
  ASSERT_EQ(handshake.entryTable->initialize(handshake.plugin, &link), 1);
  ASSERT_NE(plugin->telemetrySender(), nullptr);
  const RequestOutcome outcome = plugin->telemetrySender()->SendTelemetryEvent("save", {}).get();
  ASSERT_TRUE(outcome.has_value());  // the recording host answers every request 404
  EXPECT_EQ(outcome->code, 404);
  EXPECT_EQ(outcome->message, "Error response for POST /telemetry/v1/events/save: Not Found");
  handshake.entryTable->destroy(handshake.plugin);
}

}  // namespace
}  // namespace dul
