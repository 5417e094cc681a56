#include "platform/file_system.h"

#include <io.h>
#include <windows.h>

#include <optional>
#include <utility>

#include "platform/system_call_failure.h"
#include "platform/win32/wide_text.h"

namespace dul::platform {
namespace {

using win32::Utf8FromWide;
using win32::WideFromUtf8;

// True, with the thread's last error set, when the failure seam fails this call.
bool Fails(SystemCall call) {
  const std::optional<std::uint32_t> error = InjectedFailure(call);
  if (error)
    ::SetLastError(*error);
  return error.has_value();
}

// The system calls of this file, each asking the seam first and failing as the call would.
DWORD GetAttributes(const wchar_t* path) {
  return Fails(SystemCall::kQueryAttributes) ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(path);
}
int Access(const wchar_t* path, int mode) {
  return Fails(SystemCall::kQueryAttributes) ? -1 : ::_waccess(path, mode);
}
DWORD ReadCurrentDirectory(DWORD size, wchar_t* buffer) {
  return Fails(SystemCall::kCurrentDirectory) ? 0 : ::GetCurrentDirectoryW(size, buffer);
}
BOOL EnterDirectory(const wchar_t* path) {
  return Fails(SystemCall::kChangeDirectory) ? FALSE : ::SetCurrentDirectoryW(path);
}
BOOL MakeDirectory(const wchar_t* path) {
  return Fails(SystemCall::kCreateDirectory) ? FALSE : ::CreateDirectoryW(path, nullptr);
}
HANDLE FindFirst(const wchar_t* pattern, WIN32_FIND_DATAW* data) {
  return Fails(SystemCall::kList) ? INVALID_HANDLE_VALUE
                                  : ::FindFirstFileExW(pattern, FindExInfoStandard, data,
                                                       FindExSearchNameMatch, nullptr, 0);
}
BOOL FindNext(HANDLE search, WIN32_FIND_DATAW* data) {
  return Fails(SystemCall::kList) ? FALSE : ::FindNextFileW(search, data);
}
HANDLE OpenHandle(const wchar_t* path, DWORD access, DWORD share, DWORD disposition) {
  return Fails(SystemCall::kOpen) ? INVALID_HANDLE_VALUE
                                  : ::CreateFileW(path, access, share, nullptr, disposition,
                                                  FILE_ATTRIBUTE_NORMAL, nullptr);
}
BOOL Read(HANDLE file, void* buffer, DWORD size, DWORD* got) {
  return Fails(SystemCall::kRead) ? FALSE : ::ReadFile(file, buffer, size, got, nullptr);
}
BOOL Write(HANDLE file, const void* bytes, DWORD size, DWORD* written) {
  return Fails(SystemCall::kWrite) ? FALSE : ::WriteFile(file, bytes, size, written, nullptr);
}
BOOL Flush(HANDLE file) {
  return Fails(SystemCall::kFlush) ? FALSE : ::FlushFileBuffers(file);
}
// The handle is released either way; only the outcome reported is the seam's.
BOOL Close(HANDLE file) {
  const BOOL closed = ::CloseHandle(file);
  return Fails(SystemCall::kClose) ? FALSE : closed;
}
BOOL Move(const wchar_t* from, const wchar_t* to) {
  return Fails(SystemCall::kRename)
             ? FALSE
             : ::MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}
BOOL Delete(const wchar_t* path) {
  return Fails(SystemCall::kDelete) ? FALSE : ::DeleteFileW(path);
}

std::uint64_t Join(DWORD high, DWORD low) {
  return (static_cast<std::uint64_t>(high) << 32) | low;
}

DirectoryEntry EntryFromFindData(const WIN32_FIND_DATAW& data) {
  DirectoryEntry entry;
  entry.name = Utf8FromWide(data.cFileName);
  entry.size = Join(data.nFileSizeHigh, data.nFileSizeLow);
  entry.lastWriteTime =
      Join(data.ftLastWriteTime.dwHighDateTime, data.ftLastWriteTime.dwLowDateTime);
  entry.attributes = data.dwFileAttributes;
  return entry;
}

bool WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = bytes.size() > 0x40000000u ? 0x40000000u : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!Write(file, bytes.data(), chunk, &written) || written == 0)
      return false;
    bytes.remove_prefix(written);
  }
  return true;
}

std::optional<std::string> ReadFailed(std::uint32_t* error) {
  if (error != nullptr)
    *error = ::GetLastError();
  return std::nullopt;
}

}  // namespace

std::optional<std::uint32_t> FileAttributes(const std::string& path) {
  const auto wide = WideFromUtf8(path);
  if (path.empty() || !wide)
    return std::nullopt;
  const DWORD attributes = GetAttributes(wide->c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return std::nullopt;
  return attributes;
}

std::uint32_t CreateOneDirectory(const std::string& path) {
  const auto wide = WideFromUtf8(path);
  if (wide && MakeDirectory(wide->c_str()))
    return kErrorSuccess;
  return ::GetLastError();
}

bool DeleteOneFile(const std::string& path) {
  const auto wide = WideFromUtf8(path);
  return wide && Delete(wide->c_str()) != 0;
}

std::optional<std::string> CurrentDirectory() {
  const DWORD needed = ReadCurrentDirectory(0, nullptr);
  if (needed == 0)
    return std::nullopt;
  std::wstring buffer(needed, L'\0');
  const DWORD length = ReadCurrentDirectory(needed, buffer.data());
  if (length == 0 || length >= needed)
    return std::nullopt;
  buffer.resize(length);
  return Utf8FromWide(buffer);
}

bool ChangeCurrentDirectory(const std::string& path) {
  const auto wide = WideFromUtf8(path);
  return wide && EnterDirectory(wide->c_str()) != 0;
}

bool HasWriteAccess(const std::string& path) {
  const auto wide = WideFromUtf8(path);
  return wide && Access(wide->c_str(), 2) == 0;
}

std::optional<std::vector<DirectoryEntry>> ListDirectory(const std::string& pattern) {
  const auto wide = WideFromUtf8(pattern);
  if (!wide)
    return std::nullopt;
  WIN32_FIND_DATAW data{};
  const HANDLE search = FindFirst(wide->c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) {
    if (::GetLastError() == ERROR_FILE_NOT_FOUND)
      return std::vector<DirectoryEntry>{};
    return std::nullopt;
  }
  std::vector<DirectoryEntry> entries;
  do {
    entries.push_back(EntryFromFindData(data));
  } while (FindNext(search, &data));
  // The listing ends with "no more files"; any other error breaks it off.
  const bool complete = ::GetLastError() == ERROR_NO_MORE_FILES;
  ::FindClose(search);
  if (!complete)
    return std::nullopt;
  return entries;
}

std::optional<std::string> ReadWholeFile(const std::string& path, std::uint32_t* error) {
  const auto wide = WideFromUtf8(path);
  if (!wide)
    return ReadFailed(error);
  // No sharing restriction: another process that holds the file open, even for writing, must
  // not make it read as missing.
  const HANDLE file =
      OpenHandle(wide->c_str(), GENERIC_READ,
                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING);
  if (file == INVALID_HANDLE_VALUE)
    return ReadFailed(error);
  std::string bytes;
  char buffer[16384];
  DWORD got = 0;
  bool ok = true;
  while ((ok = Read(file, buffer, sizeof buffer, &got) != 0) && got > 0) {
    bytes.append(buffer, got);
  }
  if (!ok) {
    const std::optional<std::string> failed = ReadFailed(error);
    ::CloseHandle(file);
    return failed;
  }
  ::CloseHandle(file);
  if (error != nullptr)
    *error = kErrorSuccess;
  return bytes;
}

bool IsMissingFileError(std::uint32_t error) {
  return error == kErrorFileNotFound || error == kErrorPathNotFound;
}

bool WriteWholeFile(const std::string& path, std::string_view bytes) {
  const auto wide = WideFromUtf8(path);
  if (!wide)
    return false;
  const HANDLE file =
      OpenHandle(wide->c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, CREATE_ALWAYS);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  const bool written = WriteAll(file, bytes);
  return Close(file) != 0 && written;
}

bool ReplaceFileAtomically(const std::string& path, std::string_view bytes) {
  const auto wide = WideFromUtf8(path);
  if (!wide)
    return false;
  const std::wstring& target = *wide;
  const std::wstring temporary = target + L".tmp" + std::to_wstring(::GetCurrentProcessId());
  const HANDLE file = OpenHandle(temporary.c_str(), GENERIC_WRITE, 0, CREATE_ALWAYS);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  const bool written = WriteAll(file, bytes) && Flush(file) != 0;
  const bool closed = Close(file) != 0;
  if (!written || !closed || !Move(temporary.c_str(), target.c_str())) {
    Delete(temporary.c_str());
    return false;
  }
  return true;
}

bool ReplacePrivateFileAtomically(const std::string& path, std::string_view bytes) {
  return ReplaceFileAtomically(path, bytes);
}

}  // namespace dul::platform
