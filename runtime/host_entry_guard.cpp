#include "runtime/host_entry_guard.h"

#include "foundation/logger.h"

namespace dul {
namespace {

// Bit 1 of the category mask, "GEN".
constexpr std::uint32_t kGeneralCategory = 1u << 1;

}  // namespace

void ReportEscapedException(const char* entry, const char* text) noexcept {
  try {
    Log(kLogLevelError, kGeneralCategory, 0, "Exception in %s: %s", entry,
        text != nullptr ? text : "");
  } catch (...) {
    // A log target that fails while reporting leaves nothing more to tell.
  }
}

}  // namespace dul
