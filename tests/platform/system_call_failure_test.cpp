#include "platform/system_call_failure.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <thread>

#include "platform/file_system.h"
#include "tests/support/system_call_failures.h"
#include "tests/support/temporary_tree.h"

namespace dul::platform {
namespace {

namespace fs = std::filesystem;
using dul::testing::FailurePoint;
using dul::testing::ForEachSystemCallFailure;
using dul::testing::TemporaryTree;

// Names in the tree's root, sorted: leftovers show up here.
std::set<std::string> RootNames(const TemporaryTree& tree) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(tree.Root()))
    names.insert(entry.path().filename().string());
  return names;
}

// Catches an operation that reports a failed system call as success (a listing broken off
// reported whole, a file cut short reported written), or a replacement that then leaves its
// temporary file behind or the target anything but its old content.
TEST(SystemCallFailure, EveryOperationReportsEveryFailedCall) {
  const struct Case {
    const char* name;
    std::function<bool(const TemporaryTree&)> operate;
  } cases[] = {
      {"attributes", [](auto& tree) { return FileAttributes(tree.Path("old")).has_value(); }},
      {"write access", [](auto& tree) { return HasWriteAccess(tree.Path("old")); }},
      {"create directory",
       [](auto& tree) { return CreateOneDirectory(tree.Path("new")) == kErrorSuccess; }},
      {"delete", [](auto& tree) { return DeleteOneFile(tree.Path("old")); }},
      {"current directory", [](auto&) { return CurrentDirectory().has_value(); }},
      {"change directory", [](auto& tree) { return ChangeCurrentDirectory(tree.Path("dir")); }},
      {"list", [](auto& tree) { return ListDirectory(tree.Path("*")).has_value(); }},
      {"read", [](auto& tree) { return ReadWholeFile(tree.Path("old")).has_value(); }},
      {"write", [](auto& tree) { return WriteWholeFile(tree.Path("new"), "new"); }},
      {"replace", [](auto& tree) { return ReplaceFileAtomically(tree.Path("old"), "new"); }},
      {"replace private",
       [](auto& tree) { return ReplacePrivateFileAtomically(tree.Path("old"), "new"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto reached = ForEachSystemCallFailure([&](const FailurePoint& point) {
      TemporaryTree tree;
      tree.MakeDirectory("dir");
      std::ofstream(tree.Root() / "old", std::ios::binary) << std::string(40000, 'o');
      bool done = false, struck = false;
      {
        SystemCallFailure armed = point.Arm();
        done = c.operate(tree);
        struck = armed.struck();
      }
      EXPECT_NE(done, struck);
      if (std::string_view(c.name).starts_with("replace")) {
        EXPECT_EQ(ReadWholeFile(tree.Path("old")), done ? "new" : std::string(40000, 'o'));
        EXPECT_EQ(RootNames(tree), (std::set<std::string>{"dir", "old"}));
      }
      return struck;
    });
    EXPECT_FALSE(reached.empty()) << "the operation never reached the seam";
  }
}

// Catches an injected error that reaches the caller as another one, so that a test's "disk
// full" or "access denied" would stand for something else on one of the systems.
TEST(SystemCallFailure, CallersSeeTheInjectedError) {
  TemporaryTree tree;
  tree.MakeFile("file");
  for (const std::uint32_t error :
       {kErrorAccessDenied, kErrorDiskFull, kErrorAlreadyExists, kErrorGeneric}) {
    SCOPED_TRACE(error);
    {
      SystemCallFailure armed(SystemCall::kCreateDirectory, 1, error);
      EXPECT_EQ(CreateOneDirectory(tree.Path("dir")), error);
    }
    std::uint32_t readError = kErrorSuccess;
    {
      SystemCallFailure armed(SystemCall::kOpen, 1, error);
      EXPECT_FALSE(ReadWholeFile(tree.Path("file"), &readError).has_value());
    }
    EXPECT_EQ(readError, error);
  }
  std::uint32_t readError = kErrorGeneric;
  EXPECT_EQ(ReadWholeFile(tree.Path("file"), &readError), "x");
  EXPECT_EQ(readError, kErrorSuccess);
  EXPECT_FALSE(ReadWholeFile(tree.Path("missing"), &readError).has_value());
  EXPECT_TRUE(IsMissingFileError(readError));
}

// Catches a failure that strikes a call other than the Nth, survives its arming object, lets an
// inner arming leave the outer one disarmed, or strikes the calls of another thread.
TEST(SystemCallFailure, StrikesOnlyTheNthCallOfItsThreadWhileArmed) {
  TemporaryTree tree;
  tree.MakeFile("file");
  const std::string file = tree.Path("file");
  {
    SystemCallFailure outer(SystemCall::kOpen, 2, kErrorAccessDenied);
    EXPECT_TRUE(ReadWholeFile(file).has_value());
    {
      SystemCallFailure inner(SystemCall::kOpen, 1, kErrorAccessDenied);
      bool otherThreadRead = false;
      std::thread([&] { otherThreadRead = ReadWholeFile(file).has_value(); }).join();
      EXPECT_TRUE(otherThreadRead);
      EXPECT_TRUE(FileAttributes(file).has_value());
      EXPECT_FALSE(inner.struck());
      EXPECT_FALSE(ReadWholeFile(file).has_value());
      EXPECT_TRUE(inner.struck());
    }
    EXPECT_EQ(outer.seen(), 1u);
    EXPECT_FALSE(ReadWholeFile(file).has_value());
    EXPECT_TRUE(outer.struck());
    EXPECT_TRUE(ReadWholeFile(file).has_value());
    EXPECT_EQ(outer.seen(), 3u);
  }
  EXPECT_TRUE(ReadWholeFile(file).has_value());
}

}  // namespace
}  // namespace dul::platform
