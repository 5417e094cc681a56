// Host event names of resource URIs: every resource change is announced under a name derived from
// the resource's path, so a plugin subscribes once per family of resources.
#pragma once

#include <string>
#include <string_view>

namespace dul {

// "OnJsonApiEvent" followed by the URI's first three non-empty segments ("/" separated), joined
// with "_"; for platform-configuration URIs ("dul-platform-config" first) the first five:
//   "/dul-item-sets/v1/item-sets/7/sets" gives "OnJsonApiEvent_dul-item-sets_v1_item-sets".
std::string EventNameForUri(std::string_view uri);

}  // namespace dul
