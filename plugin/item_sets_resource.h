// The item-set resource the plugin serves: where it lives and how a change of it is named.
// Its handlers are member operations of ItemSetsPlugin (item_sets_resource.cpp).
#pragma once

#include <cstdint>
#include <string>

namespace dul::item_sets {

// The route template of GET, PUT and POST.
inline constexpr const char* kItemSetsResourceTemplate =
    "/dul-item-sets/v1/item-sets/{summonerId}/sets";

// The resource's path for one summoner id, as its change events carry it.
std::string ItemSetsResourceUri(std::uint64_t summonerId);

}  // namespace dul::item_sets
