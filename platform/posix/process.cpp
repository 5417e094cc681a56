#include "platform/process.h"

#include <dlfcn.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace dul::platform {

std::string ExecutableFileName() {
  char buffer[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length <= 0)
    return {};
  return std::string(buffer, static_cast<std::size_t>(length));
}

std::string LibraryFileName() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&LibraryFileName), &info) == 0 || info.dli_fname == nullptr)
    return {};
  return info.dli_fname;
}

void WriteDebuggerOutput(const char*) {}

std::uintptr_t CurrentThreadId() {
  return static_cast<std::uintptr_t>(::pthread_self());
}

std::uint64_t CurrentProcessId() {
  return static_cast<std::uint64_t>(::getpid());
}

bool ProcessIsRunning(std::uint64_t processId) {
  const auto pid = static_cast<pid_t>(processId);
  if (processId == 0 || static_cast<std::uint64_t>(pid) != processId || pid <= 0)
    return false;
  // EPERM: the process exists but belongs to someone else.
  return ::kill(pid, 0) == 0 || errno == EPERM;
}

void IgnoreBrokenPipes() {
  ::signal(SIGPIPE, SIG_IGN);
}

void TerminateAbnormally() {
  std::abort();
}

}  // namespace dul::platform
