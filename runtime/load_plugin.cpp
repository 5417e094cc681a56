#include "runtime/load_plugin.h"

namespace dul {

void LoadPlugin(PluginBase& plugin, DulPluginHandshake& handshake, std::string_view shortName) {
  plugin.Load(handshake, shortName);
}

}  // namespace dul
