// dul-host from outside: started as a process on a free port with the virtual clock, driven over
// HTTP only, as a developer's client would drive it.
#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

#include "host/http/http_front.h"
#include "tests/support/dul_host_process.h"

namespace dul::testing {
namespace {

namespace fs = std::filesystem;

// Catches a wrong token accepted, and a correct token refused in either scheme (every route's
// refusal without one: dul_host_security_e2e_test.cpp).
TEST_F(DulHostTest, OnlyTheRightTokenIsAccepted) {
  Start();
  auto anonymous = host->Client(false);
  EXPECT_EQ(anonymous->Get(kSets)->get_header_value("WWW-Authenticate"),
            "Basic realm=\"dul-host\"");
  ExpectError(anonymous->Get(kSets), 401, "A token is required");
  anonymous->set_bearer_token_auth(host->record().token + "0");
  ExpectError(anonymous->Get(kSets), 401, "changes at every start: read host.json again");
  anonymous->set_basic_auth("dul", host->record().token);
  EXPECT_EQ(anonymous->Get(kSets)->status, 200);
  EXPECT_EQ(client->Get(kSets)->status, 200);
}

// Catches a host that turns requests away when authentication is off.
TEST_F(DulHostTest, NoAuthLetsEveryoneIn) {
  Start({"--clock", "virtual", "--no-auth"});
  EXPECT_EQ(host->record().token, "");
  EXPECT_EQ(host->Client(false)->Get(kSets)->status, 200);
}

// Catches unknown paths or methods answered as successes or without the error body, and a path
// whose decoded NUL would cut it short where the plugin reads it.
TEST_F(DulHostTest, UnknownAndMalformedRequestsAreRefusedClearly) {
  Start();
  ExpectError(client->Get("/no/such/thing"), 404);
  ExpectError(client->Get("/dul-host/v1/nothing"), 404, "/dul-host/v1/nothing");
  ExpectError(client->Get("/dul-item-sets/v1/item-sets/42%00/sets"), 400, "control");
  ExpectError(client->Post("/dul-host/v1/clock/advance", "{", kJson), 400, "not JSON");
  ExpectError(client->Post("/dul-host/v1/clock/advance", R"({"seconds":"5"})", kJson), 400);
  ExpectError(client->Put("/dul-host/v1/faults", R"({"method":"GET"})", kJson), 400, "list");
  ExpectError(client->Get("/dul-host/v1/events", {{"Last-Event-ID", "x1"}}), 400, "Last-Event-ID");
}

// Catches a refusal that differs by route: a 405 without its Allow header or without naming the
// method, the path and what it takes (the plugin's paths from its endpoint table), a body of
// another type read as JSON, or a 415 that does not say which type was sent and which is taken.
TEST_F(DulHostTest, EveryRouteRefusesTheSameWay) {
  Start();
  const struct {
    const char* method;
    const char* path;
    const char* contentType;
    int status;
    const char* allow;  // 405: the Allow header; 415: the type named
  } cases[] = {
      {"DELETE", kSets, "", 405, "GET, POST, PUT"},
      {"POST", "/dul-host/v1/status", "", 405, "GET"},
      {"PATCH", "/dul-host/v1/faults", "", 405, "GET, PUT, DELETE"},
      {"DELETE", "/dul-player-preferences/v1/player-preferences-ready", "", 405, "GET, PUT"},
      {"PUT", "/dul-host/v1/faults", "text/plain", 415, "text/plain"},
      {"POST", "/dul-host/v1/clock/advance", "application/x-www-form-urlencoded", 415,
       "application/x-www-form-urlencoded"},
      {"PUT", "/dul-login/v1/session", "application/x-yaml", 415, "application/x-yaml"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.method) + " " + c.path);
    httplib::Request request;
    request.method = c.method;
    request.path = c.path;
    if (*c.contentType != '\0') {
      request.body = "[]";
      request.set_header("Content-Type", c.contentType);
    }
    const httplib::Result result = client->send(request);
    if (c.status == 405) {
      ExpectError(result, 405,
                  (std::string("Method ") + c.method + " is not allowed on " + c.path +
                   " (allowed: " + c.allow + ")")
                      .c_str());
      EXPECT_EQ(result->get_header_value("Allow"), c.allow);
    } else {
      ExpectError(result, 415, c.allow);
      EXPECT_NE(result->body.find("takes application/json"), std::string::npos);
    }
  }
}

// Catches a version route or option that does not name the host, the build and the plugin.
TEST_F(DulHostTest, VersionNamesTheHostAndThePlugin) {
  Start();
  const Zorv::BindingProperty version = Json(client->Get("/dul-host/v1/version")->body);
  EXPECT_EQ(version.Find("host").Find("name").GetString(), "dul-host");
  EXPECT_FALSE(version.Find("host").Find("version").GetString().empty());
  EXPECT_FALSE(version.Find("host").Find("buildType").GetString().empty());
  EXPECT_EQ(version.Find("plugin").Find("fullName").GetString(), "pxm-be-dul-item-sets");
  EXPECT_EQ(version.Find("plugin").Find("apiVersion").GetString(), "18.0.0");
}

// Catches a body beyond the limit read or stored, or refused without the error body.
TEST_F(DulHostTest, OversizedBodiesAreRefusedBeforeTheyAreRead) {
  Start();
  const std::string before = GetSets();
  std::string huge = R"({"timestamp":0,"accountId":0,"itemSets":[],"pad":")";
  huge += std::string(host::kLargestRequestBody - huge.size() - 1, 'x') + "\"}";
  ExpectError(client->Put(kSets, huge, kJson), 413,
              std::to_string(host::kLargestRequestBody).c_str());
  EXPECT_EQ(GetSets(), before);
}

// Catches a malformed body in any content type that changes the document or the cache file, or
// that is answered as anything but a 400 with the decoder's reason.
TEST_F(DulHostTest, BadBodiesChangeNothing) {
  Start();
  ASSERT_EQ(client->Put(kSets, kDocument, kJson)->status, 204);
  const std::string before = GetSets();
  const fs::path cache = host->configDirectory() / "ItemSets.json";
  const std::string cached = ReadFileText(cache);
  ASSERT_FALSE(cached.empty());
  const struct {
    const char* type;
    std::string body;
  } cases[] = {
      {"application/json", R"({"timestamp":0,"itemSets":[)"},
      {"application/json", R"({"timestamp":"soon","accountId":0,"itemSets":[]})"},
      {"application/x-yaml", "timestamp: [1\nitemSets: {"},
      {"application/x-msgpack", std::string("\x83\xa9timestamp\xc1", 12)},
      {"text/plain", kDocument},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    ExpectError(client->Put(kSets, c.body, c.type), 400);
  }
  EXPECT_EQ(GetSets(), before);
  EXPECT_EQ(ReadFileText(cache), cached);
}

// Catches YAML or MessagePack bodies mangled or re-typed on their way to the plugin, and a
// successful PUT or GET answered with the wrong status or type.
TEST_F(DulHostTest, ThePluginResourceTakesEveryBodyFormat) {
  Start();
  EXPECT_EQ(Json(GetSets()).Find("itemSets").Size(), 0u);
  const httplib::Result put = client->Put(kSets, kDocument, kJson);
  ASSERT_TRUE(put);
  EXPECT_EQ(put->status, 204);
  const httplib::Result get = client->Get(kSets);
  EXPECT_EQ(get->get_header_value("Content-Type"), kJson);
  const Zorv::BindingProperty document = Json(get->body);
  EXPECT_EQ(document.Find("accountId").GetUnsigned(0), 1001u);
  EXPECT_EQ(document.Find("itemSets").At(0).Find("title").GetString(), "Jungle");
  EXPECT_TRUE(fs::exists(host->configDirectory() / "ItemSets.json"));

  const std::string yaml = "timestamp: 0\naccountId: 0\nitemSets:\n  - title: FromYaml\n";
  EXPECT_EQ(client->Put(kSets, yaml, "application/x-yaml")->status, 204);
  EXPECT_EQ(Json(GetSets()).Find("itemSets").At(0).Find("title").GetString(), "FromYaml");
  static constexpr char kPack[] =
      "\x83\xa9timestamp\x00\xa9"
      "accountId\x00\xa8itemSets\x91\x81\xa5title\xa4Pack";
  const std::string msgpack(kPack, sizeof kPack - 1);
  EXPECT_EQ(client->Put(kSets, msgpack, "application/x-msgpack")->status, 204);
  EXPECT_EQ(Json(GetSets()).Find("itemSets").At(0).Find("title").GetString(), "Pack");
}

}  // namespace
}  // namespace dul::testing
