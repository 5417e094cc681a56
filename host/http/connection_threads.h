// ConnectionThreads: the HTTP server's task queue. cpp-httplib serves each connection on one
// thread for as long as it stays open, so with a fixed pool a few idle connections or event
// streams keep every later client waiting. Here a connection takes an idle thread or starts a new
// one, up to `limit` threads; only beyond that does it wait for one to come free. Threads stay
// until shutdown (asleep when idle), so the count never exceeds the limit.
#pragma once

#include <httplib.h>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace dul::host {

class ConnectionThreads final : public httplib::TaskQueue {
 public:
  explicit ConnectionThreads(std::size_t limit) : limit_(limit == 0 ? 1 : limit) {}
  ~ConnectionThreads() override { shutdown(); }

  void enqueue(std::function<void()> job) override;
  // Runs the jobs already queued, then joins every thread.
  void shutdown() override;
  std::size_t threadCount() const;

 private:
  void Work();

  const std::size_t limit_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> jobs_;
  std::vector<std::thread> threads_;
  std::size_t idle_ = 0;
  bool stopping_ = false;
};

}  // namespace dul::host
