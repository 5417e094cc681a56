// Native records to and from binding values, against the same records built into and read out of
// a RapidJSON DOM by hand and mapped by nlohmann::json's NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE: an
// item-set document of 100 sets (about 9,000 values). Each benchmark first checks that its result
// holds the document. Counters: "values" per document, "allocs" per iteration.
#include <benchmark/benchmark.h>

#include <rapidjson/document.h>

#include <cstdint>
#include <string>

#include "bench/codecs/bench_support.h"
#include "bench/runtime/item_sets_body.h"
#include "binding/native_conversion.h"
#include "codecs/json_reader.h"
#include "plugin/item_sets_api.h"
#include "tests/plugin/item_sets_test_plugin.h"

#ifdef DUL_BENCH_HAVE_NLOHMANN_JSON
#include <nlohmann/json.hpp>

namespace Zorv::Client::ItemSets::Api {
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(ItemSetItem, id, count)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(ItemSetBlock, type, hideIfSummonerSpell, showIfSummonerSpell,
                                   items)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(PreferredItemSlot, id, preferredItemSlot)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(ItemSet, uid, title, mode, map, type, sortrank, startedFrom,
                                   associatedChampions, associatedMaps, blocks, preferredItemSlots)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(ItemSets, timestamp, accountId, itemSets)
}  // namespace Zorv::Client::ItemSets::Api
#endif

namespace dul::bench {
namespace {

using Zorv::Client::ItemSets::Api::ItemSet;
using Zorv::Client::ItemSets::Api::ItemSetBlock;
using Zorv::Client::ItemSets::Api::ItemSetItem;
using Zorv::Client::ItemSets::Api::ItemSets;
using Zorv::Client::ItemSets::Api::PreferredItemSlot;
using Json = rapidjson::Document;
using JsonValue = rapidjson::Value;
using JsonAllocator = rapidjson::Document::AllocatorType;

constexpr int kSetCount = 100;

struct Fixture {
  Fixture() {
    tree = Zorv::ParseJson(body).TakeValue();
    Zorv::BindingResult result;
    Zorv::FromBinding(result, document, tree, "itemSets", plugin.typeRegistry());
  }
  testing::ItemSetTypesPlugin plugin;
  std::string body = ItemSetsBody(kSetCount);
  Zorv::BindingProperty tree;  // as the JSON reader gives it
  ItemSets document;
};

const Fixture& TheFixture() {
  static const Fixture fixture;
  return fixture;
}

std::uint64_t CountValues(const Zorv::BindingProperty& value) {
  std::uint64_t count = 1;
  for (const Zorv::BindingProperty& element : value.Elements())
    count += CountValues(element);
  for (const auto& member : value.Members())
    count += CountValues(member.value);
  return count;
}

// Times `body` over the document, with its value count beside the allocation calls.
template <class Body>
void TimeConversion(benchmark::State& state, Body body) {
  TimeLoop(state, TheFixture().body.size(), body);
  state.counters["values"] = static_cast<double>(CountValues(TheFixture().tree));
}

JsonValue Text(const std::string& text, JsonAllocator& allocator) {
  return JsonValue(text.data(), static_cast<rapidjson::SizeType>(text.size()), allocator);
}

template <class Each>
JsonValue Array(std::size_t size, JsonAllocator& allocator, Each each) {
  JsonValue array(rapidjson::kArrayType);
  array.Reserve(static_cast<rapidjson::SizeType>(size), allocator);
  for (std::size_t i = 0; i < size; ++i)
    array.PushBack(each(i), allocator);
  return array;
}

JsonValue BuildSet(const ItemSet& set, JsonAllocator& a) {
  JsonValue value(rapidjson::kObjectType);
  value.AddMember("uid", Text(set.uid, a), a).AddMember("title", Text(set.title, a), a);
  value.AddMember("mode", Text(set.mode, a), a).AddMember("map", Text(set.map, a), a);
  value.AddMember("type", Text(set.type, a), a).AddMember("sortrank", set.sortrank, a);
  value.AddMember("startedFrom", Text(set.startedFrom, a), a);
  const auto numbers = [&a](const std::vector<std::int32_t>& list) {
    return Array(list.size(), a, [&](std::size_t i) { return JsonValue(list[i]); });
  };
  value.AddMember("associatedChampions", numbers(set.associatedChampions), a);
  value.AddMember("associatedMaps", numbers(set.associatedMaps), a);
  value.AddMember("blocks",
                  Array(set.blocks.size(), a,
                        [&](std::size_t i) {
                          const ItemSetBlock& block = set.blocks[i];
                          JsonValue b(rapidjson::kObjectType);
                          b.AddMember("type", Text(block.type, a), a);
                          b.AddMember("hideIfSummonerSpell", Text(block.hideIfSummonerSpell, a), a);
                          b.AddMember("showIfSummonerSpell", Text(block.showIfSummonerSpell, a), a);
                          b.AddMember("items",
                                      Array(block.items.size(), a,
                                            [&](std::size_t j) {
                                              JsonValue item(rapidjson::kObjectType);
                                              item.AddMember("id", Text(block.items[j].id, a), a);
                                              item.AddMember("count", block.items[j].count, a);
                                              return item;
                                            }),
                                      a);
                          return b;
                        }),
                  a);
  value.AddMember("preferredItemSlots",
                  Array(set.preferredItemSlots.size(), a,
                        [&](std::size_t i) {
                          JsonValue slot(rapidjson::kObjectType);
                          slot.AddMember("id", Text(set.preferredItemSlots[i].id, a), a);
                          slot.AddMember("preferredItemSlot",
                                         set.preferredItemSlots[i].preferredItemSlot, a);
                          return slot;
                        }),
                  a);
  return value;
}

void BuildDom(const ItemSets& sets, Json& json) {
  JsonAllocator& a = json.GetAllocator();
  json.SetObject();
  json.AddMember("timestamp", sets.timestamp, a).AddMember("accountId", sets.accountId, a);
  json.AddMember(
      "itemSets",
      Array(sets.itemSets.size(), a, [&](std::size_t i) { return BuildSet(sets.itemSets[i], a); }),
      a);
}

std::string TextOf(const JsonValue& object, const char* name) {
  const auto found = object.FindMember(name);
  return found != object.MemberEnd() && found->value.IsString()
             ? std::string(found->value.GetString(), found->value.GetStringLength())
             : std::string();
}

template <class Number>
Number NumberOf(const JsonValue& object, const char* name) {
  const auto found = object.FindMember(name);
  return found != object.MemberEnd() && found->value.IsNumber()
             ? static_cast<Number>(found->value.GetInt64())
             : Number{};
}

template <class Element, class Read>
std::vector<Element> ListOf(const JsonValue& object, const char* name, Read read) {
  std::vector<Element> list;
  const auto found = object.FindMember(name);
  if (found == object.MemberEnd() || !found->value.IsArray())
    return list;
  list.reserve(found->value.Size());
  for (const JsonValue& element : found->value.GetArray())
    list.push_back(read(element));
  return list;
}

ItemSet ExtractSet(const JsonValue& v) {
  ItemSet set;
  set.uid = TextOf(v, "uid");
  set.title = TextOf(v, "title");
  set.mode = TextOf(v, "mode");
  set.map = TextOf(v, "map");
  set.type = TextOf(v, "type");
  set.sortrank = NumberOf<std::int32_t>(v, "sortrank");
  set.startedFrom = TextOf(v, "startedFrom");
  const auto number = [](const JsonValue& e) { return e.IsInt() ? e.GetInt() : 0; };
  set.associatedChampions = ListOf<std::int32_t>(v, "associatedChampions", number);
  set.associatedMaps = ListOf<std::int32_t>(v, "associatedMaps", number);
  set.blocks = ListOf<ItemSetBlock>(v, "blocks", [](const JsonValue& b) {
    return ItemSetBlock{
        TextOf(b, "type"), TextOf(b, "hideIfSummonerSpell"), TextOf(b, "showIfSummonerSpell"),
        ListOf<ItemSetItem>(b, "items", [](const JsonValue& item) {
          return ItemSetItem{TextOf(item, "id"), NumberOf<std::uint16_t>(item, "count")};
        })};
  });
  set.preferredItemSlots = ListOf<
      PreferredItemSlot>(v, "preferredItemSlots", [](const JsonValue& slot) {
    return PreferredItemSlot{TextOf(slot, "id"), NumberOf<std::int16_t>(slot, "preferredItemSlot")};
  });
  return set;
}

ItemSets ExtractDom(const Json& json) {
  ItemSets sets;
  sets.timestamp = NumberOf<std::uint64_t>(json, "timestamp");
  sets.accountId = NumberOf<std::uint64_t>(json, "accountId");
  sets.itemSets = ListOf<ItemSet>(json, "itemSets", ExtractSet);
  return sets;
}

// Skips the benchmark unless `converted` gives the fixture's document back.
bool Gives(benchmark::State& state, const ItemSets& converted) {
  const Fixture& fixture = TheFixture();
  if (fixture.document.itemSets.size() == kSetCount &&
      SummariseItemSets(converted) == SummariseItemSets(fixture.document))
    return true;
  state.SkipWithError("the conversion does not give the document back");
  return false;
}

void ToBindingOurs(benchmark::State& state) {
  const Fixture& fixture = TheFixture();
  const Zorv::BindingTypeRegistry& registry = fixture.plugin.typeRegistry();
  Zorv::BindingResult check;
  Zorv::ToBinding(check, fixture.document, registry);
  ItemSets back;
  Zorv::FromBinding(check, back, check.value(), "itemSets", registry);
  if (!Gives(state, back))
    return;
  TimeConversion(state, [&] {
    Zorv::BindingResult result;
    Zorv::ToBinding(result, fixture.document, fixture.plugin.typeRegistry());
    benchmark::DoNotOptimize(result.value().Size());
  });
}

void ToBindingRapidJson(benchmark::State& state) {
  const Fixture& fixture = TheFixture();
  Json check;
  BuildDom(fixture.document, check);
  if (!Gives(state, ExtractDom(check)))
    return;
  TimeConversion(state, [&] {
    Json json;
    BuildDom(fixture.document, json);
    benchmark::DoNotOptimize(json.MemberCount());
  });
}

void FromBindingOurs(benchmark::State& state) {
  const Fixture& fixture = TheFixture();
  ItemSets check;
  Zorv::BindingResult result;
  Zorv::FromBinding(result, check, fixture.tree, "itemSets", fixture.plugin.typeRegistry());
  if (!result.ok() || !Gives(state, check))
    return;
  TimeConversion(state, [&] {
    Zorv::BindingResult result;
    ItemSets sets;
    Zorv::FromBinding(result, sets, fixture.tree, "itemSets", fixture.plugin.typeRegistry());
    benchmark::DoNotOptimize(sets.itemSets.data());
  });
}

void FromBindingRapidJson(benchmark::State& state) {
  const Fixture& fixture = TheFixture();
  Json json;
  BuildDom(fixture.document, json);
  if (!Gives(state, ExtractDom(json)))
    return;
  TimeConversion(state, [&] { benchmark::DoNotOptimize(ExtractDom(json).itemSets.data()); });
}

#ifdef DUL_BENCH_HAVE_NLOHMANN_JSON
void ToBindingNlohmann(benchmark::State& state) {
  const Fixture& fixture = TheFixture();
  if (!Gives(state, nlohmann::json(fixture.document).get<ItemSets>()))
    return;
  TimeConversion(state, [&] {
    nlohmann::json json = fixture.document;
    benchmark::DoNotOptimize(json.size());
  });
}

void FromBindingNlohmann(benchmark::State& state) {
  const Fixture& fixture = TheFixture();
  const nlohmann::json json = fixture.document;
  if (!Gives(state, json.get<ItemSets>()))
    return;
  TimeConversion(state, [&] { benchmark::DoNotOptimize(json.get<ItemSets>().itemSets.data()); });
}
#endif

[[maybe_unused]] const bool kRegistered = [] {
  const auto add = [](const char* name, void (*function)(benchmark::State&)) {
    benchmark::RegisterBenchmark(name, function)->Unit(benchmark::kMicrosecond);
  };
  add("Conversion/ToBinding/ours", ToBindingOurs);
  add("Conversion/ToBinding/rapidjson_dom", ToBindingRapidJson);
  add("Conversion/FromBinding/ours", FromBindingOurs);
  add("Conversion/FromBinding/rapidjson_dom", FromBindingRapidJson);
#ifdef DUL_BENCH_HAVE_NLOHMANN_JSON
  add("Conversion/ToBinding/nlohmann", ToBindingNlohmann);
  add("Conversion/FromBinding/nlohmann", FromBindingNlohmann);
#endif
  return true;
}();

}  // namespace
}  // namespace dul::bench
