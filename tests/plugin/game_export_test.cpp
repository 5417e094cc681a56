#include "plugin/game_export.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "codecs/json_reader.h"
#include "host/core/peer.h"
#include "plugin/item_sets_types.h"
#include "plugin/local_item_sets_cache.h"
#include "tests/support/hosted_plugin.h"
#include "tests/support/system_call_failures.h"
#include "tests/support/temporary_tree.h"

namespace dul::item_sets {
namespace {

namespace fs = std::filesystem;
using host::PeerAnswer;
using host::PeerRequest;
using host::ScriptedPeer;
using platform::SystemCall;
using testing::FailurePoint;
using Zorv::Client::ItemSets::Api::ItemSet;
using Zorv::Client::ItemSets::Api::ItemSets;

// A plugin with the item-set types registered at load, as the service registers them.
class ExportPlugin : public PluginBase {
 public:
  void RegisterApi() override { RegisterItemSetTypes(*this); }
};

// Champion records as the game-data service streams them, in small chunks, with keys the export
// does not read.
PeerAnswer Champion(const std::string& aliasJson) {
  return PeerAnswer::StreamedJson("{\"alias\":" + aliasJson + ",\"id\":9,\"name\":\"N\"}", 5);
}

ItemSet SetFor(std::vector<std::int32_t> champions, std::vector<std::int32_t> maps) {
  ItemSet set;
  set.uid = "u-" + std::to_string(champions.size()) + "-" + std::to_string(maps.size());
  set.title = "Set";
  set.mode = "any";
  set.associatedChampions = std::move(champions);
  set.associatedMaps = std::move(maps);
  return set;
}

ItemSets DocumentOf(std::vector<ItemSet> sets) {
  ItemSets document;
  document.itemSets = std::move(sets);
  return document;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// A game tree with its configuration directory and a game-data service that knows champions
// 1 "Ardeth", 2 "Bramwyn", 3 "Corvessa" and 7 "Galdric" and answers 404 for any other.
class GameExport : public ::testing::Test {
 protected:
  GameExport() {
    tree_.MakeDirectory("Game/Config");
    hosted_.host.AddPeer("/dul-game-data/", champions_);
    answers_["1"] = Champion("\"Ardeth\"");
    answers_["2"] = Champion("\"Bramwyn\"");
    answers_["3"] = Champion("\"Corvessa\"");
    answers_["7"] = Champion("\"Galdric\"");
  }

  void Export(const ItemSets& document, bool send = true) {
    ExportItemSetsToGame(*hosted_.plugin, document, send, [this] { return config_; });
  }
  // Every file in the whole temporary tree, by path relative to the configuration directory
  // ("../" for anything outside it), with its content.
  std::map<std::string, std::string> Files() const {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(tree_.Root())) {
      if (entry.is_regular_file())
        files[fs::relative(entry.path(), tree_.Path("Game/Config")).generic_string()] =
            ReadFile(entry.path());
    }
    return files;
  }
  std::vector<std::string> RequestedPaths() const {
    std::vector<std::string> paths;
    for (const PeerRequest& request : champions_->requests())
      paths.push_back(request.methodName + " " + request.path);
    return paths;
  }
  void MakeConfigFile(const std::string& relative) const {
    tree_.MakeFile("Game/Config/" + relative);
  }

  testing::TemporaryTree tree_;
  std::string config_ = tree_.Path("Game/Config") + "/";
  std::map<std::string, PeerAnswer> answers_;
  std::shared_ptr<ScriptedPeer> champions_ =
      std::make_shared<ScriptedPeer>([this](const PeerRequest& request) {
        const std::string prefix = "/dul-game-data/assets/v1/champions/";
        const std::string id =
            request.path.substr(prefix.size(), request.path.size() - prefix.size() - 5);
        const auto answer = answers_.find(id);
        return answer == answers_.end() ? PeerAnswer::Error(404, "Not Found") : answer->second;
      });
  testing::HostedPlugin<ExportPlugin> hosted_;
};

// The (map, type, sortrank) a written file holds.
struct Placement {
  std::string map;
  std::string type;
  std::int64_t sortrank;
  bool operator==(const Placement&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Placement& placement) {
  return out << placement.map << "/" << placement.type << "/" << placement.sortrank;
}

// The reader keeps non-negative numbers unsigned and negative ones signed.
std::int64_t NumberOf(const Zorv::BindingProperty& value) {
  return value.GetSigned(static_cast<std::int64_t>(value.GetUnsigned(0)));
}

std::map<std::string, Placement> PlacementsOf(const std::map<std::string, std::string>& files) {
  std::map<std::string, Placement> placements;
  for (const auto& [path, text] : files) {
    const Zorv::BindingResult parsed = Zorv::ParseJson(text);
    const Zorv::BindingProperty& value = parsed.value();
    placements[path] =
        Placement{std::string(value.Find("map").GetString()),
                  std::string(value.Find("type").GetString()), NumberOf(value.Find("sortrank"))};
  }
  return placements;
}

// Catches a set placed in the wrong directory, with the wrong map key, type or sortrank, or
// numbered per directory instead of across the run.
TEST_F(GameExport, PlacesEachSetByChampionsAndMaps) {
  const struct Case {
    const char* name;
    std::vector<ItemSet> sets;
    std::map<std::string, Placement> expected;
  } cases[] = {
      {"global, any map",
       {SetFor({}, {})},
       {{"Global/Recommended/ZORV_ItemSet_1.json", {"any", "global", 4}}}},
      {"global, one file per map",
       {SetFor({}, {11, 12})},
       {{"Global/Recommended/ZORV_ItemSet_1.json", {"SR", "global", 6}},
        {"Global/Recommended/ZORV_ItemSet_2.json", {"HA", "global", 6}}}},
      {"map keys, duplicates kept",
       {SetFor({}, {8, 10, 14, 1, 8})},
       {{"Global/Recommended/ZORV_ItemSet_1.json", {"CS", "global", 6}},
        {"Global/Recommended/ZORV_ItemSet_2.json", {"TT", "global", 6}},
        {"Global/Recommended/ZORV_ItemSet_3.json", {"HA", "global", 6}},
        {"Global/Recommended/ZORV_ItemSet_4.json", {"SR", "global", 6}},
        {"Global/Recommended/ZORV_ItemSet_5.json", {"CS", "global", 6}}}},
      {"two champions, any map",
       {SetFor({1, 2}, {})},
       {{"Champions/Ardeth/Recommended/ZORV_ItemSet_1.json", {"any", "custom", 4998}},
        {"Champions/Bramwyn/Recommended/ZORV_ItemSet_2.json", {"any", "custom", 4998}}}},
      {"one champion, two maps",
       {SetFor({7}, {8, 10})},
       {{"Champions/Galdric/Recommended/ZORV_ItemSet_1.json", {"CS", "custom", 9999}},
        {"Champions/Galdric/Recommended/ZORV_ItemSet_2.json", {"TT", "custom", 9999}}}},
      {"numbers run across sets and directories",
       {SetFor({7}, {}), SetFor({}, {}), SetFor({1}, {12})},
       {{"Champions/Galdric/Recommended/ZORV_ItemSet_1.json", {"any", "custom", 4999}},
        {"Global/Recommended/ZORV_ItemSet_2.json", {"any", "global", 4}},
        {"Champions/Ardeth/Recommended/ZORV_ItemSet_3.json", {"HA", "custom", 9999}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Export(DocumentOf(c.sets));
    EXPECT_EQ(PlacementsOf(Files()), c.expected);
  }
}

// Catches a failed champion that ends the whole run, lets the set go on with its next
// champion, or makes the next set reuse the failed champion's file number.
TEST_F(GameExport, FailedChampionSkipsTheRestOfItsSet) {
  const struct Case {
    const char* name;
    PeerAnswer answer;
  } cases[] = {
      {"error answer", PeerAnswer::Error(503, "Unavailable")},
      {"stream breaks", PeerAnswer::StreamedJson("{\"alias\":\"Zyrn\"}", 4, 1)},
      {"not a champion record", PeerAnswer::StreamedJson("[1,2]", 2)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    answers_["5"] = c.answer;
    champions_->requests().clear();
    Export(DocumentOf({SetFor({1, 5, 2}, {}), SetFor({3}, {}), SetFor({}, {})}));
    EXPECT_EQ(PlacementsOf(Files()),
              (std::map<std::string, Placement>{
                  {"Champions/Ardeth/Recommended/ZORV_ItemSet_1.json", {"any", "custom", 4997}},
                  {"Champions/Corvessa/Recommended/ZORV_ItemSet_2.json", {"any", "custom", 4999}},
                  {"Global/Recommended/ZORV_ItemSet_3.json", {"any", "global", 4}}}));
    EXPECT_EQ(RequestedPaths(),
              (std::vector<std::string>{"GET /dul-game-data/assets/v1/champions/1.json",
                                        "GET /dul-game-data/assets/v1/champions/5.json",
                                        "GET /dul-game-data/assets/v1/champions/3.json"}));
    EXPECT_EQ(hosted_.host.responses().live(), 0u);
  }
}

// Catches an alias that climbs out of the champions root, names a nested or drive-qualified
// path, or is empty, being used as a directory instead of ending its set.
TEST_F(GameExport, HostileAliasesNeverBecomeDirectories) {
  const char* const aliases[] = {"\"..\"",        "\".\"",          "\"\"",
                                 "\"a/b\"",       "\"a\\\\b\"",     "\"c:\"",
                                 "\"x\\u0001y\"", "\"x\\u007fy\"",  "\"../../../Outside\"",
                                 "\"/tmp\"",      "\"\\\\\\\\srv\""};
  for (const char* alias : aliases) {
    SCOPED_TRACE(alias);
    answers_["6"] = Champion(alias);
    Export(DocumentOf({SetFor({6, 1}, {}), SetFor({1}, {})}));
    EXPECT_EQ(PlacementsOf(Files()),
              (std::map<std::string, Placement>{
                  {"Champions/Ardeth/Recommended/ZORV_ItemSet_1.json", {"any", "custom", 4999}}}));
    std::vector<std::string> championDirectories;
    for (const auto& entry : fs::directory_iterator(tree_.Path("Game/Config/Champions")))
      championDirectories.push_back(entry.path().filename().string());
    EXPECT_EQ(championDirectories, std::vector<std::string>{"Ardeth"});
  }
}

// Catches old files that survive a run, files deleted outside the two roots or against the
// whole-path pattern, champion directories removed, or a run without sets that writes anything.
TEST_F(GameExport, RemovesOldFilesByWholePathBelowBothRoots) {
  const std::vector<std::string> removed = {
      "Global/Recommended/ZORV_ItemSet_2.json",
      "Champions/Ardeth/Recommended/ZORV_ItemSet_1.json",
      "Champions/x/y/z/old-ZORV_ItemSet_.json",
      "Champions/ZORV_ItemSet_dir/notes.json",
      "Global/Recommended/ZORV_ItemSet_dir/deep/notes.json",
  };
  const std::vector<std::string> kept = {
      "Champions/Ardeth/Recommended/ZORV_ItemSet_1.json.bak",
      "Champions/Ardeth/Recommended/ZORV_ItemSet_1.txt",
      "Champions/Ardeth/Recommended/notes.json",
      "Global/Recommended/zorv_itemset_1.json",
      // Apart from its sibling above: on a case-blind file system the two would be one file.
      "Champions/Ardeth/Recommended/ZORV_ItemSet_2.JSON",
      "Global/ZORV_ItemSet_3.json",
      "ZORV_ItemSet_4.json",
      "ItemSets.json",
  };
  for (const std::string& path : removed)
    MakeConfigFile(path);
  for (const std::string& path : kept)
    MakeConfigFile(path);
  Export(ItemSets());
  std::map<std::string, std::string> expected;
  for (const std::string& path : kept)
    expected[path] = "x";
  EXPECT_EQ(Files(), expected);
  EXPECT_TRUE(fs::is_directory(tree_.Path("Game/Config/Champions/Ardeth/Recommended")));
  EXPECT_TRUE(champions_->requests().empty());
}

// Catches an export that creates, deletes or requests anything while sending to the game is
// off, or that deletes old files when the global directory cannot be made.
TEST_F(GameExport, DoesNothingWhenOffOrWithoutAGlobalDirectory) {
  MakeConfigFile("Champions/Ardeth/Recommended/ZORV_ItemSet_1.json");
  const ItemSets document = DocumentOf({SetFor({1}, {}), SetFor({}, {})});
  Export(document, false);
  EXPECT_FALSE(fs::exists(tree_.Path("Game/Config/Global")));

  MakeConfigFile("Global");  // a file where the directory belongs
  Export(document);
  EXPECT_EQ(Files(),
            (std::map<std::string, std::string>{
                {"Champions/Ardeth/Recommended/ZORV_ItemSet_1.json", "x"}, {"Global", "x"}}));
  EXPECT_TRUE(champions_->requests().empty());
}

// Catches a second run with the same document that numbers, places or fills files differently,
// or leaves files of the first run behind.
TEST_F(GameExport, RepeatedRunsLeaveTheSameFiles) {
  const ItemSets document =
      DocumentOf({SetFor({1, 2}, {12}), SetFor({}, {8}), SetFor({7}, {}), SetFor({}, {})});
  Export(document);
  const auto first = Files();
  ASSERT_EQ(first.size(), 5u);
  Export(document);
  EXPECT_EQ(Files(), first);
  Export(DocumentOf({SetFor({}, {})}));
  EXPECT_EQ(Files().size(), 1u);
}

// Catches a file that is pretty-printed, lists keys in field order, drops or alters a field of
// the document, or a run that changes the document it exports.
TEST_F(GameExport, WritesCompactJsonWithTheDocumentsFields) {
  ItemSet set = SetFor({7}, {8});
  set.uid = "0a1b-2c";
  set.title = "Burst \"mid\"";
  set.mode = "ARAM";
  set.map = "ignored";
  set.type = "ignored";
  set.sortrank = 123;
  set.startedFrom = "duplicate";
  set.blocks.push_back({"Start", "SummonerFlash", "", {{"1055", 1}, {"2003", 3}}});
  set.preferredItemSlots.push_back({"3089", -2});
  const ItemSets document = DocumentOf({set});
  const std::string before = ItemSetsToJson(document, hosted_.plugin->typeRegistry()).value();
  Export(document);
  EXPECT_EQ(ReadFile(tree_.Path("Game/Config/Champions/Galdric/Recommended/ZORV_ItemSet_1.json")),
            "{\"associatedChampions\":[7],\"associatedMaps\":[8],\"blocks\":[{"
            "\"hideIfSummonerSpell\":\"SummonerFlash\",\"items\":[{\"count\":1,\"id\":\"1055\"},{"
            "\"count\":3,\"id\":\"2003\"}],\"showIfSummonerSpell\":\"\",\"type\":\"Start\"}],"
            "\"map\":\"CS\",\"mode\":\"ARAM\",\"preferredItemSlots\":[{\"id\":\"3089\","
            "\"preferredItemSlot\":-2}],\"sortrank\":9999,\"startedFrom\":\"duplicate\","
            "\"title\":\"Burst \\\"mid\\\"\",\"type\":\"custom\",\"uid\":\"0a1b-2c\"}");
  EXPECT_EQ(ItemSetsToJson(document, hosted_.plugin->typeRegistry()).value(), before);
}

// Catches a file that cannot be created taking its number with it to the next file, or a run
// that stops at it.
TEST_F(GameExport, UnwritableFileStillUsesItsNumber) {
  tree_.MakeDirectory("Game/Config/Global/Recommended/ZORV_ItemSet_1.json");
  Export(DocumentOf({SetFor({}, {}), SetFor({}, {10})}));
  EXPECT_EQ(PlacementsOf(Files()),
            (std::map<std::string, Placement>{
                {"Global/Recommended/ZORV_ItemSet_2.json", {"TT", "global", 6}}}));
}

// Catches a run that, when any one of its system calls fails, leaves a file cut short or a stray
// file, touches a file that is not its own or changes the document; and a next run that does not
// bring the game directory to exactly what a run without failure writes.
TEST_F(GameExport, AnyFailedCallLeavesWholeFilesThatTheNextRunRepairs) {
  MakeConfigFile("ItemSets.json");
  MakeConfigFile("Champions/Ardeth/Recommended/notes.json");
  const ItemSets old =
      DocumentOf({SetFor({1, 2}, {12}), SetFor({}, {8, 10}), SetFor({7}, {}), SetFor({}, {})});
  const ItemSets document = DocumentOf({SetFor({2}, {}), SetFor({}, {11}), SetFor({3}, {8, 10})});
  const std::string documentJson = ItemSetsToJson(document, hosted_.plugin->typeRegistry()).value();
  Export(old);
  const auto oldFiles = Files();
  Export(document);
  const auto newFiles = Files();
  ASSERT_EQ(oldFiles.size(), 8u);
  ASSERT_EQ(newFiles.size(), 6u);
  const auto reached = testing::ForEachSystemCallFailure([&](const FailurePoint& point) {
    fs::remove_all(tree_.Path("Game/Config/Champions/Corvessa"));
    Export(old);
    bool struck = false;
    {
      platform::SystemCallFailure armed = point.Arm();
      Export(document);
      struck = armed.struck();
    }
    const auto files = Files();
    for (const auto& [path, text] : files) {
      const auto asNew = newFiles.find(path), asOld = oldFiles.find(path);
      EXPECT_TRUE((asNew != newFiles.end() && asNew->second == text) ||
                  (asOld != oldFiles.end() && asOld->second == text))
          << path << " holds \"" << text << "\"";
    }
    EXPECT_EQ(files.count("ItemSets.json") + files.count("Champions/Ardeth/Recommended/notes.json"),
              2u);
    EXPECT_EQ(ItemSetsToJson(document, hosted_.plugin->typeRegistry()).value(), documentJson);
    Export(document);
    EXPECT_EQ(Files(), newFiles);
    return struck;
  });
  EXPECT_TRUE(reached.contains(SystemCall::kCreateDirectory));
  for (const SystemCall call : {SystemCall::kList, SystemCall::kDelete, SystemCall::kOpen,
                                SystemCall::kWrite, SystemCall::kClose})
    EXPECT_TRUE(reached.contains(call)) << platform::SystemCallName(call);
}

// Catches a set that fails to convert being written anyway or reported without its type, and a
// file that cannot be opened being reported as written.
TEST(WriteItemSetFile, ReportsConversionFailureAndUnopenableFile) {
  testing::TemporaryTree tree;
  testing::HostedPlugin<> bare(false);  // no item-set types registered
  const std::string path = tree.Path("set.json");
  const ItemSetFileResult unconverted =
      WriteItemSetFile(path, ItemSet(), bare.plugin->typeRegistry());
  EXPECT_FALSE(unconverted.written);
  EXPECT_EQ(unconverted.error,
            "Failed to convert type \"const char *__cdecl StaticType::Name<struct "
            "Zorv::Client::ItemSets::Api::ItemSet>(void)\" to BindingProperty for serialization");
  EXPECT_FALSE(fs::exists(path));

  testing::HostedPlugin<ExportPlugin> typed(false);
  const ItemSetFileResult unopened =
      WriteItemSetFile(tree.Path("missing/set.json"), ItemSet(), typed.plugin->typeRegistry());
  EXPECT_FALSE(unopened.written);
  EXPECT_EQ(unopened.error, "");
  EXPECT_TRUE(WriteItemSetFile(path, ItemSet(), typed.plugin->typeRegistry()).written);
}

// Catches an export that writes anywhere but the configuration directory the locator finds.
// Runs in a process of its own under ctest: the installation record is process-wide.
TEST_F(GameExport, DefaultDirectoryIsTheLocatedConfigDirectory) {
  tree_.MakeFile("Play/PlayLauncher.exe");
  tree_.MakeDirectory("Play/Game");
  tree_.Enter("Play/Client");
  ExportItemSetsToGame(*hosted_.plugin, DocumentOf({SetFor({}, {})}), true);
  EXPECT_TRUE(
      fs::is_regular_file(tree_.Path("Play/Game/Config/Global/Recommended/ZORV_ItemSet_1.json")));
}

}  // namespace
}  // namespace dul::item_sets
