#include "foundation/logger.h"

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "foundation/console_log_targets.h"
#include "platform/mutex.h"
#include "platform/process.h"

namespace dul {

// The logger's attached targets in attachment order. Only this list sets a target's attached
// flag, always under the logger's lock.
class LogTargetList {
 public:
  void Append(LogTarget* target) {
    if (target->IsAttached())
      return;
    targets_.push_back(target);
    target->attached_.store(true, std::memory_order_release);
  }

  void Remove(LogTarget* target) {
    std::erase(targets_, target);
    target->attached_.store(false, std::memory_order_release);
  }

  void DetachAll() {
    for (LogTarget* target : targets_)
      target->attached_.store(false, std::memory_order_release);
    targets_.clear();
  }

  auto begin() const { return targets_.begin(); }
  auto end() const { return targets_.end(); }

 private:
  std::vector<LogTarget*> targets_;
};

namespace {

constexpr const char* kConsoleLineFormat = "#E(#T): #L| #M";
constexpr std::uint64_t kDefaultExcludedCategories = 4;  // "XTR"

struct Logger {
  Logger();

  bool Accepts(std::uint32_t level, std::uint64_t categories) const {
    return !disabled && level >= minimumLevel && (categories & excludedCategories) == 0;
  }

  bool disabled = false;
  std::uint32_t minimumLevel = kLogLevelWarning;
  std::uint64_t excludedCategories = kDefaultExcludedCategories;
  LogTargetList targets;
  StdErrLogTarget stdErr;
  StdOutLogTarget stdOut;
  DebuggerConsoleLogTarget debugger;
};

// Never destroyed, so that a log call during static destruction still finds a working lock.
platform::Mutex& LoggerLock() {
  alignas(platform::Mutex) static unsigned char storage[sizeof(platform::Mutex)];
  static platform::Mutex* const mutex = new (storage) platform::Mutex;
  return *mutex;
}

platform::Mutex& CategoryLock() {
  alignas(platform::Mutex) static unsigned char storage[sizeof(platform::Mutex)];
  static platform::Mutex* const mutex = new (storage) platform::Mutex;
  return *mutex;
}

Logger* g_logger = nullptr;  // guarded by LoggerLock()
std::atomic<std::uint32_t> g_holders{0};
// Set while this thread runs target writes: a log call from inside a write is dropped rather
// than deadlocking on the logger's lock.
thread_local bool t_dispatching = false;

char g_executableName[256] = "<unknown>";
std::atomic<bool> g_executableNameKnown{false};

// Called under the logger's lock, so there is never more than one writer.
void ReadExecutableNameOnce() {
  if (g_executableNameKnown.load(std::memory_order_acquire))
    return;
  const std::string path = platform::ExecutableFileName();
  if (path.empty())
    return;
  const std::size_t slash = path.find_last_of("/\\");
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::size_t length = std::min(name.size(), sizeof g_executableName - 1);
  std::memcpy(g_executableName, name.data(), length);
  g_executableName[length] = '\0';
  g_executableNameKnown.store(true, std::memory_order_release);
}

Logger::Logger() {
  ReadExecutableNameOnce();
  stdErr.Configure({kLogLevelWarning, 1, 2, kConsoleLineFormat});
  stdOut.Configure({kLogLevelWarning, 2, 1, "#M"});
  debugger.Configure({kLogLevelWarning, 1, 0, kConsoleLineFormat});
  targets.Append(&stdErr);
  targets.Append(&debugger);
}

// Holds the logger's lock and the logger, created when missing; null only when it cannot be.
class LockedLogger {
 public:
  LockedLogger() : hold_(LoggerLock()) {
    if (g_logger == nullptr)
      g_logger = new (std::nothrow) Logger;
  }
  Logger* get() const { return g_logger; }

 private:
  platform::MutexLock hold_;
};

std::uint64_t CategoryBits(std::uint32_t low, std::uint32_t high) {
  return (static_cast<std::uint64_t>(high) << 32) | low;
}

}  // namespace

void AcquireLogger() {
  LockedLogger logger;
  g_holders.fetch_add(1, std::memory_order_relaxed);
}

void ReleaseLogger() {
  Logger* released = nullptr;
  {
    platform::MutexLock hold(LoggerLock());
    const std::uint32_t holders = g_holders.load(std::memory_order_relaxed);
    if (holders == 0)
      return;
    g_holders.store(holders - 1, std::memory_order_relaxed);
    if (holders == 1 && g_logger != nullptr) {
      released = g_logger;
      g_logger = nullptr;
      released->targets.DetachAll();
    }
  }
  // Outside the lock: the console targets' destructors detach, which takes it.
  delete released;
}

std::uint32_t LoggerHolderCount() {
  return g_holders.load(std::memory_order_relaxed);
}

void Log(std::uint32_t level, std::uint32_t categoryLow, std::uint32_t categoryHigh,
         const char* format, ...) {
  if (format == nullptr || t_dispatching)
    return;
  const std::uint64_t categories = CategoryBits(categoryLow, categoryHigh);
  LockedLogger logger;
  if (logger.get() == nullptr || !logger.get()->Accepts(level, categories))
    return;

  char message[kLogLineBytes];
  va_list arguments;
  va_start(arguments, format);
  const int length = std::vsnprintf(message, sizeof message, format, arguments);
  va_end(arguments);
  if (length < 0)
    message[0] = '\0';

  const LogRecord record{platform::CurrentLocalTime(), level, categories, message};
  // Reset even when a target throws, so that one failed write does not silence this thread.
  struct Dispatching {
    Dispatching() { t_dispatching = true; }
    ~Dispatching() { t_dispatching = false; }
  } dispatching;
  for (LogTarget* target : logger.get()->targets) {
    if (target->Accepts(level, categories))
      target->Write(record);
  }
}

void SetLogMinimumLevel(std::uint32_t level) {
  LockedLogger logger;
  if (logger.get() != nullptr)
    logger.get()->minimumLevel = level;
}

std::uint32_t LogMinimumLevel() {
  LockedLogger logger;
  return logger.get() != nullptr ? logger.get()->minimumLevel : kLogLevelWarning;
}

void SetLogExcludedCategories(std::uint32_t low, std::uint32_t high) {
  LockedLogger logger;
  if (logger.get() != nullptr)
    logger.get()->excludedCategories = CategoryBits(low, high);
}

std::uint64_t LogExcludedCategories() {
  LockedLogger logger;
  return logger.get() != nullptr ? logger.get()->excludedCategories : kDefaultExcludedCategories;
}

void DisableLogger() {
  LockedLogger logger;
  if (logger.get() != nullptr)
    logger.get()->disabled = true;
}

void EnableLogger() {
  LockedLogger logger;
  if (logger.get() != nullptr)
    logger.get()->disabled = false;
}

void AttachLogTarget(LogTarget* target, const LogTargetConfiguration& configuration) {
  if (target == nullptr)
    return;
  target->Detach();
  target->Configure(configuration);
  AttachLogTarget(target);
}

void AttachLogTarget(LogTarget* target) {
  if (target == nullptr)
    return;
  LockedLogger logger;
  if (logger.get() != nullptr)
    logger.get()->targets.Append(target);
}

void DetachLogTarget(LogTarget* target) {
  if (target == nullptr)
    return;
  platform::MutexLock hold(LoggerLock());
  if (g_logger != nullptr)
    g_logger->targets.Remove(target);
}

LogTarget* FindLogTarget(const char* name) {
  if (name == nullptr)
    return nullptr;
  platform::MutexLock hold(LoggerLock());
  if (g_logger == nullptr)
    return nullptr;
  for (LogTarget* target : g_logger->targets) {
    if (std::strcmp(target->Name(), name) == 0)
      return target;
  }
  return nullptr;
}

LogTarget* LoggerStdOutTarget() {
  LockedLogger logger;
  return logger.get() != nullptr ? &logger.get()->stdOut : nullptr;
}

LogTarget* LoggerStdErrTarget() {
  LockedLogger logger;
  return logger.get() != nullptr ? &logger.get()->stdErr : nullptr;
}

LogTarget* LoggerDebuggerTarget() {
  LockedLogger logger;
  return logger.get() != nullptr ? &logger.get()->debugger : nullptr;
}

const char* ExecutableName() {
  return g_executableNameKnown.load(std::memory_order_acquire) ? g_executableName : "<unknown>";
}

namespace {

constinit char g_categoryNames[kMaxLogCategories][4] = {"DBG", "GEN", "XTR", "PRF",
                                                        "MEM", "DSK", "NET", "TST"};
// Names below the count are complete and never change; appends take the category lock.
std::atomic<std::uint32_t> g_categoryCount{8};

std::size_t FindCategory(const char* name, std::size_t count) {
  for (std::size_t index = 0; index < count; ++index) {
    if (std::strncmp(name, g_categoryNames[index], 3) == 0)
      return index;
  }
  return kMaxLogCategories;
}

}  // namespace

std::uint64_t CategoryMask(const char* name) {
  if (name == nullptr)
    return 0;
  std::size_t index = FindCategory(name, g_categoryCount.load(std::memory_order_acquire));
  if (index < kMaxLogCategories)
    return std::uint64_t{1} << index;

  platform::MutexLock hold(CategoryLock());
  const std::uint32_t count = g_categoryCount.load(std::memory_order_relaxed);
  index = FindCategory(name, count);
  if (index < kMaxLogCategories)
    return std::uint64_t{1} << index;
  if (count >= kMaxLogCategories)
    return 0;
  char* slot = g_categoryNames[count];
  for (std::size_t i = 0; i < 3 && name[i] != '\0'; ++i)
    slot[i] = name[i];
  g_categoryCount.store(count + 1, std::memory_order_release);
  return std::uint64_t{1} << count;
}

const char* CategoryName(std::size_t index) {
  if (index >= g_categoryCount.load(std::memory_order_acquire))
    return "???";
  return g_categoryNames[index];
}

namespace {

// Appends into a line buffer of at least two bytes, never past its last byte but one.
class LineWriter {
 public:
  LineWriter(char* line, std::size_t capacity) : line_(line), limit_(capacity - 1) {}

  void Append(const char* text, std::size_t length) {
    const std::size_t count = std::min(length, limit_ - length_);
    std::memcpy(line_ + length_, text, count);
    length_ += count;
  }
  void Append(const char* text) { Append(text, std::strlen(text)); }
  void Append(char character) { Append(&character, 1); }

  // Ends the line with exactly one line feed and the terminator.
  std::size_t Finish() {
    if (length_ == limit_) {
      line_[limit_ - 1] = '\n';
    } else if (length_ == 0 || line_[length_ - 1] != '\n') {
      line_[length_++] = '\n';
    }
    line_[length_] = '\0';
    return length_;
  }

 private:
  char* const line_;
  const std::size_t limit_;
  std::size_t length_ = 0;
};

void WriteTimestamp(char* text, std::size_t size, const platform::LocalTime& time,
                    bool forFileName) {
  const char* format =
      forFileName ? "%04d-%02d-%02dT%02d-%02d-%02d" : "%04d-%02d-%02dT%02d:%02d:%02d.%03d";
  std::snprintf(text, size, format, time.year, time.month, time.day, time.hour, time.minute,
                time.second, time.millisecond);
}

std::int64_t LogClockNanoseconds() {
  static const std::int64_t start = platform::MonotonicNanoseconds();
  return platform::MonotonicNanoseconds() - start;
}

void AppendCategoryNames(LineWriter& writer, std::uint64_t categories) {
  bool first = true;
  for (std::size_t index = 0; index < kMaxLogCategories; ++index) {
    if ((categories & (std::uint64_t{1} << index)) == 0)
      continue;
    if (!first)
      writer.Append(';');
    writer.Append(CategoryName(index));
    first = false;
  }
}

void AppendField(LineWriter& writer, char letter, const LogRecord& record) {
  char text[96];
  switch (letter) {
    case 'D':
      WriteTimestamp(text, sizeof text, record.time, false);
      return writer.Append(text);
    case 'E':
      return writer.Append(ExecutableName());
    case 'G':
      return AppendCategoryNames(writer, record.categories);
    case 'H': {
      const std::int64_t milliseconds = LogClockNanoseconds() / 1000000;
      std::snprintf(text, sizeof text, "%06d.%03d", static_cast<int>(milliseconds / 1000),
                    static_cast<int>(milliseconds % 1000));
      return writer.Append(text);
    }
    case 'L':
      return writer.Append(LogLevelText(record.level));
    case 'M':
      return writer.Append(record.message != nullptr ? record.message : "");
    case 'T':
      std::snprintf(text, sizeof text, "%p", reinterpret_cast<void*>(platform::CurrentThreadId()));
      return writer.Append(text);
    default:
      return writer.Append(letter);
  }
}

}  // namespace

std::size_t FormatLogLine(const char* format, const LogRecord& record, char* line,
                          std::size_t capacity) {
  if (line == nullptr || capacity == 0)
    return 0;
  if (capacity == 1) {
    line[0] = '\0';
    return 0;
  }
  LineWriter writer(line, capacity);
  for (const char* cursor = format != nullptr ? format : ""; *cursor != '\0'; ++cursor) {
    if (*cursor != '#') {
      writer.Append(*cursor);
      continue;
    }
    const char letter = *++cursor;
    if (letter == '\0')
      break;  // never read past a "#" that ends the format
    AppendField(writer, letter, record);
  }
  return writer.Finish();
}

const char* LogLevelText(std::uint32_t level) {
  static constexpr const char* kTexts[] = {"  OKAY", "  WARN", " ERROR", "ALWAYS"};
  return level < std::size(kTexts) ? kTexts[level] : "  ????";
}

platform::LocalTime LogLocalTime() {
  return platform::CurrentLocalTime();
}

std::string TimestampText(const platform::LocalTime& time) {
  char text[96];
  WriteTimestamp(text, sizeof text, time, false);
  return text;
}

std::string FileNameTimestampText(const platform::LocalTime& time) {
  char text[96];
  WriteTimestamp(text, sizeof text, time, true);
  return text;
}

const LoggerFunctions& LoggerFunctionTable() {
  static constexpr LoggerFunctions kFunctions{
      [] { return kLoggerVersion; },
      AcquireLogger,
      ReleaseLogger,
      SetLogMinimumLevel,
      LogMinimumLevel,
      SetLogExcludedCategories,
      LogExcludedCategories,
      DisableLogger,
      EnableLogger,
      static_cast<void (*)(LogTarget*, const LogTargetConfiguration&)>(AttachLogTarget),
      DetachLogTarget,
      FindLogTarget,
      LoggerStdOutTarget,
      LoggerStdErrTarget,
      LoggerDebuggerTarget,
      CategoryMask,
      CategoryName,
      FormatLogLine,
      LogLevelText,
      ExecutableName,
      LogLocalTime,
      TimestampText,
      FileNameTimestampText,
      Log,
  };
  return kFunctions;
}

}  // namespace dul
