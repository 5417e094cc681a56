#include "plugin/item_set_save_metrics.h"

#include <array>
#include <cstdint>
#include <map>

#include "runtime/telemetry_sender.h"

namespace dul::item_sets {
namespace {

using Zorv::Client::ItemSets::Api::ItemSet;
using Zorv::Client::ItemSets::Api::ItemSets;

// Counters by name; naming one creates it at 0, so a metric exists once it has been touched.
using Counters = std::map<std::string, std::uint32_t>;

std::uint32_t Count(std::size_t size) {
  return static_cast<std::uint32_t>(size);  // wraps at 2^32 like every counter
}

using ScopeNames = std::array<const char*, 3>;  // no element, one element, more
constexpr ScopeNames kChampionScopes = {"item_sets_for_all_champions.count",
                                        "item_sets_for_one_champion.count",
                                        "item_sets_for_many_champion.count"};
constexpr ScopeNames kMapScopes = {"item_sets_for_all_maps.count", "item_sets_for_one_map.count",
                                   "item_sets_for_many_maps.count"};

void CountScope(Counters& counters, std::size_t size, const ScopeNames& names) {
  ++counters[names[size < 2 ? size : 2]];
}

void CountStartedFrom(Counters& counters, const std::string& startedFrom) {
  for (const char* origin : {"blank", "duplicate", "recommended"}) {
    if (startedFrom == origin) {
      ++counters["item_sets_started_from_" + startedFrom + ".count"];
      return;
    }
  }
}

void CountBlocks(Counters& counters, const ItemSet& set) {
  const std::uint32_t blocks = Count(set.blocks.size());
  counters["blocks_in_item_set.count"] += blocks;
  if (blocks == 0)
    return;
  std::uint32_t& maxBlocks = counters["blocks_in_item_set.max"];
  if (blocks > maxBlocks)
    maxBlocks = blocks;
  for (const auto& block : set.blocks) {
    const std::uint32_t items = Count(block.items.size());
    counters["items_in_blocks.count"] += items;
    std::uint32_t& maxItems = counters["items_in_blocks.max"];
    if (items > maxItems)
      maxItems = items;
  }
}

void CountSet(Counters& counters, const ItemSet& set) {
  counters["preferred_item_slots_in_item_set.count"] += Count(set.preferredItemSlots.size());
  counters["champions_in_item_set.count"] += Count(set.associatedChampions.size());
  CountScope(counters, set.associatedChampions.size(), kChampionScopes);
  CountScope(counters, set.associatedMaps.size(), kMapScopes);
  CountStartedFrom(counters, set.startedFrom);
  CountBlocks(counters, set);
}

}  // namespace

ItemSetSaveMetrics ComputeItemSetSaveMetrics(const ItemSets& document) {
  if (document.itemSets.empty())
    return {};
  Counters counters;
  for (const ItemSet& set : document.itemSets)
    CountSet(counters, set);
  const std::uint32_t sets = Count(document.itemSets.size());
  counters["item_sets.count"] = sets;
  // A count that wrapped to 0 leaves nothing to divide by; the average is then 0.
  counters["blocks_in_item_set.average"] =
      sets == 0 ? 0 : counters["blocks_in_item_set.count"] / sets;
  ItemSetSaveMetrics metrics;
  metrics.reserve(counters.size());
  for (const auto& [name, value] : counters)
    metrics.emplace_back(name, std::to_string(value));
  return metrics;
}

void ReportItemSetSaveMetrics(PluginCore& plugin, const ItemSets& document) {
  TelemetrySender* sender = plugin.telemetrySender();
  const ItemSetSaveMetrics metrics = ComputeItemSetSaveMetrics(document);
  if (sender == nullptr || metrics.empty())
    return;
  RequestArguments payload;
  payload.reserve(metrics.size());
  for (const auto& [name, value] : metrics)
    payload.emplace_back(name, Zorv::BindingProperty(value));
  (void)sender->SendTelemetryEvent(kItemSetSaveEventName, payload);  // outcome unread
}

}  // namespace dul::item_sets
