#include "host/app/state_directory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/child_process.h"
#include "platform/process.h"
#include "plugin/install_locator.h"
#include "tests/support/temporary_tree.h"

namespace dul::host {
namespace {

namespace fs = std::filesystem;

// Catches an install tree the plugin's locator does not take for an installed client (the
// plugin would then write its files under the state directory's own path), also when that path
// holds words the other layouts score.
TEST(StateDirectoryTest, InstallTreeIsAnInstalledClientBesideTheGame) {
  for (const char* name : {"state", "kelvo-deploysets-dul_client_set/DevTree/state"}) {
    SCOPED_TRACE(name);
    testing::TemporaryTree tree;
    tree.Enter(".");
    StateDirectory state;
    ASSERT_TRUE(state.Prepare(std::string("./") + name + "/")) << state.error();
    EXPECT_EQ(state.root(), tree.Path(name));
    tree.Enter(std::string(name) + "/install/Client");
    const item_sets::InstallInfo info = item_sets::DetectLayoutOfCurrentDirectory();
    EXPECT_EQ(info.layout, item_sets::InstallLayout::Installed);
    EXPECT_EQ(item_sets::GameConfigDirectoryFor(info), state.gameConfigDirectory() + "/");
    EXPECT_TRUE(fs::is_directory(state.gameConfigDirectory()));
  }
}

// Catches a host.json others can read (it holds the token), one that does not read back, and
// records that are accepted although they are not a host's.
TEST(StateDirectoryTest, HostRecordIsPrivateAndReadsBack) {
  testing::TemporaryTree tree;
  StateDirectory state;
  ASSERT_TRUE(state.Prepare(tree.Path("s")));
  const HostRecord record{4242, 65535, "f00d"};
  ASSERT_TRUE(state.WriteHostRecord(record));
  const fs::perms permissions = fs::status(state.hostRecordPath()).permissions();
  EXPECT_EQ(permissions & (fs::perms::group_all | fs::perms::others_all), fs::perms::none);
  std::ifstream file(state.hostRecordPath());
  const std::string text((std::istreambuf_iterator<char>(file)), {});
  const std::optional<HostRecord> read = HostRecord::FromJson(text);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->pid, 4242u);
  EXPECT_EQ(read->port, 65535);
  EXPECT_EQ(read->token, "f00d");
  EXPECT_NE(text.find("\"url\": \"http://127.0.0.1:65535\""), std::string::npos) << text;
  for (const char* bad : {"", "[]", R"({"pid":1,"port":65536,"token":""})",
                          R"({"pid":1,"port":80})", R"({"pid":-1,"port":80,"token":""})"}) {
    EXPECT_FALSE(HostRecord::FromJson(bad)) << bad;
  }
  EXPECT_TRUE(state.RemoveHostRecord());
  EXPECT_FALSE(fs::exists(state.hostRecordPath()));
  EXPECT_TRUE(state.RemoveHostRecord());
}

// Catches a second host let into a directory a running host uses, and a crashed host's record
// (its process gone) or this process's own record taken for a running host.
TEST(StateDirectoryTest, FindsOnlyAnotherRunningHost) {
  testing::TemporaryTree tree;
  StateDirectory state;
  ASSERT_TRUE(state.Prepare(tree.Path("s")));
  EXPECT_EQ(state.RunningHostProcess(), std::nullopt);
  platform::ChildProcess other;
  ASSERT_TRUE(other.Start("/bin/sleep", {"30"}));
  ASSERT_TRUE(state.WriteHostRecord(HostRecord{other.processId(), 1, "t"}));
  EXPECT_EQ(state.RunningHostProcess(), other.processId());
  other.Kill();
  EXPECT_EQ(state.RunningHostProcess(), std::nullopt);
  ASSERT_TRUE(state.WriteHostRecord(HostRecord{platform::CurrentProcessId(), 1, "t"}));
  EXPECT_EQ(state.RunningHostProcess(), std::nullopt);
}

}  // namespace
}  // namespace dul::host
