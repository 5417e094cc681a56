#include "runtime/telemetry_sender.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "host/core/peer.h"
#include "tests/support/hosted_plugin.h"
#include "tests/support/telemetry_fixture.h"

namespace dul {
namespace {

using host::PeerAnswer;
using host::PeerRequest;
using host::ScriptedPeer;

bool IsReady(const std::future<RequestOutcome>& future) {
  return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

using testing::TelemetryFixture;

struct EventCase {
  const char* name;
  const char* eventName;
  const char* path;
};

class TelemetryEvent : public ::testing::TestWithParam<EventCase> {};

// Catches an event posted with another method, an escaped or altered name, a body that is not
// one structure, or a future that is not ready when the call returns.
TEST_P(TelemetryEvent, PostsAStructureToTheNamedPath) {
  const EventCase& event = GetParam();
  TelemetryFixture telemetry;
  TelemetrySender sender(*telemetry.hosted.plugin);
  std::future<RequestOutcome> sent = sender.SendTelemetryEvent(event.eventName, {});
  ASSERT_TRUE(IsReady(sent));
  EXPECT_FALSE(sent.get().has_value());
  ASSERT_EQ(telemetry.peer->requests().size(), 1u);
  const PeerRequest& request = telemetry.peer->requests()[0];
  EXPECT_EQ(request.methodName, "POST");
  EXPECT_EQ(request.path, event.path);
  EXPECT_EQ(request.query, "");
  EXPECT_EQ(request.contentType, "application/json");
  EXPECT_EQ(request.body, "{}");
  EXPECT_EQ(telemetry.hosted.host.responses().released, 1u);
}

INSTANTIATE_TEST_SUITE_P(TelemetrySender, TelemetryEvent,
                         ::testing::Values(EventCase{"EmptyList", "item-sets-saved",
                                                     "/telemetry/v1/events/item-sets-saved"},
                                           EventCase{"SlashAddressesADeeperPath", "item-sets/saved",
                                                     "/telemetry/v1/events/item-sets/saved"}),
                         [](const auto& info) { return std::string(info.param.name); });

// Catches an error answer lost on its way into the future, or an answer left unreleased.
TEST(TelemetrySender, ErrorAnswerArrivesInTheReadyFuture) {
  TelemetryFixture telemetry;
  telemetry.answer = PeerAnswer::Error(503, "Unavailable");
  TelemetrySender sender(*telemetry.hosted.plugin);
  std::future<RequestOutcome> sent = sender.SendTelemetryEvent("save", {});
  ASSERT_TRUE(IsReady(sent));
  const RequestOutcome outcome = sent.get();
  ASSERT_TRUE(outcome.has_value());
  EXPECT_EQ(outcome->code, 503);
  EXPECT_EQ(outcome->message, "Error response for POST /telemetry/v1/events/save: Unavailable");
  EXPECT_EQ(telemetry.hosted.host.responses().released, 1u);
  EXPECT_EQ(telemetry.hosted.host.responses().live(), 0u);
}

// Catches a plugin that has no sender after initialize or sends around the host it was given.
TEST(TelemetrySender, InitializeCreatesTheSenderThatPostsThroughTheHost) {
  testing::HostedPlugin<> hosted(false);
  EXPECT_EQ(hosted.plugin->telemetrySender(), nullptr);
  ASSERT_TRUE(hosted.Start());
  ASSERT_NE(hosted.plugin->telemetrySender(), nullptr);
  const RequestOutcome outcome =
      hosted.plugin->telemetrySender()->SendTelemetryEvent("save", {}).get();
  ASSERT_TRUE(outcome.has_value());  // no telemetry service: the host answers 404
  EXPECT_EQ(outcome->code, 404);
  EXPECT_EQ(outcome->message, "Error response for POST /telemetry/v1/events/save: Not Found");
  EXPECT_EQ(hosted.host.calls().requests, 1u);
}

}  // namespace
}  // namespace dul
