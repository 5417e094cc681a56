#include "plugin/install_locator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <system_error>

#include "tests/support/system_call_failures.h"
#include "tests/support/temporary_tree.h"

namespace dul::item_sets {
namespace {

namespace fs = std::filesystem;
using dul::testing::TemporaryTree;

// Entries ending in "/" are directories, the others files; all relative to the tree's root.
void Build(const TemporaryTree& tree, std::initializer_list<std::string_view> entries) {
  for (std::string_view entry : entries) {
    if (entry.ends_with('/')) {
      tree.MakeDirectory(entry);
    } else {
      tree.MakeFile(entry);
    }
  }
}

// Fails when a test created "/Config" at the file-system root, and removes it again.
void ExpectNoConfigAtTheRoot(bool existedBefore) {
  if (existedBefore)
    return;
  EXPECT_FALSE(fs::exists("/Config"));
  std::error_code ignored;
  fs::remove("/Config", ignored);  // removes only an empty directory
}

InstallInfo RecordOf(std::string_view path, InstallLayout layout) {
  InstallInfo info;
  std::copy(path.begin(), path.end(), info.path);
  info.layout = layout;
  return info;
}

// Catches a misspelt or misplaced probe, wrong points, a gated probe that runs without its
// gate, a file probe satisfied by a directory (or the reverse) and markers matched in the
// wrong case.
TEST(InstallLocatorTest, ScoresEveryProbeOnARealTree) {
  struct Case {
    const char* name;
    const char* currentDirectory;
    std::initializer_list<std::string_view> entries;
    int deployed, installed, development;
  };
  const Case cases[] = {
      {"deployment probes",
       "kelvo/deploysets/dul_client_set/run",
       {"kelvo/deploysets/dul_client_set/run/DATA/", "kelvo/deploysets/dul_client_set/kelvo.cfg",
        "kelvo/deploysets/dul_client_set/deployset.manifest"},
       11,
       0,
       1},
      {"installation probes",
       "Play/Client",
       {"Play/PlayLauncher.exe", "Play/ClientShell/", "Play/DesktopClient/", "Play/Game/",
        "Play/Client/HeroData.pak", "Play/Client/Maps.pak", "Play/RegionLauncher/",
        "Play/zlib1.dll"},
       0,
       16,
       0},
      {"development probes",
       "DevTree/work",
       {"DevTree/work/Debug/", "DevTree/work/Levels/", "DevTree/work/Build/",
        "DevTree/work/ParticleEditor/", "DevTree/work/DATA/Buffs/", "DevTree/work/luac5.1.exe"},
       2,
       0,
       11},
      {"gated probes without their gate",
       "x/run",
       {"x/run/HeroData.pak", "x/run/Maps.pak", "x/run/luac5.1.exe"},
       0,
       0,
       0},
      {"files and directories swapped",
       "y/run",
       {"y/Game", "y/run/HeroData.pak", "y/PlayLauncher.exe/", "y/DesktopClient", "y/run/Debug"},
       0,
       0,
       0},
      {"markers in the wrong case or shape", "Kelvo/devtree/DevTree", {}, 3, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TemporaryTree tree;
    Build(tree, c.entries);
    tree.Enter(c.currentDirectory);
    const LayoutScores scores = ScoreLayout(fs::current_path().generic_string());
    EXPECT_EQ(scores.deployed, c.deployed);
    EXPECT_EQ(scores.installed, c.installed);
    EXPECT_EQ(scores.development, c.development);
  }
}

// Catches directory probes that compare names themselves instead of asking the file system:
// "data" satisfies the "DATA" probe exactly where the file system folds case (Windows).
TEST(InstallLocatorTest, DirectoryProbesFollowTheFileSystemsCase) {
  TemporaryTree tree;
  Build(tree, {"run/data/", "run/levels/"});
  tree.Enter("run");
  const bool foldsCase = fs::is_directory(tree.Path("run/DATA"));
  const LayoutScores scores = ScoreLayout(fs::current_path().generic_string());
  EXPECT_EQ(scores.deployed, foldsCase ? 2 : 0);
  EXPECT_EQ(scores.development, foldsCase ? 3 : 0);
}

// Catches a tie for the highest score resolved in favour of one layout.
TEST(InstallLocatorTest, OnlyAStrictlyHighestScoreWins) {
  struct Case {
    LayoutScores scores;
    InstallLayout expected;
  };
  const Case cases[] = {
      {{7, 0, 1}, InstallLayout::Deployed},     {{0, 1, 0}, InstallLayout::Installed},
      {{1, 2, 3}, InstallLayout::Development},  {{3, 3, 0}, InstallLayout::Undetermined},
      {{2, 5, 5}, InstallLayout::Undetermined}, {{4, 1, 4}, InstallLayout::Undetermined},
      {{0, 0, 0}, InstallLayout::Undetermined},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChooseLayout(c.scores), c.expected)
        << c.scores.deployed << " " << c.scores.installed << " " << c.scores.development;
  }
}

// Catches a root cut at the wrong "/KELVO" (or at a lower-case one), separators left
// unnormalised, a leading "//" collapsed, and the current directory altered where it must be
// taken as it is.
TEST(InstallLocatorTest, DerivesTheRootFromTheLayout) {
  struct Case {
    const char* path;
    InstallLayout layout;
    const char* root;
  };
  const Case cases[] = {
      {"C:\\Games\\Game\\KELVO\\bundle\\deploy", InstallLayout::Deployed, "C:/Games/Game"},
      {"C:/Games/Game/KELVO", InstallLayout::Deployed, "C:/Games/Game"},
      {"/srv/KELVO/a/KELVOX/b", InstallLayout::Deployed, "/srv/KELVO/a/KELVOX/b"},
      {"/srv/KELVO/a/KELVOX", InstallLayout::Deployed, "/srv/KELVO/a/KELVOX"},
      {"/srv/kelvo/a", InstallLayout::Deployed, "/srv/kelvo/a"},
      {"//host//share///KELVO//x", InstallLayout::Deployed, "//host/share"},
      {"///srv//x\\\\y", InstallLayout::Deployed, "//srv/x/y"},
      {"D:\\Play\\Client\\", InstallLayout::Installed, "D:/Play/Game"},
      {"/play//Client//", InstallLayout::Installed, "/play/Game"},
      {"Client", InstallLayout::Installed, "Game"},
      {"/a//b/KELVO/c", InstallLayout::Undetermined, "/a//b/KELVO/c"},
      {"/a//b/", InstallLayout::Development, "/a//b/"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GameDirectoryFor(RecordOf(c.path, c.layout)), c.root) << c.path;
  }
}

// Catches a path of 260 characters or more overflowing the record, and backslashes kept.
TEST(InstallLocatorTest, RecordKeepsOnlyAPathThatFits) {
  TemporaryTree tree;
  tree.Enter("empty");
  EXPECT_STREQ(DetectLayoutFor("C:\\a\\b").path, "C:/a/b");
  const std::string longest(kInstallPathCapacity - 1, 'p');
  EXPECT_EQ(DetectLayoutFor(longest).path, longest);
  EXPECT_STREQ(DetectLayoutFor(longest + "p").path, "");
}

// Catches a wrong root or configuration directory per layout, "Config" not created where it
// must be (or created in a development tree), a missing root not falling back, and a
// read-only "Config" rejected although a directory always passes the write check.
TEST(InstallLocatorTest, FindsTheConfigurationDirectoryOnRealTrees) {
  struct Case {
    const char* name;
    const char* currentDirectory;
    std::initializer_list<std::string_view> entries;
    const char* lockedDirectory;  // owner write bit removed, or empty
    InstallLayout layout;
    const char* root;    // relative to the tree
    const char* config;  // relative to the tree, or empty for the fallback
  };
  const Case cases[] = {
      {"deployed",
       "Game/KELVO/bundle/deploy",
       {"Game/KELVO/bundle/deploy/DATA/", "Game/KELVO/bundle/kelvo.cfg"},
       "",
       InstallLayout::Deployed,
       "Game",
       "Game/Config/"},
      {"installed",
       "Play/Client",
       {"Play/PlayLauncher.exe", "Play/Game/"},
       "",
       InstallLayout::Installed,
       "Play/Game",
       "Play/Game/Config/"},
      {"tie",
       "kelvo-tie/run",
       {"kelvo-tie/PlayLauncher.exe"},
       "",
       InstallLayout::Undetermined,
       "kelvo-tie/run",
       "kelvo-tie/run/Config/"},
      {"development",
       "DevTree/work",
       {"DevTree/work/Levels/"},
       "",
       InstallLayout::Development,
       "DevTree/work",
       ""},
      {"root missing",
       "Play/Client",
       {"Play/PlayLauncher.exe", "Play/DesktopClient/"},
       "",
       InstallLayout::Installed,
       "Play/Game",
       ""},
      {"read-only config",
       "Play/Client",
       {"Play/PlayLauncher.exe", "Play/Game/Config/"},
       "Play/Game/Config",
       InstallLayout::Installed,
       "Play/Game",
       "Play/Game/Config/"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TemporaryTree tree;
    Build(tree, c.entries);
    if (*c.lockedDirectory != '\0') {
      fs::permissions(tree.Path(c.lockedDirectory), fs::perms::owner_write,
                      fs::perm_options::remove);
    }
    tree.Enter(c.currentDirectory);
    const InstallInfo info = DetectLayoutOfCurrentDirectory();
    EXPECT_EQ(info.path, fs::current_path().generic_string());
    EXPECT_EQ(info.layout, c.layout);
    EXPECT_EQ(GameDirectoryFor(info), tree.Path(c.root));
    const std::string config = GameConfigDirectoryFor(info);
    if (*c.config == '\0') {
      EXPECT_EQ(config, kFallbackConfigDirectory);
      EXPECT_FALSE(fs::exists(tree.Path(c.root) + "/Config"));
      EXPECT_FALSE(fs::exists("DATA/CFG"));
    } else {
      EXPECT_EQ(config, tree.Path(c.root) + "/Config/");
      EXPECT_TRUE(fs::is_directory(tree.Path(c.config)));
    }
  }
}

// Catches an empty root (unreadable or too long current directory, or a deployment tree cut
// down to nothing) yielding a configuration directory at the file-system root.
TEST(InstallLocatorTest, EmptyRootFallsBackInsteadOfUsingTheFileSystemRoot) {
  const bool rootConfigExisted = fs::exists("/Config");
  const InstallInfo records[] = {
      RecordOf("", InstallLayout::Deployed),
      RecordOf("", InstallLayout::Undetermined),
      RecordOf("/KELVO/run", InstallLayout::Deployed),
  };
  for (const InstallInfo& info : records) {
    EXPECT_EQ(GameConfigDirectoryFor(info), kFallbackConfigDirectory) << info.path;
  }

  TemporaryTree tree;
  const std::string tooLong =
      std::string(100, 'a') + "/" + std::string(100, 'b') + "/" + std::string(100, 'c');
  tree.MakeDirectory(tooLong + "/DATA");
  tree.Enter(tooLong);
  const InstallInfo longInfo = DetectLayoutOfCurrentDirectory();
  EXPECT_STREQ(longInfo.path, "");
  EXPECT_EQ(longInfo.layout, InstallLayout::Deployed);
  EXPECT_EQ(GameConfigDirectoryFor(longInfo), kFallbackConfigDirectory);
  ExpectNoConfigAtTheRoot(rootConfigExisted);
}

// Catches a removed current directory (unreadable, so an empty path) yielding a configuration
// directory at the file-system root.
TEST(InstallLocatorTest, RemovedCurrentDirectoryFallsBack) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows refuses to remove a directory that is a process's current directory";
#endif
  const bool rootConfigExisted = fs::exists("/Config");
  TemporaryTree tree;
  tree.Enter("gone");
  fs::remove(tree.Path("gone"));
  const InstallInfo goneInfo = DetectLayoutOfCurrentDirectory();
  EXPECT_STREQ(goneInfo.path, "");
  EXPECT_EQ(GameConfigDirectoryFor(goneInfo), kFallbackConfigDirectory);
  ExpectNoConfigAtTheRoot(rootConfigExisted);
}

// Catches a failed probe counted as a hit, and any one failed call that sends the configuration
// directory anywhere but the game's own or the fallback: with the current directory unknown, an
// installation's root "Game" would be taken relative to wherever the process stands.
TEST(InstallLocatorTest, AnyFailedCallGivesTheGamesConfigOrTheFallback) {
  TemporaryTree tree;
  Build(tree, {"Play/PlayLauncher.exe", "Play/Game/", "Play/Client/HeroData.pak",
               "Play/Client/Maps.pak", "Play/Client/Game/"});
  tree.Enter("Play/Client");
  const std::string config = tree.Path("Play/Game/Config/");
  const LayoutScores full = ScoreLayout(fs::current_path().generic_string());
  const auto reached = testing::ForEachSystemCallFailure([&](const testing::FailurePoint& point) {
    fs::remove_all(tree.Path("Play/Game/Config"));
    bool struck = false;
    InstallInfo info;
    LayoutScores scores;
    std::string found;
    {
      platform::SystemCallFailure armed = point.Arm();
      scores = ScoreLayout(fs::current_path().generic_string());
      info = DetectLayoutOfCurrentDirectory();
      found = GameConfigDirectoryFor(info);
      struck = armed.struck();
    }
    EXPECT_LE(scores.installed, full.installed) << "a failed probe is a miss, never a hit";
    EXPECT_EQ(scores.deployed + scores.development, 0);
    EXPECT_EQ(info.layout, InstallLayout::Installed);
    EXPECT_TRUE(found == config || found == kFallbackConfigDirectory) << found;
    EXPECT_TRUE(struck || found == config) << "a run without failure finds the game's own";
    EXPECT_FALSE(fs::exists(tree.Path("Play/Client/Game/Config")));
    EXPECT_FALSE(fs::exists("DATA"));
    EXPECT_EQ(GameConfigDirectoryFor(DetectLayoutOfCurrentDirectory()), config);
    return struck;
  });
  for (const auto call :
       {platform::SystemCall::kQueryAttributes, platform::SystemCall::kCurrentDirectory,
        platform::SystemCall::kCreateDirectory})
    EXPECT_TRUE(reached.contains(call)) << platform::SystemCallName(call);
}

// Catches a process-wide record rebuilt after the current directory changed.
TEST(InstallLocatorTest, ProcessRecordIsBuiltOnce) {
  TemporaryTree first;
  Build(first, {"Play/PlayLauncher.exe", "Play/Game/"});
  first.Enter("Play/Client");
  DetectInstallLayout();
  const std::string root = GetGameDirectory();

  TemporaryTree second;
  Build(second, {"DevTree/work/Levels/"});
  second.Enter("DevTree/work");
  EXPECT_EQ(GetGameDirectory(), root);
}

}  // namespace
}  // namespace dul::item_sets
