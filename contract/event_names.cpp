#include "contract/event_names.h"

#include <cstddef>

namespace dul {
namespace {

constexpr std::string_view kResourceEventPrefix = "OnJsonApiEvent";
constexpr std::string_view kPlatformConfigSegment = "dul-platform-config";
// Segments kept after the prefix: platform configuration is subscribed per namespace.
constexpr std::size_t kSegmentsKept = 3;
constexpr std::size_t kPlatformConfigSegmentsKept = 5;

// Calls `each` with every non-empty "/"-separated segment, in order, until it returns false.
template <class Each>
void ForEachSegment(std::string_view uri, Each each) {
  std::size_t start = 0;
  while (start < uri.size()) {
    std::size_t end = uri.find('/', start);
    if (end == std::string_view::npos)
      end = uri.size();
    if (end > start && !each(uri.substr(start, end - start)))
      return;
    start = end + 1;
  }
}

}  // namespace

std::string EventNameForUri(std::string_view uri) {
  std::string name(kResourceEventPrefix);
  std::size_t kept = 0;
  std::size_t limit = kSegmentsKept;
  ForEachSegment(uri, [&](std::string_view segment) {
    if (kept == 0 && segment == kPlatformConfigSegment)
      limit = kPlatformConfigSegmentsKept;
    name += '_';
    name += segment;
    return ++kept < limit;
  });
  return name;
}

}  // namespace dul
