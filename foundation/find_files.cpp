#include "foundation/find_files.h"

// GCC 12 reports a false "may be used uninitialized" inside libstdc++'s regex automaton when
// optimising with sanitizers; the warning points into the library's own code.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <optional>
#include <regex>
#include <utility>

#include "platform/file_system.h"

namespace dul {
namespace {

// libstdc++'s default matcher recurses once per character of the subject, so a long path can
// exhaust the stack; its polynomial mode walks the input in a loop instead.
constexpr std::regex::flag_type kPatternFlags =
#if defined(__GLIBCXX__)
    std::regex::ECMAScript | std::regex_constants::__polynomial;
#else
    std::regex::ECMAScript;
#endif

// The compiled pattern; nothing for the empty pattern (keeps every file) or an invalid one.
struct PathFilter {
  bool valid = true;
  std::optional<std::regex> expression;

  explicit PathFilter(std::string_view pattern) {
    if (pattern.empty())
      return;
    try {
      expression.emplace(pattern.begin(), pattern.end(), kPatternFlags);
    } catch (const std::exception&) {
      valid = false;
    }
  }

  bool Keeps(const std::string& path) const {
    if (!expression)
      return true;
    try {
      return std::regex_match(path, *expression);
    } catch (const std::exception&) {
      return false;  // too complex to decide: the file is left out
    }
  }
};

bool IsDirectoryEntry(const platform::DirectoryEntry& entry) {
  return (entry.attributes & platform::kAttributeDirectory) != 0;
}

// A linked directory may lead anywhere on the disk, or back into the tree: never entered.
bool IsEnterable(const platform::DirectoryEntry& entry) {
  return (entry.attributes & platform::kAttributeReparsePoint) == 0 && entry.name != "." &&
         entry.name != "..";
}

FoundFile FoundFileOf(std::string path, const platform::DirectoryEntry& entry) {
  return FoundFile{std::move(path), entry.size, entry.lastWriteTime, entry.attributes};
}

// One directory being walked: its text (ending in "/"), its listing and the next entry.
struct PendingDirectory {
  std::string directory;
  std::vector<platform::DirectoryEntry> entries;
  std::size_t next = 0;
};

std::optional<PendingDirectory> ListPending(std::string directory) {
  auto entries = platform::ListDirectory(directory + "*");
  if (!entries)
    return std::nullopt;
  return PendingDirectory{std::move(directory), std::move(*entries), 0};
}

// Depth first with an explicit stack, so the depth of a tree never grows the call stack.
void Walk(PendingDirectory root, const PathFilter& filter, bool recursive,
          std::vector<FoundFile>& files) {
  std::vector<PendingDirectory> stack;
  stack.push_back(std::move(root));
  while (!stack.empty()) {
    PendingDirectory& current = stack.back();
    if (current.next == current.entries.size()) {
      stack.pop_back();
      continue;
    }
    const platform::DirectoryEntry& entry = current.entries[current.next++];
    std::string path = current.directory + entry.name;
    if (!IsDirectoryEntry(entry)) {
      if (filter.Keeps(path))
        files.push_back(FoundFileOf(std::move(path), entry));
    } else if (recursive && IsEnterable(entry)) {
      if (auto below = ListPending(std::move(path) + "/"))
        stack.push_back(std::move(*below));  // invalidates `current` and `entry`
    }
  }
}

}  // namespace

std::string NormalizeSearchDirectory(std::string_view directory) {
  std::string normalized;
  normalized.reserve(directory.size() + 1);
  if (directory.starts_with("\\\\")) {
    normalized = "\\\\";
    directory.remove_prefix(2);
  }
  bool afterSeparator = false;
  for (char c : directory) {
    const bool separator = c == '/' || c == '\\';
    if (separator && afterSeparator)
      continue;
    normalized.push_back(separator ? '/' : c);
    afterSeparator = separator;
  }
  if (normalized.empty() || normalized.back() != '/')
    normalized.push_back('/');
  return normalized;
}

FoundFiles FindFiles(std::string_view directory, std::string_view pattern, bool recursive) {
  FoundFiles found;
  if (directory.empty())
    return found;  // would otherwise search from the file-system root
  const PathFilter filter(pattern);
  if (!filter.valid)
    return found;
  auto root = ListPending(NormalizeSearchDirectory(directory));
  if (!root)
    return found;
  Walk(std::move(*root), filter, recursive, found.files);
  found.succeeded = true;
  return found;
}

}  // namespace dul
