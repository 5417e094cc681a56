// Registration of the item-set records with the plugin's type registry, so that the native
// conversion turns them into binding values and back.
#pragma once

namespace dul {
class PluginBase;
}

namespace dul::item_sets {

// Registers the eight item-set types under the plugin's type-name prefix, element types before
// the records that hold vectors of them, each with the plugin's default tags. A type already
// registered under its name is left as it is.
void RegisterItemSetTypes(PluginBase& plugin);

}  // namespace dul::item_sets
