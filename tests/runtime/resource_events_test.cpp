#include "runtime/resource_events.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "foundation/allocation_counters.h"
#include "host/core/peer.h"
#include "tests/support/hosted_plugin.h"

namespace dul {
namespace {

using Zorv::BindingProperty;
using Zorv::Client::PluginResourceEvent;
using Zorv::Client::PluginResourceEventType;

constexpr const char* kSevenSets = "/dul-item-sets/v1/item-sets/7/sets";
constexpr const char* kEightSets = "/dul-item-sets/v1/item-sets/8/sets";
constexpr const char* kSetsPattern = "/dul-item-sets/v1/item-sets/*/sets";
constexpr const char* kItemSetsEvent = "OnJsonApiEvent_dul-item-sets_v1_item-sets";

BindingProperty ResourceEventPayload(const char* uri, const char* eventType, BindingProperty data) {
  BindingProperty payload;
  payload.Member("uri") = uri;
  payload.Member("eventType") = eventType;
  payload.Member("data") = std::move(data);
  return payload;
}

// A plugin on the test host, whose item-set service answers GETs from a table.
struct EventsFixture {
  EventsFixture() { hosted.host.AddPeer("/dul-item-sets/", itemSets); }
  // The requests the plugin sent to the item-set service, as method and path, in order.
  std::vector<std::string> SentRequests() const {
    std::vector<std::string> paths;
    for (const host::PeerRequest& request : itemSets->requests())
      paths.push_back(request.methodName + " " + request.path);
    return paths;
  }

  std::shared_ptr<host::MapPeer> itemSets = std::make_shared<host::MapPeer>();
  testing::HostedPlugin<> hosted;
  PluginBase& plugin = *hosted.plugin;
  host::HostRuntime& host = hosted.host;
};

// Observes `uri` with a handler that records the URI, type and value of every delivery.
template <class T>
struct Observed {
  std::vector<std::string> uris;
  std::vector<PluginResourceEventType> types;
  std::vector<T> values;

  void Observe(PluginCore& plugin, const std::string& uri) {
    ObserveResource<T>(plugin, uri, [this](const ResourceEvent<T>& event) {
      uris.push_back(event.uri);
      types.push_back(event.eventType);
      values.push_back(event.value);
    });
  }
};

// Catches subscribing once per URI instead of once per event name, dropping the host
// subscription while another URI still needs it, keeping the handler after the last one, or an
// unmatched unsubscription that breaks the next subscription.
TEST(ResourceEvents, UrisSharingAnEventNameShareOneHostSubscription) {
  EventsFixture fixture;
  Observed<std::int32_t> seven;
  Observed<std::int32_t> eight;
  seven.Observe(fixture.plugin, kSevenSets);
  eight.Observe(fixture.plugin, kEightSets);
  EXPECT_EQ(testing::SubscribeCallsTo(fixture.host, kItemSetsEvent), 1u);
  const host::HostSubscription* subscription = fixture.host.FindSubscription(kItemSetsEvent);
  ASSERT_NE(subscription, nullptr);
  EXPECT_EQ(subscription->flag, 0u);
  const host::HostSubscription given = *subscription;

  fixture.plugin.Unsubscribe(kSevenSets);
  EXPECT_TRUE(fixture.host.unsubscribeHistory().empty());
  fixture.host.PublishEvent(kItemSetsEvent, ResourceEventPayload(kEightSets, "Update", 3));
  EXPECT_EQ(eight.values, std::vector<std::int32_t>{3});

  fixture.plugin.Unsubscribe(kEightSets);
  EXPECT_EQ(fixture.host.unsubscribeHistory(), std::vector<std::string>{kItemSetsEvent});
  EXPECT_EQ(fixture.host.FindSubscription(kItemSetsEvent), nullptr);
  // An event already on its way finds no handler any more.
  testing::DeliverThrough(given, kItemSetsEvent, ResourceEventPayload(kEightSets, "Update", 4));
  EXPECT_EQ(eight.values, std::vector<std::int32_t>{3});
  // An unmatched unsubscription must not drive the count below zero.
  fixture.plugin.Unsubscribe(kEightSets);
  EXPECT_EQ(fixture.host.unsubscribeHistory().size(), 1u);
  fixture.plugin.Subscribe(kEightSets);
  EXPECT_EQ(testing::SubscribeCallsTo(fixture.host, kItemSetsEvent), 2u);
  fixture.host.PublishEvent(kItemSetsEvent, ResourceEventPayload(kEightSets, "Update", 5));
  EXPECT_EQ(eight.values, (std::vector<std::int32_t>{3, 5}));
}

// Catches a destroy that misses a subscribed name or unsubscribes one twice.
TEST(ResourceEvents, DestroyUnsubscribesEachNameOnce) {
  EventsFixture fixture;
  Observed<BindingProperty> observed;
  observed.Observe(fixture.plugin, kSevenSets);
  observed.Observe(fixture.plugin, kEightSets);
  observed.Observe(fixture.plugin, "/dul-login/v1/session");
  fixture.hosted.Destroy();
  std::vector<std::string> names = fixture.host.unsubscribeHistory();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{
                       "OnJsonApiEvent_dul-item-sets_v1_item-sets",
                       "OnJsonApiEvent_dul-login_v1_session", "OnServiceProxyAsyncEvent",
                       "OnServiceProxyMethodEvent", "OnServiceProxyUuidEvent"}));
}

struct PatternCase {
  const char* pattern;
  const char* uri;
  bool matches;
};

class UriPattern : public ::testing::TestWithParam<PatternCase> {};

// Catches a "*" that runs across "/", matches nothing at the end of the URI, or a match that
// ignores what is left of either side.
TEST_P(UriPattern, MatchesSegmentByWildcard) {
  EXPECT_EQ(UriMatchesPattern(GetParam().pattern, GetParam().uri), GetParam().matches)
      << GetParam().pattern << " vs " << GetParam().uri;
}

INSTANTIATE_TEST_SUITE_P(
    ResourceEvents, UriPattern,
    ::testing::Values(PatternCase{kSetsPattern, kSevenSets, true},
                      PatternCase{kSetsPattern, "/dul-item-sets/v1/item-sets/7/8/sets", false},
                      PatternCase{kSetsPattern, "/dul-item-sets/v1/item-sets/7/sets/x", false},
                      PatternCase{"/a/*", "/a/x", true}, PatternCase{"/a/*", "/a/", false},
                      PatternCase{"/a/*", "/a/x/", false}, PatternCase{"/a/*/", "/a/x/", true},
                      PatternCase{"/a/*b", "/a/xb", false}, PatternCase{"/a/b", "/a/bc", false}));

// Catches an event URI without leading slash that misses the exact handler, or pattern handlers
// that are skipped once an exact handler ran.
TEST(ResourceEvents, DeliveryReachesTheExactThenTheMatchingPatternHandlers) {
  EventsFixture fixture;
  std::vector<std::string> calls;
  ObserveResource<BindingProperty>(fixture.plugin, kSevenSets,
                                   [&](const auto&) { calls.push_back("exact"); });
  ObserveResource<BindingProperty>(fixture.plugin, kSetsPattern,
                                   [&](const auto&) { calls.push_back("pattern"); });
  ObserveResource<BindingProperty>(fixture.plugin, "/dul-item-sets/v1/item-sets/*",
                                   [&](const auto&) { calls.push_back("other pattern"); });
  EXPECT_EQ(testing::SubscribeCallsTo(fixture.host, kItemSetsEvent), 1u);
  fixture.host.PublishEvent(
      kItemSetsEvent,
      ResourceEventPayload("dul-item-sets/v1/item-sets/7/sets", "Update", BindingProperty()));
  EXPECT_EQ(calls, (std::vector<std::string>{"exact", "pattern"}));
  calls.clear();
  fixture.host.PublishEvent(
      kItemSetsEvent,
      ResourceEventPayload("/dul-item-sets/v1/item-sets/7/8/sets", "Update", BindingProperty()));
  EXPECT_TRUE(calls.empty());
}

struct TypedCase {
  const char* eventType;
  BindingProperty data;
  bool delivered;
  std::int32_t value;
};

// Catches a Delete that needs convertible data, an unconvertible value that reaches the handler
// with a made-up value, or a payload that fails to decode and still gets through.
TEST(ResourceEvents, TypedHandlerSeesOnlyConvertibleValues) {
  const TypedCase cases[] = {{"Update", BindingProperty(7), true, 7},
                             {"Create", BindingProperty(8), true, 8},
                             {"Delete", BindingProperty(), true, 0},
                             {"Delete", BindingProperty("not a number"), true, 0},
                             {"Update", BindingProperty("not a number"), false, 0},
                             {"Update", BindingProperty(), false, 0},
                             {"Rename", BindingProperty(9), false, 0}};
  for (const TypedCase& item : cases) {
    EventsFixture fixture;
    Observed<std::int32_t> observed;
    observed.Observe(fixture.plugin, kSevenSets);
    fixture.host.PublishEvent(kItemSetsEvent, ResourceEventPayload(kSevenSets, item.eventType,
                                                                   BindingProperty(item.data)));
    ASSERT_EQ(observed.values.size(), item.delivered ? 1u : 0u) << item.eventType;
    if (item.delivered) {
      EXPECT_EQ(observed.values[0], item.value) << item.eventType;
      EXPECT_EQ(observed.uris[0], kSevenSets);
    }
  }
}

// Catches a missing or mistyped initial read, a read of a pattern, or a failed read that is
// delivered anyway.
TEST(ResourceEvents, ObservingReadsTheCurrentValueAsCreate) {
  EventsFixture fixture;
  fixture.itemSets->Set("GET", kSevenSets, host::PeerAnswer::Value(42));
  Observed<std::int32_t> present;
  Observed<std::int32_t> missing;
  Observed<std::int32_t> pattern;
  present.Observe(fixture.plugin, kSevenSets);
  missing.Observe(fixture.plugin, kEightSets);
  pattern.Observe(fixture.plugin, kSetsPattern);
  EXPECT_EQ(fixture.SentRequests(), (std::vector<std::string>{std::string("GET ") + kSevenSets,
                                                              std::string("GET ") + kEightSets}));
  EXPECT_EQ(present.values, std::vector<std::int32_t>{42});
  EXPECT_EQ(present.types, std::vector<PluginResourceEventType>{PluginResourceEventType::Create});
  EXPECT_TRUE(missing.values.empty());
  EXPECT_TRUE(pattern.values.empty());
}

// Catches tables changed under a running dispatch: a handler that observes more resources must
// not invalidate the walk over the pattern table.
TEST(ResourceEvents, HandlerMayObserveMoreResourcesWhileDispatching) {
  EventsFixture fixture;
  int calls = 0;
  ObserveResource<BindingProperty>(fixture.plugin, kSetsPattern, [&](const auto&) {
    calls++;
    for (int i = 0; i < 40; ++i) {
      const std::string uri = "/dul-item-sets/v1/item-sets/*/extra" + std::to_string(i);
      ObserveResource<BindingProperty>(fixture.plugin, uri, [](const auto&) {});
    }
  });
  fixture.host.PublishEvent(kItemSetsEvent,
                            ResourceEventPayload(kSevenSets, "Update", BindingProperty()));
  EXPECT_EQ(calls, 1);
}

PluginResourceEvent UpdateOfSevenSets() {
  PluginResourceEvent event;
  event.uri = kSevenSets;
  event.eventType = PluginResourceEventType::Update;
  event.data.Member("title") = "a title long enough to need its own block";
  return event;
}

// Catches publishing under one name only, twice under the same name, a payload that is not the
// event, or a lost word.
TEST(ResourceEvents, PublishGoesOutUnderTheDerivedAndTheGivenName) {
  EventsFixture fixture;
  testing::PublishedEvents published(fixture.host);
  const PluginResourceEvent event = UpdateOfSevenSets();
  EXPECT_FALSE(PublishResourceEvent(fixture.plugin, "OnJsonApiEvent", event, 5).has_value());
  ASSERT_EQ(published.events.size(), 2u);
  EXPECT_EQ(published.events[0].name, kItemSetsEvent);
  EXPECT_EQ(published.events[1].name, "OnJsonApiEvent");
  BindingProperty expected = ResourceEventPayload(kSevenSets, "Update", BindingProperty());
  expected.Member("data") = event.data;
  for (const host::PublishedEvent& sent : published.events) {
    EXPECT_TRUE(sent.fromPlugin);
    EXPECT_EQ(sent.payload, expected);
    EXPECT_EQ(sent.value, 5u);
  }
  EXPECT_FALSE(PublishResourceEvent(fixture.plugin, kItemSetsEvent, event, 0).has_value());
  EXPECT_EQ(published.events.size(), 3u);
}

// Catches a payload record that the plugin never frees once the host has taken the event.
TEST(ResourceEvents, PublishingLeavesNothingAllocated) {
  EventsFixture fixture;
  const PluginResourceEvent event = UpdateOfSevenSets();
  // The first publish grows the host's queue; it stays grown.
  ASSERT_FALSE(PublishResourceEvent(fixture.plugin, kItemSetsEvent, event, 0).has_value());
  fixture.host.DeliverPendingEvents();
  const AllocationStats before = ReadAllocationStats();
  EXPECT_FALSE(PublishResourceEvent(fixture.plugin, kItemSetsEvent, event, 0).has_value());
  fixture.host.DeliverPendingEvents();
  const AllocationStats after = ReadAllocationStats();
  EXPECT_EQ(fixture.host.calls().published, 2u);
  EXPECT_GT(after.allocations, before.allocations);
  EXPECT_EQ(after.allocations - before.allocations, after.frees - before.frees);
}

}  // namespace
}  // namespace dul
