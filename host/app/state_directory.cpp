#include "host/app/state_directory.h"

#include "platform/file_system.h"
#include "platform/process.h"

namespace dul::host {
namespace {

bool IsAbsolute(const std::string& path) {
  if (!path.empty() && (path[0] == '/' || path[0] == '\\'))
    return true;
  return path.size() >= 3 && path[1] == ':' && (path[2] == '/' || path[2] == '\\');
}

// Without a trailing separator, and without "." components, so the locator sees a clean path.
std::string Tidy(std::string path) {
  for (std::size_t at; (at = path.find("/./")) != std::string::npos;)
    path.erase(at, 2);
  if (path.starts_with("./"))
    path.erase(0, 2);
  if (path.ends_with("/."))
    path.resize(path.size() - 2);
  while (path.size() > 1 && (path.back() == '/' || path.back() == '\\'))
    path.pop_back();
  return path;
}

}  // namespace

std::optional<std::string> AbsolutePath(const std::string& path) {
  if (IsAbsolute(path))
    return Tidy(path);
  const std::optional<std::string> current = platform::CurrentDirectory();
  if (!current)
    return std::nullopt;
  return Tidy(*current + "/" + path);
}

bool StateDirectory::MakeDirectories(const std::string& path) {
  for (std::size_t at = 1; at <= path.size(); ++at) {
    if (at != path.size() && path[at] != '/' && path[at] != '\\')
      continue;
    const std::string prefix = path.substr(0, at);
    if (prefix.size() == 2 && prefix[1] == ':')
      continue;  // a drive letter
    const std::uint32_t made = platform::CreateOneDirectory(prefix);
    if (made != platform::kErrorSuccess && made != platform::kErrorAlreadyExists) {
      error_ =
          "cannot create the directory " + prefix + " (system error " + std::to_string(made) + ")";
      return false;
    }
  }
  return true;
}

bool StateDirectory::MakeMarkerFile(const std::string& path) {
  if (platform::FileAttributes(path) || platform::WriteWholeFile(path, ""))
    return true;
  error_ = "cannot create " + path;
  return false;
}

bool StateDirectory::Locate(const std::string& path) {
  const std::optional<std::string> absolute = AbsolutePath(path);
  if (!absolute) {
    error_ = "cannot read the current directory";
    return false;
  }
  root_ = *absolute;
  return true;
}

bool StateDirectory::Create() {
  // An installed client: the launcher and the desktop client's directory beside it outscore
  // whatever the state directory's own path might suggest to the locator.
  return MakeDirectories(clientDirectory()) && MakeDirectories(gameConfigDirectory()) &&
         MakeDirectories(root_ + "/install/DesktopClient") &&
         MakeMarkerFile(root_ + "/install/PlayLauncher.exe");
}

std::optional<std::uint64_t> StateDirectory::RunningHostProcess() const {
  const std::optional<std::string> text = platform::ReadWholeFile(hostRecordPath());
  if (!text)
    return std::nullopt;
  const std::optional<HostRecord> record = HostRecord::FromJson(*text);
  if (!record || record->pid == platform::CurrentProcessId() ||
      !platform::ProcessIsRunning(record->pid)) {
    return std::nullopt;
  }
  return record->pid;
}

bool StateDirectory::WriteHostRecord(const HostRecord& record) {
  if (platform::ReplacePrivateFileAtomically(hostRecordPath(), record.ToJson()))
    return true;
  error_ = "cannot write " + hostRecordPath();
  return false;
}

bool StateDirectory::RemoveHostRecord() {
  return platform::DeleteOneFile(hostRecordPath()) || !platform::FileAttributes(hostRecordPath());
}

}  // namespace dul::host
