#include "plugin/item_sets_types.h"

#include <string>
#include <string_view>

#include "binding/binding_type_builder.h"
#include "plugin/item_sets_api.h"
#include "runtime/plugin_base.h"

namespace dul::item_sets {
namespace {

using namespace Zorv::Client::ItemSets::Api;
using Zorv::BindingTypeBuilder;

// Enters a type under the plugin's prefix followed by `name` and gives it the default tags.
template <class T>
BindingTypeBuilder Begin(PluginBase& plugin, std::string_view name) {
  BindingTypeBuilder builder =
      Zorv::BeginType<T>(plugin.typeRegistry(), plugin.typeNamePrefix() + std::string(name));
  for (const std::string& tag : plugin.defaultTags()) {
    builder.AddTag(tag);
  }
  return builder;
}

void RegisterSetParts(PluginBase& plugin) {
  Begin<ItemSetItem>(plugin, "ItemSetItem")
      .AddField("id", "", &ItemSetItem::id)
      .AddField("count", "", &ItemSetItem::count);
  Begin<ItemSetBlock>(plugin, "ItemSetBlock")
      .AddField("type", "", &ItemSetBlock::type)
      .AddField("hideIfSummonerSpell", "", &ItemSetBlock::hideIfSummonerSpell)
      .AddField("showIfSummonerSpell", "", &ItemSetBlock::showIfSummonerSpell)
      .AddField("items", "", &ItemSetBlock::items);
  Begin<PreferredItemSlot>(plugin, "PreferredItemSlot")
      .AddField("id", "", &PreferredItemSlot::id)
      .AddField("preferredItemSlot", "", &PreferredItemSlot::preferredItemSlot);
}

void RegisterDocument(PluginBase& plugin) {
  Begin<ItemSet>(plugin, "ItemSet")
      .AddField("uid", "", &ItemSet::uid)
      .AddField("title", "", &ItemSet::title)
      .AddField("mode", "", &ItemSet::mode)
      .AddField("map", "", &ItemSet::map)
      .AddField("type", "", &ItemSet::type)
      .AddField("sortrank", "", &ItemSet::sortrank)
      .AddField("startedFrom", "", &ItemSet::startedFrom)
      .AddField("associatedChampions", "", &ItemSet::associatedChampions)
      .AddField("associatedMaps", "", &ItemSet::associatedMaps)
      .AddField("blocks", "", &ItemSet::blocks)
      .AddField("preferredItemSlots", "", &ItemSet::preferredItemSlots);
  Begin<ItemSets>(plugin, "ItemSets")
      .AddField("timestamp", "", &ItemSets::timestamp)
      .AddField("accountId", "", &ItemSets::accountId)
      .AddField("itemSets", "", &ItemSets::itemSets);
}

void RegisterPeerRecords(PluginBase& plugin) {
  Begin<GameDataChampion>(plugin, "GameDataChampion")
      .AddField("alias", "", &GameDataChampion::alias);
  // The registered name is plural, unlike the native enum's.
  Begin<LoginSessionState>(plugin, "LoginSessionStates")
      .AddEnumValue("IN_PROGRESS", 0, "")
      .AddEnumValue("ERROR", 3, "")
      .AddEnumValue("SUCCEEDED", 1, "")
      .AddEnumValue("LOGGING_OUT", 2, "");
  Begin<LoginSession>(plugin, "LoginSession")
      .AddField("state", "", &LoginSession::state)
      .AddField("summonerId", "", &LoginSession::summonerId)
      .AddField("accountId", "", &LoginSession::accountId);
}

}  // namespace

void RegisterItemSetTypes(PluginBase& plugin) {
  RegisterSetParts(plugin);
  RegisterDocument(plugin);
  RegisterPeerRecords(plugin);
}

}  // namespace dul::item_sets
