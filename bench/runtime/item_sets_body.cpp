#include "bench/runtime/item_sets_body.h"

#include <cstdint>
#include <string_view>

namespace dul::bench {
namespace {

constexpr std::uint64_t kAccountId = 2743119;

// A fixed linear congruential sequence, so that the body is the same on every platform.
class Sequence {
 public:
  std::uint32_t Next(std::uint32_t bound) {
    state_ = state_ * 6364136223846793005u + 1442695040888963407u;
    return static_cast<std::uint32_t>(state_ >> 33) % bound;
  }

 private:
  std::uint64_t state_ = 20240611;
};

std::string Quoted(std::string_view text) {
  return "\"" + std::string(text) + "\"";
}

void AppendBlock(std::string& json, Sequence& sequence, int index) {
  static constexpr const char* kBlockTypes[] = {"Starting items", "Core build", "Situational",
                                                "Boots", "Consumables"};
  json += "{\"type\":" + Quoted(kBlockTypes[index % 5]) +
          ",\"hideIfSummonerSpell\":\"\",\"showIfSummonerSpell\":" +
          Quoted(index == 0 ? "SummonerSmite" : "") + ",\"items\":[";
  const std::uint32_t itemCount = 2 + sequence.Next(5);
  for (std::uint32_t i = 0; i < itemCount; ++i) {
    json += i == 0 ? "" : ",";
    json += "{\"id\":" + Quoted(std::to_string(1001 + sequence.Next(3000))) +
            ",\"count\":" + std::to_string(1 + sequence.Next(3)) + "}";
  }
  json += "]}";
}

void AppendItemSet(std::string& json, Sequence& sequence, int index) {
  const std::string number = std::to_string(index);
  json +=
      "{\"uid\":" + Quoted("5f0c" + std::to_string(100000 + sequence.Next(900000)) + "-" + number) +
      ",\"title\":" + Quoted("Item set " + number) +
      ",\"mode\":\"any\",\"map\":" + Quoted(index % 3 == 0 ? "SR" : "any") +
      ",\"type\":\"custom\",\"sortrank\":" + std::to_string(index) +
      ",\"startedFrom\":\"blank\",\"associatedChampions\":[" +
      std::to_string(1 + sequence.Next(900)) + "," + std::to_string(1 + sequence.Next(900)) +
      "],\"associatedMaps\":[" + std::to_string(11 + sequence.Next(2)) + "],\"blocks\":[";
  const std::uint32_t blockCount = 3 + sequence.Next(3);
  for (std::uint32_t i = 0; i < blockCount; ++i) {
    json += i == 0 ? "" : ",";
    AppendBlock(json, sequence, static_cast<int>(i));
  }
  json += "],\"preferredItemSlots\":[";
  for (int i = 0; i < 2; ++i) {
    json += i == 0 ? "" : ",";
    json += "{\"id\":" + Quoted(std::to_string(3001 + sequence.Next(500))) +
            ",\"preferredItemSlot\":" + std::to_string(i + 1) + "}";
  }
  json += "]}";
}

}  // namespace

std::string ItemSetsBody(int setCount) {
  Sequence sequence;
  std::string json = "{\"timestamp\":1718000000000,\"accountId\":" + std::to_string(kAccountId) +
                     ",\"itemSets\":[";
  for (int i = 0; i < setCount; ++i) {
    json += i == 0 ? "" : ",";
    AppendItemSet(json, sequence, i);
  }
  return json + "]}";
}

std::uint64_t SummariseItemSets(const Zorv::Client::ItemSets::Api::ItemSets& sets) {
  std::uint64_t total = sets.itemSets.size() + sets.accountId;
  for (const Zorv::Client::ItemSets::Api::ItemSet& set : sets.itemSets) {
    for (const Zorv::Client::ItemSets::Api::ItemSetBlock& block : set.blocks) {
      for (const Zorv::Client::ItemSets::Api::ItemSetItem& item : block.items)
        total += item.id.size() + item.count;
    }
    total += set.preferredItemSlots.size() + set.title.size() + set.associatedChampions.size();
  }
  return total;
}

}  // namespace dul::bench
