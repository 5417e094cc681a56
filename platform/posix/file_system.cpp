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
#include <optional>
#include <utility>

#include "platform/system_call_failure.h"

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

// The errno an injected system error stands for, so that it reads back as the same error.
int ErrnoFromSystemError(std::uint32_t error) {
  switch (error) {
    case kErrorFileNotFound:
    case kErrorPathNotFound:
      return ENOENT;
    case kErrorAccessDenied:
      return EACCES;
    case kErrorDiskFull:
      return ENOSPC;
    case kErrorAlreadyExists:
      return EEXIST;
    default:
      return EIO;
  }
}

// True, with errno set, when the failure seam fails this call.
bool Fails(SystemCall call) {
  const std::optional<std::uint32_t> error = InjectedFailure(call);
  if (error)
    errno = ErrnoFromSystemError(*error);
  return error.has_value();
}

// The system calls of this file, each asking the seam first and failing as the call would.
int Stat(const char* path, struct stat* info) {
  return Fails(SystemCall::kQueryAttributes) ? -1 : ::stat(path, info);
}
int Lstat(const char* path, struct stat* info) {
  return Fails(SystemCall::kQueryAttributes) ? -1 : ::lstat(path, info);
}
char* Getcwd(char* buffer, std::size_t size) {
  return Fails(SystemCall::kCurrentDirectory) ? nullptr : ::getcwd(buffer, size);
}
int Chdir(const char* path) {
  return Fails(SystemCall::kChangeDirectory) ? -1 : ::chdir(path);
}
int Mkdir(const char* path, mode_t mode) {
  return Fails(SystemCall::kCreateDirectory) ? -1 : ::mkdir(path, mode);
}
DIR* Opendir(const char* path) {
  return Fails(SystemCall::kList) ? nullptr : ::opendir(path);
}
dirent* Readdir(DIR* stream) {
  return Fails(SystemCall::kList) ? nullptr : ::readdir(stream);
}
int Open(const char* path, int flags, mode_t mode = 0) {
  return Fails(SystemCall::kOpen) ? -1 : ::open(path, flags, mode);
}
int Mkstemp(char* pattern) {
  return Fails(SystemCall::kOpen) ? -1 : ::mkstemp(pattern);
}
ssize_t Read(int descriptor, void* buffer, std::size_t size) {
  return Fails(SystemCall::kRead) ? -1 : ::read(descriptor, buffer, size);
}
ssize_t Write(int descriptor, const void* bytes, std::size_t size) {
  return Fails(SystemCall::kWrite) ? -1 : ::write(descriptor, bytes, size);
}
int Fsync(int descriptor) {
  return Fails(SystemCall::kFlush) ? -1 : ::fsync(descriptor);
}
// The descriptor is released either way, as close releases it even when it reports an error.
int Close(int descriptor) {
  const int result = ::close(descriptor);
  return Fails(SystemCall::kClose) ? -1 : result;
}
int Chmod(const char* path, mode_t mode) {
  return Fails(SystemCall::kSetPermissions) ? -1 : ::chmod(path, mode);
}
int Rename(const char* from, const char* to) {
  return Fails(SystemCall::kRename) ? -1 : ::rename(from, to);
}
int Unlink(const char* path) {
  return Fails(SystemCall::kDelete) ? -1 : ::unlink(path);
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
  return kFileTimeTicksAtUnixEpoch + static_cast<std::uint64_t>(time.tv_sec) * 10000000ULL +
         static_cast<std::uint64_t>(time.tv_nsec) / 100;
}

std::pair<std::string, std::string> SplitPattern(const std::string& pattern) {
  const auto slash = pattern.find_last_of('/');
  if (slash == std::string::npos)
    return {".", pattern};
  return {slash == 0 ? "/" : pattern.substr(0, slash), pattern.substr(slash + 1)};
}

// An entry as Windows lists it: a symbolic link is a reparse point with its own size and time,
// marked as a directory when its target is one, and never taken for its target. Nothing, with
// errno set, when the entry cannot be examined.
std::optional<DirectoryEntry> EntryOf(const std::string& path, const char* name) {
  DirectoryEntry result;
  result.name = name;
  struct stat info {};
  if (Lstat(path.c_str(), &info) != 0)
    return std::nullopt;
  result.lastWriteTime = FileTimeFromTimespec(info.st_mtim);
  if (!S_ISLNK(info.st_mode)) {
    result.size = S_ISDIR(info.st_mode) ? 0 : static_cast<std::uint64_t>(info.st_size);
    result.attributes = AttributesFromStat(info);
    return result;
  }
  struct stat target {};  // a link whose target cannot be examined leads to no directory
  const bool toDirectory = Stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode);
  result.attributes = kAttributeReparsePoint | (toDirectory ? kAttributeDirectory : 0);
  return result;
}

// The matching entries of an open directory; nothing, with errno set, when a step fails. An
// entry removed between its listing and its examination is left out, as Windows would not list it.
std::optional<std::vector<DirectoryEntry>> ReadEntries(DIR* stream, const std::string& directory,
                                                       const std::string& wildcard) {
  std::vector<DirectoryEntry> entries;
  for (;;) {
    errno = 0;
    const dirent* entry = Readdir(stream);
    if (entry == nullptr) {
      if (errno != 0)
        return std::nullopt;
      return entries;
    }
    if (::fnmatch(wildcard.c_str(), entry->d_name, 0) != 0)
      continue;
    std::optional<DirectoryEntry> listed = EntryOf(directory + "/" + entry->d_name, entry->d_name);
    if (listed)
      entries.push_back(std::move(*listed));
    else if (errno != ENOENT)
      return std::nullopt;
  }
}

bool WriteAll(int descriptor, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = Write(descriptor, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR)
      continue;
    if (written <= 0)
      return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

std::optional<std::string> ReadFailed(int descriptor, std::uint32_t* error) {
  if (error != nullptr)
    *error = SystemErrorFromErrno(errno);
  if (descriptor >= 0)
    ::close(descriptor);
  return std::nullopt;
}

}  // namespace

std::optional<std::uint32_t> FileAttributes(const std::string& path) {
  struct stat info {};
  if (path.empty() || Stat(path.c_str(), &info) != 0)
    return std::nullopt;
  return AttributesFromStat(info);
}

std::uint32_t CreateOneDirectory(const std::string& path) {
  if (Mkdir(path.c_str(), 0777) == 0)
    return kErrorSuccess;
  return SystemErrorFromErrno(errno);
}

bool DeleteOneFile(const std::string& path) {
  struct stat info {};
  if (Lstat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode))
    return false;
  return Unlink(path.c_str()) == 0;
}

std::optional<std::string> CurrentDirectory() {
  char buffer[PATH_MAX];
  if (Getcwd(buffer, sizeof buffer) == nullptr)
    return std::nullopt;
  return std::string(buffer);
}

bool ChangeCurrentDirectory(const std::string& path) {
  return Chdir(path.c_str()) == 0;
}

bool HasWriteAccess(const std::string& path) {
  const auto attributes = FileAttributes(path);
  if (!attributes)
    return false;
  return (*attributes & kAttributeDirectory) != 0 || (*attributes & kAttributeReadOnly) == 0;
}

std::optional<std::vector<DirectoryEntry>> ListDirectory(const std::string& pattern) {
  const auto [directory, wildcard] = SplitPattern(pattern);
  DIR* stream = Opendir(directory.c_str());
  if (stream == nullptr)
    return std::nullopt;
  std::optional<std::vector<DirectoryEntry>> entries = ReadEntries(stream, directory, wildcard);
  ::closedir(stream);
  return entries;
}

std::optional<std::string> ReadWholeFile(const std::string& path, std::uint32_t* error) {
  const int descriptor = Open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0)
    return ReadFailed(descriptor, error);
  std::string bytes;
  char buffer[16384];
  for (;;) {
    const ssize_t got = Read(descriptor, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR)
      continue;
    if (got < 0)
      return ReadFailed(descriptor, error);
    if (got == 0)
      break;
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(descriptor);
  if (error != nullptr)
    *error = kErrorSuccess;
  return bytes;
}

bool IsMissingFileError(std::uint32_t error) {
  return error == kErrorFileNotFound || error == kErrorPathNotFound;
}

bool WriteWholeFile(const std::string& path, std::string_view bytes) {
  const int descriptor = Open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (descriptor < 0)
    return false;
  const bool written = WriteAll(descriptor, bytes);
  return Close(descriptor) == 0 && written;
}

namespace {

bool ReplaceWithMode(const std::string& path, std::string_view bytes, mode_t mode) {
  std::string temporary = path + ".tmpXXXXXX";
  const int descriptor = Mkstemp(temporary.data());
  if (descriptor < 0)
    return false;
  const bool written = WriteAll(descriptor, bytes) && Fsync(descriptor) == 0;
  const bool closed = Close(descriptor) == 0;
  if (!written || !closed || Chmod(temporary.c_str(), mode) != 0 ||
      Rename(temporary.c_str(), path.c_str()) != 0) {
    Unlink(temporary.c_str());
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
