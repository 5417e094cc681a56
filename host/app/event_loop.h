// EventLoop: the one thread on which dul-host calls into the plugin. Other threads (the HTTP
// server's) hand it work and wait for the result, so the plugin never runs on two threads at once
// and never on a thread that is not the loop's.
//
//   EventLoop loop([&] { return RunDueCallbacks(); });   // seconds until the next is due
//   loop.Start();
//   std::optional<int> answer = loop.Call([&] { return host.Compute(); });
//   loop.Stop();                                          // runs what was handed in, then ends
//
// Between pieces of work the loop runs its chore, which does whatever has fallen due and says
// how long the loop may sleep before calling it again (nothing: until new work arrives).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>

namespace dul::host {

class EventLoop {
 public:
  using Chore = std::function<std::optional<double>()>;

  explicit EventLoop(Chore chore = {}) : chore_(std::move(chore)) {}
  ~EventLoop() { Stop(); }
  EventLoop(const EventLoop&) = delete;
  EventLoop& operator=(const EventLoop&) = delete;

  void Start();
  // Refuses new work, finishes the work already handed in, and joins the thread. Safe twice.
  void Stop();

  // Runs `work` on the loop and returns its result; nothing when the loop no longer takes work.
  // Called on the loop's own thread, it runs `work` at once.
  template <typename Work>
  auto Call(Work&& work) -> std::optional<std::invoke_result_t<Work&>> {
    std::optional<std::invoke_result_t<Work&>> result;
    if (!RunAndWait([&] { result.emplace(work()); }))
      return std::nullopt;
    return result;
  }
  // The same for work without a result; false when it did not run.
  bool RunAndWait(std::function<void()> work);
  // Wakes the loop to run its chore now (its sleep may have become too long).
  void Wake();
  bool OnLoopThread() const { return std::this_thread::get_id() == thread_.get_id(); }

 private:
  struct Job {
    std::function<void()> work;
    std::uint64_t ticket;
  };
  void Run();
  void WaitForWork(std::unique_lock<std::mutex>& lock, std::optional<double> sleepSeconds);

  Chore chore_;
  std::mutex mutex_;
  std::condition_variable workArrived_;
  std::condition_variable workDone_;
  std::deque<Job> jobs_;
  std::uint64_t nextTicket_ = 1;
  std::uint64_t finishedTicket_ = 0;  // every job up to this one has run
  bool accepting_ = false;
  bool stopping_ = false;
  bool woken_ = false;
  std::thread thread_;
};

}  // namespace dul::host
