#include "platform/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace dul::platform {
namespace {

std::uint32_t SystemErrorFromErrno(int error) {
  switch (error) {
    case 0:
      return kErrorSuccess;
    case EEXIST:
      return kErrorAlreadyExists;
    case ENOENT:
    case ENOTDIR:
      return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
      return kErrorAccessDenied;
    case ENOSPC:
    case EDQUOT:
      return kErrorDiskFull;
    default:
      return kErrorGeneric;
  }
}

// Windows' read-only attribute has no owner/group distinction; the owner's write bit stands in.
std::uint32_t AttributesFromStat(const struct stat& info) {
  std::uint32_t attributes = 0;
  if (S_ISDIR(info.st_mode))
    attributes |= kAttributeDirectory;
  if ((info.st_mode & S_IWUSR) == 0)
    attributes |= kAttributeReadOnly;
  return attributes == 0 ? kAttributeNormal : attributes;
}

// Seconds and nanoseconds since 1970 as 100 ns ticks since 1601.
std::uint64_t FileTimeFromTimespec(const struct timespec& time) {
  constexpr std::uint64_t kTicksFrom1601To1970 = 116444736000000000ULL;
  return kTicksFrom1601To1970 + static_cast<std::uint64_t>(time.tv_sec) * 10000000ULL +
         static_cast<std::uint64_t>(time.tv_nsec) / 100;
}

std::pair<std::string, std::string> SplitPattern(const std::string& pattern) {
  const auto slash = pattern.find_last_of('/');
  if (slash == std::string::npos)
    return {".", pattern};
  return {slash == 0 ? "/" : pattern.substr(0, slash), pattern.substr(slash + 1)};
}

// An entry as Windows lists it: a symbolic link is a reparse point with its own size and time,
// marked as a directory when its target is one, and never taken for its target.
DirectoryEntry EntryOf(const std::string& path, const char* name) {
  DirectoryEntry result;
  result.name = name;
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0)
    return result;
  result.lastWriteTime = FileTimeFromTimespec(info.st_mtim);
  if (!S_ISLNK(info.st_mode)) {
    result.size = S_ISDIR(info.st_mode) ? 0 : static_cast<std::uint64_t>(info.st_size);
    result.attributes = AttributesFromStat(info);
    return result;
  }
  struct stat target {};
  const bool toDirectory = ::stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode);
  result.attributes = kAttributeReparsePoint | (toDirectory ? kAttributeDirectory : 0);
  return result;
}

bool WriteAll(int descriptor, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR)
      continue;
    if (written <= 0)
      return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

}  // namespace

std::optional<std::uint32_t> FileAttributes(const std::string& path) {
  struct stat info {};
  if (path.empty() || ::stat(path.c_str(), &info) != 0)
    return std::nullopt;
  return AttributesFromStat(info);
}

std::uint32_t CreateOneDirectory(const std::string& path) {
  if (::mkdir(path.c_str(), 0777) == 0)
    return kErrorSuccess;
  return SystemErrorFromErrno(errno);
}

bool DeleteOneFile(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode))
    return false;
  return ::unlink(path.c_str()) == 0;
}

std::optional<std::string> CurrentDirectory() {
  char buffer[PATH_MAX];
  if (::getcwd(buffer, sizeof buffer) == nullptr)
    return std::nullopt;
  return std::string(buffer);
}

bool ChangeCurrentDirectory(const std::string& path) {
  return ::chdir(path.c_str()) == 0;
}

bool HasWriteAccess(const std::string& path) {
  const auto attributes = FileAttributes(path);
  if (!attributes)
    return false;
  return (*attributes & kAttributeDirectory) != 0 || (*attributes & kAttributeReadOnly) == 0;
}

std::optional<std::vector<DirectoryEntry>> ListDirectory(const std::string& pattern) {
  const auto [directory, wildcard] = SplitPattern(pattern);
  DIR* stream = ::opendir(directory.c_str());
  if (stream == nullptr)
    return std::nullopt;
  std::vector<DirectoryEntry> entries;
  while (const dirent* entry = ::readdir(stream)) {
    if (::fnmatch(wildcard.c_str(), entry->d_name, 0) != 0)
      continue;
    entries.push_back(EntryOf(directory + "/" + entry->d_name, entry->d_name));
  }
  ::closedir(stream);
  return entries;
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0)
    return std::nullopt;
  std::string bytes;
  char buffer[16384];
  for (;;) {
    const ssize_t got = ::read(descriptor, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR)
      continue;
    if (got < 0) {
      ::close(descriptor);
      return std::nullopt;
    }
    if (got == 0)
      break;
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(descriptor);
  return bytes;
}

bool WriteWholeFile(const std::string& path, std::string_view bytes) {
  const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (descriptor < 0)
    return false;
  const bool written = WriteAll(descriptor, bytes);
  return ::close(descriptor) == 0 && written;
}

namespace {

bool ReplaceWithMode(const std::string& path, std::string_view bytes, mode_t mode) {
  std::string temporary = path + ".tmpXXXXXX";
  const int descriptor = ::mkstemp(temporary.data());
  if (descriptor < 0)
    return false;
  const bool written = WriteAll(descriptor, bytes) && ::fsync(descriptor) == 0;
  const bool closed = ::close(descriptor) == 0;
  if (!written || !closed || ::chmod(temporary.c_str(), mode) != 0 ||
      ::rename(temporary.c_str(), path.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace

bool ReplaceFileAtomically(const std::string& path, std::string_view bytes) {
  return ReplaceWithMode(path, bytes, 0644);
}

bool ReplacePrivateFileAtomically(const std::string& path, std::string_view bytes) {
  return ReplaceWithMode(path, bytes, 0600);
}

}  // namespace dul::platform
