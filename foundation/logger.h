// The process-wide logger: every log call of the library goes through Log, which filters by level
// and category and hands the record to each attached LogTarget in attachment order.
//
//   AcquireLogger();                                  // e.g. in a plugin's constructor
//   Log(kLogLevelWarning, CategoryMask("NET"), 0, "retrying %s", url);
//   ReleaseLogger();                                  // the last release destroys the logger
//
// The logger exists while someone holds it; AcquireLogger creates it on the first hold and the
// last ReleaseLogger destroys it, leaving any target still attached detached. Every other call
// creates a missing logger, as Log does. A new logger has minimum level 1, excluded categories 4
// ("XTR"), and its stderr and debugger targets attached.
//
// Locks: the logger's lock, then a target's lock, never the other way round. A target's Write runs
// inside the logger's lock; a Log call made from inside a Write on the same thread is dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "foundation/log_target.h"
#include "platform/clock.h"

namespace dul {

inline constexpr std::uint32_t kLoggerVersion = 1;
inline constexpr std::size_t kMaxLogCategories = 64;

void AcquireLogger();
// An unmatched release (no hold left) does nothing.
void ReleaseLogger();
std::uint32_t LoggerHolderCount();

// Formats with printf rules (cut at kLogLineBytes - 1 characters) and dispatches. Dropped when the
// logger is disabled, the level is below the minimum level or the categories meet the excluded
// mask (low word: categories 0 to 31, high word: 32 to 63).
void Log(std::uint32_t level, std::uint32_t categoryLow, std::uint32_t categoryHigh,
         const char* format, ...) __attribute__((format(printf, 4, 5)));

void SetLogMinimumLevel(std::uint32_t level);
std::uint32_t LogMinimumLevel();
void SetLogExcludedCategories(std::uint32_t low, std::uint32_t high);
std::uint64_t LogExcludedCategories();
void DisableLogger();
void EnableLogger();

// Detaches the target, configures it and appends it to the logger's targets.
void AttachLogTarget(LogTarget* target, const LogTargetConfiguration& configuration);
// Appends the target with its current configuration; nothing happens when it is attached.
void AttachLogTarget(LogTarget* target);
void DetachLogTarget(LogTarget* target);
// The first attached target whose Name equals `name` exactly, or null. The pointer is valid only
// while the target stays attached.
LogTarget* FindLogTarget(const char* name);

// The logger's own console targets, valid while the logger exists.
LogTarget* LoggerStdOutTarget();
LogTarget* LoggerStdErrTarget();
LogTarget* LoggerDebuggerTarget();

// The bit of the category whose three-letter name matches the first three characters of `name`;
// an unknown name is added to the table. Once the table holds kMaxLogCategories names, an unknown
// name gets 0: its records count as uncategorised, so no category filter drops them.
std::uint64_t CategoryMask(const char* name);
// The name at `index` of the category table, "???" where the table holds none.
const char* CategoryName(std::size_t index);

// Lays the record out into `line` (at most `capacity` bytes, terminator included) by `format`:
// "#D" local time, "#E" executable name, "#G" category names joined by ";", "#H" seconds since
// the first use of the log clock, "#L" level text, "#M" message, "#T" thread id; "#" and any
// other character gives that character, and a "#" that ends the format gives nothing. The line
// ends with exactly one line feed; when it fills the buffer its last two bytes become the line
// feed and the terminator. Returns the line's length.
std::size_t FormatLogLine(const char* format, const LogRecord& record, char* line,
                          std::size_t capacity);

// Six characters: "  OKAY", "  WARN", " ERROR", "ALWAYS"; "  ????" for any other level.
const char* LogLevelText(std::uint32_t level);
// The executable's file name without directory; "<unknown>" until a logger has been created.
const char* ExecutableName();
platform::LocalTime LogLocalTime();
// "2024-03-05T07:08:09.012"
std::string TimestampText(const platform::LocalTime& time);
// "2024-03-05T07-08-09", usable in file names.
std::string FileNameTimestampText(const platform::LocalTime& time);

// The logger as a table of plain functions.
struct LoggerFunctions {
  std::uint32_t (*version)();
  void (*acquire)();
  void (*release)();
  void (*setMinimumLevel)(std::uint32_t level);
  std::uint32_t (*minimumLevel)();
  void (*setExcludedCategories)(std::uint32_t low, std::uint32_t high);
  std::uint64_t (*excludedCategories)();
  void (*disable)();
  void (*enable)();
  void (*attach)(LogTarget* target, const LogTargetConfiguration& configuration);
  void (*detach)(LogTarget* target);
  LogTarget* (*findTarget)(const char* name);
  LogTarget* (*stdOutTarget)();
  LogTarget* (*stdErrTarget)();
  LogTarget* (*debuggerTarget)();
  std::uint64_t (*categoryMask)(const char* name);
  const char* (*categoryName)(std::size_t index);
  std::size_t (*formatLine)(const char* format, const LogRecord& record, char* line,
                            std::size_t capacity);
  const char* (*levelText)(std::uint32_t level);
  const char* (*executableName)();
  platform::LocalTime (*localTime)();
  std::string (*timestampText)(const platform::LocalTime& time);
  std::string (*fileNameTimestampText)(const platform::LocalTime& time);
  void (*log)(std::uint32_t level, std::uint32_t categoryLow, std::uint32_t categoryHigh,
              const char* format, ...);
};

const LoggerFunctions& LoggerFunctionTable();

}  // namespace dul
