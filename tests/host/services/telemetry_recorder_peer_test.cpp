// The simulated telemetry recorder: what plugins report, with its time, listed in order and kept
// across restarts.
#include "host/services/telemetry_recorder_peer.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "host/services/wall_clock.h"
#include "runtime/telemetry_sender.h"
#include "tests/host/services/simulated_platform_fixture.h"

namespace dul::host {
namespace {

using testing::BodyJson;
using testing::PlatformFixture;
using testing::RefusedRequest;

// Catches a UTC time written in local time, without milliseconds or zero padding, or wrong
// around the epoch and leap days.
TEST(Telemetry, TimesAreUtcTextWithMilliseconds) {
  EXPECT_EQ(FormatUtcTime(0), "1970-01-01T00:00:00.000Z");
  EXPECT_EQ(FormatUtcTime(1'700'000'000'123), "2023-11-14T22:13:20.123Z");
  EXPECT_EQ(FormatUtcTime(951'782'400'007), "2000-02-29T00:00:00.007Z");
  EXPECT_EQ(FormatUtcTime(-1), "1969-12-31T23:59:59.999Z");
}

// Catches events listed out of order or lost by a restart, metrics other than texts stored as
// something the listing cannot give back, a name cut at "/", and a record not announced.
TEST(Telemetry, RecordsAreListedInOrderAndSurviveARestart) {
  PlatformFixture fixture;
  ASSERT_EQ(fixture.Call("POST", "/telemetry/v1/events/first", R"({"b":"2","a":"1"})").status,
            200u);
  fixture.now += 1'500;
  ASSERT_EQ(
      fixture.Call("POST", "/telemetry/v1/events/deep/name", R"({"n":3,"o":{"x":[1]}})").status,
      200u);
  ASSERT_EQ(fixture.Call("POST", "/telemetry/v1/events/empty", "{}").status, 200u);
  const std::string expected =
      R"([{"data":{"a":"1","b":"2"},"name":"first","time":"2023-11-14T22:13:20.000Z"},)"
      R"({"data":{"n":"3","o":"{\"x\":[1]}"},"name":"deep/name","time":"2023-11-14T22:13:21.500Z"},)"
      R"({"data":{},"name":"empty","time":"2023-11-14T22:13:21.500Z"}])";
  EXPECT_EQ(BodyJson(fixture.Call("GET", kTelemetryEventsPath)), expected);
  const std::vector<std::string> events = fixture.TakeEvents();
  ASSERT_EQ(events.size(), 6u);
  EXPECT_EQ(events[0],
            "OnJsonApiEvent_telemetry_v1_events Create /telemetry/v1/events/first "
            R"({"data":{"a":"1","b":"2"},"name":"first","time":"2023-11-14T22:13:20.000Z"})");
  ASSERT_TRUE(fixture.Open());
  EXPECT_EQ(BodyJson(fixture.Call("GET", kTelemetryEventsPath)), expected);
}

// Catches malformed reports recorded anyway, and reports or listings through the wrong method.
TEST(Telemetry, BadReportsAreRefused) {
  const RefusedRequest cases[] = {
      {"POST", "/telemetry/v1/events/x", "", 400},
      {"POST", "/telemetry/v1/events/x", "[]", 400},
      {"POST", "/telemetry/v1/events/x", "\"a\"", 400},
      {"POST", "/telemetry/v1/events/x", "{", 400},
      {"POST", "/telemetry/v1/events/", "{}", 404},
      {"POST", "/telemetry/v1/events", "{}", 405},
      {"GET", "/telemetry/v1/events/x", "", 405},
      {"GET", "/telemetry/v2/events", "", 404},
  };
  PlatformFixture fixture;
  for (const RefusedRequest& c : cases)
    EXPECT_EQ(fixture.Call(c.method, c.path, c.body).status, c.status) << c.path << " " << c.body;
  EXPECT_EQ(BodyJson(fixture.Call("GET", kTelemetryEventsPath)), "[]");
}

// The names of the recorded events, oldest first.
std::string RecordedNames(PlatformFixture& fixture) {
  const std::string listing = BodyJson(fixture.Call("GET", kTelemetryEventsPath));
  std::string names;
  constexpr std::string_view kName = R"("name":")";
  for (std::size_t at = 0; (at = listing.find(kName, at)) != std::string::npos;) {
    at += kName.size();
    names += listing.substr(at, listing.find('"', at) - at);
  }
  return names;
}

// Catches a telemetry log that grows without bound, drops the newest events rather than the
// oldest, or loses an event larger than the whole budget.
TEST(Telemetry, OnlyTheNewestEventsAreKept) {
  PlatformFixture fixture;
  const std::string quarter = R"({"m":")" + std::string(kTelemetryBytesKept / 4, 'x') + R"("})";
  for (const char* name : {"a", "b", "c", "d"}) {
    ASSERT_EQ(fixture.Call("POST", std::string(kTelemetryEventsPath) + "/" + name, quarter).status,
              200u);
  }
  EXPECT_EQ(RecordedNames(fixture), "bcd");
  const std::string whole = R"({"m":")" + std::string(kTelemetryBytesKept, 'x') + R"("})";
  ASSERT_EQ(fixture.Call("POST", std::string(kTelemetryEventsPath) + "/e", whole).status, 200u);
  EXPECT_EQ(RecordedNames(fixture), "e");
}

// Catches a report from the plugin's own telemetry sender that the recorder cannot read.
TEST(Telemetry, ThePluginsSenderIsRecorded) {
  testing::PluginOnPlatform on;
  ASSERT_NE(on.platform, nullptr);
  std::future<RequestOutcome> sent = on.hosted.plugin->telemetrySender()->SendTelemetryEvent(
      "item_sets__item_sets_save", {{"item_sets.count", Zorv::BindingProperty("2")}});
  EXPECT_FALSE(sent.get().has_value());
  EXPECT_EQ(BodyJson(on.platform->Answer(testing::MakeRequest("GET", kTelemetryEventsPath))),
            R"([{"data":{"item_sets.count":"2"},"name":"item_sets__item_sets_save",)"
            R"("time":"1970-01-01T00:00:00.000Z"}])");
}

}  // namespace
}  // namespace dul::host
