// File-system calls of the operating system, with Windows semantics on every backend.
// Paths are UTF-8 text; the win32 backend converts them to UTF-16 and calls the wide-character
// functions, the posix backend passes them through. Every system call the operations make goes
// through the failure seam of platform/system_call_failure.h, so tests can fail any one of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dul::platform {

// Windows attribute bits; the posix backend reports the same bits for the same situations.
inline constexpr std::uint32_t kAttributeReadOnly = 0x01;
inline constexpr std::uint32_t kAttributeDirectory = 0x10;
inline constexpr std::uint32_t kAttributeNormal = 0x80;
// A link (symbolic link, junction or other reparse point); with the directory bit when it
// stands for a directory.
inline constexpr std::uint32_t kAttributeReparsePoint = 0x400;

// Windows system error codes; the posix backend maps errno onto them.
inline constexpr std::uint32_t kErrorSuccess = 0;
inline constexpr std::uint32_t kErrorFileNotFound = 2;
inline constexpr std::uint32_t kErrorPathNotFound = 3;
inline constexpr std::uint32_t kErrorAccessDenied = 5;
inline constexpr std::uint32_t kErrorDiskFull = 112;
inline constexpr std::uint32_t kErrorAlreadyExists = 183;
inline constexpr std::uint32_t kErrorGeneric = 31;

// Attribute bits of a path, or nothing when they cannot be read (missing path, bad name).
std::optional<std::uint32_t> FileAttributes(const std::string& path);

// Creates one directory; returns kErrorSuccess, kErrorAlreadyExists or another system error.
std::uint32_t CreateOneDirectory(const std::string& path);

// Deletes one file; true on success.
bool DeleteOneFile(const std::string& path);

// Current directory of the process, without a trailing separator (except at a root);
// nothing when it cannot be read.
std::optional<std::string> CurrentDirectory();

// Makes `path` the process's current directory; false when it cannot.
bool ChangeCurrentDirectory(const std::string& path);

// The C runtime's check for write permission: a directory passes when it exists, a file when
// it exists and is not read-only.
bool HasWriteAccess(const std::string& path);

// 100 ns ticks from 1601-01-01 (where file times count from) to 1970-01-01 UTC.
inline constexpr std::uint64_t kFileTimeTicksAtUnixEpoch = 116444736000000000ULL;

struct DirectoryEntry {
  std::string name;  // entry name without directory, UTF-8
  std::uint64_t size = 0;
  std::uint64_t lastWriteTime = 0;  // 100 ns ticks since 1601-01-01 UTC
  std::uint32_t attributes = 0;
};

// Lists the entries of a directory that match the wildcard pattern of the last path component
// ("dir/*" lists everything, "." and ".." included, as the system lists them). A link is reported
// as itself, with kAttributeReparsePoint, never as what it points to. Nothing when the directory
// cannot be listed or the listing breaks off: a partial listing is never passed off as whole.
std::optional<std::vector<DirectoryEntry>> ListDirectory(const std::string& pattern);

// Reads a whole file; nothing when it cannot be opened or read. When `error` is given it
// receives kErrorSuccess or the system error of the failing step, so that a caller can tell a
// missing file (IsMissingFileError) from one that exists but cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path, std::uint32_t* error = nullptr);

// True for the errors that mean nothing exists at a path.
bool IsMissingFileError(std::uint32_t error);

// Creates or truncates a file, shared with other readers and writers, and writes the bytes to
// it; false when it cannot be opened or the write fails (a failed write may leave it short).
bool WriteWholeFile(const std::string& path, std::string_view bytes);

// Replaces a file atomically: the bytes go to a temporary file in the same directory, which is
// flushed to disk and then renamed over the target. On failure the target is left as it was and
// no temporary file remains.
bool ReplaceFileAtomically(const std::string& path, std::string_view bytes);

// The same for a file that holds a secret: on POSIX only its owner may read or write it (mode
// 0600); on Windows it takes the access its directory grants, as every file there does.
bool ReplacePrivateFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace dul::platform
