// The save metrics: one telemetry event describing the shape of the whole item-set document
// (how many sets, how they are scoped to champions and maps, how they were started, how many
// blocks, items and preferred slots they hold), sent each time a change is saved.
//
//   ReportItemSetSaveMetrics(plugin, plugin.currentItemSets());
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "plugin/item_sets_api.h"

namespace dul {
class PluginCore;
}

namespace dul::item_sets {

inline constexpr std::string_view kItemSetSaveEventName = "item_sets__item_sets_save";

// (metric name, unsigned decimal value) in byte order of the names.
using ItemSetSaveMetrics = std::vector<std::pair<std::string, std::string>>;

// The metrics of a document: exactly those its sets touch, each a 32-bit counter that wraps.
// Empty for a document without sets.
ItemSetSaveMetrics ComputeItemSetSaveMetrics(const Zorv::Client::ItemSets::Api::ItemSets& document);

// Sends the document's metrics through the plugin's telemetry sender and ignores the outcome.
// Sends nothing for a document without sets or a plugin that has no sender yet.
void ReportItemSetSaveMetrics(PluginCore& plugin,
                              const Zorv::Client::ItemSets::Api::ItemSets& document);

}  // namespace dul::item_sets
