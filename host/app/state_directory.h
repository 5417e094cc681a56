// StateDirectory: the files dul-host keeps between runs. Beside host.json it holds the
// simulated services' store and an installed game: "install/Client" (with the markers that make
// the installation locator see an installed client) beside "install/Game", so the game's
// configuration directory is "install/Game/Config/". The host makes "install/Client" its current
// directory before the plugin is loaded, as the platform's client runs from its own directory.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "host/app/host_record.h"

namespace dul::host {

// `path` made absolute against the current directory (the host leaves it for the client
// directory before it loads the plugin); nothing when the current directory cannot be read.
std::optional<std::string> AbsolutePath(const std::string& path);

class StateDirectory {
 public:
  // Makes `path` absolute against the current directory and creates it and the install tree.
  // False with error() set when a directory or marker cannot be made.
  bool Prepare(const std::string& path) { return Locate(path) && Create(); }
  // The two steps apart, so that a start can be refused before anything is made: Locate only
  // makes `path` absolute; Create makes the directories and markers.
  bool Locate(const std::string& path);
  bool Create();

  const std::string& root() const { return root_; }
  std::string clientDirectory() const { return root_ + "/install/Client"; }
  std::string gameConfigDirectory() const { return root_ + "/install/Game/Config"; }
  std::string hostRecordPath() const { return root_ + "/host.json"; }

  // The process named by a host.json that another running process left; nothing when there is
  // none, it is unreadable, or its process has ended (a host that crashed).
  std::optional<std::uint64_t> RunningHostProcess() const;
  // Writes host.json atomically and readable by its owner only: it holds the token.
  bool WriteHostRecord(const HostRecord& record);
  // Removes host.json at an orderly end, so its presence means that a host listens.
  bool RemoveHostRecord();
  const std::string& error() const { return error_; }

 private:
  bool MakeDirectories(const std::string& path);
  bool MakeMarkerFile(const std::string& path);

  std::string root_;
  std::string error_;
};

}  // namespace dul::host
