#include "foundation/find_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "tests/support/temporary_tree.h"

namespace dul {
namespace {

using dul::testing::TemporaryTree;

// Catches separators left unconverted or doubled, a missing final "/", or a network path that
// loses its leading pair of backslashes.
TEST(FindFiles, NormalizesTheDirectoryText) {
  const struct {
    const char* input;
    const char* expected;
  } cases[] = {
      {"C:\\Games\\\\Game\\Config", "C:/Games/Game/Config/"},
      {"C:/Game/Config//Champions", "C:/Game/Config/Champions/"},
      {"a//b\\/\\c///", "a/b/c/"},
      {"\\\\server\\share\\dir", "\\\\server/share/dir/"},
      {"//server/share", "/server/share/"},
      {"dir", "dir/"},
      {"/", "/"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(NormalizeSearchDirectory(c.input), c.expected) << c.input;
}

std::vector<std::string> SortedPaths(const FoundFiles& found, const std::string& root) {
  std::vector<std::string> paths;
  for (const FoundFile& file : found.files)
    paths.push_back(file.path.substr(root.size()));
  std::sort(paths.begin(), paths.end());
  return paths;
}

// Catches directories reported as files, subdirectories searched without the recursive flag
// (or skipped with it), a pattern matched against part of the path instead of all of it, or
// paths not built on the normalised directory text.
TEST(FindFiles, MatchesWholePathsBelowTheDirectory) {
  TemporaryTree tree;
  for (const char* file : {"top/a.json", "top/b.txt", "top/sub/c.json", "top/sub/deep/d.json"})
    tree.MakeFile(file);
  tree.MakeDirectory("top/empty.json");
  const std::string root = tree.Path("top") + "/";
  const std::string messy = tree.Path("top") + "//";
  const struct {
    const char* pattern;
    bool recursive;
    std::vector<std::string> expected;
  } cases[] = {
      {"", false, {"a.json", "b.txt"}},
      {"", true, {"a.json", "b.txt", "sub/c.json", "sub/deep/d.json"}},
      {".*\\.json$", true, {"a.json", "sub/c.json", "sub/deep/d.json"}},
      {"c\\.json", true, {}},
      {".*/sub/.*", true, {"sub/c.json", "sub/deep/d.json"}},
      {".*A\\.JSON", true, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pattern);
    const FoundFiles found = FindFiles(messy, c.pattern, c.recursive);
    EXPECT_TRUE(found.succeeded);
    EXPECT_EQ(SortedPaths(found, root), c.expected);
  }
}

// Catches a search that reports success without a listable directory, searches from the
// file-system root for an empty text, or lets an invalid pattern escape as an exception.
TEST(FindFiles, FailsWithoutEntriesWhenItCannotSearch) {
  TemporaryTree tree;
  tree.MakeFile("dir/a.json");
  const struct {
    std::string directory;
    const char* pattern;
  } cases[] = {
      {tree.Path("missing"), ""},      {tree.Path("dir/a.json"), ""}, {"", ".*"},
      {tree.Path("dir"), "(unclosed"}, {tree.Path("dir"), "a{2,1}"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.directory + " " + c.pattern);
    const FoundFiles found = FindFiles(c.directory, c.pattern, true);
    EXPECT_FALSE(found.succeeded);
    EXPECT_TRUE(found.files.empty());
  }
}

}  // namespace
}  // namespace dul
