#include "contract/resource_event_type.h"

namespace dul {

using Zorv::Client::PluginResourceEventType;

std::string_view ResourceEventTypeName(PluginResourceEventType type) {
  switch (type) {
    case PluginResourceEventType::Create:
      return "Create";
    case PluginResourceEventType::Update:
      return "Update";
    case PluginResourceEventType::Delete:
      return "Delete";
  }
  return "Update";
}

}  // namespace dul
