// The export of the item-set document into the game's configuration directory C, one JSON file
// per set, champion and map:
//
//   C//Global/Recommended/ZORV_ItemSet_<n>.json               sets that name no champion
//   C//Champions/<alias>/Recommended/ZORV_ItemSet_<n>.json    sets that name the champion
//
// Each run first deletes the files of earlier runs below both roots, then numbers its own files
// from 1. Failures are silent: whatever cannot be requested, created or written is left out and
// the run goes on; nothing is ever written outside C.
//
//   ExportItemSetsToGame(plugin, plugin.currentItemSets(), plugin.sendItemSetsToGame());
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "plugin/item_sets_api.h"

namespace Zorv {
class BindingTypeRegistry;
}

namespace dul {
class PluginCore;
}

namespace dul::item_sets {

inline constexpr std::string_view kItemSetFilePrefix = "ZORV_ItemSet_";
// Matches the whole path of a file that an earlier run wrote.
inline constexpr std::string_view kOldItemSetFilePattern = ".*ZORV_ItemSet_.*\\.json$";

// Supplies the game's configuration directory, ending in "/"; asked anew for each root.
using ConfigDirectorySource = std::function<std::string()>;

// One run of the export on `document`, into the directory GetGameConfigDirectory names. With
// `sendItemSetsToGame` false nothing is deleted or written. Champion aliases are requested from
// the game-data service through `plugin`, whose registry knows the item-set types.
void ExportItemSetsToGame(PluginCore& plugin, const Zorv::Client::ItemSets::Api::ItemSets& document,
                          bool sendItemSetsToGame);

// The same run into the directory that `configDirectory` supplies.
void ExportItemSetsToGame(PluginCore& plugin, const Zorv::Client::ItemSets::Api::ItemSets& document,
                          bool sendItemSetsToGame, const ConfigDirectorySource& configDirectory);

// Deletes every file below `directory` whose whole path matches kOldItemSetFilePattern; a
// directory that cannot be listed or a file that cannot be deleted is left as it is.
void RemoveOldItemSetFiles(std::string_view directory);

// The key a set bound to one map carries in "map": 8 "CS", 10 "TT", 12 and 14 "HA", else "SR".
std::string_view MapKeyOf(std::int32_t mapId);

// True when a champion alias can serve as one directory name inside the champions root: not
// empty, "." or "..", and free of "/", "\", ":" and control characters.
bool IsSafeChampionAlias(std::string_view alias);

struct ItemSetFileResult {
  bool written = false;
  std::string error;  // why the set did not convert; empty otherwise
};

// Writes the set as compact JSON (keys in byte order, every field present) to the file at
// `path`, created or truncated. A set that does not convert leaves no file and names its type in
// the error; a file that cannot be opened or written whole gives `written` false and no error,
// and is removed again rather than left cut short.
ItemSetFileResult WriteItemSetFile(const std::string& path,
                                   const Zorv::Client::ItemSets::Api::ItemSet& set,
                                   const Zorv::BindingTypeRegistry& registry);

}  // namespace dul::item_sets
