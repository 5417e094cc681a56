// Helpers for logging tests: a target that keeps what it is given, and a fixture that holds a
// fresh logger for each test.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/log_target.h"
#include "foundation/logger.h"

namespace dul {

struct CapturedRecord {
  std::uint32_t level;
  std::uint64_t categories;
  std::string message;
};

class CapturingLogTarget final : public LogTarget {
 public:
  ~CapturingLogTarget() override { Detach(); }
  const char* Name() const override { return "CapturingLogTarget"; }
  bool Write(const LogRecord& record) override {
    records.push_back({record.level, record.categories, record.message});
    return true;
  }

  std::vector<CapturedRecord> records;
};

// Holds the logger for the test; when no one else holds it, each test starts from a new one.
class LoggerFixture : public ::testing::Test {
 protected:
  void SetUp() override { AcquireLogger(); }
  void TearDown() override { ReleaseLogger(); }

  // Keeps the console quiet and leaves `target` as the only one attached.
  static void AttachAlone(LogTarget& target, const LogTargetConfiguration& configuration) {
    for (LogTarget* console : {LoggerStdOutTarget(), LoggerStdErrTarget(), LoggerDebuggerTarget()})
      console->Detach();
    AttachLogTarget(&target, configuration);
  }
};

}  // namespace dul
