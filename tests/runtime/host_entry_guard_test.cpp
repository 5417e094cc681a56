#include "runtime/host_entry_guard.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "runtime/remoting_function.h"
#include "tests/support/hosted_plugin.h"

namespace dul {
namespace {

// Every way the host calls in throws: the endpoint, an event handler and a scheduled callback.
class ThrowingPlugin : public PluginBase {
 public:
  void RegisterApi() override {
    remoting().AddRoute("/boom", RequestMethod::kGet, MakeFunction("Boom", []() -> std::string {
                          throw std::runtime_error("request failed");
                        }));
  }
  bool OnInitialize() override {
    SubscribeEvent(
        "OnBoom", [](const DulHostEventRecord&) { throw std::runtime_error("event failed"); }, 0);
    scheduler().ScheduleAt(
        "Boom", [] { throw std::bad_alloc(); }, PluginScheduler::Now());
    return true;
  }
};

class ThrowingInitialize : public PluginBase {
 public:
  bool OnInitialize() override { throw std::runtime_error("initialize failed"); }
};

std::vector<std::string> ErrorLines(const host::HostRuntime& host) {
  std::vector<std::string> lines;
  for (const host::HostLogLine& line : host.logLines()) {
    if (line.level == kLogLevelError)
      lines.push_back(line.message);
  }
  return lines;
}

bool Logged(const host::HostRuntime& host, const std::string& text) {
  for (const std::string& line : ErrorLines(host)) {
    if (line.find(text) != std::string::npos)
      return true;
  }
  return false;
}

// Catches an exception of a request handler, an event handler or a scheduled callback unwinding
// into the host, a fault that is not logged, a failed entry that does not answer with
// its contract's failure value, and a scheduled entry kept after its callback threw.
TEST(HostEntryGuard, NoExceptionReachesTheHost) {
  testing::HostedPlugin<ThrowingPlugin> hosted;
  ASSERT_TRUE(hosted.started);
  hosted.host.PublishEvent("OnBoom", Zorv::BindingProperty());
  hosted.host.RunDue();
  EXPECT_EQ(hosted.host.PendingCallbackCount(), 0u);
  const host::PeerAnswer answer = hosted.host.CallPlugin({2, "GET", "/boom", "", "", ""});
  EXPECT_EQ(answer.status, 500u);
  EXPECT_EQ(answer.errorText, "Internal error");
  EXPECT_TRUE(Logged(hosted.host, "Exception in event delivery: event failed"));
  EXPECT_TRUE(Logged(hosted.host, "Exception in scheduled callback: std::bad_alloc"));
  EXPECT_TRUE(Logged(hosted.host, "Exception in dispatch: request failed"));
}

// Catches an initialize whose exception unwinds into the host instead of answering "failed".
TEST(HostEntryGuard, InitializeThatThrowsReportsFailure) {
  testing::HostedPlugin<ThrowingInitialize> refused;
  EXPECT_FALSE(refused.started);
  EXPECT_TRUE(Logged(refused.host, "Exception in initialize: initialize failed"));
}

}  // namespace
}  // namespace dul
