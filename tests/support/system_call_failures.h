// Runs a check once per single system-call failure an operation can meet: for every kind of
// call and N = 1, 2, ... until the operation no longer makes an Nth call of that kind.
//
//   const auto struck = ForEachSystemCallFailure([&](const FailurePoint& point) {
//     Prepare();
//     bool failed;
//     { platform::SystemCallFailure armed = point.Arm(); Operate(); failed = armed.struck(); }
//     CheckTheState(failed);
//     return failed;  // false once the operation made fewer than N calls of the kind
//   });
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <set>

#include "platform/file_system.h"
#include "platform/system_call_failure.h"

namespace dul::testing {

struct FailurePoint {
  platform::SystemCall call;
  std::uint32_t nth;
  std::uint32_t error;

  platform::SystemCallFailure Arm() const { return {call, nth, error}; }
};

// Returns the kinds whose calls the operation made at least once, so that a test can tell that
// its operation goes through the seam at all.
template <class Check>
std::set<platform::SystemCall> ForEachSystemCallFailure(
    Check check, std::uint32_t error = platform::kErrorAccessDenied) {
  std::set<platform::SystemCall> reached;
  for (const platform::SystemCall call : platform::kAllSystemCalls) {
    for (std::uint32_t nth = 1;; ++nth) {
      SCOPED_TRACE(::testing::Message()
                   << "call " << nth << " of kind " << platform::SystemCallName(call) << " fails");
      if (!check(FailurePoint{call, nth, error}))
        break;
      reached.insert(call);
    }
  }
  return reached;
}

}  // namespace dul::testing
