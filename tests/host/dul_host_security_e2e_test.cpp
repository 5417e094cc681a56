// dul-host's HTTP surface against requests a hostile page or process could send: no token, a
// foreign Origin, oversized headers, paths that climb out of the state directory.
#include <gtest/gtest.h>
#include <httplib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/dul_host_process.h"
#include "tests/support/raw_connection.h"

namespace dul::testing {
namespace {

namespace fs = std::filesystem;

struct Route {
  const char* method;
  std::string path;
};

const Route kEveryKindOfRoute[] = {
    {"GET", "/dul-host/v1/status"},
    {"GET", "/dul-host/v1/version"},
    {"GET", "/dul-host/v1/events"},
    {"GET", "/dul-host/v1/faults"},
    {"PUT", "/dul-host/v1/faults"},
    {"DELETE", "/dul-host/v1/faults"},
    {"POST", "/dul-host/v1/clock/advance"},
    {"POST", "/dul-host/v1/shutdown"},
    {"GET", kSets},
    {"PUT", kSets},
    {"POST", "/dul-item-sets/v1/item-sets/42/set"},
    {"GET", "/telemetry/v1/events"},
    {"GET", "/dul-player-preferences/v1/preference/ItemSets"},
    {"OPTIONS", kSets},
};

httplib::Result Send(httplib::Client& client, const Route& route, httplib::Headers headers,
                     const std::string& body = "{}") {
  httplib::Request request;
  request.method = route.method;
  request.path = route.path;
  request.headers = std::move(headers);
  if (request.method != "GET" && request.method != "OPTIONS") {
    request.body = body;
    request.set_header("Content-Type", kJson);
  }
  return client.send(request);
}

// Catches a route, the event stream included, that answers or acts without the token.
TEST_F(DulHostTest, EveryRouteNeedsTheToken) {
  Start();
  auto anonymous = host->Client(false);
  for (const Route& route : kEveryKindOfRoute) {
    SCOPED_TRACE(std::string(route.method) + " " + route.path);
    ExpectError(Send(*anonymous, route, {}), 401, "token");
  }
  EXPECT_FALSE(host->WaitForExit(0.0));
  EXPECT_EQ(client->Get("/dul-host/v1/status")->status, 200);
}

// Catches a change accepted from another site's page, the host's own origins refused, and any
// answer (a preflight included) that carries CORS headers.
TEST_F(DulHostTest, ForeignOriginsChangeNothingAndGetNoCorsHeaders) {
  Start();
  const std::string port = std::to_string(host->record().port);
  const std::string before = GetSets();
  const std::vector<std::string> foreign = {"http://evil.example", "null", "http://127.0.0.1:1",
                                            "https://127.0.0.1:" + port};
  for (const std::string& origin : foreign) {
    SCOPED_TRACE(origin);
    ExpectError(client->Put(kSets, {{"Origin", origin}}, kDocument, kJson), 403, "Origin");
    ExpectError(client->Post("/dul-host/v1/shutdown", {{"Origin", origin}}, "", kJson), 403);
    ExpectError(client->Delete("/dul-host/v1/faults", {{"Origin", origin}}), 403);
  }
  EXPECT_EQ(GetSets(), before);
  for (const std::string& origin : {"http://127.0.0.1:" + port, "http://localhost:" + port})
    EXPECT_EQ(client->Put(kSets, {{"Origin", origin}}, kDocument, kJson)->status, 204) << origin;

  const httplib::Headers preflight = {{"Origin", "http://evil.example"},
                                      {"Access-Control-Request-Method", "PUT"},
                                      {"Access-Control-Request-Headers", "authorization"}};
  for (const Route& route : kEveryKindOfRoute) {
    if (route.path == "/dul-host/v1/shutdown" || route.path == "/dul-host/v1/events")
      continue;
    SCOPED_TRACE(std::string(route.method) + " " + route.path);
    const httplib::Result result = Send(*client, route, preflight);
    ASSERT_TRUE(result);
    for (const auto& [name, value] : result->headers)
      EXPECT_FALSE(name.starts_with("Access-Control-")) << name << ": " << value;
  }
}

// Catches a header line or a target beyond cpp-httplib's 8192-byte line limit being accepted.
TEST_F(DulHostTest, OversizedHeadersAndTargetsAreRefused) {
  Start();
  const std::string longText(9000, 'a');
  const httplib::Result header = client->Get("/dul-host/v1/status", {{"X-Padding", longText}});
  ASSERT_TRUE(header);
  EXPECT_EQ(header->status, 400);
  const httplib::Result target = client->Get("/dul-host/v1/status?" + longText);
  ASSERT_TRUE(target);
  EXPECT_EQ(target->status, 414);
}

// Catches a path segment that climbs out of the state directory (encoded or not) and lands a
// file there, or is answered as a success.
TEST_F(DulHostTest, PathsCannotLeaveTheStateDirectory) {
  Start();
  for (const std::string path : {"/dul-item-sets/v1/item-sets/..%2F..%2F..%2Fescape/sets",
                                 "/dul-item-sets/v1/item-sets/42/../../../../../escape",
                                 "/dul-item-sets/v1/item-sets/%2E%2E/%2E%2E/%2E%2E/escape/sets",
                                 "/dul-game-data/assets/v1/champions/..%2F..%2F..%2Fhost.json",
                                 "/dul-player-preferences/v1/preference/..%2F..%2F..%2Fescape"}) {
    SCOPED_TRACE(path);
    for (const char* method : {"GET", "PUT"}) {
      const httplib::Result result = Send(*client, {method, path}, {}, kDocument);
      ASSERT_TRUE(result);
      EXPECT_GE(result->status, 400) << method << " " << result->body;
    }
  }
  for (const fs::directory_entry& entry : fs::directory_iterator(tree.Root()))
    EXPECT_EQ(entry.path().filename(), "state");
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(tree.Root()))
    EXPECT_EQ(entry.path().filename().string().find("escape"), std::string::npos) << entry.path();
}

// Catches a listener reachable beyond 127.0.0.1, a host.json others may read, and the token
// leaking into what the host reports.
TEST_F(DulHostTest, TheHostIsReachableFromThisMachineOnlyAndKeepsItsTokenPrivate) {
  Start();
  EXPECT_TRUE(RawConnection(host->record().port, 5, "127.0.0.1").open());
  EXPECT_FALSE(RawConnection(host->record().port, 5, "127.0.0.2").open());
  const fs::perms permissions = fs::status(host->state() / "host.json").permissions();
  EXPECT_EQ(permissions, fs::perms::owner_read | fs::perms::owner_write);
  ASSERT_EQ(client->Put(kSets, kDocument, kJson)->status, 204);
  ASSERT_EQ(client->Post("/dul-host/v1/clock/advance", R"({"seconds":10})", kJson)->status, 200);
  for (const char* path : {"/dul-host/v1/status", "/telemetry/v1/events",
                           "/dul-player-preferences/v1/preference/ItemSets"}) {
    const httplib::Result result = client->Get(path);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->body.find(host->record().token), std::string::npos) << path;
  }
}

}  // namespace
}  // namespace dul::testing
