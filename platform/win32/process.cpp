#include "platform/process.h"

#include <windows.h>

#include <cstdlib>

namespace dul::platform {
namespace {

std::string ModuleFileName(HMODULE module) {
  char buffer[MAX_PATH + 1] = {};
  const DWORD length = ::GetModuleFileNameA(module, buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH)
    return {};
  return std::string(buffer, length);
}

}  // namespace

std::string ExecutableFileName() {
  return ModuleFileName(nullptr);
}

std::string LibraryFileName() {
  HMODULE module = nullptr;
  if (!::GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCSTR>(&LibraryFileName), &module)) {
    return {};
  }
  return ModuleFileName(module);
}

void WriteDebuggerOutput(const char* text) {
  ::OutputDebugStringA(text);
}

std::uintptr_t CurrentThreadId() {
  return ::GetCurrentThreadId();
}

std::uint64_t CurrentProcessId() {
  return ::GetCurrentProcessId();
}

bool ProcessIsRunning(std::uint64_t processId) {
  if (processId == 0 || processId > 0xFFFFFFFFu)
    return false;
  const HANDLE process =
      ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(processId));
  if (process == nullptr)
    return ::GetLastError() == ERROR_ACCESS_DENIED;
  DWORD exitCode = 0;
  const bool running = ::GetExitCodeProcess(process, &exitCode) && exitCode == STILL_ACTIVE;
  ::CloseHandle(process);
  return running;
}

void IgnoreBrokenPipes() {}

void TerminateAbnormally() {
  std::abort();
}

}  // namespace dul::platform
