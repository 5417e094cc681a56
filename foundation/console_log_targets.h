// The console family of log targets: standard error, standard output and the debugger's output.
// The logger owns one of each; they are for use outside a plugin host.
#pragma once

#include "foundation/log_target.h"

namespace dul {

// Formats each record with the target's line format and writes the line under the target's lock.
class BaseConsoleLogTarget : public LogTarget {
 public:
  const char* Name() const override;
  bool Write(const LogRecord& record) override;

 protected:
  // Called with the target's lock held; true when the line was written.
  virtual bool WriteLine(const char* line) = 0;
};

class StdErrLogTarget final : public BaseConsoleLogTarget {
 public:
  ~StdErrLogTarget() override;
  const char* Name() const override;

 protected:
  bool WriteLine(const char* line) override;
};

class StdOutLogTarget final : public BaseConsoleLogTarget {
 public:
  explicit StdOutLogTarget(bool flushEachLine = false) : flushEachLine_(flushEachLine) {}
  ~StdOutLogTarget() override;
  const char* Name() const override;

 protected:
  bool WriteLine(const char* line) override;

 private:
  const bool flushEachLine_;
};

class DebuggerConsoleLogTarget final : public BaseConsoleLogTarget {
 public:
  ~DebuggerConsoleLogTarget() override;
  const char* Name() const override;

 protected:
  bool WriteLine(const char* line) override;
};

}  // namespace dul
