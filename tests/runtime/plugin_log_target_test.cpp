#include "runtime/plugin_log_target.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/foundation/log_test_support.h"

namespace dul {
namespace {

struct HostLogCall {
  const DulHostApi* api;
  std::uint32_t level;
  std::string message;
};

std::vector<HostLogCall>& HostLogCalls() {
  static std::vector<HostLogCall> calls;
  return calls;
}

void DUL_CALL RecordHostLog(const DulHostApi* api, std::uint32_t level, const char* message) {
  HostLogCalls().push_back({api, level, message});
}

class LogPluginTargetTest : public LoggerFixture {
 protected:
  void SetUp() override {
    LoggerFixture::SetUp();
    HostLogCalls().clear();
    api_.log = RecordHostLog;
  }

  DulHostApi api_{};
};

// Catches the setup leaving the console targets or the default filters in place, or handing the
// host a formatted line instead of the bare message.
TEST_F(LogPluginTargetTest, SetupRoutesRecordsToTheHost) {
  Log(0, 0, 0, "before the setup");
  const std::unique_ptr<PluginLogTarget> target = InstallPluginLogTarget(&api_);
  ASSERT_NE(target, nullptr);
  EXPECT_EQ(FindLogTarget("PluginLogTarget"), target.get());
  EXPECT_EQ(FindLogTarget("StdErrLogTarget"), nullptr);
  EXPECT_EQ(FindLogTarget("DebuggerConsoleLogTarget"), nullptr);
  EXPECT_EQ(target->MinimumLevel(), 0u);
  EXPECT_EQ(target->IncludedCategories(), 0u);
  EXPECT_EQ(target->ExcludedCategories(), 0u);
  EXPECT_EQ(target->LineFormat(), "#D| #L| #G| #M");

  Log(0, 0, 0, "okay %d", 1);
  Log(1, 4, 0, "extra detail");
  Log(2, 64, 0, "network down");
  ASSERT_EQ(HostLogCalls().size(), 2u);
  EXPECT_EQ(HostLogCalls()[0].api, &api_);
  EXPECT_EQ(HostLogCalls()[0].level, 0u);
  EXPECT_EQ(HostLogCalls()[0].message, "okay 1");
  EXPECT_EQ(HostLogCalls()[1].level, 2u);
  EXPECT_EQ(HostLogCalls()[1].message, "network down");
}

// Catches a second setup attaching a second host target (every line twice), and a deleted target
// blocking the next setup.
TEST_F(LogPluginTargetTest, SetupHappensOncePerAttachedTarget) {
  std::unique_ptr<PluginLogTarget> first = InstallPluginLogTarget(&api_);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(InstallPluginLogTarget(&api_), nullptr);
  Log(1, 0, 0, "once");
  EXPECT_EQ(HostLogCalls().size(), 1u);

  first.reset();
  const std::unique_ptr<PluginLogTarget> second = InstallPluginLogTarget(&api_);
  EXPECT_NE(second, nullptr);
}

// Catches a call through a missing host operation.
TEST_F(LogPluginTargetTest, HostWithoutLogOperation) {
  PluginLogTarget withoutHost(nullptr);
  const DulHostApi empty{};
  PluginLogTarget withoutLog(&empty);
  const LogRecord record{{}, 2, 0, "lost"};
  EXPECT_FALSE(withoutHost.Write(record));
  EXPECT_FALSE(withoutLog.Write(record));
}

}  // namespace
}  // namespace dul
