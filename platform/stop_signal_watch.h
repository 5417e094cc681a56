// StopSignalWatch: turns the requests to stop the process (SIGINT and SIGTERM; on Windows
// Ctrl+C, Ctrl+Break and closing the console) into calls of one function on a thread of the
// watch's own, where it may lock, allocate and wake other threads, which a signal handler may
// not do.
//
// Create it before any other thread: on POSIX the signals are blocked in the creating thread, so
// every thread started later inherits the block and the watch alone receives them. One watch per
// process; while it lives the default action (ending the process at once) no longer applies.
#pragma once

#include <functional>
#include <memory>

namespace dul::platform {

class StopSignalWatch {
 public:
  // `onStop` runs on the watch's thread for every request, until the watch is destroyed.
  explicit StopSignalWatch(std::function<void()> onStop);
  ~StopSignalWatch();
  StopSignalWatch(const StopSignalWatch&) = delete;
  StopSignalWatch& operator=(const StopSignalWatch&) = delete;

  // What the backend keeps; its console handler on Windows reaches it from outside the class.
  struct State;

 private:
  std::unique_ptr<State> state_;
};

}  // namespace dul::platform
