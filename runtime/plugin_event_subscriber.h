// PluginEventSubscriber: the innermost interface of every plugin object; subscription by URI.
#pragma once

#include <string>

namespace dul {

class PluginEventSubscriber {
 public:
  virtual void Subscribe(const std::string& /*uri*/) {}
  virtual void Unsubscribe(const std::string& /*uri*/) {}
  virtual ~PluginEventSubscriber() = default;
};

}  // namespace dul
