// A unique directory tree under the system's temporary directory for tests that touch the file
// system. It can become the current directory; on destruction the previous current directory
// is restored and the tree removed, read-only parts included.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <system_error>

namespace dul::testing {

class TemporaryTree {
 public:
  // Under the system's temporary directory, or under `parent` (a memory-backed one, say).
  explicit TemporaryTree(
      const std::filesystem::path& parent = std::filesystem::temp_directory_path())
      : previous_(std::filesystem::current_path()) {
    std::random_device random;
    for (;;) {
      const auto candidate =
          parent / ("dul-test-" + std::to_string(random()) + std::to_string(random()));
      if (std::filesystem::create_directory(candidate)) {
        root_ = std::filesystem::canonical(candidate);
        return;
      }
    }
  }
  ~TemporaryTree() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
    std::filesystem::recursive_directory_iterator entry(root_, ignored), end;
    for (; !ignored && entry != end; entry.increment(ignored)) {
      std::error_code unchanged;
      std::filesystem::permissions(entry->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, unchanged);
    }
    std::filesystem::remove_all(root_, ignored);
  }
  TemporaryTree(const TemporaryTree&) = delete;
  TemporaryTree& operator=(const TemporaryTree&) = delete;

  const std::filesystem::path& Root() const { return root_; }
  // UTF-8, with "/" separators on every system, as the code under test writes paths.
  std::string Path(std::string_view relative) const {
    return root_.generic_string() + "/" + std::string(relative);
  }

  void MakeDirectory(std::string_view relative) const {
    std::filesystem::create_directories(Native(relative));
  }
  void MakeFile(std::string_view relative) const {
    std::filesystem::create_directories(Native(relative).parent_path());
    std::ofstream(Native(relative)) << "x";
  }
  void Enter(std::string_view relative) const {
    MakeDirectory(relative);
    std::filesystem::current_path(Native(relative));
  }

 private:
  // Relative names are UTF-8; on Windows std::filesystem would read narrow text in the
  // locale's encoding instead.
  std::filesystem::path Native(std::string_view relative) const {
    return root_ / std::u8string(relative.begin(), relative.end());
  }

  std::filesystem::path previous_;
  std::filesystem::path root_;
};

}  // namespace dul::testing
