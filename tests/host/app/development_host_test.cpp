// DevelopmentHost with the real plugin library and services that record the threads they run on.
#include "host/app/development_host.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "host/app/state_directory.h"
#include "tests/support/temporary_tree.h"

namespace dul::host {
namespace {

using namespace std::chrono_literals;

// Records the thread of every call the host makes into the services, the plugin's requests to
// them included, and schedules one callback (as the plugin would) once initialize has returned.
class RecordingServices final : public PlatformServices {
 public:
  explicit RecordingServices(double callbackDelay) : callbackDelay_(callbackDelay) {}

  Outcome Install(HostRuntime& runtime) override {
    Record();
    runtime_ = &runtime;
    auto session = std::make_shared<ScriptedPeer>([this](const PeerRequest&) {
      Record();
      return PeerAnswer::Json(R"({"state":"SUCCEEDED","accountId":5,"summonerId":6})");
    });
    runtime.AddPeer("/dul-login/", session);
    return Outcome::Ok();
  }
  void AfterInitialize() override {
    Record();
    const DulHostInterface link = runtime_->Interface();
    link.api->schedule(link.api, "recording.tick", &Tick, this, callbackDelay_, 0);
  }
  PeerAnswer Answer(const PeerRequest& request) override {
    Record();
    return PeerAnswer::Json("\"service saw " + request.path + "\"");
  }
  PeerAnswer SetFaultRules(const Zorv::BindingProperty&) override { return PeerAnswer{}; }
  Zorv::BindingProperty ListFaultRules() override { return Zorv::BindingProperty(); }
  void ClearFaultRules() override {}

  std::set<std::thread::id> threads() {
    std::lock_guard lock(mutex_);
    return threads_;
  }
  std::atomic<int> ticks = 0;

 private:
  static void DUL_CALL Tick(void* self) {
    static_cast<RecordingServices*>(self)->Record();
    static_cast<RecordingServices*>(self)->ticks++;
  }
  void Record() {
    std::lock_guard lock(mutex_);
    threads_.insert(std::this_thread::get_id());
  }

  double callbackDelay_;
  HostRuntime* runtime_ = nullptr;
  std::mutex mutex_;
  std::set<std::thread::id> threads_;
};

// The plugin in an installed tree of its own, so its files stay out of the build directory.
class DevelopmentHostTest : public ::testing::Test {
 protected:
  void Start(ClockKind clock, double callbackDelay, std::string plugin = DUL_PLUGIN_LIBRARY) {
    ASSERT_TRUE(state.Prepare(tree.Path("state")));
    tree.Enter("state/install/Client");
    HostOptions options;
    options.pluginPath = std::move(plugin);
    options.clock = clock;
    auto recording = std::make_unique<RecordingServices>(callbackDelay);
    services = recording.get();
    host = std::make_unique<DevelopmentHost>(options, std::move(recording), journal);
    started = host->Start();
  }
  PeerAnswer Get(const std::string& path) {
    PeerRequest request;
    request.method = 2;
    request.methodName = "GET";
    request.path = path;
    return host->Handle(request);
  }

  testing::TemporaryTree tree;
  StateDirectory state;
  EventJournal journal;
  RecordingServices* services = nullptr;
  std::unique_ptr<DevelopmentHost> host;
  Outcome started = Outcome::Failed("not started");
};

// Catches a plugin or service call made on an HTTP thread instead of the loop (two threads in
// the plugin at once), and a request that reaches the wrong side: plugin or services.
TEST_F(DevelopmentHostTest, EveryCallRunsOnTheLoopThread) {
  Start(ClockKind::kReal, 0.0);
  ASSERT_TRUE(started.ok()) << started.message();
  std::vector<std::thread> callers;
  std::atomic<int> wrong = 0;
  for (int i = 0; i < 4; ++i) {
    callers.emplace_back([&] {
      for (int j = 0; j < 25; ++j) {
        const PeerAnswer plugin = Get("/dul-item-sets/v1/item-sets/42/sets");
        const PeerAnswer service = Get("/dul-platform-config/v1/namespaces/ItemSets");
        wrong += plugin.status != 200 || !plugin.body || !plugin.body->Contains("itemSets");
        wrong += !service.body ||
                 service.body->GetString() !=
                     "service saw " + std::string("/dul-platform-config/v1/namespaces/ItemSets");
      }
    });
  }
  for (std::thread& caller : callers)
    caller.join();
  for (int i = 0; i < 1000 && services->ticks == 0; ++i)
    std::this_thread::sleep_for(1ms);
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(services->ticks.load(), 1);
  const std::set<std::thread::id> threads = services->threads();
  ASSERT_EQ(threads.size(), 1u);
  EXPECT_NE(*threads.begin(), std::this_thread::get_id());
  EXPECT_EQ(host->pluginTiming().calls, 100u);
}

// Catches a real-clock loop that runs a due callback only when a request happens to arrive.
TEST_F(DevelopmentHostTest, RealClockRunsCallbacksWhenTheyFallDue) {
  Start(ClockKind::kReal, 0.2);
  ASSERT_TRUE(started.ok()) << started.message();
  const auto start = std::chrono::steady_clock::now();
  while (services->ticks == 0 && std::chrono::steady_clock::now() - start < 5s)
    std::this_thread::sleep_for(1ms);
  EXPECT_EQ(services->ticks.load(), 1);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 150ms);
}

// Catches a virtual clock that moves by itself or runs callbacks early, an advance answered
// before its callbacks ran, and steps that are not a number or infinite accepted.
TEST_F(DevelopmentHostTest, VirtualClockMovesOnlyOnAdvance) {
  Start(ClockKind::kVirtual, 5.0);
  ASSERT_TRUE(started.ok()) << started.message();
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(services->ticks.load(), 0);
  PeerAnswer answer = host->Advance(4.5);
  ASSERT_EQ(answer.status, 200u);
  EXPECT_EQ(answer.body->Find("callbacksRun").GetUnsigned(9), 0u);
  answer = host->Advance(0.5);
  EXPECT_EQ(answer.body->Find("callbacksRun").GetUnsigned(9), 1u);
  EXPECT_EQ(answer.body->Find("clockSeconds").GetDouble(0), 5.0);
  EXPECT_EQ(services->ticks.load(), 1);
  // Steps out of range over HTTP are the end-to-end tests' part; these two JSON cannot carry.
  for (const double bad : {std::nan(""), std::numeric_limits<double>::infinity()})
    EXPECT_EQ(host->Advance(bad).status, 400u) << bad;
}

// Catches a virtual clock that holds work due now until the first advance, so that requests are
// served before it, unlike on the platform.
TEST_F(DevelopmentHostTest, VirtualClockRunsWhatIsDueNowBeforeTheNextRequest) {
  Start(ClockKind::kVirtual, 0.0);
  ASSERT_TRUE(started.ok()) << started.message();
  Get("/dul-platform-config/v1/namespaces/ItemSets");
  EXPECT_EQ(services->ticks.load(), 1);
  EXPECT_EQ(host->Advance(0.0).body->Find("callbacksRun").GetUnsigned(9), 0u);
}

// Catches a status without the plugin's names and version or its six memory counters, and
// requests still served (into a destroyed plugin) after Stop.
TEST_F(DevelopmentHostTest, StatusThenStop) {
  Start(ClockKind::kVirtual, 1.0);
  ASSERT_TRUE(started.ok()) << started.message();
  const PeerAnswer status = host->Status();
  ASSERT_TRUE(status.body);
  const Zorv::BindingProperty& plugin = status.body->Find("plugin");
  EXPECT_EQ(plugin.Find("name").GetString(), "dul-item-sets");
  EXPECT_EQ(plugin.Find("fullName").GetString(), "pxm-be-dul-item-sets");
  EXPECT_EQ(plugin.Find("apiVersion").GetString(), "18.0.0");
  EXPECT_EQ(status.body->Find("memory").Size(), 6u);
  EXPECT_GT(status.body->Find("memory").Find("allocations").GetUnsigned(0), 0u);
  EXPECT_EQ(status.body->Find("pendingCallbacks").GetUnsigned(9), 1u);
  EXPECT_GE(status.body->Find("uptimeSeconds").GetDouble(-1), 0.0);
  host->Stop();
  EXPECT_TRUE(host->WaitUntilStopped(0.0));
  EXPECT_EQ(Get("/dul-item-sets/v1/item-sets/42/sets").status, 503u);
  EXPECT_EQ(host->Status().status, 503u);
  host->Stop();
}

// Catches a missing library taken for a started plugin, or a crash on the way out after it.
TEST_F(DevelopmentHostTest, MissingLibraryIsReported) {
  Start(ClockKind::kVirtual, 1.0, tree.Path("nothing.so"));
  ASSERT_FALSE(started.ok());
  EXPECT_NE(started.message().find("nothing.so"), std::string::npos) << started.message();
  EXPECT_EQ(Get("/dul-item-sets/v1/item-sets/42/sets").status, 503u);
}

}  // namespace
}  // namespace dul::host
