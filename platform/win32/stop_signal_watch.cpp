#include "platform/stop_signal_watch.h"

#include <windows.h>

#include <atomic>

namespace dul::platform {

struct StopSignalWatch::State {
  std::function<void()> onStop;
};

namespace {

// The console calls its handlers on a thread of its own; one watch per process holds the slot.
std::atomic<StopSignalWatch::State*> watchingState{nullptr};

BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT)
    return FALSE;
  StopSignalWatch::State* state = watchingState.load();
  if (state == nullptr)
    return FALSE;
  state->onStop();
  return TRUE;
}

}  // namespace

StopSignalWatch::StopSignalWatch(std::function<void()> onStop) : state_(std::make_unique<State>()) {
  state_->onStop = std::move(onStop);
  watchingState.store(state_.get());
  ::SetConsoleCtrlHandler(&OnConsoleEvent, TRUE);
}

StopSignalWatch::~StopSignalWatch() {
  ::SetConsoleCtrlHandler(&OnConsoleEvent, FALSE);
  watchingState.store(nullptr);
}

}  // namespace dul::platform
