#include "host/services/wall_clock.h"

#include <chrono>
#include <cstdio>

namespace dul::host {

WallClock SystemWallClock() {
  return [] {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
  };
}

std::string FormatUtcTime(std::int64_t millisecondsSinceEpoch) {
  using namespace std::chrono;
  const sys_time<milliseconds> time{milliseconds{millisecondsSinceEpoch}};
  const sys_days day = floor<days>(time);
  const year_month_day date{day};
  const hh_mm_ss<milliseconds> clock{time - day};
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", int{date.year()},
                unsigned{date.month()}, unsigned{date.day()},
                static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                static_cast<int>(clock.seconds().count()),
                static_cast<int>(clock.subseconds().count()));
  return text;
}

}  // namespace dul::host
