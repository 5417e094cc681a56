// EventJournal: every event published in the host, numbered in the order published from the
// run's first id on, kept in a bounded backlog for the Server-Sent Events stream. A reader that
// reconnects with the last id it saw gets what it missed while that is still in the backlog; one
// whose id is not of this run is told so (reset) and gets the whole backlog.
//
//   journal.Append("OnJsonApiEvent", R"({"uri":"/x","eventType":"Update","data":1})");
//   JournalRead read = journal.ReadAfter(lastSeenId, std::chrono::seconds(1));
//   for (const JournalEntry& entry : read.entries) sink(FormatServerSentEvent(entry));
//
// Thread-safe: the loop appends, any number of HTTP threads read.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "binding/binding_property.h"

namespace dul::host {

struct JournalEntry {
  std::uint64_t id = 0;
  std::string name;  // the host event name
  std::string data;  // one line of JSON
};

struct JournalRead {
  std::vector<JournalEntry> entries;
  std::uint64_t missed = 0;  // events after the reader's id that left the backlog unseen
  bool closed = false;       // the journal takes no more events: the host is stopping
  bool reset = false;        // the reader's id is not of this run: entries are the whole backlog
};

// The first event id of a run that starts now: the milliseconds since the Unix epoch times 1000,
// plus 1. Ids then keep growing across restarts unless a run publishes 1000 events a millisecond
// (and stay below 2^53, exact in a JavaScript number, for two centuries).
std::uint64_t FirstEventIdAt(std::int64_t millisecondsSinceEpoch);

// Room for the events of the last few minutes of editing; the bytes are kept small so that what
// the backlog holds stays a small share of the host's memory however large the documents are.
inline constexpr std::size_t kEventBacklogEvents = 1024;
inline constexpr std::size_t kEventBacklogBytes = 4 << 20;

class EventJournal {
 public:
  // The backlog keeps at most `capacity` events and, beyond the newest one, `byteBudget` bytes of
  // data: a session that PUTs large documents all day keeps a bounded amount of memory.
  explicit EventJournal(std::size_t capacity = kEventBacklogEvents,
                        std::size_t byteBudget = kEventBacklogBytes, std::uint64_t firstId = 1)
      : capacity_(capacity == 0 ? 1 : capacity),
        byteBudget_(byteBudget),
        firstId_(firstId == 0 ? 1 : firstId),
        newestId_(firstId_ - 1) {}

  std::uint64_t Append(std::string name, std::string data);
  // The entries after `lastSeenId`, waiting up to `wait` for one when there is none yet. An id
  // before this run's first (less one: nothing seen yet) or beyond its newest is another run's:
  // the read answers at once with `reset` and the whole backlog.
  JournalRead ReadAfter(std::uint64_t lastSeenId, std::chrono::milliseconds wait);
  // The id before this run's first event while there is none.
  std::uint64_t newestId() const;
  std::uint64_t firstId() const { return firstId_; }
  // Wakes every reader and makes every later read answer at once with `closed`.
  void Close();

 private:
  mutable std::mutex mutex_;
  std::condition_variable appended_;
  std::deque<JournalEntry> backlog_;
  std::size_t capacity_;
  std::size_t byteBudget_;
  std::size_t bytes_ = 0;
  const std::uint64_t firstId_;
  std::uint64_t newestId_;
  bool closed_ = false;
};

// One message of the stream: "id: N", "event: NAME", "data: JSON" and a blank line.
std::string FormatServerSentEvent(const JournalEntry& entry);

// The SSE data of a published payload: {"uri", "eventType" (its name, e.g. "Update"), "data"}.
// A resource event's numeric type becomes its name; a payload that is not a resource event
// becomes the "data" of one with an empty uri and type.
std::string ResourceEventJson(const Zorv::BindingProperty& payload);

}  // namespace dul::host
