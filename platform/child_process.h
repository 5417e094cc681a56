// ChildProcess: a program started as a child of this process, for tests that drive another
// executable from outside. A child still running when the object goes is killed and reaped.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dul::platform {

class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts `program` (a path) with `arguments` in `workingDirectory` (empty: this process's);
  // false when it cannot be started. Its standard output and error go to the file
  // `outputPath` (created or emptied), or with an empty path to this process's.
  bool Start(const std::string& program, const std::vector<std::string>& arguments,
             const std::string& workingDirectory = {}, const std::string& outputPath = {});
  // Asks the child to stop as SIGTERM does (on Windows: Ctrl+Break to its process group).
  bool RequestStop();
  // Waits up to `timeoutSeconds` for the child to end. Its exit code (128 plus the signal for a
  // child ended by a signal), or nothing while it still runs.
  std::optional<int> Wait(double timeoutSeconds);
  // Ends the child at once and reaps it.
  void Kill();
  std::uint64_t processId() const { return processId_; }
  bool started() const { return processId_ != 0; }

 private:
  std::uint64_t processId_ = 0;
  void* handle_ = nullptr;  // the process handle on Windows
  std::optional<int> exitCode_;
};

}  // namespace dul::platform
