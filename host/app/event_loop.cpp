#include "host/app/event_loop.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace dul::host {
namespace {

// Longer sleeps are cut: a day is far beyond any callback a session waits for.
constexpr double kLongestSleepSeconds = 86400.0;

}  // namespace

void EventLoop::Start() {
  std::lock_guard lock(mutex_);
  if (thread_.joinable())
    return;
  accepting_ = true;
  thread_ = std::thread([this] { Run(); });
}

void EventLoop::Stop() {
  {
    std::lock_guard lock(mutex_);
    accepting_ = false;
    stopping_ = true;
  }
  workArrived_.notify_all();
  if (thread_.joinable() && !OnLoopThread())
    thread_.join();
}

bool EventLoop::RunAndWait(std::function<void()> work) {
  if (OnLoopThread()) {
    work();
    return true;
  }
  std::unique_lock lock(mutex_);
  if (!accepting_)
    return false;
  const std::uint64_t ticket = nextTicket_++;
  jobs_.push_back(Job{std::move(work), ticket});
  workArrived_.notify_one();
  // Jobs run in ticket order, so ours is done once the finished ticket reaches it.
  workDone_.wait(lock, [&] { return finishedTicket_ >= ticket; });
  return true;
}

void EventLoop::Wake() {
  {
    std::lock_guard lock(mutex_);
    woken_ = true;
  }
  workArrived_.notify_one();
}

void EventLoop::WaitForWork(std::unique_lock<std::mutex>& lock,
                            std::optional<double> sleepSeconds) {
  const auto ready = [this] { return !jobs_.empty() || stopping_ || woken_; };
  if (!sleepSeconds) {
    workArrived_.wait(lock, ready);
  } else if (*sleepSeconds > 0) {
    const double seconds = std::isnan(*sleepSeconds)
                               ? kLongestSleepSeconds
                               : std::min(*sleepSeconds, kLongestSleepSeconds);
    workArrived_.wait_for(lock, std::chrono::duration<double>(seconds), ready);
  }
  woken_ = false;
}

void EventLoop::Run() {
  std::optional<double> sleepSeconds = chore_ ? chore_() : std::nullopt;
  std::unique_lock lock(mutex_);
  for (;;) {
    WaitForWork(lock, sleepSeconds);
    if (jobs_.empty() && stopping_)
      return;
    // One job at a time, the chore after each: what a job made due runs before the next job.
    if (!jobs_.empty()) {
      Job job = std::move(jobs_.front());
      jobs_.pop_front();
      lock.unlock();
      job.work();
      lock.lock();
      finishedTicket_ = job.ticket;
      workDone_.notify_all();
    }
    lock.unlock();
    sleepSeconds = chore_ ? chore_() : std::nullopt;
    lock.lock();
  }
}

}  // namespace dul::host
