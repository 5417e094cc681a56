// Small file-system helpers of the item-set service: existence and kind checks, write access,
// the current directory, directory creation and file removal. Paths are UTF-8 text; relative
// paths are relative to the process's current directory. Nothing here throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace dul::item_sets {

// True when the path's attributes can be read and mark a directory.
bool IsDirectory(const std::string& path);

// True when the path's attributes can be read and do not mark a directory.
bool IsFile(const std::string& path);

// True when an existing directory, or an existing file that is not read-only.
bool IsWritable(const std::string& path);

// Copies the current directory, NUL-terminated, into buffer[0..size). True only when it could
// be read and its length is above 0 and below size; otherwise the buffer holds the empty text.
bool CurrentDirectory(std::size_t size, char* buffer);

// Creates one directory; true when it was created or already exists as a directory.
bool MakeDirectory(const std::string& path);

struct MakeDirectoriesResult {
  bool succeeded = false;
  std::uint32_t systemError = 0;  // platform error code of the failing step, 0 on success
};

// Creates the directory and every missing parent ("/" and "\" both separate). The empty path
// succeeds. A path, or a parent, that exists as a file fails with the already-exists error.
MakeDirectoriesResult MakeDirectories(const std::string& path);

// True when the path does not exist or the file at it was deleted.
bool RemoveFile(const std::string& path);

}  // namespace dul::item_sets
