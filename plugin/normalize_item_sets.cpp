#include "plugin/normalize_item_sets.h"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <vector>

#include "foundation/fatal_error.h"
#include "platform/uuid.h"

namespace dul::item_sets {
namespace {

using Zorv::Client::ItemSets::Api::ItemSet;

bool Contains(const std::vector<std::int32_t>& values, std::int32_t wanted) {
  return std::find(values.begin(), values.end(), wanted) != values.end();
}

void NormalizeMaps(std::vector<std::int32_t>& maps) {
  if (!Contains(maps, kRetiredMapId) || !Contains(maps, kSuccessorMapId)) {
    return;
  }
  maps.erase(std::remove(maps.begin(), maps.end(), kRetiredMapId), maps.end());
}

void NormalizeSet(ItemSet& set) {
  if (set.uid.empty()) {
    set.uid = CreateItemSetUid();
  }
  if (set.mode.empty()) {
    set.mode = "any";
  }
  NormalizeMaps(set.associatedMaps);
}

}  // namespace

std::string FormatUuidText(const std::array<std::uint8_t, 16>& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(36);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) {
      text.push_back('-');
    }
    text.push_back(kDigits[bytes[i] >> 4]);
    text.push_back(kDigits[bytes[i] & 0x0F]);
  }
  return text;
}

std::string CreateItemSetUid() {
  const std::optional<std::array<std::uint8_t, 16>> bytes = platform::CreateRandomUuid();
  if (!bytes) {
    FatalError("ALE-8B4DC795", nullptr, nullptr, 0, nullptr);
  }
  return FormatUuidText(*bytes);
}

void NormalizeItemSets(Zorv::Client::ItemSets::Api::ItemSets& document) {
  for (ItemSet& set : document.itemSets) {
    NormalizeSet(set);
  }
}

}  // namespace dul::item_sets
