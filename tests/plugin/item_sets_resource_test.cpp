// The item-set resource through the real shared library: loaded by its export, driven by the
// in-process host, with the current directory inside an installed game tree. The library keeps
// one installation record per process, so every case builds its own tree in its own process.
#include "plugin/item_sets_resource.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "binding/native_conversion.h"
#include "codecs/json_reader.h"
#include "codecs/json_writer.h"
#include "contract/event_names.h"
#include "host/core/host_runtime.h"
#include "host/core/plugin_loader.h"
#include "tests/plugin/item_sets_test_plugin.h"
#include "tests/support/temporary_tree.h"

namespace dul::item_sets {
namespace {

using host::PeerAnswer;
using host::PeerRequest;
using host::PublishedEvent;
using Zorv::BindingProperty;
using Zorv::Client::ItemSets::Api::ItemSets;

constexpr const char* kLoginUri = "/dul-login/v1/session";

// An installed game: the client's directory, current while the tree lives, beside "Game".
class InstalledGame {
 public:
  InstalledGame() {
    tree_.MakeFile("Play/PlayLauncher.exe");
    tree_.MakeDirectory("Play/Game/Config");
    tree_.Enter("Play/Client");
  }
  std::string ReadCache() const {
    std::ifstream file(CachePath(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
  }
  void WriteCache(const std::string& text) const {
    std::ofstream(CachePath(), std::ios::binary | std::ios::trunc) << text;
  }

 private:
  std::string CachePath() const { return tree_.Path("Play/Game/Config/ItemSets.json"); }
  testing::TemporaryTree tree_;
};

BindingProperty Json(const std::string& text) {
  Zorv::BindingResult parsed = Zorv::ParseJson(text);
  EXPECT_TRUE(parsed.ok()) << text;
  return parsed.ok() ? parsed.TakeValue() : BindingProperty();
}

std::string Compact(const BindingProperty& value) {
  return Zorv::WriteJson(value, nullptr, nullptr);
}

// The library, started by the host; what it publishes is kept.
class LoadedItemSets {
 public:
  LoadedItemSets() {
    EXPECT_TRUE(loader.Load(DUL_PLUGIN_LIBRARY, "load_dul_item_sets", host::ApiVersion{}))
        << loader.error();
    EXPECT_TRUE(host.Start(loader));
    host.AddObserver([this](const PublishedEvent& event) {
      if (event.fromPlugin)
        published.push_back(PublishedEvent{event.name, event.payload.Clone(), event.value, true});
    });
  }

  void SendEvent(const std::string& uri, const char* eventType, const std::string& dataJson) {
    BindingProperty payload;
    payload.Member("uri") = uri;
    payload.Member("eventType") = eventType;
    payload.Member("data") = Json(dataJson);
    host.PublishEvent(EventNameForUri(uri), payload);
  }
  void SignIn(std::uint64_t accountId) {
    SendEvent(
        kLoginUri, "Update",
        R"({"state":"SUCCEEDED","summonerId":99,"accountId":)" + std::to_string(accountId) + "}");
  }

  PeerAnswer Send(const char* method, std::uint32_t code, std::uint64_t summonerId,
                  std::string body = {}, std::string contentType = "application/json") {
    PeerRequest request;
    request.method = code;
    request.methodName = method;
    request.path = "/dul-item-sets/v1/item-sets/" + std::to_string(summonerId) + "/sets";
    request.body = std::move(body);
    request.contentType = request.body.empty() ? "" : std::move(contentType);
    return host.CallPlugin(request);
  }
  PeerAnswer Put(const std::string& json, std::uint64_t summonerId = 42) {
    return Send("PUT", 7, summonerId, json);
  }
  PeerAnswer Post(const std::string& json, std::uint64_t summonerId = 42) {
    return Send("POST", 6, summonerId, json);
  }
  // The document a GET answers, as compact JSON.
  std::string GetJson(std::uint64_t summonerId = 42) {
    const PeerAnswer answer = Send("GET", 2, summonerId);
    EXPECT_EQ(answer.status, 200u) << answer.errorText.value_or("");
    return answer.body ? Compact(*answer.body) : "<no body>";
  }
  ItemSets Get(std::uint64_t summonerId = 42) {
    const PeerAnswer answer = Send("GET", 2, summonerId);
    ItemSets document;
    Zorv::BindingResult converted;
    EXPECT_TRUE(answer.body.has_value()) << answer.errorText.value_or("");
    if (answer.body)
      Zorv::FromBinding(converted, document, *answer.body, "ItemSets", types.typeRegistry());
    EXPECT_TRUE(converted.ok()) << converted.ErrorText();
    return document;
  }

  testing::ItemSetTypesPlugin types;  // the registry that reads answers
  host::PluginLoader loader;          // outlives the host, which destroys through it
  host::VirtualClock clock;
  host::HostRuntime host{clock};
  std::vector<PublishedEvent> published;
};

// A set with only a uid and a title, as JSON.
std::string NamedSet(const char* uid, const char* title) {
  return std::string(R"({"uid":")") + uid + R"(","title":")" + title + R"(","mode":"any"})";
}

// Catches a replacement that takes a newer body timestamp over the recorded version, or that
// keeps 0 instead of taking the body's first version.
TEST(ItemSetsResource, PutKeepsARecordedVersionAndTakesTheFirst) {
  InstalledGame game;
  LoadedItemSets plugin;
  EXPECT_EQ(plugin.Put(R"({"timestamp":1000,"itemSets":[)" + NamedSet("a", "A") + "]}").status,
            200u);
  EXPECT_EQ(plugin.Get().timestamp, 1000u);
  EXPECT_EQ(plugin.Put(R"({"timestamp":2000,"itemSets":[)" + NamedSet("b", "B") + "]}").status,
            200u);
  const ItemSets stored = plugin.Get();
  EXPECT_EQ(stored.timestamp, 1000u);
  ASSERT_EQ(stored.itemSets.size(), 1u);
  EXPECT_EQ(stored.itemSets[0].uid, "b");
  EXPECT_NE(game.ReadCache().find(R"("timestamp":1000)"), std::string::npos);
}

// Catches a stored accountId taken from the body instead of the session, an event on the signed-in
// summoner's path instead of the request's, or an event missing under one of its two names.
TEST(ItemSetsResource, PutStampsTheSessionAccountAndAnnouncesOnTheRequestPath) {
  InstalledGame game;
  LoadedItemSets plugin;
  plugin.SignIn(7);
  ASSERT_EQ(plugin.Put(R"({"accountId":5,"itemSets":[)" + NamedSet("a", "A") + "]}").status, 200u);
  ASSERT_EQ(plugin.published.size(), 2u);
  EXPECT_EQ(plugin.published[0].name, "OnJsonApiEvent_dul-item-sets_v1_item-sets");
  EXPECT_EQ(plugin.published[1].name, "OnJsonApiEvent");
  for (const PublishedEvent& event : plugin.published) {
    EXPECT_EQ(event.payload.Find("uri").GetString(), "/dul-item-sets/v1/item-sets/42/sets");
    EXPECT_EQ(Compact(event.payload.Find("eventType")), R"("Update")");
    EXPECT_EQ(Compact(event.payload.Find("data").Find("accountId")), "7");
  }
  EXPECT_EQ(plugin.Get(1).accountId, 7u);  // whatever summoner the path names
  EXPECT_NE(game.ReadCache().find(R"("accountId":7)"), std::string::npos);
}

// Catches sets stored without identifiers or modes, two sets sharing one new uid, a given uid
// or mode overwritten, or map 1 kept beside 11 (or dropped without it).
TEST(ItemSetsResource, PutNormalisesTheSets) {
  InstalledGame game;
  LoadedItemSets plugin;
  ASSERT_EQ(plugin
                .Put(R"({"itemSets":[{"associatedMaps":[1,11,1,12]},{"associatedMaps":[1,12]},
                          {"uid":"x","mode":"aram","associatedMaps":[11]}]})")
                .status,
            200u);
  const ItemSets stored = plugin.Get();
  ASSERT_EQ(stored.itemSets.size(), 3u);
  EXPECT_EQ(stored.itemSets[0].uid.size(), 36u);
  EXPECT_EQ(stored.itemSets[1].uid.size(), 36u);
  EXPECT_NE(stored.itemSets[0].uid, stored.itemSets[1].uid);
  EXPECT_EQ(stored.itemSets[2].uid, "x");
  EXPECT_EQ(stored.itemSets[0].mode, "any");
  EXPECT_EQ(stored.itemSets[2].mode, "aram");
  EXPECT_EQ(stored.itemSets[0].associatedMaps, (std::vector<std::int32_t>{11, 12}));
  EXPECT_EQ(stored.itemSets[1].associatedMaps, (std::vector<std::int32_t>{1, 12}));
  EXPECT_EQ(stored.itemSets[2].associatedMaps, (std::vector<std::int32_t>{11}));
}

// Catches a posted set that is lost at the next reload of the cache file, stored without
// normalisation or announcement, or stored in place of the sets the file already held.
TEST(ItemSetsResource, PostedSetIsKeptWithTheCachedSets) {
  InstalledGame game;
  game.WriteCache(R"({"accountId":0,"itemSets":[)" + NamedSet("a", "A") + R"(],"timestamp":0})");
  LoadedItemSets plugin;
  ASSERT_EQ(plugin.Post(R"({"title":"B"})", 8).status, 200u);
  ASSERT_EQ(plugin.published.size(), 2u);
  EXPECT_EQ(plugin.published[1].payload.Find("uri").GetString(),
            "/dul-item-sets/v1/item-sets/8/sets");
  const ItemSets stored = plugin.Get();  // the version is still 0: this reloads the file
  ASSERT_EQ(stored.itemSets.size(), 2u);
  EXPECT_EQ(stored.itemSets[0].uid, "a");
  EXPECT_EQ(stored.itemSets[1].title, "B");
  EXPECT_EQ(stored.itemSets[1].uid.size(), 36u);
  EXPECT_EQ(stored.itemSets[1].mode, "any");
}

// Catches a body that does not convert yet replaces part of the document, is stored or announced.
TEST(ItemSetsResource, UnconvertibleBodiesChangeNothing) {
  InstalledGame game;
  LoadedItemSets plugin;
  const std::string accepted = R"({"timestamp":3,"itemSets":[)" + NamedSet("a", "A") + "]}";
  ASSERT_EQ(plugin.Put(accepted).status, 200u);
  const std::string cached = game.ReadCache();
  plugin.published.clear();
  for (const char* count : {"70000", "-1"}) {
    SCOPED_TRACE(count);
    const std::string blocks = std::string(R"([{"items":[{"id":"1001","count":)") + count + "}]}]";
    EXPECT_EQ(
        plugin.Put(R"({"timestamp":9,"itemSets":[{"uid":"b","blocks":)" + blocks + "}]}").status,
        400u);
    EXPECT_EQ(plugin.Post(R"({"uid":"c","blocks":)" + blocks + "}").status, 400u);
  }
  EXPECT_TRUE(plugin.published.empty());
  EXPECT_EQ(game.ReadCache(), cached);
  const ItemSets stored = plugin.Get();
  EXPECT_EQ(stored.timestamp, 3u);
  ASSERT_EQ(stored.itemSets.size(), 1u);
  EXPECT_EQ(stored.itemSets[0].uid, "a");
}

// Catches a login state read only by name (or only by number), or an unknown state accepted
// instead of dropping the event: the account of a dropped session must not be stored.
TEST(ItemSetsResource, LoginStateIsANameOrANumberOfTheEnum) {
  InstalledGame game;
  LoadedItemSets plugin;
  struct Case {
    const char* state;
    std::uint64_t accountId;
    std::uint64_t stored;
  };
  for (const Case& c : {Case{R"("LOGGING_OUT")", 11, 11}, Case{"2", 12, 12}, Case{"7", 13, 12},
                        Case{R"("SIGNED_IN")", 14, 12}}) {
    SCOPED_TRACE(c.state);
    plugin.SendEvent(kLoginUri, "Update",
                     std::string(R"({"state":)") + c.state + R"(,"accountId":)" +
                         std::to_string(c.accountId) + "}");
    ASSERT_EQ(plugin.Put(R"({"itemSets":[]})").status, 200u);
    EXPECT_EQ(plugin.Get().accountId, c.stored);
  }
  plugin.SendEvent(kLoginUri, "Delete", "null");
  ASSERT_EQ(plugin.Put(R"({"itemSets":[]})").status, 200u);
  EXPECT_EQ(plugin.Get().accountId, 0u);
}

// Catches a document that does not survive a restart through the cache file unchanged.
TEST(ItemSetsResource, StoredDocumentSurvivesARestart) {
  InstalledGame game;
  const std::string document =
      R"({"accountId":7,"itemSets":[{"associatedChampions":[3,-4],"associatedMaps":[12],)"
      R"("blocks":[{"hideIfSummonerSpell":"h","items":[{"count":65535,"id":"1001"}],)"
      R"("showIfSummonerSpell":"s","type":"Start"}],"map":"m","mode":"any",)"
      R"("preferredItemSlots":[{"id":"3020","preferredItemSlot":-5}],"sortrank":-2,)"
      R"("startedFrom":"duplicate","title":"T","type":"custom","uid":"u"}],"timestamp":120})";
  {
    LoadedItemSets first;
    first.SignIn(7);
    ASSERT_EQ(first.Put(document).status, 200u);
  }
  EXPECT_EQ(game.ReadCache(), document);
  LoadedItemSets second;
  second.SignIn(7);
  EXPECT_EQ(second.GetJson(), document);
}

// Catches a reload that shows another account's cached sets to the signed-in player, or that
// hides them when no other account is signed in, or that touches the file.
TEST(ItemSetsResource, ReloadNeverShowsAnotherAccountsSets) {
  InstalledGame game;
  const std::string cached =
      R"({"accountId":5,"itemSets":[)" + NamedSet("a", "A") + R"(],"timestamp":0})";
  struct Case {
    std::uint64_t session;
    std::size_t sets;
  };
  for (const Case& c : {Case{7, 0}, Case{5, 1}, Case{0, 1}}) {
    SCOPED_TRACE(c.session);
    game.WriteCache(cached);
    LoadedItemSets plugin;
    plugin.SignIn(c.session);
    const ItemSets shown = plugin.Get();
    EXPECT_EQ(shown.itemSets.size(), c.sets);
    EXPECT_EQ(shown.accountId, c.sets == 0 ? 0u : 5u);
    EXPECT_EQ(game.ReadCache(), cached);
    if (c.sets == 0) {
      ASSERT_EQ(plugin.Post(R"({"uid":"b"})").status, 200u);
      const ItemSets after = plugin.Get();
      ASSERT_EQ(after.itemSets.size(), 1u);
      EXPECT_EQ(after.itemSets[0].uid, "b");
      EXPECT_EQ(after.accountId, 7u);
    }
  }
}

// Catches a body codec that is not wired to the resource: each form gives the same document.
TEST(ItemSetsResource, BodiesInJsonYamlAndMessagePack) {
  InstalledGame game;
  LoadedItemSets plugin;
  const std::string messagePack =
      "\x81\xa8itemSets\x91\x83\xa3uid\xa1u\xa5title\xa1T\xa6"
      "blocks\x91\x81\xa5items\x91\x82"
      "\xa2id\xa4"
      "1001\xa5"
      "count\x02";
  struct Case {
    const char* contentType;
    std::string body;
  };
  const Case cases[] = {
      {"application/json",
       R"({"itemSets":[{"uid":"u","title":"T","blocks":[{"items":[{"id":"1001","count":2}]}]}]})"},
      {"application/x-yaml",
       "itemSets:\n  - uid: u\n    title: T\n    blocks:\n      - items:\n"
       "          - id: \"1001\"\n            count: 2\n"},
      {"application/x-msgpack", messagePack},
  };
  const std::string stored =
      R"({"accountId":0,"itemSets":[{"associatedChampions":[],"associatedMaps":[],"blocks":[)"
      R"({"hideIfSummonerSpell":"","items":[{"count":2,"id":"1001"}],"showIfSummonerSpell":"",)"
      R"("type":""}],"map":"","mode":"any","preferredItemSlots":[],"sortrank":0,)"
      R"("startedFrom":"blank","title":"T","type":"custom","uid":"u"}],"timestamp":0})";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.contentType);
    ASSERT_EQ(plugin.Put(R"({"itemSets":[]})").status, 200u);
    const PeerAnswer answer = plugin.Send("PUT", 7, 42, c.body, c.contentType);
    ASSERT_EQ(answer.status, 200u) << answer.errorText.value_or("");
    EXPECT_EQ(plugin.GetJson(), stored);
  }
}

}  // namespace
}  // namespace dul::item_sets
