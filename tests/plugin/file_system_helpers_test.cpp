#include "plugin/file_system_helpers.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/file_system.h"
#include "tests/support/system_call_failures.h"
#include "tests/support/temporary_tree.h"

namespace dul::item_sets {
namespace {

namespace fs = std::filesystem;
using dul::testing::TemporaryTree;

// Catches kind checks that confuse files with directories, treat a missing path as existing,
// or refuse a read-only directory that the write-access check must accept.
TEST(FileSystemHelpersTest, ClassifiesPathsByKindAndWriteAccess) {
  TemporaryTree tree;
  tree.MakeDirectory("dir");
  tree.MakeDirectory("locked-dir");
  tree.MakeFile("file");
  tree.MakeFile("locked-file");
  fs::permissions(tree.Path("locked-dir"), fs::perms::owner_write, fs::perm_options::remove);
  fs::permissions(tree.Path("locked-file"), fs::perms::owner_write, fs::perm_options::remove);

  struct Case {
    std::string path;
    bool directory, file, writable;
  };
  const Case cases[] = {
      {tree.Path("dir"), true, false, true},
      {tree.Path("dir") + "/", true, false, true},
      {tree.Path("locked-dir"), true, false, true},
      {tree.Path("file"), false, true, true},
      {tree.Path("locked-file"), false, true, false},
      {tree.Path("missing"), false, false, false},
      {"", false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(IsDirectory(c.path), c.directory);
    EXPECT_EQ(IsFile(c.path), c.file);
    EXPECT_EQ(IsWritable(c.path), c.writable);
  }
}

// Catches an off-by-one at the buffer's size, or a buffer left holding stale text on failure.
TEST(FileSystemHelpersTest, CurrentDirectoryNeedsRoomForTheTerminator) {
  TemporaryTree tree;
  tree.Enter("here");
  const std::string expected = fs::current_path().string();

  std::string buffer(expected.size() + 1, '?');
  EXPECT_TRUE(CurrentDirectory(buffer.size(), buffer.data()));
  EXPECT_STREQ(buffer.c_str(), expected.c_str());

  std::string tooSmall(expected.size(), '?');
  EXPECT_FALSE(CurrentDirectory(tooSmall.size(), tooSmall.data()));
  EXPECT_STREQ(tooSmall.c_str(), "");
  EXPECT_FALSE(CurrentDirectory(0, nullptr));
}

// Catches an already-existing directory reported as failure, and an existing file of that name
// reported as a usable directory.
TEST(FileSystemHelpersTest, MakeDirectoryAcceptsOnlyAnExistingDirectory) {
  TemporaryTree tree;
  tree.MakeFile("file");
  EXPECT_TRUE(MakeDirectory(tree.Path("new")));
  EXPECT_TRUE(IsDirectory(tree.Path("new")));
  EXPECT_TRUE(MakeDirectory(tree.Path("new")));
  EXPECT_FALSE(MakeDirectory(tree.Path("missing/child")));
  EXPECT_FALSE(MakeDirectory(tree.Path("file")));
}

// Catches missing parents left uncreated, an error code lost or reported as success, and a
// relative path resolved against anything but the current directory.
TEST(FileSystemHelpersTest, MakeDirectoriesCreatesParentsAndReportsTheFailingStep) {
  TemporaryTree tree;
  tree.MakeFile("file");
  tree.Enter("cwd");

  struct Case {
    std::string path;
    bool succeeded;
    std::uint32_t systemError;
  };
  const Case cases[] = {
      {"", true, platform::kErrorSuccess},
      {tree.Path("a/b/c"), true, platform::kErrorSuccess},
      {tree.Path("a/b/c"), true, platform::kErrorSuccess},
      {tree.Path("a//d/e/"), true, platform::kErrorSuccess},
      {"relative/nested", true, platform::kErrorSuccess},
      {tree.Path("file"), false, platform::kErrorAlreadyExists},
      {tree.Path("file/below/deeper"), false, platform::kErrorAlreadyExists},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const MakeDirectoriesResult result = MakeDirectories(c.path);
    EXPECT_EQ(result.succeeded, c.succeeded);
    EXPECT_EQ(result.systemError, c.systemError);
  }
  EXPECT_TRUE(fs::is_directory(tree.Path("a/b/c")));
  EXPECT_TRUE(fs::is_directory(tree.Path("a/d/e")));
  EXPECT_TRUE(fs::is_directory(tree.Path("cwd/relative/nested")));
  EXPECT_TRUE(fs::is_regular_file(tree.Path("file")));
}

// Catches a missing path reported as a failed removal, and directories deleted as if files.
TEST(FileSystemHelpersTest, RemoveFileTreatsAMissingPathAsRemoved) {
  TemporaryTree tree;
  tree.MakeFile("file");
  tree.MakeDirectory("dir");
  EXPECT_TRUE(RemoveFile(tree.Path("file")));
  EXPECT_FALSE(fs::exists(tree.Path("file")));
  EXPECT_TRUE(RemoveFile(tree.Path("file")));
  EXPECT_TRUE(RemoveFile(tree.Path("never/was")));
  EXPECT_FALSE(RemoveFile(tree.Path("dir")));
  EXPECT_TRUE(fs::is_directory(tree.Path("dir")));
}

// Catches a helper whose answer disagrees with the disk when one of its system calls fails: a
// failed query taken for a missing file reports a file that is still there as removed.
TEST(FileSystemHelpersTest, AnswersMatchTheDiskWhateverCallFails) {
  const struct Case {
    const char* name;
    bool (*operate)(const TemporaryTree&);
    bool (*holds)(const TemporaryTree&);
    platform::SystemCall built_on;  // a call both backends make for this helper
  } cases[] = {
      {"remove file", [](auto& tree) { return RemoveFile(tree.Path("a/file")); },
       [](auto& tree) { return !fs::exists(tree.Path("a/file")); }, platform::SystemCall::kDelete},
      {"make directories", [](auto& tree) { return MakeDirectories(tree.Path("a/b/c")).succeeded; },
       [](auto& tree) { return fs::is_directory(tree.Path("a/b/c")); },
       platform::SystemCall::kCreateDirectory},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto reached = testing::ForEachSystemCallFailure([&](const testing::FailurePoint& point) {
      TemporaryTree tree;
      tree.MakeFile("a/file");
      bool answer = false, struck = false;
      {
        platform::SystemCallFailure armed = point.Arm();
        answer = c.operate(tree);
        struck = armed.struck();
      }
      EXPECT_EQ(answer, c.holds(tree));
      return struck;
    });
    EXPECT_TRUE(reached.contains(c.built_on));
  }
}

}  // namespace
}  // namespace dul::item_sets
