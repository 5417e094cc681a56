#include "host/core/host_clock.h"

#include "platform/clock.h"

namespace dul::host {

namespace {
double MonotonicSeconds() {
  return static_cast<double>(platform::MonotonicNanoseconds()) / 1e9;
}
}  // namespace

RealClock::RealClock() : start_(MonotonicSeconds()) {}

double RealClock::NowSeconds() const {
  return MonotonicSeconds() - start_;
}

}  // namespace dul::host
