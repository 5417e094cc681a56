// BoundedHistory: the newest entries of something the host records for inspection (log lines,
// subscribes, waits), within a count and a byte budget, so a host that runs for days holds a
// bounded amount. When either is exceeded, the oldest entries go at once until both are back
// under three quarters of their limit: adding stays cheap on average. The newest entry always
// stays, however large.
//
//   BoundedHistory<std::string> labels(1024, 256 << 10);
//   labels.Add("wait");
//   for (const std::string& label : labels.entries()) ...
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace dul::host {

inline std::size_t HeldBytes(const std::string& text) {
  return sizeof(std::string) + text.size();
}

template <typename T>
class BoundedHistory {
 public:
  BoundedHistory(std::size_t maxCount, std::size_t maxBytes)
      : maxCount_(maxCount == 0 ? 1 : maxCount), maxBytes_(maxBytes) {}

  void Add(T entry) {
    bytes_ += HeldBytes(entry);
    entries_.push_back(std::move(entry));
    ++added_;
    if (entries_.size() > maxCount_ || bytes_ > maxBytes_)
      DropOldest();
  }

  const std::vector<T>& entries() const { return entries_; }
  // Every entry ever added, and those of them dropped since: entry i of entries() is the
  // (dropped() + i)th added.
  std::uint64_t added() const { return added_; }
  std::uint64_t dropped() const { return added_ - entries_.size(); }
  std::size_t bytes() const { return bytes_; }

 private:
  void DropOldest() {
    std::size_t drop = 0;
    while (drop + 1 < entries_.size() &&
           (entries_.size() - drop > maxCount_ / 4 * 3 || bytes_ > maxBytes_ / 4 * 3)) {
      bytes_ -= HeldBytes(entries_[drop]);
      ++drop;
    }
    entries_.erase(entries_.begin(), entries_.begin() + static_cast<std::ptrdiff_t>(drop));
  }

  std::size_t maxCount_;
  std::size_t maxBytes_;
  std::vector<T> entries_;
  std::size_t bytes_ = 0;
  std::uint64_t added_ = 0;
};

}  // namespace dul::host
