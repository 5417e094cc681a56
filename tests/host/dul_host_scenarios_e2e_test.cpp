// dul-host with its simulated services, driven over HTTP only through what a developer would do:
// edit sets, let the clock run, and watch the store, the telemetry log and the game's files.
#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/dul_host_process.h"

namespace dul::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kAdvance = "/dul-host/v1/clock/advance";
constexpr const char* kFaults = "/dul-host/v1/faults";
constexpr const char* kSession = "/dul-login/v1/session";
constexpr const char* kSettings = "/dul-platform-config/v1/namespaces/ItemSets";
constexpr const char* kReady = "/dul-player-preferences/v1/player-preferences-ready";
constexpr const char* kStored = "/dul-player-preferences/v1/preference/ItemSets";
constexpr const char* kStore = "/dul-player-preferences/v1/preference";
constexpr const char* kTelemetry = "/telemetry/v1/events";
constexpr const char* kSaveEvent = "item_sets__item_sets_save";
constexpr const char* kSync = "/dul-host/v1/sync";

// One set for champion 3 (alias "Caldrith" in data/champions.json) on map 11.
constexpr const char* kChampionDocument =
    R"({"timestamp":0,"accountId":0,"itemSets":[{"uid":"u-3","title":"Cinder","mode":"CLASSIC",)"
    R"("associatedMaps":[11],"associatedChampions":[3],"blocks":[]}]})";
constexpr const char* kCaldrithFile = "Champions/Caldrith/Recommended/ZORV_ItemSet_1.json";

class DulHostScenarioTest : public DulHostTest {
 protected:
  // Starts a host in `state` and runs the reconciliation its start-up readiness scheduled, so
  // what follows sees only its own effects.
  void StartSettled(const char* state = "state") {
    host.emplace(tree.Root() / state, std::vector<std::string>{"--clock", "virtual"});
    client = host->Client();
    Advance(0);
  }
  // Expects a successful answer; its body.
  std::string Expect2xx(const httplib::Result& result) {
    EXPECT_TRUE(result) << httplib::to_string(result.error());
    if (!result)
      return "";
    EXPECT_GE(result->status, 200) << result->body;
    EXPECT_LT(result->status, 300) << result->body;
    return result->body;
  }
  void Advance(int seconds) {
    Expect2xx(client->Post(kAdvance, R"({"seconds": )" + std::to_string(seconds) + "}", kJson));
  }
  void SetFaults(const std::string& rules) { Expect2xx(client->Put(kFaults, rules, kJson)); }
  void SetReady() { Expect2xx(client->Put(kReady, "true", kJson)); }
  void PutSets(const std::string& document) {
    const httplib::Result put = client->Put(kSets, document, kJson);
    ASSERT_TRUE(put);
    EXPECT_EQ(put->status, 204) << put->body;
  }
  // The title of the first set in the plugin's answer, or "" when it has none.
  std::string FirstTitle() {
    return std::string(Json(GetSets()).Find("itemSets").At(0).Find("title").GetString());
  }
  // The first set's title in the service's copy for the signed-in account; "" when it has none.
  std::string StoredTitle() {
    const httplib::Result result = client->Get(kStored);
    EXPECT_TRUE(result);
    if (!result || result->status == 404)
      return "";
    EXPECT_EQ(result->status, 200) << result->body;
    const Zorv::BindingProperty stored = Json(result->body);
    EXPECT_EQ(stored.Find("type").GetString(), "ItemSets");
    return std::string(Json(std::string(stored.Find("data").GetString()))
                           .Find("itemSets")
                           .At(0)
                           .Find("title")
                           .GetString());
  }
  std::size_t SaveEvents() {
    const Zorv::BindingProperty events = Json(Expect2xx(client->Get(kTelemetry)));
    std::size_t count = 0;
    for (std::size_t i = 0; i < events.Size(); ++i)
      count += events.At(i).Find("name").GetString() == kSaveEvent ? 1 : 0;
    return count;
  }
  // The exported item-set files anywhere in the game's configuration directory.
  std::vector<fs::path> ExportedFiles() {
    std::vector<fs::path> files;
    std::error_code error;
    for (fs::recursive_directory_iterator it(host->configDirectory(), error), end; it != end;
         it.increment(error)) {
      if (it->path().filename().string().starts_with("ZORV_ItemSet_"))
        files.push_back(it->path());
    }
    return files;
  }
};

// Catches a broken chain from an edit to the game: the edit not announced under its derived
// name, not exported, not reported, not stored at the service, or lost across a restart.
TEST_F(DulHostScenarioTest, AnEditReachesTheGameTheStoreAndTheNextSession) {
  StartSettled();
  EXPECT_EQ(Json(GetSets()).Find("itemSets").Size(), 0u);
  PutSets(kChampionDocument);

  // The two start-up events (readiness under both names) come first; the edit follows them.
  const std::string text = ReadStream(*host, {{"Last-Event-ID", "0"}}, [](const std::string& t) {
    return StreamMessages(t).size() >= 4;
  });
  std::vector<StreamMessage> messages = StreamMessages(text);
  ASSERT_EQ(messages.size(), 4u) << text;
  messages.erase(messages.begin(), messages.begin() + 2);
  EXPECT_GT(messages[1].id, messages[0].id);
  EXPECT_EQ(messages[0].event, "OnJsonApiEvent_dul-item-sets_v1_item-sets");
  EXPECT_EQ(messages[1].event, "OnJsonApiEvent");
  for (const StreamMessage& message : messages) {
    EXPECT_EQ(message.data.Find("uri").GetString(), kSets);
    EXPECT_EQ(message.data.Find("eventType").GetString(), "Update");
  }

  EXPECT_TRUE(ExportedFiles().empty());  // nothing leaves before the upload timer fires
  Advance(5);
  const fs::path exported = host->configDirectory() / kCaldrithFile;
  ASSERT_TRUE(fs::exists(exported));
  const Zorv::BindingProperty file = Json(ReadFileText(exported));
  EXPECT_EQ(file.Find("title").GetString(), "Cinder");
  EXPECT_EQ(file.Find("map").GetString(), "SR");
  EXPECT_EQ(ExportedFiles().size(), 1u);
  EXPECT_EQ(SaveEvents(), 1u);
  EXPECT_EQ(StoredTitle(), "Cinder");

  const httplib::Result shutdown = client->Post("/dul-host/v1/shutdown");
  ASSERT_TRUE(shutdown);
  EXPECT_EQ(host->WaitForExit(), 0);
  Start();
  Advance(0);  // the reconciliation finds the service's copy is the one already held
  EXPECT_EQ(FirstTitle(), "Cinder");
  EXPECT_EQ(StoredTitle(), "Cinder");
}

// Catches one account's sets shown to or stored under another after the login changes, and an
// account's own copy not brought back when it signs in again.
TEST_F(DulHostScenarioTest, ALoginChangeKeepsEachAccountsSetsApart) {
  StartSettled();
  PutSets(kDocument);
  Advance(5);
  ASSERT_EQ(StoredTitle(), "Jungle");

  // As the platform does on a login change: a new session, then the service comes up again.
  const auto signIn = [&](const char* account) {
    Expect2xx(client->Put(
        kSession,
        std::string(R"({"state":"SUCCEEDED","summonerId":42,"accountId":)") + account + "}",
        kJson));
    SetReady();
    Advance(0);
  };
  signIn("2002");
  EXPECT_EQ(Json(GetSets()).Find("itemSets").Size(), 0u);
  EXPECT_EQ(StoredTitle(), "");
  PutSets(kChampionDocument);
  Advance(5);
  EXPECT_EQ(StoredTitle(), "Cinder");
  EXPECT_EQ(Json(GetSets()).Find("accountId").GetUnsigned(0), 2002u);

  signIn("1001");
  EXPECT_EQ(StoredTitle(), "Jungle");
  EXPECT_EQ(FirstTitle(), "Jungle");
}

// Catches a disabled editor that still uploads or exports, a disabled game export that still
// writes files, and a pending change dropped instead of waiting for the editor to come back.
TEST_F(DulHostScenarioTest, SettingsSwitchUploadsAndExportsOff) {
  const struct {
    const char* name;
    const char* settings;
    bool stored;
    bool exported;
  } cases[] = {
      {"editor-off", R"({"EditorEnabled":false,"SendItemSetsToGame":true,"UploadRateLimit":5})",
       false, false},
      {"export-off", R"({"EditorEnabled":true,"SendItemSetsToGame":false,"UploadRateLimit":5})",
       true, false},
      {"both-on", R"({"EditorEnabled":true,"SendItemSetsToGame":true,"UploadRateLimit":5})", true,
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    StartSettled(c.name);
    Expect2xx(client->Put(kSettings, c.settings, kJson));
    PutSets(kChampionDocument);
    Advance(5);
    Advance(5);
    EXPECT_EQ(StoredTitle(), c.stored ? "Cinder" : "");
    EXPECT_EQ(fs::exists(host->configDirectory() / kCaldrithFile), c.exported);
    EXPECT_EQ(SaveEvents(), c.stored ? 1u : 0u);
    if (!c.stored) {
      // The change waited; it leaves once the editor is back.
      Expect2xx(client->Put(
          kSettings, R"({"EditorEnabled":true,"SendItemSetsToGame":true,"UploadRateLimit":5})",
          kJson));
      Advance(5);
      EXPECT_EQ(StoredTitle(), "Cinder");
      EXPECT_TRUE(fs::exists(host->configDirectory() / kCaldrithFile));
    }
  }
}

// Catches a change lost when the store fails once, or retried with a second export and report.
TEST_F(DulHostScenarioTest, AFailedStoreIsRetriedAtTheNextTick) {
  StartSettled();
  SetFaults(R"([{"method":"PUT","path":"/dul-player-preferences/v1/preference","status":500,)"
            R"("count":1}])");
  PutSets(kDocument);
  Advance(5);
  EXPECT_EQ(StoredTitle(), "");
  // The injected failure shows in the host's log and as a report on the event stream.
  const std::string fault =
      "a fault rule answered the plugin's PUT /dul-player-preferences/v1/preference with status "
      "500";
  EXPECT_NE(host->output().find("dul-host fault| " + fault), std::string::npos) << host->output();
  const std::string stream = ReadStream(*host, {{"Last-Event-ID", "0"}}, [&](const std::string& t) {
    return t.find(fault) != std::string::npos;
  });
  EXPECT_NE(stream.find("event: dul-host-report\ndata: {\"kind\":\"fault\""), std::string::npos)
      << stream;
  EXPECT_EQ(Json(Expect2xx(client->Get(kFaults))).Size(), 0u);  // the failure was met
  EXPECT_EQ(SaveEvents(), 1u);
  ASSERT_EQ(ExportedFiles().size(), 1u);
  // The sync view tells the same: the failed store, the save event, the file, the next tick.
  Zorv::BindingProperty sync = Json(Expect2xx(client->Get(kSync)));
  EXPECT_EQ(sync.Find("lastFailedStore").Find("status").GetUnsigned(0), 500u);
  EXPECT_TRUE(sync.Find("lastStored").IsEmpty());
  EXPECT_EQ(sync.Find("lastSaveEvent").Find("data").Find("item_sets.count").GetString(), "1");
  EXPECT_EQ(sync.Find("gameFiles").At(0).Find("path").GetString(),
            fs::relative(ExportedFiles()[0], host->configDirectory()).generic_string());
  // The plugin times its ticks on its own clock: the next one is due a little before 10 s.
  EXPECT_EQ(sync.Find("scheduled").At(0).Find("name").GetString(),
            "Timer: dul-item-sets.check_upload");
  EXPECT_NEAR(sync.Find("scheduled").At(0).Find("dueSeconds").GetDouble(0.0), 10.0, 0.5);
  fs::remove(ExportedFiles()[0]);  // a second export would bring it back

  Advance(5);
  EXPECT_EQ(StoredTitle(), "Jungle");
  EXPECT_EQ(SaveEvents(), 1u);
  EXPECT_TRUE(ExportedFiles().empty());
  sync = Json(Expect2xx(client->Get(kSync)));
  EXPECT_EQ(sync.Find("lastStored").Find("modified").GetUnsigned(0),
            Json(Expect2xx(client->Get(kStored))).Find("modified").GetUnsigned(1));
  EXPECT_NEAR(sync.Find("lastStored").Find("clockSeconds").GetDouble(0.0), 10.0, 0.5);
}

// Catches a "not modified" answer to the reconciliation's fetch taken as a failure (exporting)
// or as a copy (replacing the sets).
TEST_F(DulHostScenarioTest, ANotModifiedFetchLeavesTheSetsAlone) {
  StartSettled();
  PutSets(kChampionDocument);
  const fs::path cache = host->configDirectory() / "ItemSets.json";
  const std::string cached = ReadFileText(cache);
  ASSERT_FALSE(cached.empty());

  SetFaults(R"([{"method":"GET","path":"/dul-player-preferences/v1/preference/ItemSets",)"
            R"("status":304,"count":1}])");
  SetReady();
  Advance(0);
  EXPECT_EQ(Json(Expect2xx(client->Get(kFaults))).Size(), 0u);  // the fetch was made
  EXPECT_EQ(FirstTitle(), "Cinder");
  EXPECT_EQ(ReadFileText(cache), cached);
  EXPECT_TRUE(ExportedFiles().empty());
}

// Catches a newer copy at the service ignored by the reconciliation, or taken over without
// replacing the cache file and the game's files.
TEST_F(DulHostScenarioTest, ANewerCopyAtTheServiceIsTakenOver) {
  StartSettled();
  PutSets(kDocument);
  Advance(5);
  ASSERT_EQ(StoredTitle(), "Jungle");
  ASSERT_EQ(ExportedFiles().size(), 1u);

  const std::string newer =
      R"({"type":"ItemSets","data":"{\"timestamp\":0,\"accountId\":1001,\"itemSets\":[{\"uid\":)"
      R"(\"u-3\",\"title\":\"Remote\",\"mode\":\"CLASSIC\",\"associatedMaps\":[11],)"
      R"(\"associatedChampions\":[3],\"blocks\":[]}]}"})";
  const std::uint64_t modified =
      Json(Expect2xx(client->Put(kStore, newer, kJson))).Find("modified").GetUnsigned(0);
  ASSERT_NE(modified, 0u);
  SetReady();
  Advance(0);

  EXPECT_EQ(FirstTitle(), "Remote");
  const Zorv::BindingProperty cache = Json(ReadFileText(host->configDirectory() / "ItemSets.json"));
  EXPECT_EQ(cache.Find("timestamp").GetUnsigned(0), modified);
  EXPECT_EQ(cache.Find("itemSets").At(0).Find("title").GetString(), "Remote");
  const std::vector<fs::path> files = ExportedFiles();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0], host->configDirectory() / kCaldrithFile);
}

}  // namespace
}  // namespace dul::testing
