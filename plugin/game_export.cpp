#include "plugin/game_export.h"

#include <optional>
#include <utility>
#include <vector>

#include "binding/native_conversion.h"
#include "codecs/json_writer.h"
#include "foundation/find_files.h"
#include "platform/file_system.h"
#include "plugin/file_system_helpers.h"
#include "plugin/install_locator.h"
#include "runtime/json_api_client.h"

namespace dul::item_sets {
namespace {

using Zorv::Client::ItemSets::Api::GameDataChampion;
using Zorv::Client::ItemSets::Api::ItemSet;
using Zorv::Client::ItemSets::Api::ItemSets;

constexpr std::int32_t kGlobalAnyMapSortrank = 4;
constexpr std::int32_t kGlobalOneMapSortrank = 6;
constexpr std::int64_t kChampionAnyMapSortrankBase = 5000;
constexpr std::int64_t kChampionOneMapSortrankBase = 10000;

// Paths are joined by plain concatenation: the same text as the "%1/..." formats, but never cut
// short at the formatter's length limit, which could name a directory above the intended one.
std::string GlobalDirectoryIn(const std::string& config) {
  return config + "/Global/Recommended";
}

std::string ChampionsRootIn(const std::string& config) {
  return config + "/Champions";
}

std::string ChampionDirectoryIn(const std::string& config, const std::string& alias) {
  return config + "/Champions/" + alias + "/Recommended";
}

std::string ItemSetFilePath(const std::string& directory, std::uint64_t number) {
  return directory + "/" + std::string(kItemSetFilePrefix) + std::to_string(number) + ".json";
}

std::int32_t ChampionSortrank(std::int64_t base, std::size_t championCount) {
  return static_cast<std::int32_t>(base - static_cast<std::int64_t>(championCount));
}

// One run: the configuration directory it writes into and the number of its next file.
class ExportRun {
 public:
  ExportRun(PluginCore& plugin, std::string config)
      : plugin_(plugin), config_(std::move(config)), global_(GlobalDirectoryIn(config_)) {}

  void ExportSet(ItemSet copy);

 private:
  void ExportForChampions(ItemSet& copy);
  std::optional<std::string> ChampionDirectory(std::int32_t championId);
  // Writes the copy as the run's next file in `directory`; the number is used up either way.
  void WriteCopy(const std::string& directory, const ItemSet& copy) {
    (void)WriteItemSetFile(ItemSetFilePath(directory, nextNumber_++), copy, plugin_.typeRegistry());
  }

  PluginCore& plugin_;
  std::string config_;
  std::string global_;
  std::uint64_t nextNumber_ = 1;
};

void ExportRun::ExportSet(ItemSet copy) {
  if (!copy.associatedChampions.empty())
    return ExportForChampions(copy);
  copy.type = "global";
  if (copy.associatedMaps.empty()) {
    copy.map = "any";
    copy.sortrank = kGlobalAnyMapSortrank;
    return WriteCopy(global_, copy);
  }
  copy.sortrank = kGlobalOneMapSortrank;
  for (const std::int32_t mapId : copy.associatedMaps) {
    copy.map = MapKeyOf(mapId);
    WriteCopy(global_, copy);
  }
}

// A champion whose alias cannot be had, or whose directory cannot be made, ends the set.
void ExportRun::ExportForChampions(ItemSet& copy) {
  copy.type = "custom";
  const std::size_t championCount = copy.associatedChampions.size();
  for (const std::int32_t championId : copy.associatedChampions) {
    const std::optional<std::string> directory = ChampionDirectory(championId);
    if (!directory)
      return;
    if (copy.associatedMaps.empty()) {
      copy.map = "any";
      copy.sortrank = ChampionSortrank(kChampionAnyMapSortrankBase, championCount);
      WriteCopy(*directory, copy);
      continue;
    }
    copy.sortrank = ChampionSortrank(kChampionOneMapSortrankBase, championCount);
    for (const std::int32_t mapId : copy.associatedMaps) {
      copy.map = MapKeyOf(mapId);
      WriteCopy(*directory, copy);
    }
  }
}

std::optional<std::string> ExportRun::ChampionDirectory(std::int32_t championId) {
  const std::string url =
      "/dul-game-data/assets/v1/champions/" + std::to_string(championId) + ".json";
  const RequestResult<GameDataChampion> champion =
      RequestValue<GameDataChampion>(plugin_, RequestMethod::kGet, url);
  if (!champion.ok() || !IsSafeChampionAlias(champion.value().alias))
    return std::nullopt;
  std::string directory = ChampionDirectoryIn(config_, champion.value().alias);
  if (!MakeDirectories(directory).succeeded)
    return std::nullopt;
  return directory;
}

}  // namespace

void ExportItemSetsToGame(PluginCore& plugin, const ItemSets& document, bool sendItemSetsToGame) {
  ExportItemSetsToGame(plugin, document, sendItemSetsToGame, &GetGameConfigDirectory);
}

void ExportItemSetsToGame(PluginCore& plugin, const ItemSets& document, bool sendItemSetsToGame,
                          const ConfigDirectorySource& configDirectory) {
  if (!sendItemSetsToGame)
    return;
  std::string config = configDirectory();
  if (!MakeDirectories(GlobalDirectoryIn(config)).succeeded)
    return;
  RemoveOldItemSetFiles(ChampionsRootIn(configDirectory()));
  RemoveOldItemSetFiles(GlobalDirectoryIn(configDirectory()));
  // The run works on its own copy: a champion request lets the host run other work meanwhile.
  std::vector<ItemSet> sets = document.itemSets;
  ExportRun run(plugin, std::move(config));
  for (ItemSet& set : sets)
    run.ExportSet(std::move(set));
}

void RemoveOldItemSetFiles(std::string_view directory) {
  const FoundFiles found = FindFiles(directory, kOldItemSetFilePattern, true);
  for (const FoundFile& file : found.files)
    (void)RemoveFile(file.path);  // a file that stays is simply tried again next run
}

std::string_view MapKeyOf(std::int32_t mapId) {
  switch (mapId) {
    case 8:
      return "CS";
    case 10:
      return "TT";
    case 12:
    case 14:
      return "HA";
    default:
      return "SR";
  }
}

bool IsSafeChampionAlias(std::string_view alias) {
  if (alias.empty() || alias == "." || alias == "..")
    return false;
  for (const char c : alias) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '/' || c == '\\' || c == ':' || byte < 0x20 || byte == 0x7F)
      return false;
  }
  return true;
}

ItemSetFileResult WriteItemSetFile(const std::string& path, const ItemSet& set,
                                   const Zorv::BindingTypeRegistry& registry) {
  const Zorv::BindingResult converted = Zorv::SerializeToBinding(set, registry);
  if (!converted.ok())
    return ItemSetFileResult{false, std::string(converted.ErrorText())};
  const std::string text = Zorv::WriteJson(converted.value(), &registry, nullptr);
  if (platform::WriteWholeFile(path, text))
    return ItemSetFileResult{true, std::string()};
  // The game would read a cut-short file as a broken set; the next run writes it again.
  (void)RemoveFile(path);
  return ItemSetFileResult{false, std::string()};
}

}  // namespace dul::item_sets
