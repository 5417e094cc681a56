// Synchronisation with the player-preferences service through the real shared library: readiness
// events, the reconciliation task and the upload timer, driven by the in-process host on a virtual
// clock, with the current directory inside an installed game tree built for each case.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "codecs/json_reader.h"
#include "codecs/json_writer.h"
#include "contract/event_names.h"
#include "host/core/host_runtime.h"
#include "host/core/plugin_loader.h"
#include "platform/file_system.h"
#include "platform/system_call_failure.h"
#include "plugin/item_sets_plugin.h"
#include "tests/support/directory_link.h"
#include "tests/support/hosted_plugin.h"
#include "tests/support/temporary_tree.h"

namespace dul::item_sets {
namespace {

using host::PeerAnswer;
using host::PeerRequest;
using host::ScriptedPeer;
using Zorv::BindingProperty;

constexpr const char* kLoginUri = "/dul-login/v1/session";
constexpr const char* kConfigUri = "/dul-platform-config/v1/namespaces/ItemSets";
constexpr const char* kReadyUri = "/dul-player-preferences/v1/player-preferences-ready";
constexpr const char* kFetchPath = "/dul-player-preferences/v1/preference/ItemSets";
constexpr const char* kStorePath = "/dul-player-preferences/v1/preference";
constexpr const char* kSaveEventPath = "/telemetry/v1/events/item_sets__item_sets_save";
constexpr const char* kRetrieveTask = "ItemSetsPlugin.RetrieveItemSetsFromPlayerPrefsService";
constexpr const char* kUploadTimer = "Timer: dul-item-sets.check_upload";
constexpr const char* kEmptyDocument = R"({"accountId":0,"itemSets":[],"timestamp":0})";

// An item-set document as the plugin stores it: one set named `uid`, compact, every field present.
std::string Document(std::uint64_t accountId, std::uint64_t timestamp, const std::string& uid,
                     const std::string& champions = "") {
  return R"({"accountId":)" + std::to_string(accountId) +
         R"(,"itemSets":[{"associatedChampions":[)" + champions +
         R"(],"associatedMaps":[],"blocks":[],"map":"","mode":"any","preferredItemSlots":[],)"
         R"("sortrank":0,"startedFrom":"blank","title":"T","type":"custom","uid":")" +
         uid + R"("}],"timestamp":)" + std::to_string(timestamp) + "}";
}

// The service's answer to a fetch: its copy's text and version.
PeerAnswer Fetched(std::uint64_t modified, const std::string& data) {
  BindingProperty answer;
  answer.Member("data") = data;
  answer.Member("modified") = modified;
  answer.Member("type") = "ItemSets";
  return PeerAnswer::Value(std::move(answer));
}

// An installed game whose configuration directory holds a left-over item-set file, so that
// every export run shows by deleting it.
class InstalledGame {
 public:
  InstalledGame() {
    tree_.MakeFile("Play/PlayLauncher.exe");
    tree_.MakeFile("Play/Game/Config/Global/Recommended/ZORV_ItemSet_99.json");
    tree_.Enter("Play/Client");
  }
  std::string ReadCache() const { return Read("ItemSets.json"); }
  void WriteCache(const std::string& text) const {
    std::ofstream(Config() / "ItemSets.json", std::ios::binary | std::ios::trunc) << text;
  }
  std::string Read(const std::string& relative) const {
    std::ifstream file(Config() / relative, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
  }
  const testing::TemporaryTree& tree() const { return tree_; }
  bool Exported() const {
    return !std::filesystem::exists(Config() / "Global/Recommended/ZORV_ItemSet_99.json");
  }
  // Every item-set file below the configuration directory, relative to it, in name order.
  std::vector<std::string> ItemSetFiles() const {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(Config())) {
      if (entry.is_regular_file() && entry.path().filename().string().starts_with("ZORV_"))
        files.push_back(entry.path().lexically_relative(Config()).generic_string());
    }
    std::sort(files.begin(), files.end());
    return files;
  }

 private:
  std::filesystem::path Config() const { return tree_.Root() / "Play/Game/Config"; }
  testing::TemporaryTree tree_;
};

std::size_t CountRequests(ScriptedPeer& peer, const std::string& method, const std::string& path) {
  return static_cast<std::size_t>(std::count_if(
      peer.requests().begin(), peer.requests().end(),
      [&](const PeerRequest& r) { return r.methodName == method && r.path == path; }));
}

// The library, started by the host, with the services it talks to: the player-preferences
// service answers as a case sets it, game data knows champions 1 and 2 and answers in small
// streamed chunks, telemetry takes everything. `inProcess` builds the plugin object here instead
// of loading the shared library, so that a case can fail its system calls.
class SyncedItemSets {
 public:
  explicit SyncedItemSets(bool inProcess = false)
      : hosted(inProcess ? std::make_unique<testing::HostedPlugin<ItemSetsPlugin>>(false)
                         : nullptr),
        host(hosted ? hosted->host : loadedHost) {
    host.AddPeer("/dul-player-preferences/", preferences);
    host.AddPeer("/dul-game-data/", gameData);
    host.AddPeer("/telemetry/", telemetry);
    if (hosted) {
      EXPECT_TRUE(hosted->Start());
      return;
    }
    EXPECT_TRUE(loader.Load(DUL_PLUGIN_LIBRARY, "load_dul_item_sets", host::ApiVersion{}))
        << loader.error();
    EXPECT_TRUE(host.Start(loader));
  }

  void Send(const std::string& uri, const char* eventType, const std::string& dataJson) {
    BindingProperty payload;
    payload.Member("uri") = uri;
    payload.Member("eventType") = eventType;
    payload.Member("data") = Zorv::ParseJson(dataJson).TakeValue();
    host.PublishEvent(EventNameForUri(uri), payload);
  }
  void SignIn(std::uint64_t accountId) {
    Send(kLoginUri, "Update",
         R"({"state":"SUCCEEDED","summonerId":42,"accountId":)" + std::to_string(accountId) + "}");
  }
  void Ready(const char* eventType, bool ready) {
    Send(kReadyUri, eventType, ready ? "true" : "false");
  }
  PeerAnswer Put(const std::string& json, std::uint32_t method = 7, const char* name = "PUT") {
    PeerRequest request{method, name, "/dul-item-sets/v1/item-sets/42/sets",
                        "",     json, "application/json"};
    return host.CallPlugin(request);
  }
  PeerAnswer Post(const std::string& json) { return Put(json, 6, "POST"); }
  std::string GetJson() {
    const PeerAnswer answer =
        host.CallPlugin(PeerRequest{2, "GET", "/dul-item-sets/v1/item-sets/42/sets", "", "", ""});
    return answer.body ? Zorv::WriteJson(*answer.body, nullptr, nullptr) : "<no body>";
  }

  std::size_t Fetches() { return CountRequests(*preferences, "GET", kFetchPath); }
  std::size_t Stores() { return CountRequests(*preferences, "PUT", kStorePath); }
  std::size_t Metrics() { return CountRequests(*telemetry, "POST", kSaveEventPath); }
  std::size_t ChampionLookups() { return gameData->requests().size(); }
  // The "data" text of the last store the service received.
  std::string LastStoredData() {
    for (auto r = preferences->requests().rbegin(); r != preferences->requests().rend(); ++r) {
      if (r->methodName == "PUT")
        return std::string(Zorv::ParseJson(r->body).TakeValue().Find("data").GetString());
    }
    return "<none>";
  }
  std::vector<host::ScheduledCallback> Pending(const std::string& name) const {
    std::vector<host::ScheduledCallback> found;
    for (host::ScheduledCallback& callback : host.PendingCallbacks()) {
      if (callback.name == name)
        found.push_back(callback);
    }
    return found;
  }

  PeerAnswer fetchAnswer = PeerAnswer::Error(404, "Not Found");
  std::deque<PeerAnswer> storeAnswers;  // then {"modified":150} for every further store
  std::shared_ptr<ScriptedPeer> preferences =
      std::make_shared<ScriptedPeer>([this](const PeerRequest& request) {
        if (request.methodName == "GET" && request.path == kFetchPath)
          return fetchAnswer;
        if (request.methodName != "PUT" || request.path != kStorePath)
          return PeerAnswer::Error(404, "Not Found");
        if (storeAnswers.empty())
          return PeerAnswer::Json(R"({"modified":150})");
        PeerAnswer answer = std::move(storeAnswers.front());
        storeAnswers.pop_front();
        return answer;
      });
  std::shared_ptr<ScriptedPeer> gameData =
      std::make_shared<ScriptedPeer>([](const PeerRequest& request) {
        const std::map<std::string, std::string> aliases{{"1", "Vexa"}, {"2", "Korr"}};
        for (const auto& [id, alias] : aliases) {
          if (request.path == "/dul-game-data/assets/v1/champions/" + id + ".json")
            return PeerAnswer::StreamedJson(
                R"({"id":)" + id + R"(,"alias":")" + alias + R"(","name":"N"})", 4);
        }
        return PeerAnswer::Error(404, "Not Found");
      });
  std::shared_ptr<ScriptedPeer> telemetry =
      std::make_shared<ScriptedPeer>([](const PeerRequest&) { return PeerAnswer(); });
  host::PluginLoader loader;  // outlives the host, which destroys through it
  host::VirtualClock clock;
  host::HostRuntime loadedHost{clock};
  std::unique_ptr<testing::HostedPlugin<ItemSetsPlugin>> hosted;
  host::HostRuntime& host;  // the one that runs the plugin
};

// Catches a Create that starts work, a reconciliation started without sign-in, editor or
// readiness, one run more than once, a timer missing after an Update or registered with another
// interval, and a not-ready Update that keeps another account's cached sets.
TEST(PreferencesSync, ReadinessEventsStartWhatTheirStateAllows) {
  struct Case {
    const char* eventType;
    bool ready;
    std::uint64_t account;
    bool editor;
    std::size_t tasks;
    bool timer;
    bool cacheEmptied;
  };
  const Case cases[] = {
      {"Create", true, 7, true, 0, false, false}, {"Update", true, 7, true, 1, true, false},
      {"Update", false, 7, true, 0, true, true},  {"Update", true, 0, true, 0, true, false},
      {"Update", true, 7, false, 0, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.eventType) + (c.ready ? " ready" : " not ready") + " account " +
                 std::to_string(c.account) + (c.editor ? "" : " editor off"));
    InstalledGame game;
    const std::string foreign = Document(5, 0, "a");
    game.WriteCache(foreign);
    SyncedItemSets plugin;
    plugin.Send(kConfigUri, "Update",
                std::string(R"({"SendItemSetsToGame":true,"UploadRateLimit":7.5,)") +
                    R"("EditorEnabled":)" + (c.editor ? "true}" : "false}"));
    plugin.SignIn(c.account);
    plugin.Ready(c.eventType, c.ready);
    EXPECT_EQ(plugin.Pending(kRetrieveTask).size(), c.tasks);
    const auto timers = plugin.Pending(kUploadTimer);
    ASSERT_EQ(timers.size(), c.timer ? 1u : 0u);
    if (c.timer) {
      EXPECT_NEAR(timers[0].dueSeconds, plugin.host.NowSeconds() + 7.5, 1e-3);
    }
    EXPECT_EQ(game.ReadCache(), c.cacheEmptied ? "" : foreign);
    plugin.host.RunDue();
    plugin.host.AdvanceBy(30.0);
    EXPECT_EQ(plugin.Fetches(), c.tasks);
  }
}

// Catches a timer that keeps its first interval after the setting changed, two live timers after
// two Updates, and a huge interval that overflows into a past or non-finite deadline.
TEST(PreferencesSync, TimerFollowsTheLatestIntervalAndStaysFinite) {
  InstalledGame game;
  SyncedItemSets plugin;
  plugin.Send(kConfigUri, "Update", R"({"EditorEnabled":true,"UploadRateLimit":7.5})");
  plugin.Ready("Update", false);
  plugin.Send(kConfigUri, "Update", R"({"EditorEnabled":true,"UploadRateLimit":1e300})");
  plugin.Ready("Update", false);
  plugin.host.AdvanceBy(10.0);  // the first registration's tick finds itself replaced
  const auto timers = plugin.Pending(kUploadTimer);
  ASSERT_EQ(timers.size(), 1u);
  EXPECT_TRUE(std::isfinite(timers[0].dueSeconds));
  EXPECT_GT(timers[0].dueSeconds, 1e6);
}

// Catches a reconciliation that compares versions wrongly, uploads or exports when it should
// not, keeps another account's sets, takes the version or account from the service's data, lets
// an unusable copy replace the document, or treats 304 like a failed fetch.
TEST(PreferencesSync, ReconciliationFollowsTheVersions) {
  struct Case {
    const char* name;
    std::string cache;
    PeerAnswer fetch;
    std::size_t stores;
    std::string cacheAfter;
    std::string shown;
    bool exported;
  };
  const std::string local = Document(7, 100, "local");
  const std::string foreign = Document(5, 0, "local");
  const std::string remote = Document(9, 3, "remote");
  const Case cases[] = {
      {"equal", local, Fetched(100, remote), 0, local, local, false},
      {"service older", local, Fetched(90, remote), 1, Document(7, 150, "local"),
       Document(7, 150, "local"), false},
      {"service newer", local, Fetched(120, remote), 0, Document(7, 120, "remote"),
       Document(7, 120, "remote"), true},
      {"other account", foreign, Fetched(50, remote), 0, Document(7, 50, "remote"),
       Document(7, 50, "remote"), true},
      {"missing, other account", foreign, PeerAnswer::Error(404, "Not Found"), 0, "",
       kEmptyDocument, true},
      {"not modified", local, PeerAnswer::Error(304, "Not Modified"), 0, local, local, false},
      {"garbled data", local, Fetched(120, "{not json"), 0, local, local, false},
      {"data of another shape", local, Fetched(120, R"({"itemSets":5})"), 0, local, local, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    InstalledGame game;
    game.WriteCache(c.cache);
    SyncedItemSets plugin;
    plugin.fetchAnswer = c.fetch;
    plugin.SignIn(7);
    plugin.Ready("Update", true);
    plugin.host.RunDue();
    EXPECT_EQ(plugin.Fetches(), 1u);
    EXPECT_EQ(plugin.Stores(), c.stores);
    if (c.stores != 0) {
      EXPECT_EQ(plugin.LastStoredData(), local);
    }
    EXPECT_EQ(game.ReadCache(), c.cacheAfter);
    EXPECT_EQ(plugin.GetJson(), c.shown);
    EXPECT_EQ(game.Exported(), c.exported);
    if (c.exported) {
      EXPECT_EQ(game.ItemSetFiles().size(), c.shown.find("remote") != std::string::npos ? 1u : 0u);
    }
  }
}

// Catches an upload check that runs before its interval or more than once per change, repeats
// the export or metrics when it retries a failed store, gives up on a failed store, needs a new
// request to retry, or stores the document without the session's account when the service's
// answer has no version.
TEST(PreferencesSync, UploadCheckStoresEachChangeOnce) {
  struct Case {
    const char* name;
    std::vector<std::string> storeAnswers;  // "" fails with 500
    std::size_t stores;
    std::string cacheAfter;
  };
  const Case cases[] = {
      {"stored", {R"({"modified":130})"}, 1, Document(7, 130, "u", "1")},
      {"stored without a version", {"{}"}, 1, Document(7, 100, "u", "1")},
      {"store fails once", {"", R"({"modified":130})"}, 2, Document(7, 130, "u", "1")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    InstalledGame game;
    SyncedItemSets plugin;
    for (const std::string& answer : c.storeAnswers)
      plugin.storeAnswers.push_back(answer.empty() ? PeerAnswer::Error(500, "Internal")
                                                   : PeerAnswer::Json(answer));
    plugin.Ready("Update", true);  // signed out: only the timer starts
    ASSERT_EQ(plugin.Put(Document(0, 100, "u", "1")).status, 200u);
    plugin.SignIn(7);
    plugin.host.AdvanceBy(4.9);
    EXPECT_EQ(plugin.ChampionLookups() + plugin.Metrics() + plugin.Stores(), 0u);
    plugin.host.AdvanceBy(0.1);
    EXPECT_EQ(plugin.ChampionLookups(), 1u);
    EXPECT_EQ(plugin.Metrics(), 1u);
    EXPECT_EQ(plugin.Stores(), 1u);
    EXPECT_EQ(plugin.LastStoredData(), Document(0, 100, "u", "1"));
    plugin.host.AdvanceBy(20.0);
    EXPECT_EQ(plugin.ChampionLookups(), 1u);
    EXPECT_EQ(plugin.Metrics(), 1u);
    EXPECT_EQ(plugin.Stores(), c.stores);
    EXPECT_EQ(game.ReadCache(), c.cacheAfter);
  }
}

// Catches a change exported while the service was not ready that is never stored, stored twice,
// stored with a second export or metrics report, kept over a newer copy taken from the service,
// or stored under an account that signed in after it was made.
TEST(PreferencesSync, ChangeMadeWhileNotReadyIsStoredOnce) {
  struct Case {
    const char* name;
    std::uint64_t accountAtReady;
    PeerAnswer fetch;
    std::size_t storesAfterTask;
    std::size_t storesAfterTick;
    std::size_t lookups;
    std::string cacheAfter;
  };
  const std::string stored = Document(7, 150, "new", "1");
  const Case cases[] = {
      {"not modified", 7, PeerAnswer::Error(304, "Not Modified"), 0, 1, 1, stored},
      {"equal", 7, Fetched(100, Document(7, 100, "old")), 1, 1, 1, stored},
      {"service older", 7, Fetched(90, Document(7, 90, "old")), 1, 1, 1, stored},
      {"service newer", 7, Fetched(120, Document(7, 3, "remote", "2")), 0, 0, 2,
       Document(7, 120, "remote", "2")},
      {"other account signed in", 9, PeerAnswer::Error(404, "Not Found"), 0, 0, 1, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    InstalledGame game;
    game.WriteCache(Document(7, 100, "old"));
    SyncedItemSets plugin;
    plugin.fetchAnswer = c.fetch;
    plugin.SignIn(7);
    plugin.Ready("Update", false);
    ASSERT_EQ(plugin.Put(Document(7, 100, "new", "1")).status, 200u);
    plugin.host.AdvanceBy(5.0);
    EXPECT_EQ(plugin.ChampionLookups(), 1u);
    EXPECT_EQ(plugin.Metrics(), 1u);
    EXPECT_EQ(plugin.Stores(), 0u);
    plugin.SignIn(c.accountAtReady);
    plugin.Ready("Update", true);
    plugin.host.RunDue();
    EXPECT_EQ(plugin.Stores(), c.storesAfterTask);
    plugin.host.AdvanceBy(15.0);
    EXPECT_EQ(plugin.Stores(), c.storesAfterTick);
    if (c.storesAfterTick != 0) {
      EXPECT_EQ(plugin.LastStoredData(), Document(7, 100, "new", "1"));
    }
    EXPECT_EQ(plugin.ChampionLookups(), c.lookups);
    EXPECT_EQ(plugin.Metrics(), 1u);
    EXPECT_EQ(game.ReadCache(), c.cacheAfter);
  }
}

// Catches an export on the tick that is not wired to the game directory, the champion service's
// streamed answers, or the file layout, and the save event missing its counts.
TEST(PreferencesSync, TickWritesTheGameFiles) {
  InstalledGame game;
  SyncedItemSets plugin;
  plugin.Ready("Update", true);
  ASSERT_EQ(
      plugin
          .Put(R"({"itemSets":[{"uid":"g","title":"G"},)"
               R"({"uid":"c","title":"C","associatedChampions":[1,2],"associatedMaps":[8]}]})")
          .status,
      200u);
  plugin.SignIn(7);
  plugin.host.AdvanceBy(5.0);
  EXPECT_EQ(game.ItemSetFiles(), (std::vector<std::string>{
                                     "Champions/Korr/Recommended/ZORV_ItemSet_3.json",
                                     "Champions/Vexa/Recommended/ZORV_ItemSet_2.json",
                                     "Global/Recommended/ZORV_ItemSet_1.json",
                                 }));
  const BindingProperty global =
      Zorv::ParseJson(game.Read("Global/Recommended/ZORV_ItemSet_1.json")).TakeValue();
  EXPECT_EQ(global.Find("uid").GetString(), "g");
  EXPECT_EQ(global.Find("map").GetString(), "any");
  EXPECT_EQ(global.Find("type").GetString(), "global");
  const BindingProperty champion =
      Zorv::ParseJson(game.Read("Champions/Korr/Recommended/ZORV_ItemSet_3.json")).TakeValue();
  EXPECT_EQ(champion.Find("uid").GetString(), "c");
  EXPECT_EQ(champion.Find("map").GetString(), "CS");
  EXPECT_EQ(champion.Find("sortrank").GetUnsigned(0), 9998u);
  ASSERT_EQ(plugin.Metrics(), 1u);
  const BindingProperty metrics = Zorv::ParseJson(plugin.telemetry->requests()[0].body).TakeValue();
  EXPECT_EQ(metrics.Find("item_sets.count").GetString(), "2");
}

// Catches a change made under one account that the next account's upload tick stores in its
// store, exports to its game files or reports as its save, or that its GET shows.
TEST(PreferencesSync, ChangeOfOneAccountNeverReachesTheNext) {
  for (const bool getBeforeTick : {false, true}) {
    SCOPED_TRACE(getBeforeTick ? "GET before the tick" : "tick first");
    InstalledGame game;
    SyncedItemSets plugin;
    plugin.Ready("Update", true);  // signed out: only the timer starts
    plugin.SignIn(1001);
    ASSERT_EQ(plugin.Put(Document(0, 0, "theirs", "1")).status, 200u);
    plugin.SignIn(1002);
    if (getBeforeTick) {
      EXPECT_EQ(plugin.GetJson(), kEmptyDocument);
    }
    plugin.host.AdvanceBy(5.0);
    EXPECT_EQ(plugin.Stores() + plugin.Metrics() + plugin.ChampionLookups(), 0u);
    EXPECT_FALSE(game.Exported());
    EXPECT_EQ(plugin.GetJson(), kEmptyDocument);
  }
}

// Catches another account's sets that a fetch answered with 304 leaves in memory being shown by a
// GET, or carried into the store by a following POST.
TEST(PreferencesSync, SetsOfAnotherAccountLeftByNotModifiedAreNeverShown) {
  InstalledGame game;
  game.WriteCache(Document(1001, 100, "theirs"));
  SyncedItemSets plugin;
  plugin.fetchAnswer = PeerAnswer::Error(304, "Not Modified");
  plugin.SignIn(1002);
  plugin.Ready("Update", true);
  plugin.host.RunDue();
  EXPECT_EQ(plugin.GetJson(), kEmptyDocument);
  ASSERT_EQ(plugin.Post(R"({"uid":"mine","title":"M"})").status, 200u);
  const BindingProperty shown = Zorv::ParseJson(plugin.GetJson()).TakeValue();
  ASSERT_EQ(shown.Find("itemSets").Size(), 1u);
  EXPECT_EQ(shown.Find("itemSets").At(0).Find("uid").GetString(), "mine");
  plugin.host.AdvanceBy(5.0);
  EXPECT_EQ(plugin.Stores(), 1u);
  EXPECT_EQ(plugin.LastStoredData().find("theirs"), std::string::npos);
}

// Catches a change accepted before the first reconciliation that keeps the body's timestamp 0, so
// that the next reconciliation takes the service's copy of the version the cache file held for an
// older one, loses the change after its 204 and uploads the old copy again.
TEST(PreferencesSync, ChangeBeforeTheFirstReconciliationKeepsTheCachedVersion) {
  InstalledGame game;
  game.WriteCache(Document(7, 100, "old"));
  SyncedItemSets plugin;
  plugin.fetchAnswer = Fetched(100, Document(7, 100, "old"));
  plugin.Ready("Update", true);  // signed out: only the timer starts
  plugin.SignIn(7);
  ASSERT_EQ(plugin.Put(Document(0, 0, "new")).status, 200u);
  plugin.Ready("Update", false);
  plugin.Ready("Update", true);
  plugin.host.RunDue();
  EXPECT_EQ(plugin.GetJson(), Document(7, 100, "new"));
  plugin.host.AdvanceBy(5.0);
  EXPECT_EQ(plugin.Stores(), 1u);
  EXPECT_EQ(plugin.LastStoredData(), Document(7, 100, "new"));
  EXPECT_EQ(game.ReadCache(), Document(7, 150, "new"));
}

// Catches a change whose cache write, or the next read of the file, failed being replaced by the
// file's older content at the next reload: a GET that no longer shows it, and an upload tick that
// stores the older sets at the service in its place.
TEST(PreferencesSync, ChangeStandsWhenTheCacheFileFails) {
  for (const platform::SystemCall failing :
       {platform::SystemCall::kRename, platform::SystemCall::kRead}) {
    SCOPED_TRACE(platform::SystemCallName(failing));
    InstalledGame game;
    SyncedItemSets plugin(true);
    plugin.SignIn(7);
    plugin.Ready("Update", true);
    plugin.host.RunDue();
    std::string shown;
    {
      const platform::SystemCallFailure failure(failing, 1, platform::kErrorAccessDenied);
      ASSERT_EQ(plugin.Put(Document(0, 0, "new")).status, 200u);
      shown = plugin.GetJson();
    }
    EXPECT_EQ(shown, Document(7, 0, "new"));
    plugin.host.AdvanceBy(5.0);
    EXPECT_EQ(plugin.LastStoredData(), Document(7, 0, "new"));
  }
}

// Catches an export whose sweep of old files follows a linked directory out of the configuration
// directory and deletes item-set files elsewhere on the disk.
TEST(PreferencesSync, ExportNeverFollowsALinkOutOfTheConfigDirectory) {
  InstalledGame game;
  game.tree().MakeFile("Elsewhere/Recommended/ZORV_ItemSet_5.json");
  game.tree().MakeDirectory("Play/Game/Config/Champions");
  if (const auto why = testing::MakeDirectoryLink(
          "../../../../Elsewhere", game.tree().Root() / "Play/Game/Config/Champions/Away"))
    GTEST_SKIP() << *why;
  SyncedItemSets plugin;
  plugin.Ready("Update", true);
  ASSERT_EQ(plugin.Put(Document(0, 0, "u")).status, 200u);
  plugin.SignIn(7);
  plugin.host.AdvanceBy(5.0);
  EXPECT_TRUE(game.Exported());
  EXPECT_TRUE(
      std::filesystem::exists(game.tree().Root() / "Elsewhere/Recommended/ZORV_ItemSet_5.json"));
}

}  // namespace
}  // namespace dul::item_sets
