#include "host/core/host_runtime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "binding/binding_value_record.h"
#include "codecs/json_reader.h"
#include "foundation/allocation_counters.h"
#include "host/core/plugin_loader.h"
#include "runtime/json_api_client.h"
#include "runtime/remoting_function.h"
#include "tests/support/hosted_plugin.h"

namespace dul::host {
namespace {

std::uint64_t LiveBlocks() {
  const AllocationStats stats = ReadAllocationStats();
  return stats.allocations - stats.frees;
}

// A callback's user data: records its name and the host's time when it runs.
struct Mark {
  std::vector<std::pair<std::string, double>>* log;
  HostRuntime* host;
  std::string name;
  double rescheduleDelay = -1.0;  // when not negative, schedules itself again with this delay
};

void DUL_CALL RunMark(void* data) {
  Mark& mark = *static_cast<Mark*>(data);
  mark.log->emplace_back(mark.name, mark.host->NowSeconds());
  if (mark.rescheduleDelay >= 0.0) {
    const DulHostInterface link = mark.host->Interface();
    link.api->schedule(link.api, mark.name.c_str(), &RunMark, data, mark.rescheduleDelay, 0);
  }
}

using Ran = std::vector<std::pair<std::string, double>>;

class HostSchedulerTest : public ::testing::Test {
 protected:
  Mark& Schedule(const std::string& name, double delay, double rescheduleDelay = -1.0) {
    marks.push_back(std::make_unique<Mark>(Mark{&log, &host, name, rescheduleDelay}));
    const DulHostInterface link = host.Interface();
    link.api->schedule(link.api, name.c_str(), &RunMark, marks.back().get(), delay, 0);
    return *marks.back();
  }
  std::vector<std::pair<std::string, double>> TakeRan() { return std::exchange(log, {}); }

  VirtualClock clock;
  HostRuntime host{clock};
  std::vector<std::unique_ptr<Mark>> marks;
  std::vector<std::pair<std::string, double>> log;
};

// Catches callbacks run early, late, out of due order, out of scheduling order among equal due
// times, with the clock not at their due time, or a bad delay (NaN, negative, infinite) mishandled.
TEST_F(HostSchedulerTest, RunsInDueThenSchedulingOrderAtTheDueTime) {
  Schedule("late", 3.0);
  Schedule("first", 1.0);
  Schedule("second", 1.0);
  Schedule("now", 0.0);
  Schedule("never", std::numeric_limits<double>::infinity());
  Schedule("past", -2.0);
  Schedule("nan", std::nan(""));
  EXPECT_EQ(host.calls().schedules, 7u);
  EXPECT_EQ(host.RunDue(), 3u);
  EXPECT_EQ(TakeRan(), (Ran{{"now", 0.0}, {"past", 0.0}, {"nan", 0.0}}));
  EXPECT_EQ(host.AdvanceBy(0.5), 0u);
  EXPECT_EQ(host.AdvanceBy(1.0), 2u);
  EXPECT_EQ(TakeRan(), (Ran{{"first", 1.0}, {"second", 1.0}}));
  EXPECT_EQ(host.NowSeconds(), 1.5);
  EXPECT_EQ(host.AdvanceBy(100.0), 1u);
  EXPECT_EQ(TakeRan(), (Ran{{"late", 3.0}}));
  EXPECT_EQ(host.NowSeconds(), 101.5);
  ASSERT_EQ(host.PendingCallbacks().size(), 1u);
  EXPECT_EQ(host.PendingCallbacks()[0].name, "never");
  EXPECT_EQ(host.PendingCallbacks()[0].delaySeconds, std::numeric_limits<double>::infinity());
}

// Catches a repeating callback that runs only once per advance, or a zero-delay reschedule that
// holds the host in one pass forever.
TEST_F(HostSchedulerTest, RepeatingCallbacksRunEachTimeTheyFallDue) {
  Schedule("tick", 1.0, 1.0);
  Schedule("spin", 0.0, 0.0);
  EXPECT_EQ(host.RunDue(), 1u);
  EXPECT_EQ(host.RunDue(), 1u);
  EXPECT_EQ(TakeRan(), (Ran{{"spin", 0.0}, {"spin", 0.0}}));
  host.AdvanceBy(3.5);
  EXPECT_EQ(TakeRan(), (Ran{{"spin", 0.0}, {"tick", 1.0}, {"tick", 2.0}, {"tick", 3.0}}));
}

// A plugin with one endpoint, which answers with its path segment.
class RoutedPlugin : public PluginBase {
 public:
  void RegisterApi() override {
    remoting().AddRoute(
        "/{y}/b", RequestMethod::kGet,
        MakeFunction("Own", [](std::string y) { return "own " + y; }, {PathArg("y")}));
  }
};

PeerRequest Get(std::string path, std::string query = {}) {
  PeerRequest request;
  request.method = 2;
  request.methodName = "GET";
  request.path = std::move(path);
  request.query = std::move(query);
  return request;
}

// Catches requests of the plugin that miss the longest-prefix peer, lose their query or body, or
// never reach the plugin's own endpoints when no peer claims them.
TEST(HostRuntime, RoutesThePluginsRequestsToPeersAndItsOwnEndpoints) {
  testing::HostedPlugin<RoutedPlugin> hosted;
  auto broad = std::make_shared<ScriptedPeer>(
      [](const PeerRequest&) { return PeerAnswer::Json("\"broad\""); });
  auto narrow = std::make_shared<ScriptedPeer>(
      [](const PeerRequest&) { return PeerAnswer::Json("{\"ok\": true}"); });
  hosted.host.AddPeer("/svc/", broad);
  hosted.host.AddPeer("/svc/v1/", narrow);
  const RequestResult<Zorv::BindingProperty> narrowAnswer = RequestValue<Zorv::BindingProperty>(
      *hosted.plugin, RequestMethod::kPut, "/svc/v1/x?y=1", std::vector<std::int32_t>{1, 2});
  ASSERT_TRUE(narrowAnswer.ok()) << narrowAnswer.error().message;
  EXPECT_EQ(narrowAnswer.value(), Zorv::ParseJson("{\"ok\": true}").value());
  ASSERT_EQ(narrow->requests().size(), 1u);
  EXPECT_TRUE(broad->requests().empty());
  const PeerRequest& sent = narrow->requests()[0];
  EXPECT_EQ(sent.methodName, "PUT");
  EXPECT_EQ(sent.path, "/svc/v1/x");
  EXPECT_EQ(sent.query, "y=1");
  EXPECT_EQ(sent.body, "[1,2]");
  EXPECT_EQ(sent.contentType, "application/json");
  const RequestResult<std::string> own =
      RequestValue<std::string>(*hosted.plugin, RequestMethod::kGet, "/c/b");
  ASSERT_TRUE(own.ok()) << own.error().message;
  EXPECT_EQ(own.value(), "own c");
  const RequestResult<std::string> nobody =
      RequestValue<std::string>(*hosted.plugin, RequestMethod::kGet, "/nowhere/at/all");
  ASSERT_FALSE(nobody.ok());
  EXPECT_EQ(nobody.error().code, 404);
  EXPECT_EQ(hosted.host.calls().requests, 3u);
  EXPECT_EQ(hosted.host.responses().live(), 0u);
}

struct Received {
  std::string name;
  std::uint32_t value;
  void* userData;
  Zorv::BindingProperty payload;
};
std::vector<Received> received;

void DUL_CALL RecordEvent(const DulHostEventRecord* event) {
  Zorv::BindingResult payload;
  Zorv::ReadValueRecord(payload, event->payload, "payload");
  received.push_back(Received{event->name, event->value, event->userData, payload.TakeValue()});
}

// Catches events lost for a subscriber, delivered to another name's subscriber, delivered inside
// the publishing call, missing the observers, or a replaced or removed subscription still called.
TEST(HostRuntime, FansEventsOutToSubscribersAndObservers) {
  VirtualClock clock;
  HostRuntime host(clock);
  testing::PublishedEvents observed(host);
  const DulHostInterface link = host.Interface();
  const DulHostApi* api = link.api;
  auto* other = reinterpret_cast<DulPluginHandle>(&clock);
  int first = 0, second = 0, third = 0, fourth = 0;
  api->subscribe(api, "A", link.plugin, &RecordEvent, &first, 0);
  api->subscribe(api, "A", other, &RecordEvent, &second, 1);
  api->subscribe(api, "B", link.plugin, &RecordEvent, &third, 1);
  EXPECT_EQ(host.FindSubscription("B")->flag, 1u);
  received.clear();
  DulBindingValueRecord payload = Zorv::MakeValueRecord(Zorv::BindingProperty("hello"), nullptr);
  const DulHostEventRecord event{"A", payload, 7, nullptr};
  api->publishEvent(api, &event);
  Zorv::ClearValueRecord(payload);
  ASSERT_EQ(observed.events.size(), 1u);
  EXPECT_TRUE(observed.events[0].fromPlugin);
  EXPECT_EQ(observed.events[0].payload.GetString(), "hello");
  EXPECT_TRUE(received.empty());
  host.DeliverPendingEvents();
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[0].userData, &first);
  EXPECT_EQ(received[1].userData, &second);
  EXPECT_EQ(received[1].value, 7u);
  EXPECT_EQ(received[1].payload.GetString(), "hello");

  received.clear();
  api->subscribe(api, "A", link.plugin, &RecordEvent, &fourth, 0);  // replaces `first`
  api->unsubscribe(api, "A", other);
  host.PublishEvent("A", Zorv::BindingProperty(3), 9);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].userData, &fourth);
  EXPECT_EQ(received[0].name, "A");
  EXPECT_EQ(host.subscriptions().size(), 2u);
  EXPECT_EQ(host.calls().subscribes, 4u);
  EXPECT_EQ(host.calls().unsubscribes, 1u);
  EXPECT_FALSE(observed.events[1].fromPlugin);
}

// Catches a peer's event delivered into the plugin while the plugin's request that caused it is
// still running (the plugin entered twice), or one that is held back outside any request.
TEST(HostRuntime, PeerEventsWaitForThePluginsRequestToReturn) {
  testing::HostedPlugin<> hosted;
  std::vector<std::string> order;
  hosted.host.AddPeer("/svc", std::make_shared<ScriptedPeer>([&](const PeerRequest&) {
                        hosted.host.PublishEvent("OnChange", Zorv::BindingProperty(1));
                        order.push_back("answered");
                        return PeerAnswer::Json("1");
                      }));
  hosted.plugin->SubscribeEvent(
      "OnChange", [&](const DulHostEventRecord&) { order.push_back("delivered"); }, 0);
  const RequestResult<std::int32_t> answer =
      RequestValue<std::int32_t>(*hosted.plugin, RequestMethod::kGet, "/svc");
  EXPECT_TRUE(answer.ok());
  order.push_back("returned");
  hosted.host.DeliverPendingEvents();
  EXPECT_EQ(order, (std::vector<std::string>{"answered", "returned", "delivered"}));
  hosted.host.PublishEvent("OnChange", Zorv::BindingProperty(2));
  EXPECT_EQ(order.size(), 4u);
}

// Catches a subscription or schedule without a name or callback that the host keeps (and would
// call), or the record of subscribes and unsubscribes lost when the plugin is stopped.
TEST(HostRuntime, RefusesMissingCallbacksAndKeepsTheSubscriptionRecord) {
  testing::HostedPlugin<> hosted;
  HostRuntime& host = hosted.host;
  const DulHostInterface link = host.Interface();
  const DulHostApi* api = link.api;
  api->subscribe(api, nullptr, link.plugin, &RecordEvent, nullptr, 0);
  api->subscribe(api, "X", link.plugin, nullptr, nullptr, 0);
  api->unsubscribe(api, nullptr, link.plugin);
  api->schedule(api, "nothing", nullptr, nullptr, 0.0, 0);
  EXPECT_EQ(host.FindSubscription("X"), nullptr);
  EXPECT_TRUE(host.PendingCallbacks().empty());
  EXPECT_EQ(host.calls().subscribes, 5u);
  hosted.Destroy();
  EXPECT_TRUE(host.subscriptions().empty());
  // The plugin's own three service-proxy subscriptions, made at initialize and undone at destroy.
  EXPECT_EQ(host.subscribeHistory().size(), 3u);
  EXPECT_EQ(host.unsubscribeHistory().size(), 3u);
}

std::string JsonText(std::size_t bytes) {
  return "\"" + std::string(bytes - 2, 'a') + "\"";
}

struct StreamCase {
  const char* name;
  std::vector<std::size_t> chunkSizes;
  std::uint64_t waitYields;
};

class HostStreamedPeer : public ::testing::TestWithParam<StreamCase> {};

// Catches a streamed answer that loses or repeats bytes between host and plugin, yields counted
// wrongly, or a stream left open or a response left unreleased.
TEST_P(HostStreamedPeer, PluginReadsTheWholeBodyYieldingOnShortReads) {
  const StreamCase& test = GetParam();
  std::size_t total = 0;
  for (const std::size_t size : test.chunkSizes)
    total += size;
  const std::string json = JsonText(total);
  std::vector<StreamChunk> chunks;
  std::size_t offset = 0;
  for (const std::size_t size : test.chunkSizes) {
    chunks.push_back(StreamChunk{json.substr(offset, size)});
    offset += size;
  }
  testing::HostedPlugin<> hosted;
  hosted.host.AddPeer("/game/", std::make_shared<ScriptedPeer>([&](const PeerRequest&) {
                        return PeerAnswer::Streamed(chunks);
                      }));
  const RequestResult<std::string> result =
      RequestValue<std::string>(*hosted.plugin, RequestMethod::kGet, "/game/champ.json");
  ASSERT_TRUE(result.ok()) << result.error().message;
  EXPECT_EQ(result.value().size(), total - 2);
  const HostCallCounts& calls = hosted.host.calls();
  EXPECT_EQ(calls.yields, test.waitYields);
  EXPECT_EQ(calls.enterWaits, test.waitYields);
  EXPECT_EQ(calls.leaveWaits, test.waitYields);
  EXPECT_EQ(hosted.host.waitLabels(), std::vector<std::string>(test.waitYields, "Wait: yield"));
  EXPECT_EQ(hosted.host.responses().streamCloses, 1u);
  EXPECT_EQ(hosted.host.responses().released, 1u);
  EXPECT_EQ(hosted.host.responses().live(), 0u);
}

INSTANTIATE_TEST_SUITE_P(HostRuntime, HostStreamedPeer,
                         ::testing::Values(StreamCase{"FullReadsNeverYield", {4096, 4096, 10}, 0},
                                           StreamCase{"LongChunkSplitAcrossReads", {9000}, 0},
                                           StreamCase{"ShortReadsYieldEachTime", {2, 2, 1}, 2},
                                           StreamCase{"EmptyReadYields", {0, 5}, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

// Answers every request the same way and keeps nothing, so allocations can be counted.
class FixedPeer : public Peer {
 public:
  explicit FixedPeer(PeerAnswer answer) : answer_(std::move(answer)) {}
  PeerAnswer Answer(const PeerRequest&) override { return answer_; }

 private:
  PeerAnswer answer_;
};

struct ReleaseCase {
  const char* name;
  PeerAnswer answer;
};

class HostResponseRelease : public ::testing::TestWithParam<ReleaseCase> {};

// Catches a release function that leaves any of the host's allocations behind (body records,
// error text, an unread stream, a garbled record), or that leaves the record pointing at freed
// memory.
TEST_P(HostResponseRelease, FreesEverythingTheHostAllocated) {
  VirtualClock clock;
  HostRuntime host(clock);
  host.AddPeer("/", std::make_shared<FixedPeer>(GetParam().answer));
  const DulHostInterface link = host.Interface();
  DulHostRequestRecord request{};
  request.method = 2;
  request.url = "/x";
  request.plugin = link.plugin;
  DulHostResponseRecord warm{};
  link.api->request(link.api, &warm, &request);
  warm.release(&warm);
  const std::uint64_t before = LiveBlocks();
  DulHostResponseRecord response{};
  link.api->request(link.api, &response, &request);
  if (GetParam().answer.garbledKind) {  // a kind over a zero payload, never the body's pointer
    const DulBindingValueRecord body = response.body;
    DulBindingValueRecord expected;
    std::memset(&expected, 0, sizeof(expected));
    expected.kind = Zorv::kRecordText;
    EXPECT_EQ(std::memcmp(&body, &expected, sizeof(body)), 0);
  }
  const DulStreamReadFunction read = response.streamRead;
  if (read != nullptr) {
    char buffer[4] = {};
    std::uint32_t count = sizeof(buffer);
    std::uint8_t more = 0;
    read(response.stream, buffer, &count, &more);  // read a little, never close
  }
  const DulResponseReleaseFunction release = response.release;  // packed: copy, never bind
  ASSERT_NE(release, nullptr);
  release(&response);
  EXPECT_EQ(LiveBlocks(), before);
  const DulResponseReleaseFunction releaseAfter = response.release;
  const char* errorTextAfter = response.errorText;
  EXPECT_EQ(releaseAfter, nullptr);
  EXPECT_EQ(errorTextAfter, nullptr);
  EXPECT_EQ(host.responses().live(), 0u);
}

PeerAnswer Garbled() {
  PeerAnswer answer = PeerAnswer::Json("{\"a\": [1, 2]}");
  answer.garbledKind = Zorv::kRecordText;
  return answer;
}

PeerAnswer ErrorWithBody() {
  PeerAnswer answer = PeerAnswer::Json("{\"detail\": \"x\"}", 503);
  answer.errorText = "Service down";
  return answer;
}

INSTANTIATE_TEST_SUITE_P(
    HostRuntime, HostResponseRelease,
    ::testing::Values(ReleaseCase{"NestedBody",
                                  PeerAnswer::Json("{\"a\": [1, {\"b\": \"text\"}], \"c\": 1.5}")},
                      ReleaseCase{"ErrorWithBody", ErrorWithBody()},
                      ReleaseCase{"UnreadStream", PeerAnswer::StreamedJson("[1,2,3,4,5,6]", 3)},
                      ReleaseCase{"GarbledBody", Garbled()}),
    [](const auto& info) { return std::string(info.param.name); });

// Catches a stream failing midway that is reported as success, left open or left unreleased.
TEST(HostRuntime, StreamFailingMidwayIsAReadErrorAndStillReleased) {
  testing::HostedPlugin<> hosted;
  hosted.host.AddPeer("/game/", std::make_shared<FixedPeer>(PeerAnswer::StreamedJson(
                                    "{\"id\": 1, \"alias\": \"x\"}", 4, std::size_t{2})));
  const RequestResult<Zorv::BindingProperty> result =
      RequestValue<Zorv::BindingProperty>(*hosted.plugin, RequestMethod::kGet, "/game/1.json");
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error().message,
            "Error reading streamed response for GET /game/1.json: Stream read error");
  EXPECT_EQ(hosted.host.responses().streamReads, 3u);
  EXPECT_EQ(hosted.host.responses().streamCloses, 1u);
  EXPECT_EQ(hosted.host.responses().live(), 0u);
}

// Catches a host that cannot drive the real library: initialize not reached through the loader,
// the plugin's subscriptions or endpoint table not taken, or destroy not called at Stop.
TEST(HostRuntime, DrivesTheLoadedLibrary) {
  PluginLoader loader;
  ASSERT_TRUE(loader.Load(DUL_PLUGIN_LIBRARY, "load_dul_item_sets", ApiVersion{}))
      << loader.error();
  VirtualClock clock;
  HostRuntime host(clock);
  ASSERT_TRUE(host.Start(loader));
  ASSERT_NE(host.FindSubscription("OnServiceProxyUuidEvent"), nullptr);
  EXPECT_EQ(host.FindSubscription("OnServiceProxyUuidEvent")->flag, 1u);
  const PeerAnswer answer = host.CallPlugin(Get("/nowhere"));
  EXPECT_EQ(answer.status, 404u);
  EXPECT_EQ(answer.errorText, "Invalid function");
  host.Stop();
  EXPECT_FALSE(loader.loaded());
  EXPECT_TRUE(host.subscriptions().empty());
}

}  // namespace
}  // namespace dul::host
