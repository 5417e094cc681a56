#include "runtime/resource_events.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "runtime/allocation_counters.h"
#include "tests/runtime/event_test_support.h"

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
  testing::LoadedProbePlugin loaded;
  Observed<std::int32_t> seven;
  Observed<std::int32_t> eight;
  seven.Observe(*loaded.plugin, kSevenSets);
  eight.Observe(*loaded.plugin, kEightSets);
  EXPECT_EQ(loaded.SubscriptionsTo(kItemSetsEvent), 1u);
  EXPECT_EQ(loaded.host.subscriptions.back().flag, 0u);

  loaded.plugin->Unsubscribe(kSevenSets);
  EXPECT_TRUE(loaded.host.unsubscriptions.empty());
  loaded.Deliver(kItemSetsEvent, ResourceEventPayload(kEightSets, "Update", 3));
  EXPECT_EQ(eight.values, std::vector<std::int32_t>{3});

  loaded.plugin->Unsubscribe(kEightSets);
  EXPECT_EQ(loaded.host.unsubscriptions, std::vector<std::string>{kItemSetsEvent});
  loaded.Deliver(kItemSetsEvent, ResourceEventPayload(kEightSets, "Update", 4));
  EXPECT_EQ(eight.values, std::vector<std::int32_t>{3});
  // An unmatched unsubscription must not drive the count below zero.
  loaded.plugin->Unsubscribe(kEightSets);
  EXPECT_EQ(loaded.host.unsubscriptions.size(), 1u);
  loaded.plugin->Subscribe(kEightSets);
  EXPECT_EQ(loaded.SubscriptionsTo(kItemSetsEvent), 2u);
}

// Catches a destroy that misses a subscribed name or unsubscribes one twice.
TEST(ResourceEvents, DestroyUnsubscribesEachNameOnce) {
  testing::LoadedProbePlugin loaded;
  Observed<BindingProperty> observed;
  observed.Observe(*loaded.plugin, kSevenSets);
  observed.Observe(*loaded.plugin, kEightSets);
  observed.Observe(*loaded.plugin, "/dul-login/v1/session");
  loaded.Destroy();
  std::vector<std::string> names = loaded.host.unsubscriptions;
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
  testing::LoadedProbePlugin loaded;
  std::vector<std::string> calls;
  ObserveResource<BindingProperty>(*loaded.plugin, kSevenSets,
                                   [&](const auto&) { calls.push_back("exact"); });
  ObserveResource<BindingProperty>(*loaded.plugin, kSetsPattern,
                                   [&](const auto&) { calls.push_back("pattern"); });
  ObserveResource<BindingProperty>(*loaded.plugin, "/dul-item-sets/v1/item-sets/*",
                                   [&](const auto&) { calls.push_back("other pattern"); });
  EXPECT_EQ(loaded.SubscriptionsTo(kItemSetsEvent), 1u);
  loaded.Deliver(kItemSetsEvent, ResourceEventPayload("dul-item-sets/v1/item-sets/7/sets", "Update",
                                                      BindingProperty()));
  EXPECT_EQ(calls, (std::vector<std::string>{"exact", "pattern"}));
  calls.clear();
  loaded.Deliver(kItemSetsEvent, ResourceEventPayload("/dul-item-sets/v1/item-sets/7/8/sets",
                                                      "Update", BindingProperty()));
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
    testing::LoadedProbePlugin loaded;
    Observed<std::int32_t> observed;
    observed.Observe(*loaded.plugin, kSevenSets);
    loaded.Deliver(kItemSetsEvent,
                   ResourceEventPayload(kSevenSets, item.eventType, BindingProperty(item.data)));
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
  testing::LoadedProbePlugin loaded;
  loaded.plugin->answers[kSevenSets] = 42;
  Observed<std::int32_t> present;
  Observed<std::int32_t> missing;
  Observed<std::int32_t> pattern;
  present.Observe(*loaded.plugin, kSevenSets);
  missing.Observe(*loaded.plugin, kEightSets);
  pattern.Observe(*loaded.plugin, kSetsPattern);
  EXPECT_EQ(loaded.plugin->requestedUrls, (std::vector<std::string>{kSevenSets, kEightSets}));
  EXPECT_EQ(present.values, std::vector<std::int32_t>{42});
  EXPECT_EQ(present.types, std::vector<PluginResourceEventType>{PluginResourceEventType::Create});
  EXPECT_TRUE(missing.values.empty());
  EXPECT_TRUE(pattern.values.empty());
}

// Catches tables changed under a running dispatch: a handler that observes more resources must
// not invalidate the walk over the pattern table.
TEST(ResourceEvents, HandlerMayObserveMoreResourcesWhileDispatching) {
  testing::LoadedProbePlugin loaded;
  int calls = 0;
  ObserveResource<BindingProperty>(*loaded.plugin, kSetsPattern, [&](const auto&) {
    calls++;
    for (int i = 0; i < 40; ++i) {
      const std::string uri = "/dul-item-sets/v1/item-sets/*/extra" + std::to_string(i);
      ObserveResource<BindingProperty>(*loaded.plugin, uri, [](const auto&) {});
    }
  });
  loaded.Deliver(kItemSetsEvent, ResourceEventPayload(kSevenSets, "Update", BindingProperty()));
  EXPECT_EQ(calls, 1);
}

// Catches publishing under one name only, twice under the same name, a payload that is not the
// event, a lost word, or a payload record that is never freed.
TEST(ResourceEvents, PublishGoesOutUnderTheDerivedAndTheGivenName) {
  testing::LoadedProbePlugin loaded;
  PluginResourceEvent event;
  event.uri = kSevenSets;
  event.eventType = PluginResourceEventType::Update;
  event.data.Member("title") = "a title long enough to need its own block";
  EXPECT_FALSE(PublishResourceEvent(*loaded.plugin, "OnJsonApiEvent", event, 5).has_value());
  ASSERT_EQ(loaded.plugin->published.size(), 2u);
  EXPECT_EQ(loaded.plugin->published[0].name, kItemSetsEvent);
  EXPECT_EQ(loaded.plugin->published[1].name, "OnJsonApiEvent");
  BindingProperty expected = ResourceEventPayload(kSevenSets, "Update", BindingProperty());
  expected.Member("data") = event.data;
  for (const auto& published : loaded.plugin->published) {
    EXPECT_EQ(published.payload, expected);
    EXPECT_EQ(published.word, 5u);
  }
  loaded.plugin->keepPublished = false;
  const AllocationStats before = ReadAllocationStats();
  EXPECT_FALSE(PublishResourceEvent(*loaded.plugin, kItemSetsEvent, event, 0).has_value());
  const AllocationStats after = ReadAllocationStats();
  EXPECT_EQ(loaded.plugin->publishCount, 3u);
  EXPECT_GT(after.allocations, before.allocations);
  EXPECT_EQ(after.allocations - before.allocations, after.frees - before.frees);
}

}  // namespace
}  // namespace dul
