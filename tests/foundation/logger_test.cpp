#include "foundation/logger.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/process.h"
#include "tests/foundation/log_test_support.h"

namespace dul {
namespace {

using LogFilterTest = LoggerFixture;

// Catches records below the logger's or a target's minimum level getting through, or valid ones
// being dropped.
TEST_F(LogFilterTest, LevelsBelowEitherMinimumAreDropped) {
  struct Case {
    std::uint32_t loggerMinimum, targetMinimum, level;
    bool delivered;
  };
  const Case cases[] = {
      {1, 0, 0, false}, {1, 0, 1, true}, {0, 0, 0, true},
      {0, 2, 1, false}, {0, 2, 3, true}, {3, 0, 2, false},
  };
  for (const Case& c : cases) {
    CapturingLogTarget target;
    AttachAlone(target, {c.targetMinimum, 0, 0, "#M"});
    SetLogMinimumLevel(c.loggerMinimum);
    Log(c.level, 0, 0, "message");
    EXPECT_EQ(target.records.size(), c.delivered ? 1u : 0u)
        << "logger " << c.loggerMinimum << " target " << c.targetMinimum << " level " << c.level;
  }
}

// Catches category masks compared on one word only, included/excluded masks mixed up, or
// uncategorised records being filtered.
TEST_F(LogFilterTest, CategoryMasksOfLoggerAndTarget) {
  struct Case {
    std::uint64_t loggerExcluded, included, excluded, categories;
    bool delivered;
    const char* why;
  };
  const Case cases[] = {
      {4, 0, 0, 4, false, "the logger excludes XTR"},
      {4, 1, ~0ull, 0, true, "no categories passes every filter"},
      {0, 1, 0, 2, false, "outside the included mask"},
      {0, 1, 0, 3, true, "meets the included mask"},
      {0, 3, 2, 1, true, "included keeps its bits outside the excluded mask"},
      {0, 3, 2, 3, false, "excluded wins over included"},
      {1ull << 33, 0, 0, 1ull << 33, false, "the logger excludes by its high word"},
      {0, 0, 1ull << 40, 1ull << 40, false, "the target excludes by its high word"},
      {0, 1ull << 40, 0, 1ull << 40, true, "the target includes by its high word"},
  };
  for (const Case& c : cases) {
    CapturingLogTarget target;
    AttachAlone(target, {0, c.included, c.excluded, "#M"});
    SetLogExcludedCategories(static_cast<std::uint32_t>(c.loggerExcluded),
                             static_cast<std::uint32_t>(c.loggerExcluded >> 32));
    Log(1, static_cast<std::uint32_t>(c.categories), static_cast<std::uint32_t>(c.categories >> 32),
        "message");
    EXPECT_EQ(target.records.size(), c.delivered ? 1u : 0u) << c.why;
  }
}

// Catches the disabled flag being ignored or sticking after EnableLogger.
TEST_F(LogFilterTest, DisabledLoggerDropsEverything) {
  CapturingLogTarget target;
  AttachAlone(target, {0, 0, 0, "#M"});
  DisableLogger();
  Log(3, 0, 0, "dropped");
  EnableLogger();
  Log(3, 0, 0, "kept %d", 7);
  ASSERT_EQ(target.records.size(), 1u);
  EXPECT_EQ(target.records[0].message, "kept 7");
  EXPECT_EQ(target.records[0].level, 3u);
}

using LogTargetListTest = LoggerFixture;

// Catches a second attach adding the target twice, or ignoring the new configuration.
TEST_F(LogTargetListTest, ReattachingReconfiguresWithoutDuplicates) {
  CapturingLogTarget target;
  AttachAlone(target, {2, 0, 0, "#M"});
  AttachLogTarget(&target, {1, 0, 0, "#L"});
  Log(1, 0, 0, "once");
  EXPECT_EQ(target.records.size(), 1u);
  EXPECT_EQ(target.LineFormat(), "#L");
}

// Catches a deleted target staying in the list (a write to freed memory on the next log).
TEST_F(LogTargetListTest, DeletingATargetDetachesIt) {
  auto target = std::make_unique<CapturingLogTarget>();
  AttachLogTarget(target.get(), {0, 0, 0, "#M"});
  EXPECT_EQ(FindLogTarget("CapturingLogTarget"), target.get());
  target.reset();
  EXPECT_EQ(FindLogTarget("CapturingLogTarget"), nullptr);
  Log(3, 0, 0, "after the delete");
}

// Catches lookups that are not exact, case-sensitive, or that find detached targets.
TEST_F(LogTargetListTest, FindByExactName) {
  EXPECT_EQ(FindLogTarget("StdErrLogTarget"), LoggerStdErrTarget());
  EXPECT_EQ(FindLogTarget("DebuggerConsoleLogTarget"), LoggerDebuggerTarget());
  EXPECT_EQ(FindLogTarget("StdOutLogTarget"), nullptr);
  EXPECT_EQ(FindLogTarget("stderrlogtarget"), nullptr);
  EXPECT_EQ(FindLogTarget("StdErr"), nullptr);
  EXPECT_EQ(FindLogTarget(nullptr), nullptr);
}

// Catches the last release leaving targets marked attached to a destroyed logger, an unmatched
// release underflowing the count, or a new logger not starting from the defaults.
TEST_F(LogTargetListTest, LastReleaseDestroysTheLogger) {
  if (LoggerHolderCount() != 1)
    GTEST_SKIP() << "another holder keeps the logger alive";
  CapturingLogTarget target;
  AttachLogTarget(&target, {0, 0, 0, "#M"});
  SetLogMinimumLevel(3);
  ReleaseLogger();
  EXPECT_FALSE(target.IsAttached());
  ReleaseLogger();
  EXPECT_EQ(LoggerHolderCount(), 0u);
  AcquireLogger();
  EXPECT_EQ(LoggerHolderCount(), 1u);
  EXPECT_EQ(LogMinimumLevel(), 1u);
  EXPECT_EQ(LogExcludedCategories(), 4u);
  EXPECT_NE(FindLogTarget("StdErrLogTarget"), nullptr);
}

// Catches a deadlock when a target's write logs (the logger's lock is not recursive).
TEST_F(LogTargetListTest, LoggingFromInsideAWriteIsDropped) {
  class EchoingTarget final : public LogTarget {
   public:
    ~EchoingTarget() override { Detach(); }
    bool Write(const LogRecord&) override {
      ++writes;
      Log(3, 0, 0, "echo");
      return true;
    }
    int writes = 0;
  } target;
  AttachAlone(target, {0, 0, 0, "#M"});
  Log(3, 0, 0, "first");
  EXPECT_EQ(target.writes, 1);
}

// Catches the console targets' masks being swapped: DBG goes to stderr, GEN to stdout.
TEST_F(LogTargetListTest, ConsoleTargetsSplitByCategory) {
  LoggerStdOutTarget()->Attach();
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  Log(2, 1, 0, "to stderr");
  Log(2, 2, 0, "to stdout");
  std::fflush(stdout);
  const std::string out = ::testing::internal::GetCapturedStdout();
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(out, "to stdout\n");
  EXPECT_EQ(err.find("to stdout"), std::string::npos);
  EXPECT_NE(err.find(std::string(ExecutableName()) + "("), std::string::npos) << err;
  EXPECT_NE(err.find("):  ERROR| to stderr\n"), std::string::npos) << err;
}

std::string FormatLine(const char* format, const LogRecord& record) {
  char line[kLogLineBytes];
  const std::size_t length = FormatLogLine(format, record, line, sizeof line);
  EXPECT_EQ(length, std::strlen(line));
  return line;
}

// Catches wrong fields, escapes, level texts or line-feed handling in the line layout.
TEST(LogLineFormatTest, FieldsEscapesAndLineFeed) {
  struct Case {
    const char* format;
    std::uint32_t level;
    std::uint64_t categories;
    const char* message;
    const char* expected;
  };
  const Case cases[] = {
      {"#D| #L| #G| #M", 1, 65, "hello", "2024-03-05T07:08:09.012|   WARN| DBG;NET| hello\n"},
      {"a##b", 0, 0, "", "a#b\n"},
      {"#Q#M", 0, 0, "x", "Qx\n"},
      {"end#", 0, 0, "", "end\n"},
      {"#M", 0, 0, "line\n", "line\n"},
      {"#M", 0, 0, "#L is not expanded", "#L is not expanded\n"},
      {"", 0, 0, "", "\n"},
      {"[#G]", 0, 0, "", "[]\n"},
      {"#G", 0, 4 | 8 | 128, "", "XTR;PRF;TST\n"},
      {"#L", 0, 0, "", "  OKAY\n"},
      {"#L", 2, 0, "", " ERROR\n"},
      {"#L", 3, 0, "", "ALWAYS\n"},
      {"#L", 9, 0, "", "  ????\n"},
  };
  for (const Case& c : cases) {
    const LogRecord record{{2024, 3, 5, 7, 8, 9, 12}, c.level, c.categories, c.message};
    EXPECT_EQ(FormatLine(c.format, record), c.expected) << "format: " << c.format;
  }
}

// Catches an over-long line written past the buffer or left without its line feed.
TEST(LogLineFormatTest, LongLinesAreCutInsideTheBuffer) {
  struct Case {
    std::size_t messageLength, lineLength;
  };
  const Case cases[] = {{4093, 4094}, {4094, 4095}, {4095, 4095}, {5000, 4095}};
  for (const Case& c : cases) {
    const std::string message(c.messageLength, 'x');
    std::vector<char> buffer(kLogLineBytes + 16, '@');
    const LogRecord record{{}, 0, 0, message.c_str()};
    const std::size_t length = FormatLogLine("#M", record, buffer.data(), kLogLineBytes);
    EXPECT_EQ(length, c.lineLength) << c.messageLength;
    EXPECT_EQ(buffer[length - 1], '\n');
    EXPECT_EQ(buffer[length], '\0');
    EXPECT_EQ(buffer[kLogLineBytes], '@') << "wrote past the buffer";
  }
  char tiny[2] = {'@', '@'};
  EXPECT_EQ(FormatLogLine("abc", LogRecord{}, tiny, sizeof tiny), 1u);
  EXPECT_STREQ(tiny, "\n");
}

using LogMessageTest = LoggerFixture;

// Catches a long printf message overflowing the message buffer instead of being cut.
TEST_F(LogMessageTest, LongMessagesAreCut) {
  CapturingLogTarget target;
  AttachAlone(target, {0, 0, 0, "#M"});
  const std::string text(6000, 'y');
  Log(1, 0, 0, "%s", text.c_str());
  ASSERT_EQ(target.records.size(), 1u);
  EXPECT_EQ(target.records[0].message, text.substr(0, kLogLineBytes - 1));
}

// Catches the executable name keeping its directory, and a malformed clock or thread field.
TEST_F(LogMessageTest, ProcessFields) {
  EXPECT_STREQ(ExecutableName(), DUL_TEST_EXECUTABLE_NAME);
  const std::string hours = FormatLine("#H", LogRecord{});
  ASSERT_EQ(hours.size(), 11u) << hours;
  for (std::size_t i : {0, 1, 2, 3, 4, 5, 7, 8, 9})
    EXPECT_TRUE(std::isdigit(hours[i])) << hours;
  EXPECT_EQ(hours[6], '.');
  // "%p" is hexadecimal on every C runtime; only the "0x" prefix and the padding differ.
  const std::string thread = FormatLine("#T", LogRecord{});
  char* end = nullptr;
  const unsigned long long id = std::strtoull(thread.c_str(), &end, 16);
  EXPECT_EQ(id, platform::CurrentThreadId()) << thread;
  EXPECT_STREQ(end, "\n") << thread;
}

// Catches timestamp fields in the wrong order or without their zero padding.
TEST(LogTimestampTest, Texts) {
  const platform::LocalTime time{987, 3, 5, 7, 8, 9, 12};
  EXPECT_EQ(TimestampText(time), "0987-03-05T07:08:09.012");
  EXPECT_EQ(FileNameTimestampText(time), "0987-03-05T07-08-09");
}

// Catches names compared beyond three letters, new names not appended, or a name appended twice.
TEST(LogCategoryTest, MaskByName) {
  const std::uint64_t abc = CategoryMask("ABC");
  EXPECT_EQ(abc, 1ull << 8);
  struct Case {
    const char* name;
    std::uint64_t mask;
  };
  const Case cases[] = {{"DBG", 1},   {"NETWORK", 1ull << 6}, {"TST", 1ull << 7},
                        {"ABC", abc}, {"ABCDEF", abc},        {"XTRA", 4}};
  for (const Case& c : cases)
    EXPECT_EQ(CategoryMask(c.name), c.mask) << c.name;
  EXPECT_STREQ(CategoryName(8), "ABC");
  EXPECT_STREQ(CategoryName(kMaxLogCategories - 1), "???");
  EXPECT_EQ(CategoryMask(nullptr), 0u);
}

// Catches a full category table handing out bits past 63 (undefined shifts) or reusing bits.
TEST(LogCategoryDeathTest, FullTableGivesNoCategory) {
  // In a child process: the table is process-wide and never shrinks.
  EXPECT_EXIT(
      {
        std::uint64_t used = 0;
        for (std::size_t i = 0; i < kMaxLogCategories; ++i) {
          if (std::strcmp(CategoryName(i), "???") != 0)
            used |= 1ull << i;
        }
        std::uint64_t seen = 0;
        bool distinct = true;
        for (int i = 0; i < 100; ++i) {
          char name[8];
          std::snprintf(name, sizeof name, "Q%d", i);
          const std::uint64_t mask = CategoryMask(name);
          if (mask != 0 && ((seen | used) & mask) != 0)
            distinct = false;
          seen |= mask;
        }
        const bool ok = distinct && (seen | used) == ~0ull && CategoryMask("Q99x") == 0 &&
                        CategoryMask("NET") == (1ull << 6);
        std::exit(ok ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace dul
