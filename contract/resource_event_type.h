// PluginResourceEventType: what happened to a resource, in every resource event either side
// publishes ("eventType" of {"uri", "eventType", "data"}).
#pragma once

#include <cstdint>
#include <string_view>

namespace Zorv::Client {

enum class PluginResourceEventType : std::int32_t {
  Create = 0,
  Update = 1,
  Delete = 2,
};

}  // namespace Zorv::Client

namespace dul {

// "Create", "Update" or "Delete"; "Update" for a number outside the three.
std::string_view ResourceEventTypeName(Zorv::Client::PluginResourceEventType type);

}  // namespace dul
