// dul-host's event stream, clock, shutdown and start-up refusals, driven from outside.
#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "tests/support/dul_host_process.h"

namespace dul::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

bool HasEvents(const std::string& text, std::size_t count) {
  return StreamMessages(text).size() >= count;
}

// Catches events without increasing ids or under the wrong name, data not in the resource-event
// shape, a stream that does not resume after the last id seen, and events a reader missed.
TEST_F(DulHostTest, EventStreamCarriesEveryPublishedEvent) {
  Start();
  // 0 is no id of this run: the reset comes first, then the whole backlog.
  const std::string all =
      ReadStream(*host, {{"Last-Event-ID", "0"}}, [](auto& t) { return HasEvents(t, 2); });
  EXPECT_TRUE(all.starts_with(": dul-host events\n\nevent: reset\n")) << all;
  const std::vector<StreamMessage> start = StreamMessages(all);
  ASSERT_EQ(start.size(), 2u);
  EXPECT_GT(start[1].id, start[0].id);
  EXPECT_EQ(start[0].event, "OnJsonApiEvent_dul-player-preferences_v1_player-preferences-ready");
  EXPECT_EQ(start[0].data.Find("eventType").GetString(), "Update");
  EXPECT_EQ(start[0].data.Find("data").GetBool(false), true);
  EXPECT_EQ(start[1].event, "OnJsonApiEvent");

  std::atomic<bool> open = false;
  std::string live;
  std::thread reader([&] {
    live = ReadStream(*host, {}, [&](const std::string& text) {
      open = true;
      return HasEvents(text, 2);
    });
  });
  while (!open)
    std::this_thread::sleep_for(1ms);
  ASSERT_EQ(client->Put(kSets, kDocument, kJson)->status, 204);
  reader.join();
  const std::vector<StreamMessage> changes = StreamMessages(live);
  ASSERT_EQ(changes.size(), 2u) << live;
  // Ids only grow: the host's own reports, which readers here skip, take ids between them.
  EXPECT_GT(changes[0].id, start[1].id);
  EXPECT_GT(changes[1].id, changes[0].id);
  EXPECT_EQ(changes[0].event, "OnJsonApiEvent_dul-item-sets_v1_item-sets");
  EXPECT_EQ(changes[1].event, "OnJsonApiEvent");
  EXPECT_EQ(changes[0].data.Find("uri").GetString(), kSets);
  EXPECT_EQ(changes[0].data.Find("eventType").GetString(), "Update");
  EXPECT_EQ(changes[0].data.Find("data").Find("itemSets").At(0).Find("title").GetString(),
            "Jungle");

  const std::string resumed = ReadStream(*host, {{"Last-Event-ID", std::to_string(changes[0].id)}},
                                         [](auto& t) { return HasEvents(t, 1); });
  EXPECT_EQ(resumed.find("event: reset"), std::string::npos);
  ASSERT_EQ(StreamMessages(resumed).size(), 1u);
  EXPECT_EQ(StreamMessages(resumed)[0].id, changes[1].id);
}

// Catches a host killed (SIGPIPE) or stuck when an event-stream client goes away.
TEST_F(DulHostTest, ClientsThatLeaveTheStreamDoNotHarmTheHost) {
  Start();
  ReadStream(*host, {}, [](const std::string& text) { return !text.empty(); });
  ASSERT_EQ(client->Put(kSets, kDocument, kJson)->status, 204);
  std::this_thread::sleep_for(1200ms);  // the stream writes the event into the closed socket
  ASSERT_EQ(client->Put(kSets, kDocument, kJson)->status, 204);
  EXPECT_EQ(client->Get("/dul-host/v1/status")->status, 200);
  EXPECT_EQ(host->process().Wait(0.0), std::nullopt);
}

// Catches a virtual clock that does not move, or moves by a step out of range, and a real clock
// that claims to have been moved.
TEST_F(DulHostTest, ClockAdvanceMovesOnlyTheVirtualClock) {
  Start();
  const char* kAdvance = "/dul-host/v1/clock/advance";
  httplib::Result result = client->Post(kAdvance, R"({"seconds": 0})", kJson);
  ASSERT_EQ(result->status, 200);
  EXPECT_EQ(Json(result->body).Find("clockSeconds").GetDouble(-1), 0.0);
  result = client->Post(kAdvance, R"({"seconds": 1.5})", kJson);
  EXPECT_EQ(Json(result->body).Find("clockSeconds").GetDouble(-1), 1.5);
  ExpectError(client->Post(kAdvance, R"({"seconds": -1})", kJson), 400, "seconds");
  ExpectError(client->Post(kAdvance, R"({"seconds": 1e300})", kJson), 400, "seconds");

  DulHostProcess real(tree.Root() / "real", {});
  ExpectError(real.Client()->Post(kAdvance, R"({"seconds": 1})", kJson), 400, "--clock virtual");
}

// Catches a shutdown that leaves host.json behind, a half-written file, a failing exit code, or
// a restart that loses the stored sets; and event ids that begin again after a restart, so that
// a reader resuming with the earlier run's id waits in silence instead of being told.
TEST_F(DulHostTest, ShutdownDestroysThePluginAndKeepsTheState) {
  Start();
  ASSERT_EQ(client->Put(kSets, kDocument, kJson)->status, 204);
  const auto newestId = [&] {
    const std::vector<StreamMessage> messages = StreamMessages(
        ReadStream(*host, {{"Last-Event-ID", "0"}}, [](auto& t) { return HasEvents(t, 2); }));
    return messages.empty() ? 0 : messages.back().id;
  };
  const std::uint64_t earlierRun = newestId();
  const httplib::Result shutdown = client->Post("/dul-host/v1/shutdown");
  ASSERT_TRUE(shutdown);
  EXPECT_EQ(shutdown->status, 200) << shutdown->body;
  EXPECT_EQ(host->WaitForExit(), 0);
  EXPECT_FALSE(fs::exists(host->state() / "host.json"));
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(host->state()))
    EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
  const Zorv::BindingProperty cached =
      Json(ReadFileText(host->configDirectory() / "ItemSets.json"));
  EXPECT_EQ(cached.Find("itemSets").At(0).Find("title").GetString(), "Jungle");

  Start();
  EXPECT_EQ(Json(GetSets()).Find("itemSets").At(0).Find("title").GetString(), "Jungle");
  EXPECT_GT(newestId(), earlierRun);
  const std::string resumed =
      ReadStream(*host, {{"Last-Event-ID", std::to_string(earlierRun)}},
                 [](const std::string& t) { return t.find("event: reset") != std::string::npos; });
  EXPECT_NE(resumed.find("event: reset"), std::string::npos) << resumed;
}

// Catches SIGTERM ending the process at once instead of in order.
TEST_F(DulHostTest, SigtermShutsDownInOrder) {
  Start();
  ASSERT_TRUE(host->process().RequestStop());
  EXPECT_EQ(host->WaitForExit(), 0);
  EXPECT_FALSE(fs::exists(host->state() / "host.json"));
}

// Catches a second host let into a state directory in use (overwriting the first's host.json),
// or one that cannot have its port starting anyway.
TEST_F(DulHostTest, ASecondHostIsRefusedTheStateOrThePort) {
  Start();
  DulHostProcess second(host->state(), {"--clock", "virtual"}, false);
  EXPECT_EQ(second.WaitForExit(), 1);
  EXPECT_NE(second.output().find("(pid " + std::to_string(host->process().processId()) + ")"),
            std::string::npos)
      << second.output();
  DulHostProcess samePort(tree.Root() / "other", {"--port", std::to_string(host->record().port)},
                          false);
  EXPECT_EQ(samePort.WaitForExit(), 1);
  EXPECT_NE(samePort.output().find("Address already in use"), std::string::npos);
  EXPECT_NE(samePort.output().find("try --port 0"), std::string::npos) << samePort.output();
  EXPECT_FALSE(fs::exists(tree.Root() / "other"));  // a refused start creates nothing
  const auto record = host::HostRecord::FromJson(ReadFileText(host->state() / "host.json"));
  ASSERT_TRUE(record);
  EXPECT_EQ(record->pid, host->process().processId());
  EXPECT_EQ(client->Get(kSets)->status, 200);
}

// Catches bad command lines or a missing library that start a host anyway, end with the wrong
// exit code or leave a state directory behind; and a --version that does not name both sides.
TEST(DulHostStartTest, RefusesToStartWithoutWhatItNeeds) {
  TemporaryTree tree;
  const struct {
    std::vector<std::string> arguments;
    int exitCode;  // -1: any failure
  } cases[] = {
      {{"--port", "http"}, 2},
      {{"--clock", "sundial"}, 2},
      {{"--frobnicate"}, 2},
      {{"--help"}, 0},
      {{"--version"}, 0},
      {{"--plugin", tree.Path("missing.so")}, 1},
      {{"--api-version", "19.0.0"}, -1},  // the plugin's own refusal ends the process
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments[0]);
    DulHostProcess process(tree.Root() / "state", c.arguments, false);
    const std::optional<int> exitCode = process.WaitForExit();
    ASSERT_TRUE(exitCode);
    if (c.exitCode >= 0)
      EXPECT_EQ(*exitCode, c.exitCode);
    else
      EXPECT_NE(*exitCode, 0);
    EXPECT_FALSE(fs::exists(tree.Root() / "state/host.json"));
    // The plugin's own refusal of the API version comes when it is loaded, into a made state.
    if (c.arguments[0] != "--api-version") {
      EXPECT_FALSE(fs::exists(tree.Root() / "state"));
    }
    if (c.arguments[0] == "--version") {
      EXPECT_NE(process.output().find("plugin pxm-be-dul-item-sets, API 18.0.0"),
                std::string::npos);
    }
  }
}

}  // namespace
}  // namespace dul::testing
