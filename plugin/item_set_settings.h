// The item-set settings of the platform configuration namespace "ItemSets", read leniently:
// another plugin owns the namespace, and a value of an unexpected kind must never stop the
// service, so every member has a reading that cannot fail.
#pragma once

#include "binding/binding_property.h"

namespace dul::item_sets {

// The shortest interval of the upload check, in seconds; a smaller setting is raised to it.
inline constexpr double kMinimumUploadRateLimit = 5.0;

struct ItemSetSettings {
  bool editorEnabled = true;                         // "EditorEnabled"
  bool sendItemSetsToGame = true;                    // "SendItemSetsToGame"
  double uploadRateLimit = kMinimumUploadRateLimit;  // "UploadRateLimit", seconds
};

// The settings in the namespace's data. The two flags are truth values (AsBool), so an absent
// flag reads as false; the rate limit is taken only from a floating-point value and never below
// the minimum, so an integer or absent member gives the minimum. Other members are ignored.
ItemSetSettings ReadItemSetSettings(const Zorv::BindingProperty& namespaceData);

}  // namespace dul::item_sets
