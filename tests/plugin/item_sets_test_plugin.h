// A bare plugin object loaded under the item-set service's short name, with the item-set types
// registered in its registry: the names, tags and registry the service itself would have.
#pragma once

#include "contract/host_contract.h"
#include "contract/plugin_api_version.h"
#include "plugin/item_sets_plugin.h"
#include "plugin/item_sets_types.h"
#include "runtime/plugin_base.h"

namespace dul::testing {

class ItemSetTypesPlugin : public PluginBase {
 public:
  ItemSetTypesPlugin() {
    const PluginApiVersion own = OwnPluginApiVersion();
    DulPluginHandshake handshake{own.major, own.minor, own.patch, nullptr,
                                 nullptr,   nullptr,   nullptr};
    Load(handshake, item_sets::kPluginShortName);
    item_sets::RegisterItemSetTypes(*this);
  }
};

}  // namespace dul::testing
