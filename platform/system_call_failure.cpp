#include "platform/system_call_failure.h"

#include <cstddef>

namespace dul::platform {
namespace {

// The innermost failure armed on this thread; constant-initialised, so reading it costs no guard.
constinit thread_local SystemCallFailure* armed = nullptr;

}  // namespace

const char* SystemCallName(SystemCall call) {
  constexpr const char* kNames[] = {"query attributes",
                                    "current directory",
                                    "change directory",
                                    "create directory",
                                    "list",
                                    "open",
                                    "read",
                                    "write",
                                    "flush",
                                    "close",
                                    "set permissions",
                                    "rename",
                                    "delete"};
  return kNames[static_cast<std::size_t>(call)];
}

SystemCallFailure::SystemCallFailure(SystemCall call, std::uint32_t nth, std::uint32_t error)
    : call_(call), nth_(nth), error_(error), previous_(armed) {
  armed = this;
}

SystemCallFailure::~SystemCallFailure() {
  armed = previous_;
}

std::optional<std::uint32_t> InjectedFailure(SystemCall call) {
  SystemCallFailure* failure = armed;
  if (failure == nullptr || failure->call_ != call)
    return std::nullopt;
  if (++failure->seen_ != failure->nth_)
    return std::nullopt;
  return failure->error_;
}

}  // namespace dul::platform
