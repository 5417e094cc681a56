// Normalisation of an item-set document before it is stored, exported or announced: every set
// gets an identifier and a mode, and the old id of a map is dropped where its successor is named.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "plugin/item_sets_api.h"

namespace dul::item_sets {

// The map id that 11 replaced; a set naming both keeps only 11.
inline constexpr std::int32_t kRetiredMapId = 1;
inline constexpr std::int32_t kSuccessorMapId = 11;

// The 36-character text of a UUID's 16 bytes, taken in the order given: lowercase hex in groups
// of 4, 2, 2, 2 and 6 bytes joined by "-".
std::string FormatUuidText(const std::array<std::uint8_t, 16>& bytes);

// A new random identifier in the text above, its bytes in the platform's in-memory order. Ends
// the process when the system cannot create one.
std::string CreateItemSetUid();

// Gives each set without a uid a new one and each set without a mode "any"; removes every map
// id 1 from a set whose maps hold both 1 and 11.
void NormalizeItemSets(Zorv::Client::ItemSets::Api::ItemSets& document);

}  // namespace dul::item_sets
