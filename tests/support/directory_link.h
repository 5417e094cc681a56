// MakeDirectoryLink: a symbolic link to a directory, for tests of code that must never follow
// one. Where the standard library cannot make links (MinGW's), the system's own "ln" is asked:
// under Wine a Windows program can start it, and Wine lists a Unix link to a directory as a
// reparse point, as Windows lists a junction.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <thread>

#include "platform/child_process.h"

namespace dul::testing {

// Makes `link` lead to `target`, a path relative to the link's directory. Nothing on success,
// else why no link can be made on this system (a reason to skip the test).
inline std::optional<std::string> MakeDirectoryLink(const std::filesystem::path& target,
                                                    const std::filesystem::path& link) {
  std::error_code error;
  std::filesystem::create_directory_symlink(target, link, error);
  if (!error)
    return std::nullopt;
  platform::ChildProcess ln;
  if (!ln.Start("/bin/ln", {"-s", target.generic_string(), link.filename().generic_string()},
                link.parent_path().generic_string()))
    return "this system makes no directory links: " + error.message();
  (void)ln.Wait(10.0);
  // A Unix program started by Wine is not always waited for: look for its work.
  for (int attempt = 0; attempt < 200 && !std::filesystem::exists(link); ++attempt)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  if (!std::filesystem::exists(link))
    return "\"ln -s\" made no directory link: " + error.message();
  return std::nullopt;
}

}  // namespace dul::testing
