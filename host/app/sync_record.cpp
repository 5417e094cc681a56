#include "host/app/sync_record.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "codecs/json_reader.h"
#include "host/services/player_preferences_peer.h"
#include "host/services/wall_clock.h"
#include "platform/file_system.h"

namespace dul::host {
namespace {

// 100 ns ticks from 1601-01-01 to 1970-01-01, the start of the wall clock's milliseconds.
constexpr std::uint64_t kTicksToUnixEpoch = 116444736000000000ULL;

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
  const std::uint64_t sinceEpoch = ticks > kTicksToUnixEpoch ? ticks - kTicksToUnixEpoch : 0;
  return FormatUtcTime(static_cast<std::int64_t>(sinceEpoch / 10000));
}

struct FoundFile {
  std::string path;
  platform::DirectoryEntry entry;
};

void Collect(const std::string& root, const std::string& relative, std::vector<FoundFile>& found) {
  const std::optional<std::vector<platform::DirectoryEntry>> entries =
      platform::ListDirectory(root + "/" + relative + "*");
  for (const platform::DirectoryEntry& entry :
       entries.value_or(std::vector<platform::DirectoryEntry>{})) {
    if (entry.name == "." || entry.name == "..")
      continue;
    const bool directory = (entry.attributes & platform::kAttributeDirectory) != 0;
    const bool link = (entry.attributes & platform::kAttributeReparsePoint) != 0;
    if (directory && !link)
      Collect(root, relative + entry.name + "/", found);
    else
      found.push_back(FoundFile{relative + entry.name, entry});
  }
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
  std::vector<FoundFile> found;
  if (!directory.empty())
    Collect(directory, "", found);
  std::sort(found.begin(), found.end(),
            [](const FoundFile& a, const FoundFile& b) { return a.path < b.path; });
  Zorv::BindingProperty files;
  files.SetCollection();
  for (const FoundFile& file : found) {
    Zorv::BindingProperty& entry = files.PushBack();
    entry.Member("path") = file.path;
    entry.Member("bytes") = file.entry.size;
    entry.Member("modified") = FileTime(file.entry.lastWriteTime);
  }
  return files;
}

}  // namespace dul::host
