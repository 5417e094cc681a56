// The item-set plugin on the simulated platform: it reads the services' resources and events as
// they are published, and its game export and metrics use the champion and telemetry services.
#include "host/services/simulated_platform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "host/services/game_data_peer.h"
#include "host/services/platform_resources.h"
#include "host/services/telemetry_recorder_peer.h"
#include "plugin/game_export.h"
#include "plugin/item_set_save_metrics.h"
#include "plugin/item_sets_plugin.h"
#include "tests/host/services/simulated_platform_fixture.h"

namespace dul::host {
namespace {

using item_sets::ItemSetsPlugin;
using testing::MakeRequest;
using Zorv::Client::ItemSets::Api::ItemSet;
using Zorv::Client::ItemSets::Api::ItemSets;
using Zorv::Client::ItemSets::Api::LoginSessionState;

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// The item-set plugin built in-process, started on a simulated platform.
struct ItemSetsOnPlatform {
  ItemSetsOnPlatform() {
    std::string error;
    platform = SimulatedPlatform::Open(testing::TreeOptions(tree), hosted.host, error);
    EXPECT_NE(platform, nullptr) << error;
    EXPECT_TRUE(hosted.Start());
  }
  PeerAnswer Ask(const std::string& method, const std::string& path, const std::string& body = {}) {
    return platform->Answer(MakeRequest(method, path, body));
  }
  ItemSetsPlugin& plugin() { return *hosted.plugin; }

  testing::TemporaryTree tree;
  testing::HostedPlugin<ItemSetsPlugin> hosted{false};
  std::unique_ptr<SimulatedPlatform> platform;
};

// Catches first values the plugin cannot convert (it would start signed out, with the editor
// off, or ready), and changes made over HTTP that do not reach it as events it can read.
TEST(SimulatedPlatform, PluginFollowsTheServicesResources) {
  ItemSetsOnPlatform run;
  ASSERT_NE(run.platform, nullptr);
  EXPECT_EQ(run.plugin().loginSession().state, LoginSessionState::SUCCEEDED);
  EXPECT_EQ(run.plugin().loginSession().accountId, 1001u);
  EXPECT_EQ(run.plugin().loginSession().summonerId, 42u);
  EXPECT_TRUE(run.plugin().editorEnabled());
  EXPECT_TRUE(run.plugin().sendItemSetsToGame());
  EXPECT_FALSE(run.plugin().preferencesReady());
  run.platform->AfterInitialize();
  EXPECT_TRUE(run.plugin().preferencesReady());
  run.Ask("PUT", kItemSetsConfigUri, R"({"EditorEnabled":false,"UploadRateLimit":30.0})");
  EXPECT_FALSE(run.plugin().editorEnabled());
  EXPECT_FALSE(run.plugin().sendItemSetsToGame());
  EXPECT_EQ(run.plugin().uploadRateLimit(), 30.0);
  run.Ask("DELETE", kItemSetsConfigUri);
  EXPECT_TRUE(run.plugin().editorEnabled());
  run.Ask("DELETE", kLoginSessionUri);
  EXPECT_EQ(run.plugin().loginSession().state, LoginSessionState::IN_PROGRESS);
  EXPECT_EQ(run.plugin().loginSession().accountId, 0u);
  run.Ask("PUT", kLoginSessionUri, R"({"state":"LOGGING_OUT","accountId":7})");
  EXPECT_EQ(run.plugin().loginSession().state, LoginSessionState::LOGGING_OUT);
  EXPECT_EQ(run.plugin().loginSession().accountId, 7u);
  run.Ask("PUT", kPreferencesReadyUri, "false");
  EXPECT_FALSE(run.plugin().preferencesReady());
}

// Catches champion records the export cannot use (no directory named after a non-ASCII alias, a
// failed stream that still writes the set) and metrics the recorder does not keep.
TEST(SimulatedPlatform, ExportAndMetricsUseTheServices) {
  ItemSetsOnPlatform run;
  ASSERT_NE(run.platform, nullptr);
  ItemSets document;
  document.itemSets.resize(2);
  document.itemSets[0].title = "Rime";
  document.itemSets[0].associatedChampions = {41};
  document.itemSets[1].title = "Stone";
  document.itemSets[1].associatedChampions = {7, 999, 41};
  const std::filesystem::path config = run.tree.Root() / "Config";
  const auto configDirectory = [&] { return config.string() + "/"; };
  ASSERT_TRUE(testing::Accepted(
      run.platform->faults().SetJson(R"([{"method":"GET","stream":"error",)"
                                     R"("path":"/dul-game-data/assets/v1/champions/41.json"}])")));
  item_sets::ExportItemSetsToGame(run.plugin(), document, true, configDirectory);
  EXPECT_FALSE(std::filesystem::exists(config / "Champions/Åskeld"));
  EXPECT_NE(ReadFile(config / "Champions/Gorrath/Recommended/ZORV_ItemSet_1.json").find("Stone"),
            std::string::npos);
  item_sets::ExportItemSetsToGame(run.plugin(), document, true, configDirectory);
  EXPECT_NE(ReadFile(config / "Champions/Åskeld/Recommended/ZORV_ItemSet_1.json").find("Rime"),
            std::string::npos);
  item_sets::ReportItemSetSaveMetrics(run.plugin(), document);
  const PeerAnswer telemetry = run.Ask("GET", kTelemetryEventsPath);
  ASSERT_TRUE(telemetry.body && telemetry.body->Size() == 1) << testing::BodyJson(telemetry);
  EXPECT_EQ(telemetry.body->At(0).Find("name").GetString(), "item_sets__item_sets_save");
  EXPECT_EQ(telemetry.body->At(0).Find("data").Find("item_sets.count").GetString(), "2");
}

}  // namespace
}  // namespace dul::host
