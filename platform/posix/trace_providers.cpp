#include "platform/trace_providers.h"

namespace dul::platform {

// POSIX systems have no counterpart of the Windows trace providers.
void RegisterTraceProviders() {}
void UnregisterTraceProviders() {}

}  // namespace dul::platform
