// The login, configuration and readiness state the plugin records from other services'
// resources, delivered as the host delivers them to a plugin built in-process.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "codecs/json_reader.h"
#include "contract/event_names.h"
#include "host/core/peer.h"
#include "plugin/item_sets_plugin.h"
#include "tests/support/hosted_plugin.h"

namespace dul::item_sets {
namespace {

using Zorv::BindingProperty;
using Zorv::Client::ItemSets::Api::LoginSessionState;

constexpr const char* kLoginUri = "/dul-login/v1/session";
constexpr const char* kConfigUri = "/dul-platform-config/v1/namespaces/ItemSets";
constexpr const char* kReadyUri = "/dul-player-preferences/v1/player-preferences-ready";

struct HostedItemSets {
  // Starts the plugin once the peers hold the resources' first values.
  explicit HostedItemSets(bool start = true) {
    hosted.host.AddPeer("/", peers);
    if (start)
      hosted.Start();
  }
  void Send(const char* uri, const char* eventType, const char* dataJson) {
    BindingProperty payload;
    payload.Member("uri") = uri;
    payload.Member("eventType") = eventType;
    payload.Member("data") = Zorv::ParseJson(dataJson).TakeValue();
    hosted.host.PublishEvent(EventNameForUri(uri), payload);
  }
  ItemSetsPlugin& plugin() { return *hosted.plugin; }

  std::shared_ptr<host::MapPeer> peers = std::make_shared<host::MapPeer>();
  testing::HostedPlugin<ItemSetsPlugin> hosted{false};
};

// Catches a subscription to the wrong resource, with the wrong payload type or handler, or a
// first value (delivered as Create) that is ignored.
TEST(SessionAndSettings, FirstValuesArriveAtStart) {
  HostedItemSets item(false);
  EXPECT_TRUE(item.plugin().editorEnabled());
  EXPECT_EQ(item.plugin().uploadRateLimit(), 5.0);
  item.peers->Set("GET", kLoginUri,
                  host::PeerAnswer::Json(R"({"state":"SUCCEEDED","summonerId":3,"accountId":7})"));
  item.peers->Set("GET", kConfigUri,
                  host::PeerAnswer::Json(R"({"EditorEnabled":false,"UploadRateLimit":12.5})"));
  item.peers->Set("GET", kReadyUri, host::PeerAnswer::Json("true"));
  ASSERT_TRUE(item.hosted.Start());
  EXPECT_EQ(item.plugin().loginSession().state, LoginSessionState::SUCCEEDED);
  EXPECT_EQ(item.plugin().loginSession().summonerId, 3u);
  EXPECT_EQ(item.plugin().loginSession().accountId, 7u);
  EXPECT_FALSE(item.plugin().editorEnabled());
  EXPECT_FALSE(item.plugin().sendItemSetsToGame());
  EXPECT_EQ(item.plugin().uploadRateLimit(), 12.5);
  EXPECT_TRUE(item.plugin().preferencesReady());
}

// Catches a flag read strictly (or too leniently), a rate limit taken from an integer or text or
// left below its minimum, and a Delete that does not restore every default.
TEST(SessionAndSettings, ConfigurationIsReadLenientlyAndDeleteRestoresDefaults) {
  struct Case {
    const char* data;
    bool editor;
    bool send;
    double rate;
  };
  const Case cases[] = {
      {"{}", false, false, 5.0},
      {R"({"EditorEnabled":"true","SendItemSetsToGame":"1","UploadRateLimit":30.0})", true, true,
       30.0},
      {R"({"EditorEnabled":"True","SendItemSetsToGame":"yes","UploadRateLimit":30})", false, false,
       5.0},
      {R"({"EditorEnabled":"0","SendItemSetsToGame":0.5,"UploadRateLimit":2.5})", false, true, 5.0},
      {R"({"EditorEnabled":1,"SendItemSetsToGame":0,"UploadRateLimit":5.0})", true, false, 5.0},
      {R"({"EditorEnabled":[0],"SendItemSetsToGame":{},"UploadRateLimit":"30.0"})", true, false,
       5.0},
      {R"({"EditorEnabled":null,"SendItemSetsToGame":true,"UploadRateLimit":-40.0})", false, true,
       5.0},
  };
  HostedItemSets item;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.data);
    item.Send(kConfigUri, "Update", c.data);
    EXPECT_EQ(item.plugin().editorEnabled(), c.editor);
    EXPECT_EQ(item.plugin().sendItemSetsToGame(), c.send);
    EXPECT_EQ(item.plugin().uploadRateLimit(), c.rate);
    item.Send(kConfigUri, "Delete", "null");
    EXPECT_TRUE(item.plugin().editorEnabled());
    EXPECT_TRUE(item.plugin().sendItemSetsToGame());
    EXPECT_EQ(item.plugin().uploadRateLimit(), 5.0);
  }
}

// Catches a session that drops the account while logging out, a Delete that keeps an id or
// state, and a readiness that is not followed (a Delete reads as not ready).
TEST(SessionAndSettings, SessionAndReadinessFollowTheirResources) {
  HostedItemSets item;
  item.Send(kLoginUri, "Update", R"({"state":"LOGGING_OUT","summonerId":4,"accountId":9})");
  EXPECT_EQ(item.plugin().loginSession().state, LoginSessionState::LOGGING_OUT);
  EXPECT_EQ(item.plugin().loginSession().accountId, 9u);
  item.Send(kLoginUri, "Delete", "null");
  EXPECT_EQ(item.plugin().loginSession().state, LoginSessionState::IN_PROGRESS);
  EXPECT_EQ(item.plugin().loginSession().summonerId, 0u);
  EXPECT_EQ(item.plugin().loginSession().accountId, 0u);
  item.Send(kReadyUri, "Update", "true");
  EXPECT_TRUE(item.plugin().preferencesReady());
  item.Send(kReadyUri, "Delete", "null");
  EXPECT_FALSE(item.plugin().preferencesReady());
}

}  // namespace
}  // namespace dul::item_sets
