#include "runtime/plugin_log_target.h"

#include "foundation/logger.h"

namespace dul {

PluginLogTarget::~PluginLogTarget() {
  Detach();
}

const char* PluginLogTarget::Name() const {
  return "PluginLogTarget";
}

bool PluginLogTarget::Write(const LogRecord& record) {
  if (api_ == nullptr || api_->log == nullptr)
    return false;
  platform::MutexLock hold(lock());
  api_->log(api_, record.level, record.message != nullptr ? record.message : "");
  return true;
}

std::unique_ptr<PluginLogTarget> InstallPluginLogTarget(const DulHostApi* api) {
  if (FindLogTarget("PluginLogTarget") != nullptr)
    return nullptr;
  for (LogTarget* console : {LoggerStdOutTarget(), LoggerStdErrTarget(), LoggerDebuggerTarget()}) {
    if (console != nullptr)
      console->Detach();
  }
  SetLogMinimumLevel(kLogLevelOkay);
  SetLogExcludedCategories(4, 0);
  auto target = std::make_unique<PluginLogTarget>(api);
  AttachLogTarget(target.get(), {LogMinimumLevel(), 0, 0, kDefaultLogLineFormat});
  return target;
}

}  // namespace dul
