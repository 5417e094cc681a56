#include "plugin/item_set_save_metrics.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/core/peer.h"
#include "tests/support/hosted_plugin.h"
#include "tests/support/telemetry_fixture.h"

namespace dul::item_sets {
namespace {

using host::PeerAnswer;
using host::PeerRequest;
using host::ScriptedPeer;
using Zorv::Client::ItemSets::Api::ItemSet;
using Zorv::Client::ItemSets::Api::ItemSetBlock;
using Zorv::Client::ItemSets::Api::ItemSets;

ItemSet SetWith(std::size_t champions, std::size_t maps, std::vector<std::size_t> blockItems,
                std::string startedFrom = "blank") {
  ItemSet set;
  set.associatedChampions.assign(champions, 1);
  set.associatedMaps.assign(maps, 11);
  for (const std::size_t items : blockItems) {
    ItemSetBlock block;
    block.items.resize(items);
    set.blocks.push_back(block);
  }
  set.startedFrom = std::move(startedFrom);
  return set;
}

ItemSets DocumentOf(std::vector<ItemSet> sets) {
  ItemSets document;
  document.itemSets = std::move(sets);
  return document;
}

std::map<std::string, std::string> MetricsOf(const ItemSets& document) {
  const ItemSetSaveMetrics metrics = ComputeItemSetSaveMetrics(document);
  return std::map<std::string, std::string>(metrics.begin(), metrics.end());
}

// Catches a metric reported that nothing touched, a missing "always" metric, or a value that
// is not the plain decimal of its counter.
TEST(ItemSetSaveMetrics, MinimalSetHasExactlyTheEightAlwaysMetrics) {
  const ItemSetSaveMetrics metrics = ComputeItemSetSaveMetrics(DocumentOf({SetWith(0, 0, {})}));
  EXPECT_EQ(metrics, (ItemSetSaveMetrics{{"blocks_in_item_set.average", "0"},
                                         {"blocks_in_item_set.count", "0"},
                                         {"champions_in_item_set.count", "0"},
                                         {"item_sets.count", "1"},
                                         {"item_sets_for_all_champions.count", "1"},
                                         {"item_sets_for_all_maps.count", "1"},
                                         {"item_sets_started_from_blank.count", "1"},
                                         {"preferred_item_slots_in_item_set.count", "0"}}));
}

// Catches wrong sums, maxima or averages, the scope metrics' irregular spellings, a "started
// from" text compared loosely, or metrics present that no set touched.
TEST(ItemSetSaveMetrics, CountsShapesOfTheDocument) {
  const struct Case {
    const char* name;
    std::vector<ItemSet> sets;
    std::map<std::string, std::string> present;
    std::vector<std::string> absent;
  } cases[] = {
      {"blocks 1, 2, 2",
       {SetWith(0, 0, {3}), SetWith(0, 0, {1, 4}), SetWith(0, 0, {0, 2})},
       {{"blocks_in_item_set.count", "5"},
        {"blocks_in_item_set.max", "2"},
        {"blocks_in_item_set.average", "1"},
        {"items_in_blocks.count", "10"},
        {"items_in_blocks.max", "4"}},
       {}},
      {"one empty block",
       {SetWith(0, 0, {0})},
       {{"items_in_blocks.count", "0"}, {"items_in_blocks.max", "0"}},
       {}},
      {"champions 0, 1, 3",
       {SetWith(0, 0, {}), SetWith(1, 0, {}), SetWith(3, 0, {})},
       {{"item_sets_for_all_champions.count", "1"},
        {"item_sets_for_one_champion.count", "1"},
        {"item_sets_for_many_champion.count", "1"},
        {"champions_in_item_set.count", "4"}},
       {"blocks_in_item_set.max", "items_in_blocks.count", "items_in_blocks.max"}},
      {"maps 1, 2, 5",
       {SetWith(0, 1, {}), SetWith(0, 2, {}), SetWith(0, 5, {})},
       {{"item_sets_for_one_map.count", "1"}, {"item_sets_for_many_maps.count", "2"}},
       {"item_sets_for_all_maps.count"}},
      {"started from",
       {SetWith(0, 0, {}, "custom"), SetWith(0, 0, {}, "Blank"), SetWith(0, 0, {}, "duplicate"),
        SetWith(0, 0, {}, "recommended"), SetWith(0, 0, {}, "recommended"),
        SetWith(0, 0, {}, "blank ")},
       {{"item_sets_started_from_duplicate.count", "1"},
        {"item_sets_started_from_recommended.count", "2"},
        {"item_sets.count", "6"}},
       {"item_sets_started_from_blank.count", "item_sets_started_from_custom.count"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::map<std::string, std::string> metrics = MetricsOf(DocumentOf(c.sets));
    for (const auto& [name, value] : c.present)
      EXPECT_EQ(metrics.count(name) ? metrics.at(name) : "<absent>", value) << name;
    for (const std::string& name : c.absent)
      EXPECT_EQ(metrics.count(name), 0u) << name;
  }
}

using testing::TelemetryFixture;

// Catches an event sent under another name or path, values sent as numbers or out of order,
// or an answer left unreleased.
TEST(ReportItemSetSaveMetrics, PostsTheMetricsAsTexts) {
  TelemetryFixture telemetry;
  ItemSet set = SetWith(1, 2, {3});
  set.preferredItemSlots.resize(2);
  ReportItemSetSaveMetrics(*telemetry.hosted.plugin, DocumentOf({set, SetWith(0, 0, {})}));
  ASSERT_EQ(telemetry.peer->requests().size(), 1u);
  const PeerRequest& request = telemetry.peer->requests()[0];
  EXPECT_EQ(request.methodName, "POST");
  EXPECT_EQ(request.path, "/telemetry/v1/events/item_sets__item_sets_save");
  EXPECT_EQ(request.body,
            "{\"blocks_in_item_set.average\":\"0\",\"blocks_in_item_set.count\":\"1\","
            "\"blocks_in_item_set.max\":\"1\",\"champions_in_item_set.count\":\"1\","
            "\"item_sets.count\":\"2\",\"item_sets_for_all_champions.count\":\"1\","
            "\"item_sets_for_all_maps.count\":\"1\",\"item_sets_for_many_maps.count\":\"1\","
            "\"item_sets_for_one_champion.count\":\"1\","
            "\"item_sets_started_from_blank.count\":\"2\",\"items_in_blocks.count\":\"3\","
            "\"items_in_blocks.max\":\"3\",\"preferred_item_slots_in_item_set.count\":\"2\"}");
  EXPECT_EQ(telemetry.hosted.host.responses().live(), 0u);
}

// Catches an event sent for an empty document, an error answer that escapes the report, or a
// report before initialize that dereferences the missing sender.
TEST(ReportItemSetSaveMetrics, SendsNothingForNoSetsAndIgnoresErrors) {
  TelemetryFixture telemetry;
  ReportItemSetSaveMetrics(*telemetry.hosted.plugin, ItemSets());
  EXPECT_TRUE(telemetry.peer->requests().empty());

  telemetry.answer = PeerAnswer::Error(503, "Unavailable");
  ReportItemSetSaveMetrics(*telemetry.hosted.plugin, DocumentOf({SetWith(0, 0, {})}));
  EXPECT_EQ(telemetry.peer->requests().size(), 1u);
  EXPECT_EQ(telemetry.hosted.host.responses().live(), 0u);

  testing::HostedPlugin<> unstarted(false);
  ReportItemSetSaveMetrics(*unstarted.plugin, DocumentOf({SetWith(0, 0, {})}));
  EXPECT_EQ(unstarted.host.calls().requests, 0u);
}

}  // namespace
}  // namespace dul::item_sets
