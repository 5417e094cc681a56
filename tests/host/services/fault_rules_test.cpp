// Fault rules in front of the simulated services: which requests they catch, how many, and what
// the plugin then receives.
#include "host/services/fault_rules.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "host/services/game_data_peer.h"
#include "host/services/platform_resources.h"
#include "runtime/json_api_client.h"
#include "tests/host/services/simulated_platform_fixture.h"

namespace dul::host {
namespace {

using testing::Compact;
using testing::PlatformFixture;
using Zorv::BindingProperty;

// Catches malformed rules that are taken (a typo silently ignored, a rule that never fires or
// answers no status) and a refused list that still replaces the rules in force.
TEST(FaultRules, MalformedListsAreRefusedWhole) {
  const char* const lists[] = {
      "{}",
      "[1]",
      R"([{"method":"GET","path":"/a","status":500,"cout":2}])",
      R"([{"path":"/a","status":500}])",
      R"([{"method":"GET","path":"a","status":500}])",
      R"([{"method":"GET","path":"/a"}])",
      R"([{"method":"GET","path":"/a","status":99}])",
      R"([{"method":"GET","path":"/a","status":"500"}])",
      R"([{"method":"GET","path":"/a","status":500,"count":0}])",
      R"([{"method":"GET","path":"/a","status":500,"count":-1}])",
      R"([{"method":"GET","path":"/a","stream":"slow"}])",
      R"([{"method":"GET","path":"/a","stream":"error","status":500}])",
      R"([{"method":"GET","path":"/ok","status":500},{"method":"GET","status":500}])",
      "[",
  };
  FaultRules rules;
  ASSERT_TRUE(
      testing::Accepted(rules.SetJson(R"([{"method":"get","path":"/kept","status":503}])")));
  const std::string kept = R"([{"count":1,"method":"GET","path":"/kept","status":503}])";
  EXPECT_EQ(Compact(rules.List()), kept);
  for (const char* list : lists) {
    const Outcome set = rules.SetJson(list);
    EXPECT_TRUE(!set.ok() && !set.message().empty()) << list;
    EXPECT_EQ(Compact(rules.List()), kept) << list;
  }
  rules.Clear();
  EXPECT_EQ(Compact(rules.List()), "[]");
}

// Catches a rule that fires more or fewer times than its count, matches another method or a
// path that only starts alike, or is not used up alike by the plugin's and HTTP's requests.
TEST(FaultRules, CountedExactMatchesForThePluginAndHttpAlike) {
  PlatformFixture fixture;
  ASSERT_TRUE(testing::Accepted(fixture.platform->faults().SetJson(
      R"([{"method":"GET","path":"/dul-login/v1/session","status":503,"count":3}])")));
  EXPECT_EQ(fixture.Call("PUT", kLoginSessionUri, R"({"state":"SUCCEEDED","accountId":9})").status,
            200u);
  EXPECT_EQ(fixture.Call("GET", "/dul-login/v1/session/").status, 404u);
  const PeerAnswer first = fixture.Call("GET", kLoginSessionUri);
  EXPECT_EQ(first.status, 503u);
  EXPECT_TRUE(first.errorText.has_value());
  EXPECT_EQ(fixture.platform->Answer(testing::MakeRequest("GET", kLoginSessionUri)).status, 503u);
  EXPECT_EQ(Compact(fixture.platform->faults().List()),
            R"([{"count":1,"method":"GET","path":"/dul-login/v1/session","status":503}])");
  EXPECT_EQ(fixture.Call("GET", kLoginSessionUri).status, 503u);
  EXPECT_EQ(Compact(fixture.platform->faults().List()), "[]");
  EXPECT_EQ(fixture.Call("GET", kLoginSessionUri).status, 200u);
}

// Catches a replacement body that does not reach the plugin as it was given, a success status
// that still reads as a failure, or a failure status (304 included) the plugin reads as success.
TEST(FaultRules, BodiesAndStatusesReachThePlugin) {
  testing::PluginOnPlatform on;
  ASSERT_NE(on.platform, nullptr);
  const std::string champion = std::string(kChampionsPath) + "7.json";
  ASSERT_TRUE(testing::Accepted(
      on.platform->faults().SetJson(R"([{"method":"GET","path":")" + champion +
                                    R"(","status":200,"body":{"alias":"../x"}},)"
                                    R"({"method":"GET","path":")" +
                                    champion +
                                    R"(","status":304},)"
                                    R"({"method":"GET","path":")" +
                                    champion + R"(","status":500,"body":[1]}])")));
  std::vector<std::string> seen;
  for (int i = 0; i < 4; ++i) {
    const RequestResult<BindingProperty> read =
        RequestValue<BindingProperty>(*on.hosted.plugin, RequestMethod::kGet, champion);
    seen.push_back(read.ok() ? Compact(read.value().Find("alias"))
                             : std::to_string(read.error().code));
  }
  EXPECT_EQ(seen, (std::vector<std::string>{R"("../x")", "304", "500", R"("Gorrath")"}));
}

// Catches a stream rule whose answer arrives whole, fails before any byte, or is applied to a
// plain body without breaking it; and a broken stream the plugin's client reads as a success.
TEST(FaultRules, StreamRuleBreaksTheAnswerMidway) {
  testing::PluginOnPlatform on;
  ASSERT_NE(on.platform, nullptr);
  const std::string champion = std::string(kChampionsPath) + "41.json";
  const std::string rules = R"([{"method":"GET","path":")" + champion +
                            R"(","stream":"error","count":2},)"
                            R"({"method":"GET","path":"/dul-login/v1/session","stream":"error"}])";
  ASSERT_TRUE(testing::Accepted(on.platform->faults().SetJson(rules)));
  for (const std::string& path : {champion, std::string(kLoginSessionUri)}) {
    const PeerAnswer answer = on.platform->Answer(testing::MakeRequest("GET", path));
    ASSERT_TRUE(answer.stream.has_value()) << path;
    ASSERT_EQ(answer.stream->size(), 2u) << path;
    EXPECT_FALSE(answer.stream->front().bytes.empty());
    EXPECT_TRUE(answer.stream->back().fails);
    EXPECT_GT(answer.streamExpectedSize.value_or(0), answer.stream->front().bytes.size());
  }
  const RequestResult<BindingProperty> read =
      RequestValue<BindingProperty>(*on.hosted.plugin, RequestMethod::kGet, champion);
  ASSERT_FALSE(read.ok());
  EXPECT_NE(read.error().message.find("Stream read error"), std::string::npos);
  EXPECT_EQ(on.hosted.host.responses().live(), 0u);
}

// Catches counts taken down without the lock: requests on several threads must use up exactly
// the rule's count, no more and no fewer, while the list is read and written alongside.
TEST(FaultRules, ConcurrentTakesUseUpExactlyTheCount) {
  FaultRules rules;
  ASSERT_TRUE(testing::Accepted(
      rules.SetJson(R"([{"method":"GET","path":"/a","status":500,"count":2000}])")));
  std::atomic<int> taken{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 1000; ++i) {
        if (rules.Take("GET", "/a"))
          taken++;
        (void)rules.List();
      }
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  EXPECT_EQ(taken.load(), 2000);
  EXPECT_EQ(Compact(rules.List()), "[]");
}

}  // namespace
}  // namespace dul::host
