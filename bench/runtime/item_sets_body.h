// ItemSetsBody: an item-set document of realistic sets as JSON text (3 to 5 blocks of 2 to 6
// items, 2 champions, 1 map, 2 preferred slots each), the same bytes on every platform and run;
// SummariseItemSets: a walk of the native document that the benchmarks check results against.
#pragma once

#include <cstdint>
#include <string>

#include "plugin/item_sets_api.h"

namespace dul::bench {

std::string ItemSetsBody(int setCount);

// A number that depends on every set, block and item: sizes, item ids and counts, titles.
std::uint64_t SummariseItemSets(const Zorv::Client::ItemSets::Api::ItemSets& sets);

}  // namespace dul::bench
