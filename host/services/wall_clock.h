// Wall-clock time of the simulated services: the versions of stored preferences and the times of
// recorded telemetry events. Tests hand the services a clock of their own.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace dul::host {

// Milliseconds since the Unix epoch.
using WallClock = std::function<std::int64_t()>;

// The system's clock.
WallClock SystemWallClock();

// The time as UTC text with milliseconds: "2024-05-01T12:34:56.789Z".
std::string FormatUtcTime(std::int64_t millisecondsSinceEpoch);

}  // namespace dul::host
