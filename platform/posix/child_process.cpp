#include "platform/child_process.h"

#include <fcntl.h>
#include <signal.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace dul::platform {

ChildProcess::~ChildProcess() {
  Kill();
}

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& workingDirectory, const std::string& outputPath) {
  if (started())
    return false;
  const int output = outputPath.empty() ? -1
                                        : ::open(outputPath.c_str(),
                                                 O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (!outputPath.empty() && output < 0)
    return false;
  // Everything the child needs is built before the fork: after it, only async-signal-safe calls.
  std::vector<std::string> words{program};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words)
    argv.push_back(word.data());
  argv.push_back(nullptr);
  sigset_t nothing;
  sigemptyset(&nothing);
  const pid_t pid = ::fork();
  if (pid != 0 && output >= 0)
    ::close(output);
  if (pid < 0)
    return false;
  if (pid == 0) {
    ::sigprocmask(SIG_SETMASK, &nothing, nullptr);
#ifdef __linux__
    // A parent that dies without killing its child (a crashed test) takes the child along.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
#endif
    if (output >= 0 && (::dup2(output, 1) < 0 || ::dup2(output, 2) < 0))
      ::_exit(127);
    if (!workingDirectory.empty() && ::chdir(workingDirectory.c_str()) != 0)
      ::_exit(127);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  processId_ = static_cast<std::uint64_t>(pid);
  exitCode_.reset();
  return true;
}

bool ChildProcess::RequestStop() {
  return started() && !exitCode_ && ::kill(static_cast<pid_t>(processId_), SIGTERM) == 0;
}

std::optional<int> ChildProcess::Wait(double timeoutSeconds) {
  if (!started() || exitCode_)
    return exitCode_;
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                            std::chrono::duration<double>(timeoutSeconds));
  for (;;) {
    int status = 0;
    const pid_t done = ::waitpid(static_cast<pid_t>(processId_), &status, WNOHANG);
    if (done == static_cast<pid_t>(processId_)) {
      exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      return exitCode_;
    }
    if (done < 0 || std::chrono::steady_clock::now() >= deadline)
      return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

void ChildProcess::Kill() {
  if (!started() || exitCode_)
    return;
  ::kill(static_cast<pid_t>(processId_), SIGKILL);
  int status = 0;
  ::waitpid(static_cast<pid_t>(processId_), &status, 0);
  exitCode_ = 128 + SIGKILL;
}

}  // namespace dul::platform
