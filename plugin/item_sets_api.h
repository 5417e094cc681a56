// The native records of the item-set service: the document the resource serves, its parts, and
// the parts of other services' records that the plugin reads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "binding/type_spelling.h"

namespace Zorv::Client::ItemSets::Api {

struct ItemSetItem {
  std::string id;
  std::uint16_t count = 0;
};

struct ItemSetBlock {
  std::string type;
  std::string hideIfSummonerSpell;
  std::string showIfSummonerSpell;
  std::vector<ItemSetItem> items;
};

struct PreferredItemSlot {
  std::string id;
  std::int16_t preferredItemSlot = 0;
};

struct ItemSet {
  std::string uid;
  std::string title;
  std::string mode;
  std::string map;
  std::string type = "custom";
  std::int32_t sortrank = 0;
  std::string startedFrom = "blank";
  std::vector<std::int32_t> associatedChampions;
  std::vector<std::int32_t> associatedMaps;
  std::vector<ItemSetBlock> blocks;
  std::vector<PreferredItemSlot> preferredItemSlots;
};

struct ItemSets {
  std::uint64_t timestamp = 0;
  std::uint64_t accountId = 0;
  std::vector<ItemSet> itemSets;
};

struct GameDataChampion {
  std::string alias;
};

enum class LoginSessionState : std::int32_t {
  IN_PROGRESS = 0,
  SUCCEEDED = 1,
  LOGGING_OUT = 2,
  ERROR = 3,
};

struct LoginSession {
  LoginSessionState state = LoginSessionState::IN_PROGRESS;
  std::uint64_t summonerId = 0;
  std::uint64_t accountId = 0;
};

}  // namespace Zorv::Client::ItemSets::Api

DUL_BINDING_TYPE_NAME(struct, Zorv::Client::ItemSets::Api::ItemSetItem);
DUL_BINDING_TYPE_NAME(struct, Zorv::Client::ItemSets::Api::ItemSetBlock);
DUL_BINDING_TYPE_NAME(struct, Zorv::Client::ItemSets::Api::PreferredItemSlot);
DUL_BINDING_TYPE_NAME(struct, Zorv::Client::ItemSets::Api::ItemSet);
DUL_BINDING_TYPE_NAME(struct, Zorv::Client::ItemSets::Api::ItemSets);
DUL_BINDING_TYPE_NAME(struct, Zorv::Client::ItemSets::Api::GameDataChampion);
DUL_BINDING_TYPE_NAME(enum, Zorv::Client::ItemSets::Api::LoginSessionState);
DUL_BINDING_TYPE_NAME(struct, Zorv::Client::ItemSets::Api::LoginSession);
