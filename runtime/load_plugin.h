// LoadPlugin: the load glue the library's export calls with the object it built.
#pragma once

#include <string_view>

#include "contract/host_contract.h"
#include "runtime/plugin_base.h"

namespace dul {

// Checks the host's plugin-API version (an incompatible host ends the process), derives the
// plugin's names, registers its API and fills the handshake's outputs.
void LoadPlugin(PluginBase& plugin, DulPluginHandshake& handshake, std::string_view shortName);

}  // namespace dul
