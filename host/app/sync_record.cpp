#include "host/app/sync_record.h"

#include <algorithm>

#include "codecs/json_reader.h"
#include "foundation/find_files.h"
#include "host/services/player_preferences_peer.h"
#include "host/services/wall_clock.h"
#include "platform/file_system.h"

namespace dul::host {
namespace {

Zorv::BindingProperty Stamped(const NotedAt& at) {
  Zorv::BindingProperty entry;
  entry.Member("time") = at.time;
  entry.Member("clockSeconds") = at.clockSeconds;
  return entry;
}

// A body the services accepted is JSON; anything else reads as nothing.
Zorv::BindingProperty BodyOf(const PeerRequest& request) {
  Zorv::BindingResult parsed = Zorv::ParseJson(request.body);
  return parsed.ok() ? parsed.TakeValue() : Zorv::BindingProperty();
}

bool Failed(const PeerAnswer& answer) {
  return answer.status >= 400 || answer.garbledKind.has_value();
}

std::string FailureText(const PeerAnswer& answer) {
  if (answer.errorText)
    return *answer.errorText;
  return answer.fault.empty() ? "The answer could not be read" : "A fault rule: " + answer.fault;
}

std::string FileTime(std::uint64_t ticks) {
  const std::uint64_t sinceEpoch =
      ticks > platform::kFileTimeTicksAtUnixEpoch ? ticks - platform::kFileTimeTicksAtUnixEpoch : 0;
  return FormatUtcTime(static_cast<std::int64_t>(sinceEpoch / 10000));
}

}  // namespace

void SyncRecord::Note(const PeerRequest& request, const PeerAnswer& answer,
                      const std::function<NotedAt()>& now) {
  if (request.methodName == "PUT" && request.path == kPreferencePath) {
    const NotedAt at = now();
    if (Failed(answer)) {
      lastFailedStore_ = Stamped(at);
      lastFailedStore_.Member("status") = answer.status;
      lastFailedStore_.Member("message") = FailureText(answer);
      return;
    }
    const Zorv::BindingProperty body = BodyOf(request);
    lastStored_ = Stamped(at);
    lastStored_.Member("type") = body.Find("type").GetString();
    lastStored_.Member("dataBytes") =
        static_cast<std::uint64_t>(body.Find("data").GetString().size());
    lastStored_.Member("modified") =
        answer.body ? answer.body->Find("modified").GetUnsigned(0) : std::uint64_t{0};
  } else if (request.methodName == "POST" && request.path == kSaveEventPath && !Failed(answer)) {
    lastSaveEvent_ = Stamped(now());
    lastSaveEvent_.Member("data") = BodyOf(request);
  }
}

void SyncRecord::AddTo(Zorv::BindingProperty& view) const {
  view.Member("lastStored") = lastStored_;
  view.Member("lastFailedStore") = lastFailedStore_;
  view.Member("lastSaveEvent") = lastSaveEvent_;
}

Zorv::BindingProperty FilesBelow(const std::string& directory) {
  FoundFiles found = FindFiles(directory, "", true);
  std::sort(found.files.begin(), found.files.end(),
            [](const FoundFile& a, const FoundFile& b) { return a.path < b.path; });
  // Each path is the normalised directory text followed by the names below it.
  const std::size_t prefix = NormalizeSearchDirectory(directory).size();
  Zorv::BindingProperty files;
  files.SetCollection();
  for (const FoundFile& file : found.files) {
    Zorv::BindingProperty& entry = files.PushBack();
    entry.Member("path") = file.path.substr(prefix);
    entry.Member("bytes") = file.size;
    entry.Member("modified") = FileTime(file.lastWriteTime);
  }
  return files;
}

}  // namespace dul::host
