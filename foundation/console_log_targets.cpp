#include "foundation/console_log_targets.h"

#include <cstdio>

#include "platform/process.h"

namespace dul {

const char* BaseConsoleLogTarget::Name() const {
  return "BaseConsoleLogTarget";
}

bool BaseConsoleLogTarget::Write(const LogRecord& record) {
  char line[kLogLineBytes];
  Format(record, line, sizeof line);
  platform::MutexLock hold(lock());
  return WriteLine(line);
}

StdErrLogTarget::~StdErrLogTarget() {
  Detach();
}

const char* StdErrLogTarget::Name() const {
  return "StdErrLogTarget";
}

bool StdErrLogTarget::WriteLine(const char* line) {
  return std::fputs(line, stderr) >= 0;
}

StdOutLogTarget::~StdOutLogTarget() {
  Detach();
}

const char* StdOutLogTarget::Name() const {
  return "StdOutLogTarget";
}

bool StdOutLogTarget::WriteLine(const char* line) {
  if (std::fputs(line, stdout) < 0)
    return false;
  return !flushEachLine_ || std::fflush(stdout) == 0;
}

DebuggerConsoleLogTarget::~DebuggerConsoleLogTarget() {
  Detach();
}

const char* DebuggerConsoleLogTarget::Name() const {
  return "DebuggerConsoleLogTarget";
}

bool DebuggerConsoleLogTarget::WriteLine(const char* line) {
  platform::WriteDebuggerOutput(line);
  return true;
}

}  // namespace dul
