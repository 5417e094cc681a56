// The library's one export, and the load-time registration of its trace providers.
#include <new>

#include "platform/trace_providers.h"
#include "plugin/item_sets_plugin.h"
#include "runtime/host_contract.h"
#include "runtime/load_plugin.h"

namespace {

// Registered while the library is loaded.
struct TraceProviderRegistration {
  TraceProviderRegistration() { dul::platform::RegisterTraceProviders(); }
  ~TraceProviderRegistration() { dul::platform::UnregisterTraceProviders(); }
};
const TraceProviderRegistration gTraceProviders;

}  // namespace

extern "C" DUL_EXPORT void DUL_CALL load_dul_item_sets(DulPluginHandshake* handshake) {
  if (handshake == nullptr)
    return;
  // Without an object there is nothing to load: the handshake stays unfilled, which the host
  // sees as a plugin that did not load.
  auto* plugin = new (std::nothrow) dul::item_sets::ItemSetsPlugin();
  if (plugin == nullptr)
    return;
  dul::LoadPlugin(*plugin, *handshake, dul::item_sets::kPluginShortName);
}
