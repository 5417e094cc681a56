#include "platform/process.h"

#include <dlfcn.h>
#include <pthread.h>
#include <unistd.h>

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

void TerminateAbnormally() {
  std::abort();
}

}  // namespace dul::platform
