// The simulated game-data service: champion records streamed in chunks, read by the plugin's own
// JSON API client, and the catalogue they come from.
#include "host/services/game_data_peer.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "host/services/champion_catalogue.h"
#include "host/services/simulated_platform.h"
#include "platform/file_system.h"
#include "runtime/json_api_client.h"
#include "tests/host/services/simulated_platform_fixture.h"

namespace dul::host {
namespace {

using testing::PlatformFixture;
using Zorv::BindingProperty;

// Catches a record that is not streamed, arrives in one chunk (so chunked reading goes
// untested), loses bytes between chunks, or mangles a non-ASCII alias on the way to the plugin.
TEST(GameData, ChampionRecordStreamsToThePluginsClient) {
  testing::PluginOnPlatform on;
  ASSERT_NE(on.platform, nullptr);
  HostRuntime& host = on.hosted.host;
  const PeerAnswer raw =
      on.platform->Answer(testing::MakeRequest("GET", std::string(kChampionsPath) + "41.json"));
  ASSERT_TRUE(raw.stream.has_value());
  EXPECT_GT(raw.stream->size(), 2u);
  const RequestResult<BindingProperty> champion = RequestValue<BindingProperty>(
      *on.hosted.plugin, RequestMethod::kGet, std::string(kChampionsPath) + "41.json");
  ASSERT_TRUE(champion.ok()) << champion.error().message;
  EXPECT_EQ(testing::Compact(champion.value()),
            R"({"alias":"Åskeld","id":41,"name":"Åskeld","title":"the Rime Skald"})");
  EXPECT_GT(host.responses().streamReads, 2u);
  EXPECT_EQ(host.responses().live(), 0u);
}

// Catches ids read leniently (a prefix, a sign, a trailing part) or unknown ids answered with
// some record instead of 404, and a negative id that is refused although it exists.
TEST(GameData, OnlyExactKnownIdsAreAnswered) {
  struct Case {
    const char* file;
    std::uint32_t status;
  };
  const Case cases[] = {
      {"7.json", 200},  {"-3.json", 200},  {"8.json", 404},  {"7", 404},
      {".json", 404},   {"+7.json", 404},  {"7x.json", 404}, {"7.json.json", 404},
      {"7.json/", 404}, {"7.json/1", 404}, {"x.json", 404},  {"99999999999999999999.json", 404}};
  PlatformFixture fixture;
  for (const Case& c : cases) {
    const PeerAnswer answer = fixture.Call("GET", std::string(kChampionsPath) + c.file);
    EXPECT_EQ(answer.status, c.status) << c.file;
    EXPECT_EQ(answer.errorText.has_value(), c.status != 200) << c.file;
  }
  EXPECT_EQ(fixture.Call("PUT", std::string(kChampionsPath) + "7.json", "{}").status, 405u);
  const PeerAnswer summary = fixture.Call("GET", kChampionSummaryPath);
  ASSERT_EQ(summary.status, 200u);
  ASSERT_TRUE(summary.body && summary.body->Kind() == Zorv::BindingPropertyKind::kCollection);
  EXPECT_EQ(summary.body->Elements().front().Find("id").GetSigned(0), -3);
  EXPECT_EQ(fixture.Call("POST", kChampionSummaryPath, "{}").status, 405u);
}

// Catches a catalogue file that is accepted although the service could not serve it soundly:
// not an array, a record without an integer id or a usable alias, or an id given twice.
TEST(GameData, MalformedCataloguesAreRefused) {
  const char* const files[] = {
      "",
      "{}",
      "[1]",
      R"([{"alias":"A","name":"A"}])",
      R"([{"id":"1","alias":"A","name":"A"}])",
      R"([{"id":1.5,"alias":"A","name":"A"}])",
      R"([{"id":1,"name":"A"}])",
      R"([{"id":1,"alias":"","name":"A"}])",
      R"([{"id":1,"alias":"A"}])",
      R"([{"id":1,"alias":"A","name":"A"},{"id":1,"alias":"B","name":"B"}])",
  };
  for (const char* file : files) {
    std::string error;
    EXPECT_FALSE(ChampionCatalogue::Parse(file, "test.json", error)) << file;
    EXPECT_EQ(error.rfind("test.json: ", 0), 0u) << error;
  }
  std::string error;
  EXPECT_FALSE(ChampionCatalogue::Load("/nonexistent/champions.json", error));
  EXPECT_NE(error.find("/nonexistent/champions.json"), std::string::npos);
}

// Catches a shipped data file that the host refuses, that is too small to exercise the export,
// that lacks the non-ASCII alias, or whose aliases collide or could not name a directory.
TEST(GameData, ShippedCatalogueIsUsable) {
  const std::string path = std::string(DUL_DATA_DIRECTORY) + "/champions.json";
  std::string error;
  const std::optional<ChampionCatalogue> catalogue = ChampionCatalogue::Load(path, error);
  ASSERT_TRUE(catalogue) << error;
  EXPECT_GE(catalogue->size(), 40u);
  Zorv::BindingResult all = Zorv::ParseJson(*platform::ReadWholeFile(path));
  std::set<std::string> aliases;
  bool nonAscii = false;
  for (const BindingProperty& record : all.value().Elements()) {
    const std::string alias(record.Find("alias").GetString());
    EXPECT_TRUE(aliases.insert(alias).second) << alias;
    EXPECT_EQ(alias.find_first_of("/\\:."), std::string::npos) << alias;
    for (const char c : alias) {
      EXPECT_GE(static_cast<unsigned char>(c), 0x20) << alias;
      nonAscii = nonAscii || static_cast<unsigned char>(c) >= 0x80;
    }
  }
  EXPECT_TRUE(nonAscii);
}

}  // namespace
}  // namespace dul::host
