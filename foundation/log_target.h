// LogTarget: one destination of log records (a console, the host). The process-wide logger
// (foundation/logger.h) hands every record that passes its own filters to each attached target
// whose level and category masks accept it; the target then writes it.
//
//   auto target = std::make_unique<MyTarget>();
//   AttachLogTarget(target.get(), {kLogLevelOkay, 0, 0, kDefaultLogLineFormat});
//   ...                              // deleting the target detaches it first
//
// A target's configuration and its writes take the target's own lock. The logger calls Write with
// its own lock held, so a Write must not attach, detach or configure targets.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/clock.h"
#include "platform/mutex.h"

namespace dul {

// Levels, lowest first.
inline constexpr std::uint32_t kLogLevelOkay = 0;
inline constexpr std::uint32_t kLogLevelWarning = 1;
inline constexpr std::uint32_t kLogLevelError = 2;
inline constexpr std::uint32_t kLogLevelAlways = 3;

// Size of a formatted message and of a formatted line, terminator included.
inline constexpr std::size_t kLogLineBytes = 4096;

inline constexpr const char* kDefaultLogLineFormat = "#D| #L| #G| #M";

// One log call after formatting. The message is borrowed for the duration of the write.
struct LogRecord {
  platform::LocalTime time;
  std::uint32_t level = kLogLevelOkay;
  std::uint64_t categories = 0;  // bit i is category i of the category table
  const char* message = "";
};

// What a target accepts and how it lays out its lines.
struct LogTargetConfiguration {
  std::uint32_t minimumLevel = kLogLevelWarning;
  std::uint64_t includedCategories = 0;  // 0: every category
  std::uint64_t excludedCategories = 0;
  const char* lineFormat = kDefaultLogLineFormat;
};

class LogTarget;

// A target as a table of plain functions, for callers that reach targets without C++ calls.
struct LogTargetFunctions {
  std::uint32_t (*version)();
  void (*setMinimumLevel)(LogTarget* target, std::uint32_t level);
  std::uint32_t (*minimumLevel)(const LogTarget* target);
  void (*setCategoryMasks)(LogTarget* target, std::uint64_t included, std::uint64_t excluded);
  std::uint64_t (*includedCategories)(const LogTarget* target);
  std::uint64_t (*excludedCategories)(const LogTarget* target);
  const char* (*name)(const LogTarget* target);
  void (*attach)(LogTarget* target);
  void (*detach)(LogTarget* target);
  bool (*attached)(const LogTarget* target);
  bool (*write)(LogTarget* target, const LogRecord& record);  // calls the virtual Write
};

class LogTarget {
 public:
  LogTarget();
  // Detaches first. Classes that add state detach in their own destructor as well, so that no
  // record reaches a half-destroyed target.
  virtual ~LogTarget();
  LogTarget(const LogTarget&) = delete;
  LogTarget& operator=(const LogTarget&) = delete;

  // Removes the target from the logger's list; nothing happens when it is not attached.
  virtual void Detach();
  // The class name, which FindLogTarget compares.
  virtual const char* Name() const;
  // Lays the record out with this target's line format into `line` (see FormatLogLine);
  // returns the line's length.
  virtual std::size_t Format(const LogRecord& record, char* line, std::size_t capacity) const;
  // Writes the record; true when it was written. The base writes nothing.
  virtual bool Write(const LogRecord& record);

  // Attaches with the current configuration.
  void Attach();
  bool IsAttached() const { return attached_.load(std::memory_order_acquire); }

  void Configure(const LogTargetConfiguration& configuration);
  void SetMinimumLevel(std::uint32_t level);
  std::uint32_t MinimumLevel() const;
  // Stores the included mask without the excluded bits, and the excluded mask.
  void SetCategoryMasks(std::uint64_t included, std::uint64_t excluded);
  std::uint64_t IncludedCategories() const;
  std::uint64_t ExcludedCategories() const;
  std::string LineFormat() const;

  // Whether a record of this level and these categories passes this target's filters. A record
  // without categories passes every category filter.
  bool Accepts(std::uint32_t level, std::uint64_t categories) const;

  static const LogTargetFunctions& Functions();

 protected:
  // Held by Format and by configuration changes; derived writes take it around their output.
  platform::Mutex& lock() const { return lock_; }

 private:
  // The logger's target list sets the attached flag, under the logger's lock.
  friend class LogTargetList;

  mutable platform::Mutex lock_;
  std::atomic<bool> attached_{false};
  std::uint32_t minimumLevel_ = kLogLevelWarning;
  std::uint64_t includedCategories_ = 0;
  std::uint64_t excludedCategories_ = 0;
  std::string lineFormat_ = kDefaultLogLineFormat;
};

}  // namespace dul
