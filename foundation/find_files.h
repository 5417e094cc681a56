// FindFiles: the files below a directory whose whole path matches a regular expression, found
// through the platform's directory listing.
//
//   FoundFiles found = FindFiles("C:\\Game\\Config\\Champions", ".*\\.json$", true);
//   if (found.succeeded) for (const FoundFile& file : found.files) Use(file.path);
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dul {

struct FoundFile {
  std::string path;  // the normalised directory text followed by the names below it, UTF-8
  std::uint64_t size = 0;
  std::uint64_t lastWriteTime = 0;  // 100 ns ticks since 1601-01-01 UTC
  std::uint32_t attributes = 0;     // the platform's attribute bits
};

struct FoundFiles {
  bool succeeded = false;
  std::vector<FoundFile> files;
};

// The directory text as the search uses it: "\" becomes "/", runs of "/" collapse to one and a
// "/" ends the text; a text that began with two backslashes keeps them at its head.
std::string NormalizeSearchDirectory(std::string_view directory);

// Lists `directory` and, when `recursive`, every subdirectory below it but those that are links
// (symbolic links, junctions, other reparse points), depth first in the order
// the file system lists entries. A file is kept when `pattern` is empty or matches its whole
// path (ECMAScript grammar, case-sensitive, on the UTF-8 bytes). Fails with no files when the
// directory itself cannot be listed, its text is empty, or the pattern is not a valid
// expression; a subdirectory that cannot be listed is skipped.
FoundFiles FindFiles(std::string_view directory, std::string_view pattern, bool recursive);

}  // namespace dul
