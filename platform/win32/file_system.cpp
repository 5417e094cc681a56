#include "platform/file_system.h"

#include <io.h>
#include <windows.h>

#include "platform/win32/wide_text.h"

namespace dul::platform {
namespace {

using win32::Utf8FromWide;
using win32::WideFromUtf8;

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
    if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0)
      return false;
    bytes.remove_prefix(written);
  }
  return true;
}

}  // namespace

std::optional<std::uint32_t> FileAttributes(const std::string& path) {
  const auto wide = WideFromUtf8(path);
  if (path.empty() || !wide)
    return std::nullopt;
  const DWORD attributes = ::GetFileAttributesW(wide->c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return std::nullopt;
  return attributes;
}

std::uint32_t CreateOneDirectory(const std::string& path) {
  const auto wide = WideFromUtf8(path);
  if (wide && ::CreateDirectoryW(wide->c_str(), nullptr))
    return kErrorSuccess;
  return ::GetLastError();
}

bool DeleteOneFile(const std::string& path) {
  const auto wide = WideFromUtf8(path);
  return wide && ::DeleteFileW(wide->c_str()) != 0;
}

std::optional<std::string> CurrentDirectory() {
  const DWORD needed = ::GetCurrentDirectoryW(0, nullptr);
  if (needed == 0)
    return std::nullopt;
  std::wstring buffer(needed, L'\0');
  const DWORD length = ::GetCurrentDirectoryW(needed, buffer.data());
  if (length == 0 || length >= needed)
    return std::nullopt;
  buffer.resize(length);
  return Utf8FromWide(buffer);
}

bool ChangeCurrentDirectory(const std::string& path) {
  const auto wide = WideFromUtf8(path);
  return wide && ::SetCurrentDirectoryW(wide->c_str()) != 0;
}

bool HasWriteAccess(const std::string& path) {
  const auto wide = WideFromUtf8(path);
  return wide && ::_waccess(wide->c_str(), 2) == 0;
}

std::optional<std::vector<DirectoryEntry>> ListDirectory(const std::string& pattern) {
  const auto wide = WideFromUtf8(pattern);
  if (!wide)
    return std::nullopt;
  WIN32_FIND_DATAW data{};
  const HANDLE search = ::FindFirstFileExW(wide->c_str(), FindExInfoStandard, &data,
                                           FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) {
    if (::GetLastError() == ERROR_FILE_NOT_FOUND)
      return std::vector<DirectoryEntry>{};
    return std::nullopt;
  }
  std::vector<DirectoryEntry> entries;
  do {
    entries.push_back(EntryFromFindData(data));
  } while (::FindNextFileW(search, &data));
  ::FindClose(search);
  return entries;
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
  const auto wide = WideFromUtf8(path);
  if (!wide)
    return std::nullopt;
  // No sharing restriction: another process that holds the file open, even for writing, must
  // not make it read as missing.
  const HANDLE file = ::CreateFileW(wide->c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return std::nullopt;
  std::string bytes;
  char buffer[16384];
  DWORD got = 0;
  bool ok = true;
  while ((ok = ::ReadFile(file, buffer, sizeof buffer, &got, nullptr) != 0) && got > 0) {
    bytes.append(buffer, got);
  }
  ::CloseHandle(file);
  if (!ok)
    return std::nullopt;
  return bytes;
}

bool WriteWholeFile(const std::string& path, std::string_view bytes) {
  const auto wide = WideFromUtf8(path);
  if (!wide)
    return false;
  const HANDLE file =
      ::CreateFileW(wide->c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  const bool written = WriteAll(file, bytes);
  return ::CloseHandle(file) != 0 && written;
}

bool ReplaceFileAtomically(const std::string& path, std::string_view bytes) {
  const auto wide = WideFromUtf8(path);
  if (!wide)
    return false;
  const std::wstring& target = *wide;
  const std::wstring temporary = target + L".tmp" + std::to_wstring(::GetCurrentProcessId());
  const HANDLE file = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  const bool written = WriteAll(file, bytes) && ::FlushFileBuffers(file) != 0;
  const bool closed = ::CloseHandle(file) != 0;
  if (!written || !closed ||
      !::MoveFileExW(temporary.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    ::DeleteFileW(temporary.c_str());
    return false;
  }
  return true;
}

bool ReplacePrivateFileAtomically(const std::string& path, std::string_view bytes) {
  return ReplaceFileAtomically(path, bytes);
}

}  // namespace dul::platform
