// The login session, configuration and readiness services of the simulated platform, reached as
// the plugin reaches them: through the host.
#include "host/services/platform_resources.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/host/services/simulated_platform_fixture.h"

namespace dul::host {
namespace {

using testing::BodyJson;
using testing::PlatformFixture;
using testing::RefusedRequest;
using Lines = std::vector<std::string>;

constexpr const char* kLoginEvent = "OnJsonApiEvent_dul-login_v1_session";
constexpr const char* kConfigEvent = "OnJsonApiEvent_dul-platform-config_v1_namespaces_ItemSets";
constexpr const char* kReadyEvent =
    "OnJsonApiEvent_dul-player-preferences_v1_player-preferences-ready";

// Both publications of one change: under the derived name, then under "OnJsonApiEvent".
Lines Published(const std::string& derivedName, const std::string& rest) {
  return {derivedName + " " + rest, "OnJsonApiEvent " + rest};
}

// Catches a session that does not start signed in with the given ids, a PUT that does not
// replace or announce it, a DELETE that keeps it or announces data, and a PUT after a DELETE
// announced as Update instead of Create.
TEST(PlatformResources, LoginSessionLifecycleIsPublished) {
  PlatformFixture fixture;
  const std::string signedIn = R"({"accountId":1001,"state":"SUCCEEDED","summonerId":42})";
  EXPECT_EQ(BodyJson(fixture.Call("GET", kLoginSessionUri)), signedIn);
  const std::string out = R"({"accountId":1001,"state":"LOGGING_OUT","summonerId":42})";
  const PeerAnswer put = fixture.Call("PUT", kLoginSessionUri, R"({"state":"LOGGING_OUT",
      "summonerId":42,"accountId":1001,"extra":1})");
  EXPECT_EQ(put.status, 200u);
  EXPECT_EQ(BodyJson(put), out);
  EXPECT_EQ(fixture.TakeEvents(), Published(kLoginEvent, "Update /dul-login/v1/session " + out));
  EXPECT_EQ(fixture.Call("DELETE", kLoginSessionUri).status, 204u);
  EXPECT_EQ(fixture.TakeEvents(), Published(kLoginEvent, "Delete /dul-login/v1/session null"));
  EXPECT_EQ(fixture.Call("GET", kLoginSessionUri).status, 404u);
  EXPECT_EQ(fixture.Call("DELETE", kLoginSessionUri).status, 404u);
  EXPECT_TRUE(fixture.TakeEvents().empty());
  ASSERT_EQ(fixture.Call("PUT", kLoginSessionUri, R"({"state":"SUCCEEDED","accountId":5})").status,
            200u);
  EXPECT_EQ(fixture.TakeEvents(),
            Published(kLoginEvent, R"(Create /dul-login/v1/session {"accountId":5,)"
                                   R"("state":"SUCCEEDED","summonerId":0})"));
}

// Catches a malformed session accepted (the plugin would drop its event and keep a stale
// session), or a rejected one that still changes or announces anything.
TEST(PlatformResources, BadLoginSessionsAreRefused) {
  const char* const bodies[] = {
      "",
      "{",
      "null",
      "[]",
      R"({"summonerId":1,"accountId":2})",
      R"({"state":"SIGNED_IN"})",
      R"({"state":"succeeded"})",
      R"({"state":"SUCCEEDED","accountId":-1})",
      R"({"state":"SUCCEEDED","accountId":"7"})",
      R"({"state":"SUCCEEDED","summonerId":1.5})",
  };
  PlatformFixture fixture;
  for (const char* body : bodies) {
    SCOPED_TRACE(body);
    const PeerAnswer answer = fixture.Call("PUT", kLoginSessionUri, body);
    EXPECT_EQ(answer.status, 400u);
    EXPECT_FALSE(answer.errorText.value_or("").empty());
  }
  EXPECT_TRUE(fixture.TakeEvents().empty());
  EXPECT_EQ(BodyJson(fixture.Call("GET", kLoginSessionUri)),
            R"({"accountId":1001,"state":"SUCCEEDED","summonerId":42})");
}

// Catches a signed-out start that still offers a session the plugin would take as signed in.
TEST(PlatformResources, SignedOutStartHasNoSession) {
  PlatformFixture fixture(false);
  EXPECT_EQ(fixture.Call("GET", kLoginSessionUri).status, 404u);
}

// Catches settings that start empty (the plugin would read the editor as disabled), a PUT that
// merges instead of replacing, an unchanged PUT or a PUT after DELETE that is not announced as
// Update, and a non-object accepted.
TEST(PlatformResources, SettingsPutReplacesAndAlwaysUpdates) {
  PlatformFixture fixture;
  EXPECT_EQ(BodyJson(fixture.Call("GET", kItemSetsConfigUri)),
            R"({"EditorEnabled":true,"SendItemSetsToGame":true,"UploadRateLimit":5.0})");
  const std::string settings = R"({"UploadRateLimit":30.0})";
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(BodyJson(fixture.Call("PUT", kItemSetsConfigUri, settings)), settings);
    EXPECT_EQ(
        fixture.TakeEvents(),
        Published(kConfigEvent, std::string("Update ") + kItemSetsConfigUri + " " + settings));
  }
  EXPECT_EQ(fixture.Call("DELETE", kItemSetsConfigUri).status, 204u);
  fixture.TakeEvents();
  EXPECT_EQ(fixture.Call("PUT", kItemSetsConfigUri, "{}").status, 200u);
  EXPECT_EQ(fixture.TakeEvents(),
            Published(kConfigEvent, std::string("Update ") + kItemSetsConfigUri + " {}"));
  EXPECT_EQ(fixture.Call("PUT", kItemSetsConfigUri, "[1]").status, 400u);
  EXPECT_EQ(fixture.Call("PUT", kItemSetsConfigUri, "true").status, 400u);
  EXPECT_TRUE(fixture.TakeEvents().empty());
}

// Catches a service that starts ready (the plugin would never see it come up), an unchanged PUT
// that is not announced, a non-boolean accepted, a DELETE allowed, and AfterInitialize that does
// not announce the service coming up.
TEST(PlatformResources, ReadinessStartsFalseAndEveryPutUpdates) {
  PlatformFixture fixture;
  EXPECT_EQ(BodyJson(fixture.Call("GET", kPreferencesReadyUri)), "false");
  const std::string update = std::string("Update ") + kPreferencesReadyUri + " ";
  EXPECT_EQ(BodyJson(fixture.Call("PUT", kPreferencesReadyUri, "false")), "false");
  EXPECT_EQ(fixture.TakeEvents(), Published(kReadyEvent, update + "false"));
  for (const char* body : {"1", "\"true\"", "{}", ""})
    EXPECT_EQ(fixture.Call("PUT", kPreferencesReadyUri, body).status, 400u) << body;
  EXPECT_EQ(fixture.Call("DELETE", kPreferencesReadyUri).status, 405u);
  EXPECT_TRUE(fixture.TakeEvents().empty());
  fixture.platform->AfterInitialize();
  EXPECT_EQ(fixture.TakeEvents(), Published(kReadyEvent, update + "true"));
  EXPECT_EQ(BodyJson(fixture.Call("GET", kPreferencesReadyUri)), "true");
}

// Catches a service answering paths or methods it does not serve as if they were its own.
TEST(PlatformResources, OtherPathsAndMethodsAreRefused) {
  const RefusedRequest cases[] = {
      {"GET", "/dul-login/v1/session/", "{}", 404},
      {"GET", "/dul-login/v1/sessions", "{}", 404},
      {"POST", "/dul-login/v1/session", "{}", 405},
      {"PATCH", "/dul-platform-config/v1/namespaces/ItemSets", "{}", 405},
      {"GET", "/dul-platform-config/v1/namespaces/Other", "{}", 404},
      {"POST", "/dul-player-preferences/v1/player-preferences-ready", "{}", 405},
  };
  PlatformFixture fixture;
  for (const RefusedRequest& c : cases)
    EXPECT_EQ(fixture.Call(c.method, c.path, c.body).status, c.status) << c.method << " " << c.path;
  EXPECT_TRUE(fixture.TakeEvents().empty());
}

}  // namespace
}  // namespace dul::host
