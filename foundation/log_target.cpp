#include "foundation/log_target.h"

#include "foundation/logger.h"

namespace dul {

LogTarget::LogTarget() = default;

LogTarget::~LogTarget() {
  LogTarget::Detach();
}

void LogTarget::Detach() {
  DetachLogTarget(this);
}

const char* LogTarget::Name() const {
  return "LogTarget";
}

std::size_t LogTarget::Format(const LogRecord& record, char* line, std::size_t capacity) const {
  platform::MutexLock hold(lock_);
  return FormatLogLine(lineFormat_.c_str(), record, line, capacity);
}

bool LogTarget::Write(const LogRecord&) {
  return false;
}

void LogTarget::Attach() {
  AttachLogTarget(this);
}

void LogTarget::Configure(const LogTargetConfiguration& configuration) {
  platform::MutexLock hold(lock_);
  minimumLevel_ = configuration.minimumLevel;
  includedCategories_ = configuration.includedCategories & ~configuration.excludedCategories;
  excludedCategories_ = configuration.excludedCategories;
  lineFormat_ = configuration.lineFormat != nullptr ? configuration.lineFormat : "";
}

void LogTarget::SetMinimumLevel(std::uint32_t level) {
  platform::MutexLock hold(lock_);
  minimumLevel_ = level;
}

std::uint32_t LogTarget::MinimumLevel() const {
  platform::MutexLock hold(lock_);
  return minimumLevel_;
}

void LogTarget::SetCategoryMasks(std::uint64_t included, std::uint64_t excluded) {
  platform::MutexLock hold(lock_);
  includedCategories_ = included & ~excluded;
  excludedCategories_ = excluded;
}

std::uint64_t LogTarget::IncludedCategories() const {
  platform::MutexLock hold(lock_);
  return includedCategories_;
}

std::uint64_t LogTarget::ExcludedCategories() const {
  platform::MutexLock hold(lock_);
  return excludedCategories_;
}

std::string LogTarget::LineFormat() const {
  platform::MutexLock hold(lock_);
  return lineFormat_;
}

bool LogTarget::Accepts(std::uint32_t level, std::uint64_t categories) const {
  platform::MutexLock hold(lock_);
  if (level < minimumLevel_)
    return false;
  if (categories == 0)
    return true;
  if ((categories & excludedCategories_) != 0)
    return false;
  return includedCategories_ == 0 || (categories & includedCategories_) != 0;
}

const LogTargetFunctions& LogTarget::Functions() {
  static constexpr LogTargetFunctions kFunctions{
      [] { return std::uint32_t{1}; },
      [](LogTarget* target, std::uint32_t level) { target->SetMinimumLevel(level); },
      [](const LogTarget* target) { return target->MinimumLevel(); },
      [](LogTarget* target, std::uint64_t included, std::uint64_t excluded) {
        target->SetCategoryMasks(included, excluded);
      },
      [](const LogTarget* target) { return target->IncludedCategories(); },
      [](const LogTarget* target) { return target->ExcludedCategories(); },
      [](const LogTarget* target) { return target->Name(); },
      [](LogTarget* target) { target->Attach(); },
      [](LogTarget* target) { target->Detach(); },
      [](const LogTarget* target) { return target->IsAttached(); },
      [](LogTarget* target, const LogRecord& record) { return target->Write(record); },
  };
  return kFunctions;
}

}  // namespace dul
