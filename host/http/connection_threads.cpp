#include "host/http/connection_threads.h"

#include <utility>

namespace dul::host {

void ConnectionThreads::enqueue(std::function<void()> job) {
  {
    std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
    // Every queued job beyond the idle threads needs a thread of its own.
    if (jobs_.size() > idle_ && threads_.size() < limit_)
      threads_.emplace_back([this] { Work(); });
  }
  wake_.notify_one();
}

void ConnectionThreads::shutdown() {
  std::vector<std::thread> threads;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    threads.swap(threads_);
  }
  wake_.notify_all();
  for (std::thread& thread : threads)
    thread.join();
}

std::size_t ConnectionThreads::threadCount() const {
  std::lock_guard lock(mutex_);
  return threads_.size();
}

void ConnectionThreads::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    ++idle_;
    wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
    --idle_;
    if (jobs_.empty())
      return;  // stopping, with nothing left to run
    std::function<void()> job = std::move(jobs_.front());
    jobs_.pop_front();
    lock.unlock();
    job();
    lock.lock();
  }
}

}  // namespace dul::host
