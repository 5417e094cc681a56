// Facts about the running process and its threads, and its abnormal end.
#pragma once

#include <cstdint>
#include <string>

namespace dul::platform {

// Full path of the process's executable; empty when it cannot be read.
std::string ExecutableFileName();

// Full path of this library (the module that holds this code); empty when it cannot be read.
std::string LibraryFileName();

// Sends text to an attached debugger (nothing on backends without one).
void WriteDebuggerOutput(const char* text);

// Identifier of the calling thread.
std::uintptr_t CurrentThreadId();

// Identifier of the running process.
std::uint64_t CurrentProcessId();

// Whether a process with this identifier runs now (the caller's own included).
bool ProcessIsRunning(std::uint64_t processId);

// Writing to a connection that the other end has closed fails with an error instead of ending
// the process (POSIX sends SIGPIPE; Windows has nothing to change).
void IgnoreBrokenPipes();

// Ends the process at once, as an assertion failure does.
[[noreturn]] void TerminateAbnormally();

}  // namespace dul::platform
