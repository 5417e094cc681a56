#include "platform/stop_signal_watch.h"

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <thread>

namespace dul::platform {

struct StopSignalWatch::State {
  std::function<void()> onStop;
  sigset_t signals{};
  sigset_t previousMask{};
  std::atomic<bool> closing{false};
  std::thread thread;
};

StopSignalWatch::StopSignalWatch(std::function<void()> onStop) : state_(std::make_unique<State>()) {
  state_->onStop = std::move(onStop);
  sigemptyset(&state_->signals);
  sigaddset(&state_->signals, SIGINT);
  sigaddset(&state_->signals, SIGTERM);
  ::pthread_sigmask(SIG_BLOCK, &state_->signals, &state_->previousMask);
  State& state = *state_;
  state_->thread = std::thread([&state] {
    for (;;) {
      int received = 0;
      if (::sigwait(&state.signals, &received) != 0)
        continue;
      if (state.closing.load())
        return;
      state.onStop();
    }
  });
}

StopSignalWatch::~StopSignalWatch() {
  state_->closing.store(true);
  // The signal is blocked everywhere, so the watch's sigwait is what receives it.
  ::pthread_kill(state_->thread.native_handle(), SIGTERM);
  state_->thread.join();
  ::pthread_sigmask(SIG_SETMASK, &state_->previousMask, nullptr);
}

}  // namespace dul::platform
