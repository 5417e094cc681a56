#include "platform/child_process.h"

#include <windows.h>

#include "platform/win32/wide_text.h"

namespace dul::platform {
namespace {

// One argument quoted so that the C runtime's command-line parser gives it back unchanged.
std::wstring Quoted(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos)
    return argument;
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      backslashes++;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted.push_back(c);
  }
  quoted.append(backslashes * 2, L'\\');
  quoted.push_back(L'"');
  return quoted;
}

}  // namespace

ChildProcess::~ChildProcess() {
  Kill();
}

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& workingDirectory, const std::string& outputPath) {
  if (started())
    return false;
  // Text that is not UTF-8 names no program, argument or directory; nothing is started.
  const auto wideProgram = win32::WideFromUtf8(program);
  const auto directory = win32::WideFromUtf8(workingDirectory);
  if (!wideProgram || !directory)
    return false;
  std::wstring commandLine = Quoted(*wideProgram);
  for (const std::string& argument : arguments) {
    const auto wideArgument = win32::WideFromUtf8(argument);
    if (!wideArgument)
      return false;
    commandLine += L" " + Quoted(*wideArgument);
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  HANDLE output = INVALID_HANDLE_VALUE;
  if (!outputPath.empty()) {
    const auto wideOutput = win32::WideFromUtf8(outputPath);
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    if (wideOutput) {
      output = ::CreateFileW(wideOutput->c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             &inherited, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (output == INVALID_HANDLE_VALUE)
      return false;
    startup.dwFlags |= STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = output;
    startup.hStdError = output;
  }
  PROCESS_INFORMATION process{};
  const BOOL created =
      ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr,
                       output != INVALID_HANDLE_VALUE, CREATE_NEW_PROCESS_GROUP, nullptr,
                       directory->empty() ? nullptr : directory->c_str(), &startup, &process);
  if (output != INVALID_HANDLE_VALUE)
    ::CloseHandle(output);
  if (!created)
    return false;
  ::CloseHandle(process.hThread);
  handle_ = process.hProcess;
  processId_ = process.dwProcessId;
  exitCode_.reset();
  return true;
}

bool ChildProcess::RequestStop() {
  return started() && !exitCode_ &&
         ::GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, static_cast<DWORD>(processId_)) != 0;
}

std::optional<int> ChildProcess::Wait(double timeoutSeconds) {
  if (!started() || exitCode_)
    return exitCode_;
  const DWORD milliseconds = timeoutSeconds <= 0 ? 0
                             : timeoutSeconds >= 3600000.0
                                 ? INFINITE
                                 : static_cast<DWORD>(timeoutSeconds * 1000.0);
  if (::WaitForSingleObject(handle_, milliseconds) != WAIT_OBJECT_0)
    return std::nullopt;
  DWORD code = 0;
  ::GetExitCodeProcess(handle_, &code);
  ::CloseHandle(handle_);
  handle_ = nullptr;
  exitCode_ = static_cast<int>(code);
  return exitCode_;
}

void ChildProcess::Kill() {
  if (!started() || exitCode_)
    return;
  ::TerminateProcess(handle_, 1);
  Wait(60.0);
}

}  // namespace dul::platform
