// The simulated player-preferences store: per-account documents in SQLite, versions that only
// grow, and the answers the plugin's reconciliation depends on.
#include "host/services/player_preferences_peer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "host/services/platform_resources.h"
#include "tests/host/services/simulated_platform_fixture.h"

namespace dul::host {
namespace {

using testing::BodyJson;
using testing::PlatformFixture;
using testing::RefusedRequest;

constexpr const char* kItemSetsPreference = "/dul-player-preferences/v1/preference/ItemSets";

std::string Document(const std::string& data) {
  return R"({"data":")" + data + R"(","type":"ItemSets"})";
}

std::uint64_t Modified(const PeerAnswer& answer) {
  EXPECT_EQ(answer.status, 200u) << answer.errorText.value_or("");
  return answer.body ? answer.body->Find("modified").GetUnsigned(0) : 0;
}

// Catches a fetch without a stored copy that does not fail with 404 (the plugin would take an
// empty document over), a stored copy answered without its type or version, "modified" of a
// kind the plugin does not read, and a store that is not announced as Create, then Update.
TEST(PlayerPreferences, StoreThenFetchForTheSignedInAccount) {
  PlatformFixture fixture;
  EXPECT_EQ(fixture.Call("GET", kItemSetsPreference).status, 404u);
  const PeerAnswer stored = fixture.Call("PUT", kPreferencePath, Document("one"));
  ASSERT_EQ(Modified(stored), 1'700'000'000'000u);
  EXPECT_EQ(stored.body->Find("modified").Kind(), Zorv::BindingPropertyKind::kUnsigned);
  const PeerAnswer fetched = fixture.Call("GET", kItemSetsPreference);
  EXPECT_EQ(BodyJson(fetched), R"({"data":"one","modified":1700000000000,"type":"ItemSets"})");
  EXPECT_EQ(fetched.body->Find("modified").Kind(), Zorv::BindingPropertyKind::kUnsigned);
  fixture.now += 5;
  EXPECT_EQ(Modified(fixture.Call("PUT", kPreferencePath, Document("two"))), 1'700'000'000'005u);
  const std::vector<std::string> events = fixture.TakeEvents();
  const std::string rest = std::string(" ") + kItemSetsPreference + " ";
  EXPECT_EQ(events, (std::vector<std::string>{
                        "OnJsonApiEvent_dul-player-preferences_v1_preference Create" + rest +
                            R"({"data":"one","modified":1700000000000,"type":"ItemSets"})",
                        "OnJsonApiEvent Create" + rest +
                            R"({"data":"one","modified":1700000000000,"type":"ItemSets"})",
                        "OnJsonApiEvent_dul-player-preferences_v1_preference Update" + rest +
                            R"({"data":"two","modified":1700000000005,"type":"ItemSets"})",
                        "OnJsonApiEvent Update" + rest +
                            R"({"data":"two","modified":1700000000005,"type":"ItemSets"})"}));
}

// Catches a version that repeats or goes back when the clock stands still or runs backwards,
// within one run and across a restart on the same file, and a stored copy lost by the restart.
TEST(PlayerPreferences, VersionsOnlyGrowAndSurviveARestart) {
  PlatformFixture fixture;
  const std::int64_t clockSteps[] = {0, 0, -60'000, 0, 2};
  std::uint64_t last = 0;
  for (const std::int64_t step : clockSteps) {
    fixture.now += step;
    const std::uint64_t modified = Modified(fixture.Call("PUT", kPreferencePath, Document("x")));
    EXPECT_GT(modified, last);
    last = modified;
  }
  EXPECT_EQ(last, 1'700'000'000'000u + 4);  // 4 stores after the first, none ahead of time
  fixture.now -= 3'600'000;
  ASSERT_TRUE(fixture.Open());
  EXPECT_EQ(Modified(fixture.Call("GET", kItemSetsPreference)), last);
  EXPECT_EQ(Modified(fixture.Call("PUT", kPreferencePath, Document("y"))), last + 1);
  fixture.now += 7'200'000;
  EXPECT_EQ(Modified(fixture.Call("PUT", kPreferencePath, Document("z"))),
            static_cast<std::uint64_t>(fixture.now));
}

// Catches one account's copy served to another, and requests served while nobody is signed in
// (a session that is not SUCCEEDED, or has account 0, or is gone).
TEST(PlayerPreferences, CopiesBelongToTheSignedInAccount) {
  PlatformFixture fixture;
  ASSERT_EQ(fixture.Call("PUT", kPreferencePath, Document("mine")).status, 200u);
  fixture.Call("PUT", kLoginSessionUri, R"({"state":"SUCCEEDED","accountId":2002})");
  EXPECT_EQ(fixture.Call("GET", kItemSetsPreference).status, 404u);
  const char* const signedOut[] = {R"({"state":"LOGGING_OUT","accountId":1001})",
                                   R"({"state":"SUCCEEDED","accountId":0})",
                                   R"({"state":"ERROR","accountId":1001})"};
  for (const char* session : signedOut) {
    fixture.Call("PUT", kLoginSessionUri, session);
    EXPECT_EQ(fixture.Call("GET", kItemSetsPreference).status, 403u) << session;
    EXPECT_EQ(fixture.Call("PUT", kPreferencePath, Document("lost")).status, 403u) << session;
  }
  fixture.Call("DELETE", kLoginSessionUri);
  EXPECT_EQ(fixture.Call("GET", kItemSetsPreference).status, 403u);
  fixture.Call("PUT", kLoginSessionUri, R"({"state":"SUCCEEDED","accountId":1001})");
  EXPECT_EQ(fixture.Call("GET", kItemSetsPreference).body->Find("data").GetString(), "mine");
}

// Catches malformed stores accepted (or answered as success without storing), and stores or
// fetches through the wrong method or path.
TEST(PlayerPreferences, BadRequestsAreRefusedWithAReason) {
  const RefusedRequest cases[] = {
      {"PUT", kPreferencePath, "", 400},
      {"PUT", kPreferencePath, "{\"data\":", 400},
      {"PUT", kPreferencePath, "[]", 400},
      {"PUT", kPreferencePath, R"({"type":"ItemSets"})", 400},
      {"PUT", kPreferencePath, R"({"data":{"itemSets":[]},"type":"ItemSets"})", 400},
      {"PUT", kPreferencePath, R"({"data":"x"})", 400},
      {"PUT", kPreferencePath, R"({"data":"x","type":""})", 400},
      {"PUT", kPreferencePath, R"({"data":"x","type":"a/b"})", 400},
      {"GET", kPreferencePath, "", 405},
      {"PUT", kItemSetsPreference, R"({"data":"x","type":"ItemSets"})", 405},
      {"DELETE", kItemSetsPreference, "", 405},
      {"GET", "/dul-player-preferences/v1/preferences", "", 404},
  };
  PlatformFixture fixture;
  for (const RefusedRequest& c : cases) {
    const PeerAnswer answer = fixture.Call(c.method, c.path, c.body);
    EXPECT_EQ(answer.status, c.status) << c.method << " " << c.path << " " << c.body;
    EXPECT_FALSE(answer.errorText.value_or("").empty()) << c.body;
  }
  EXPECT_EQ(fixture.Call("GET", kItemSetsPreference).status, 404u);
  EXPECT_TRUE(fixture.TakeEvents().empty());
}

// Catches a damaged store file that is opened as if it were sound, so every store would fail.
TEST(PlayerPreferences, DamagedStoreFileFailsToOpen) {
  PlatformFixture fixture;
  fixture.platform.reset();
  fixture.host.reset();
  std::ofstream(fixture.tree.Path("state/preferences.sqlite3"), std::ios::binary | std::ios::trunc)
      << std::string(4096, 'x');
  HostRuntime host(fixture.clock);
  SimulatedPlatformOptions options;
  options.stateDirectory = fixture.tree.Path("state");
  options.dataDirectory = fixture.tree.Root().string();
  std::string error;
  EXPECT_EQ(SimulatedPlatform::Open(options, host, error), nullptr);
  EXPECT_NE(error.find("preferences"), std::string::npos) << error;
}

}  // namespace
}  // namespace dul::host
