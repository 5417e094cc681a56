#include "platform/clock.h"

#include <windows.h>

namespace dul::platform {

std::int64_t MonotonicNanoseconds() {
  static const std::int64_t frequency = [] {
    LARGE_INTEGER value{};
    ::QueryPerformanceFrequency(&value);
    return static_cast<std::int64_t>(value.QuadPart);
  }();
  LARGE_INTEGER counter{};
  ::QueryPerformanceCounter(&counter);
  const std::int64_t ticks = counter.QuadPart;
  // Split to keep ticks * 1e9 from overflowing.
  return (ticks / frequency) * 1000000000LL + (ticks % frequency) * 1000000000LL / frequency;
}

LocalTime CurrentLocalTime() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  return LocalTime{now.wYear,   now.wMonth,  now.wDay,         now.wHour,
                   now.wMinute, now.wSecond, now.wMilliseconds};
}

}  // namespace dul::platform
