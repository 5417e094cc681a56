#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/directory_link.h"
#include "tests/support/temporary_tree.h"

namespace dul::platform {
namespace {

namespace fs = std::filesystem;
using dul::testing::TemporaryTree;

// UTF-8 names, as the platform layer takes them, and the same names for std::filesystem.
constexpr std::string_view kDirectoryName = "café-日本";
constexpr std::string_view kFileName = "データ-é.json";
const fs::path kDirectoryPath{u8"café-日本"};
const fs::path kFilePath{u8"データ-é.json"};

std::vector<std::string> Names(const std::vector<DirectoryEntry>& entries) {
  std::vector<std::string> names;
  for (const DirectoryEntry& entry : entries)
    names.push_back(entry.name);
  std::sort(names.begin(), names.end());
  return names;
}

const DirectoryEntry* Find(const std::vector<DirectoryEntry>& entries, std::string_view name) {
  const auto found = std::find_if(entries.begin(), entries.end(),
                                  [&](const DirectoryEntry& entry) { return entry.name == name; });
  return found == entries.end() ? nullptr : &*found;
}

std::string_view LastComponent(std::string_view path) {
  const std::size_t separator = path.find_last_of("/\\");
  return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

// Catches a backend that passes UTF-8 names through a narrow or ANSI call: the name on disk,
// the listing, the file's bytes or the current directory would come back garbled.
TEST(PlatformFileSystem, NonAsciiNamesRoundTrip) {
  TemporaryTree tree;
  const std::string directory = tree.Path(kDirectoryName);
  const std::string file = directory + "/" + std::string(kFileName);

  ASSERT_EQ(CreateOneDirectory(directory), kErrorSuccess);
  EXPECT_EQ(CreateOneDirectory(directory), kErrorAlreadyExists);
  EXPECT_TRUE(fs::is_directory(tree.Root() / kDirectoryPath));
  ASSERT_TRUE(FileAttributes(directory).has_value());
  EXPECT_NE(*FileAttributes(directory) & kAttributeDirectory, 0u);

  const std::string content = "{\"é\":\"日本\"}";
  ASSERT_TRUE(ReplaceFileAtomically(file, "first"));
  ASSERT_TRUE(ReplaceFileAtomically(file, content));
  EXPECT_EQ(ReadWholeFile(file), content);
  EXPECT_EQ(fs::file_size(tree.Root() / kDirectoryPath / kFilePath), content.size());
  EXPECT_TRUE(HasWriteAccess(file));

  const auto entries = ListDirectory(directory + "/*");
  ASSERT_TRUE(entries.has_value());
  EXPECT_EQ(Names(*entries), (std::vector<std::string>{".", "..", std::string(kFileName)}));
  const auto listed = ListDirectory(tree.Path("caf*"));
  ASSERT_TRUE(listed.has_value());
  EXPECT_EQ(Names(*listed), std::vector<std::string>{std::string(kDirectoryName)});

  tree.Enter(kDirectoryName);
  const auto current = CurrentDirectory();
  ASSERT_TRUE(current.has_value());
  EXPECT_EQ(LastComponent(*current), kDirectoryName);

  EXPECT_TRUE(DeleteOneFile(file));
  EXPECT_FALSE(FileAttributes(file).has_value());
  EXPECT_FALSE(fs::exists(tree.Root() / kDirectoryPath / kFilePath));
}

// Catches invalid UTF-8 in a path replaced by a substitute character, so that two different
// names reach the same file. A backend either keeps the exact bytes or refuses the name.
TEST(PlatformFileSystem, InvalidUtf8NamesNeverAlias) {
  TemporaryTree tree;
  const std::string first = tree.Path("bad-\xff");
  const std::string second = tree.Path("bad-\xfe");
  if (!ReplaceFileAtomically(first, "first")) {
    EXPECT_EQ(CreateOneDirectory(first), CreateOneDirectory(second));
    EXPECT_NE(CreateOneDirectory(first), kErrorSuccess);
    EXPECT_FALSE(FileAttributes(first).has_value());
    EXPECT_FALSE(ReadWholeFile(first).has_value());
    EXPECT_EQ(Names(ListDirectory(tree.Path("*")).value()), (std::vector<std::string>{".", ".."}));
    return;
  }
  EXPECT_FALSE(FileAttributes(second).has_value());
  EXPECT_FALSE(ReadWholeFile(second).has_value());
  const auto entries = ListDirectory(tree.Path("*"));
  ASSERT_TRUE(entries.has_value());
  EXPECT_EQ(Names(*entries), (std::vector<std::string>{".", "..", "bad-\xff"}));
}

// Catches a replacement that truncates instead of replacing, leaves its temporary file behind,
// or creates anything when the directory is missing.
TEST(PlatformFileSystem, ReplaceLeavesOnlyTheTarget) {
  TemporaryTree tree;
  const std::string target = tree.Path("ItemSets.json");
  ASSERT_TRUE(ReplaceFileAtomically(target, std::string(100000, 'a')));
  ASSERT_TRUE(ReplaceFileAtomically(target, "short"));
  EXPECT_EQ(ReadWholeFile(target), "short");
  ASSERT_TRUE(ReplaceFileAtomically(target, ""));
  EXPECT_EQ(ReadWholeFile(target), "");
  EXPECT_FALSE(ReplaceFileAtomically(tree.Path("missing/ItemSets.json"), "x"));
  const auto entries = ListDirectory(tree.Path("*"));
  ASSERT_TRUE(entries.has_value());
  EXPECT_EQ(Names(*entries), (std::vector<std::string>{".", "..", "ItemSets.json"}));
  EXPECT_FALSE(ReadWholeFile(tree.Path("missing/ItemSets.json")).has_value());
  EXPECT_FALSE(ReadWholeFile(tree.Path("")).has_value()) << "a directory is not a file";
}

// Catches listings that differ between systems: wildcard filtering, sizes, times, attributes,
// an empty match reported as a failure, or a missing directory reported as empty.
TEST(PlatformFileSystem, ListingReportsEntriesLikeWindows) {
  TemporaryTree tree;
  tree.MakeDirectory("dir/sub");
  ASSERT_TRUE(ReplaceFileAtomically(tree.Path("dir/a.json"), "12345"));
  ASSERT_TRUE(ReplaceFileAtomically(tree.Path("dir/b.txt"), ""));

  const auto all = ListDirectory(tree.Path("dir/*"));
  ASSERT_TRUE(all.has_value());
  EXPECT_EQ(Names(*all), (std::vector<std::string>{".", "..", "a.json", "b.txt", "sub"}));
  const DirectoryEntry* file = Find(*all, "a.json");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->size, 5u);
  EXPECT_EQ(file->attributes & (kAttributeDirectory | kAttributeReadOnly), 0u);
  constexpr std::uint64_t kYear2020 = 132223104000000000ULL;  // 100 ns ticks since 1601
  constexpr std::uint64_t kYear2100 = 157469184000000000ULL;
  EXPECT_GT(file->lastWriteTime, kYear2020);
  EXPECT_LT(file->lastWriteTime, kYear2100);
  const DirectoryEntry* sub = Find(*all, "sub");
  ASSERT_NE(sub, nullptr);
  EXPECT_NE(sub->attributes & kAttributeDirectory, 0u);

  const auto json = ListDirectory(tree.Path("dir/*.json"));
  ASSERT_TRUE(json.has_value());
  EXPECT_EQ(Names(*json), std::vector<std::string>{"a.json"});
  const auto none = ListDirectory(tree.Path("dir/*.yaml"));
  ASSERT_TRUE(none.has_value());
  EXPECT_TRUE(none->empty());
  EXPECT_FALSE(ListDirectory(tree.Path("missing/*")).has_value());
}

// Catches a listing that reports a linked directory as the directory it leads to, so that a walk
// of the tree would follow it anywhere on the disk.
TEST(PlatformFileSystem, ListingMarksDirectoryLinksAsReparsePoints) {
  TemporaryTree tree;
  tree.MakeDirectory("dir");
  tree.MakeFile("elsewhere/x.json");
  if (const auto why = testing::MakeDirectoryLink("../elsewhere", tree.Root() / "dir/link"))
    GTEST_SKIP() << *why;
  const auto all = ListDirectory(tree.Path("dir/*"));
  ASSERT_TRUE(all.has_value());
  const DirectoryEntry* link = Find(*all, "link");
  ASSERT_NE(link, nullptr);
  EXPECT_NE(link->attributes & kAttributeReparsePoint, 0u);
  EXPECT_NE(link->attributes & kAttributeDirectory, 0u);
}

// Catches a read refused while another program holds the file open for writing: the item-set
// cache would read as empty and the next save overwrite the player's sets.
TEST(PlatformFileSystem, ReadsAFileOthersHoldOpenForWriting) {
  TemporaryTree tree;
  const std::string path = tree.Path("held.json");
  ASSERT_TRUE(ReplaceFileAtomically(path, "{}"));
  std::FILE* writer = std::fopen(path.c_str(), "r+b");
  ASSERT_NE(writer, nullptr);
  EXPECT_EQ(ReadWholeFile(path), "{}");
  std::fclose(writer);
}

// Catches attribute and error codes that differ between systems for the same situation.
TEST(PlatformFileSystem, AttributesAndErrorsMatchWindows) {
  TemporaryTree tree;
  tree.MakeFile("file");
  tree.MakeFile("locked");
  fs::permissions(tree.Path("locked"), fs::perms::owner_write, fs::perm_options::remove);

  EXPECT_EQ(FileAttributes(tree.Path("file")).value() & kAttributeReadOnly, 0u);
  EXPECT_NE(FileAttributes(tree.Path("locked")).value() & kAttributeReadOnly, 0u);
  EXPECT_FALSE(HasWriteAccess(tree.Path("locked")));
  EXPECT_FALSE(HasWriteAccess(tree.Path("missing")));
  EXPECT_FALSE(FileAttributes("").has_value());

  EXPECT_EQ(CreateOneDirectory(tree.Path("file")), kErrorAlreadyExists);
  EXPECT_EQ(CreateOneDirectory(tree.Path("missing/child")), kErrorPathNotFound);
  EXPECT_FALSE(DeleteOneFile(tree.Path("missing")));
  EXPECT_FALSE(DeleteOneFile(tree.Root().generic_string()));
  EXPECT_TRUE(fs::is_directory(tree.Root()));
}

}  // namespace
}  // namespace dul::platform
