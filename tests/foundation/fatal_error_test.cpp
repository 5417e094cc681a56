#include "foundation/fatal_error.h"

#include <gtest/gtest.h>

#include <string>

#include "foundation/log_target.h"
#include "tests/foundation/log_test_support.h"

namespace dul {
namespace {

// Catches missing, misordered or wrongly separated parts of the report.
TEST(LogFatalErrorTest, ReportText) {
  struct Case {
    const char *expression, *description, *file;
    int line;
    const char* function;
    const char* expected;
  };
  const Case cases[] = {
      {"ALE-EECF0606", "", "", 0, "", "Assertion failed!\n\nExpression: ALE-EECF0606"},
      {"ALE-8B4DC795", nullptr, nullptr, 0, nullptr,
       "Assertion failed!\n\nExpression: ALE-8B4DC795"},
      {"x > 0", "must be positive", "a.cpp", 12, "Run",
       "Assertion failed!\n\nFile: a.cpp\nLine: 12\n\nFunction: Run\n\nExpression: x > 0\n\n"
       "Description: must be positive"},
      {"e", "", "", -3, "", "Assertion failed!\n\nLine: -3\n\nExpression: e"},
  };
  for (const Case& c : cases) {
    char text[kLogLineBytes];
    const std::size_t length = FormatFatalErrorText(text, sizeof text, c.expression, c.description,
                                                    c.file, c.line, c.function);
    EXPECT_STREQ(text, c.expected);
    EXPECT_EQ(length, std::string(c.expected).size());
  }
}

// Catches a long description written past the report buffer.
TEST(LogFatalErrorTest, LongReportIsCut) {
  const std::string description(5000, 'd');
  char text[64];
  const std::size_t length =
      FormatFatalErrorText(text, sizeof text, "e", description.c_str(), "", 0, "");
  EXPECT_EQ(length, sizeof text - 1);
  EXPECT_EQ(std::string(text).size(), sizeof text - 1);
}

using LogFatalErrorDeathTest = LoggerFixture;

// Catches the report not reaching the default stderr target, or the process going on after it.
TEST_F(LogFatalErrorDeathTest, ReportsOnStderrAndEnds) {
  EXPECT_DEATH(FatalError("ALE-EECF0606", "", "", 0, ""),
               " ERROR\\| Assertion failed!\n\nExpression: ALE-EECF0606\n");
}

}  // namespace
}  // namespace dul
