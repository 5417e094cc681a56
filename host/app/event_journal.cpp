#include "host/app/event_journal.h"

#include <cstring>

#include "codecs/json_writer.h"
#include "host/services/resource_event_publisher.h"

namespace dul::host {
namespace {

// A line break in a field would end it early and let the rest pose as another field.
std::string OneLine(std::string text) {
  // Searched for rather than tested byte by byte: compact JSON, the usual text, holds none.
  char* const end = text.data() + text.size();
  for (const char lineBreak : {'\n', '\r'}) {
    for (char* at = text.data(); (at = static_cast<char*>(std::memchr(at, lineBreak, end - at)));)
      *at++ = ' ';
  }
  return text;
}

std::string EventTypeName(const Zorv::BindingProperty& type) {
  std::int64_t number = -1;
  switch (type.Kind()) {
    case Zorv::BindingPropertyKind::kString:
      return std::string(type.GetString());
    case Zorv::BindingPropertyKind::kUnsigned:
      number = type.GetUnsigned(0) < 3 ? static_cast<std::int64_t>(type.GetUnsigned(0)) : -1;
      break;
    case Zorv::BindingPropertyKind::kSigned:
      number = type.GetSigned(-1);
      break;
    case Zorv::BindingPropertyKind::kEnum:
      number = type.GetEnum().value;
      break;
    default:
      break;
  }
  return number >= 0 && number < 3
             ? std::string(ResourceEventTypeName(static_cast<ResourceEventType>(number)))
             : std::string();
}

}  // namespace

std::uint64_t EventJournal::Append(std::string name, std::string data) {
  std::uint64_t id = 0;
  {
    std::lock_guard lock(mutex_);
    if (closed_)
      return 0;
    id = ++newestId_;
    backlog_.push_back(JournalEntry{id, OneLine(std::move(name)), OneLine(std::move(data))});
    bytes_ += backlog_.back().data.size();
    while (backlog_.size() > capacity_ || (backlog_.size() > 1 && bytes_ > byteBudget_)) {
      bytes_ -= backlog_.front().data.size();
      backlog_.pop_front();
    }
  }
  appended_.notify_all();
  return id;
}

std::uint64_t FirstEventIdAt(std::int64_t millisecondsSinceEpoch) {
  return static_cast<std::uint64_t>(millisecondsSinceEpoch > 0 ? millisecondsSinceEpoch : 0) *
             1000 +
         1;
}

JournalRead EventJournal::ReadAfter(std::uint64_t lastSeenId, std::chrono::milliseconds wait) {
  std::unique_lock lock(mutex_);
  JournalRead read;
  if (lastSeenId + 1 < firstId_ || lastSeenId > newestId_) {
    read.reset = true;
    lastSeenId = firstId_ - 1;
  }
  appended_.wait_for(lock, wait, [&] { return read.reset || closed_ || newestId_ > lastSeenId; });
  read.closed = closed_;
  const std::uint64_t oldestKept = backlog_.empty() ? newestId_ + 1 : backlog_.front().id;
  if (oldestKept > lastSeenId + 1)
    read.missed = oldestKept - lastSeenId - 1;
  for (const JournalEntry& entry : backlog_) {
    if (entry.id > lastSeenId)
      read.entries.push_back(entry);
  }
  return read;
}

std::uint64_t EventJournal::newestId() const {
  std::lock_guard lock(mutex_);
  return newestId_;
}

void EventJournal::Close() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  appended_.notify_all();
}

std::string FormatServerSentEvent(const JournalEntry& entry) {
  return "id: " + std::to_string(entry.id) + "\nevent: " + entry.name + "\ndata: " + entry.data +
         "\n\n";
}

std::string ResourceEventJson(const Zorv::BindingProperty& payload) {
  const bool isResourceEvent =
      payload.Kind() == Zorv::BindingPropertyKind::kStructure && payload.Contains("uri");
  const Zorv::BindingProperty& data = isResourceEvent ? payload.Find("data") : payload;
  const Zorv::BindingProperty type(isResourceEvent ? EventTypeName(payload.Find("eventType"))
                                                   : std::string());
  const Zorv::BindingProperty uri(isResourceEvent ? payload.Find("uri").GetString()
                                                  : std::string_view());
  // Written member by member in name order, as for one object, so that the data, which may be a
  // whole document, is not copied first; an empty value inside an object is null.
  std::string json = "{\"data\":";
  json += data.IsEmpty() ? "null" : Zorv::WriteJson(data, nullptr, nullptr);
  json += ",\"eventType\":";
  json += Zorv::WriteJson(type, nullptr, nullptr);
  json += ",\"uri\":";
  json += Zorv::WriteJson(uri, nullptr, nullptr);
  json += '}';
  return json;
}

}  // namespace dul::host
