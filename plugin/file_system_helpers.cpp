#include "plugin/file_system_helpers.h"

#include <cstring>
#include <vector>

#include "platform/file_system.h"

namespace dul::item_sets {
namespace {

// Creating a directory that exists counts as success only when what exists is a directory;
// a file of that name would make every later write below it fail.
std::uint32_t CreateDirectoryStep(const std::string& path) {
  const std::uint32_t error = platform::CreateOneDirectory(path);
  if (error == platform::kErrorAlreadyExists && IsDirectory(path))
    return platform::kErrorSuccess;
  return error;
}

}  // namespace

bool IsDirectory(const std::string& path) {
  const auto attributes = platform::FileAttributes(path);
  return attributes && (*attributes & platform::kAttributeDirectory) != 0;
}

bool IsFile(const std::string& path) {
  const auto attributes = platform::FileAttributes(path);
  return attributes && (*attributes & platform::kAttributeDirectory) == 0;
}

bool IsWritable(const std::string& path) {
  return platform::HasWriteAccess(path);
}

bool CurrentDirectory(std::size_t size, char* buffer) {
  if (buffer == nullptr || size == 0)
    return false;
  buffer[0] = '\0';
  const auto directory = platform::CurrentDirectory();
  if (!directory || directory->empty() || directory->size() >= size)
    return false;
  std::memcpy(buffer, directory->c_str(), directory->size() + 1);
  return true;
}

bool MakeDirectory(const std::string& path) {
  return CreateDirectoryStep(path) == platform::kErrorSuccess;
}

// Walks up from the path to the deepest existing directory, then creates the missing levels
// top-down; a loop rather than recursion, so a long path cannot exhaust the stack.
MakeDirectoriesResult MakeDirectories(const std::string& path) {
  std::vector<std::size_t> missingLengths;
  std::string prefix = path;
  while (!prefix.empty() && !IsDirectory(prefix)) {
    missingLengths.push_back(prefix.size());
    const std::size_t separator = prefix.find_last_of("/\\");
    if (separator == std::string::npos)
      break;
    prefix.resize(separator);
  }
  for (auto length = missingLengths.rbegin(); length != missingLengths.rend(); ++length) {
    prefix.assign(path, 0, *length);
    const std::uint32_t error = CreateDirectoryStep(prefix);
    if (error != platform::kErrorSuccess)
      return {false, error};
  }
  return {true, platform::kErrorSuccess};
}

// Asked afterwards rather than before: a query that fails must not pass for a missing file.
bool RemoveFile(const std::string& path) {
  return platform::DeleteOneFile(path) || !platform::FileAttributes(path);
}

}  // namespace dul::item_sets
