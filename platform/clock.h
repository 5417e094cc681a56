// Clocks of the operating system.
#pragma once

#include <cstdint>

namespace dul::platform {

// Monotonic clock in nanoseconds since an arbitrary start.
std::int64_t MonotonicNanoseconds();

struct LocalTime {
  int year = 0;
  int month = 0;  // 1 to 12
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

LocalTime CurrentLocalTime();

}  // namespace dul::platform
