// Registration of the library's system trace providers (Event Tracing on Windows; nothing on
// other systems). Done once when the library is loaded and undone when it unloads.
#pragma once

namespace dul::platform {

void RegisterTraceProviders();
void UnregisterTraceProviders();

}  // namespace dul::platform
