// The library's one export, and the load-time registration of its trace providers.
#include <memory>

#include "contract/host_contract.h"
#include "platform/trace_providers.h"
#include "plugin/item_sets_plugin.h"
#include "runtime/host_entry_guard.h"
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
  // A load that fails leaves the handshake unfilled, which the host sees as a plugin that did
  // not load; the object it built goes with it.
  dul::GuardHostEntry("load_dul_item_sets", [handshake] {
    auto plugin = std::make_unique<dul::item_sets::ItemSetsPlugin>();
    dul::LoadPlugin(*plugin, *handshake, dul::item_sets::kPluginShortName);
    (void)plugin.release();  // the host owns it now, until destroy
  });
}
