// PluginLogTarget: inside a plugin host, the one log target; it hands each record's level and
// message to the host's log operation. The line format is not applied to what the host receives.
#pragma once

#include <memory>

#include "contract/host_contract.h"
#include "foundation/log_target.h"

namespace dul {

class PluginLogTarget final : public LogTarget {
 public:
  // The host table must outlive the target.
  explicit PluginLogTarget(const DulHostApi* api) : api_(api) {}
  ~PluginLogTarget() override;

  const char* Name() const override;
  // False when the host offers no log operation.
  bool Write(const LogRecord& record) override;

 private:
  const DulHostApi* const api_;
};

// Routes the process's logging to the host: unless a "PluginLogTarget" is already attached,
// detaches the console targets, sets the logger's minimum level to 0 and its excluded categories
// to "XTR", and attaches a new target that the caller owns. Null when one was already attached.
std::unique_ptr<PluginLogTarget> InstallPluginLogTarget(const DulHostApi* api);

}  // namespace dul
