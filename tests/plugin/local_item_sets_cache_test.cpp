#include "plugin/local_item_sets_cache.h"
#include "plugin/local_item_sets_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tests/plugin/item_sets_test_plugin.h"
#include "tests/support/system_call_failures.h"
#include "tests/support/temporary_tree.h"

namespace dul::item_sets {
namespace {

namespace fs = std::filesystem;
using platform::SystemCall;
using testing::FailurePoint;
using Zorv::Client::ItemSets::Api::ItemSet;
using Zorv::Client::ItemSets::Api::ItemSets;
using Zorv::Client::ItemSets::Api::LoginSession;

ItemSets SampleDocument(std::uint64_t accountId) {
  ItemSets document;
  document.timestamp = 50;
  document.accountId = accountId;
  ItemSet set;
  set.uid = "0a1b";
  set.title = "Bruiser";
  set.mode = "any";
  set.associatedMaps = {11, 12};
  set.blocks.push_back({"Start", "", "", {{"1055", 1}, {"2003", 3}}});
  document.itemSets = {set};
  return document;
}

LoginSession SessionOf(std::uint64_t accountId) {
  LoginSession session;
  session.accountId = accountId;
  return session;
}

class LocalItemSetsCache : public ::testing::Test {
 protected:
  LocalItemSetsCache()
      : config_(tree_.Path("Game/Config") + "/"), path_(LocalItemSetsPathIn(config_)) {
    tree_.MakeDirectory("Game/Config");
  }

  std::string Json(const ItemSets& document) {
    return ItemSetsToJson(document, plugin_.typeRegistry()).value_or("<no conversion>");
  }
  void WriteFile(const std::string& content) {
    std::ofstream(path_, std::ios::binary | std::ios::trunc) << content;
  }
  static std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
  }
  // Names in the configuration directory other than the cache file: leftovers of a write.
  std::vector<std::string> Strays() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(tree_.Path("Game/Config"))) {
      if (entry.path().filename() != "ItemSets.json") {
        names.push_back(entry.path().filename().string());
      }
    }
    return names;
  }
  void Save(std::uint64_t version, ItemSets& document, const LoginSession& session) {
    EXPECT_TRUE(SaveLocalItemSets(path_, version, document, session, plugin_.typeRegistry()));
  }
  void Load(ItemSets& document) { LoadLocalItemSets(path_, document, plugin_.typeRegistry()); }

  testing::TemporaryTree tree_;
  testing::ItemSetTypesPlugin plugin_;
  std::string config_;
  std::string path_;
};

// Catches a separator dropped between the directory and the file name.
TEST(LocalItemSetsPath, KeepsTheDoubledSeparator) {
  EXPECT_EQ(LocalItemSetsPathIn("C:/Game/Config/"), "C:/Game/Config//ItemSets.json");
}

// Catches a save that keeps the document's own account, writes version 0 as the timestamp, or
// stores anything but the compact document text.
TEST_F(LocalItemSetsCache, SaveStampsAccountAndVersion) {
  const struct {
    std::uint64_t version;
    std::uint64_t sessionAccount;
    std::uint64_t timestamp;
  } cases[] = {{0, 7, 50}, {120, 7, 120}, {0, 0, 50}, {120, 0, 120}};
  for (const auto& test : cases) {
    SCOPED_TRACE(::testing::Message() << test.version << " " << test.sessionAccount);
    ItemSets document = SampleDocument(5);
    Save(test.version, document, SessionOf(test.sessionAccount));
    EXPECT_EQ(document.timestamp, test.timestamp);
    EXPECT_EQ(document.accountId, test.sessionAccount);
    EXPECT_EQ(ReadFile(path_), Json(document));
    EXPECT_EQ(ReadFile(path_).find('\n'), std::string::npos);
  }
  EXPECT_TRUE(Strays().empty());
}

// Catches a load that loses part of a saved document, or keeps sets of the document it replaces.
TEST_F(LocalItemSetsCache, SavedDocumentLoadsBackUnchanged) {
  ItemSets saved = SampleDocument(7);
  Save(0, saved, SessionOf(7));
  ItemSets loaded = SampleDocument(3);
  loaded.itemSets.resize(4);
  Load(loaded);
  EXPECT_EQ(Json(loaded), Json(saved));
}

// Catches a load that filters by account: another account's file is taken as it is until the
// discard step removes it.
TEST_F(LocalItemSetsCache, LoadTakesAnotherAccountsFileAsItIs) {
  WriteFile(Json(SampleDocument(5)));
  ItemSets document;
  Load(document);
  EXPECT_EQ(document.accountId, 5u);
  EXPECT_TRUE(NamesForeignAccount(document, SessionOf(7)));
  ASSERT_EQ(document.itemSets.size(), 1u);
}

// Catches a reader that skips the load of a changed file (even one of the same length) or of any
// file once told to forget, or whose skip keeps a document other than a plain load of the text the
// plugin wrote: texts with NUL, bytes that are not UTF-8, quotes and control characters, integers
// at their limits.
TEST_F(LocalItemSetsCache, ReaderGivesWhatAPlainLoadGives) {
  ItemSets odd = SampleDocument(UINT64_MAX);
  odd.itemSets[0].title = std::string("nul\0 \xff\xfe \"q\" \\ \t\x01\x7f \xc3\xa9", 21);
  odd.itemSets[0].sortrank = INT32_MIN;
  odd.itemSets[0].preferredItemSlots = {{"\x80", -32768}};
  odd.itemSets[0].blocks[0].items[0].count = 65535;
  const std::string first = Json(SampleDocument(5));
  const std::string second = Json(SampleDocument(6));
  ASSERT_EQ(first.size(), second.size());
  enum class Then { kNothing, kForget };
  const std::pair<std::string, Then> steps[] = {
      {Json(odd), Then::kNothing}, {first, Then::kNothing},     {first, Then::kForget},
      {first, Then::kNothing},     {second, Then::kNothing},    {"{garbled", Then::kNothing},
      {"{garbled", Then::kForget}, {"{garbled", Then::kNothing}};
  LocalItemSetsReader reader;
  ItemSets document = odd;
  reader.Remember(Json(odd));
  for (const auto& [text, then] : steps) {
    WriteFile(text);
    reader.Load(path_, document, plugin_.typeRegistry());
    ItemSets loaded;
    Load(loaded);
    EXPECT_EQ(Json(document), Json(loaded));
    ASSERT_EQ(document.itemSets.size(), loaded.itemSets.size());
    if (!document.itemSets.empty()) {
      EXPECT_EQ(document.itemSets[0].title, loaded.itemSets[0].title);
      EXPECT_EQ(document.itemSets[0].preferredItemSlots.size(),
                loaded.itemSets[0].preferredItemSlots.size());
    }
    if (then == Then::kForget) {
      reader.Forget();
      document.itemSets.resize(3);  // a change the next load must undo
    }
  }
}

// Catches a missing, empty, foreign-shaped, garbled or unreadable file that keeps the previous
// document, or that leaves a partly read one.
TEST_F(LocalItemSetsCache, UnusableFileLoadsAsTheEmptyDocument) {
  const struct {
    const char* name;
    std::optional<std::string> content;  // nothing: no file at all
  } cases[] = {
      {"missing", std::nullopt},
      {"empty", ""},
      {"array", "[]"},
      {"itemSets not an array", "{\"accountId\":5,\"itemSets\":5}"},
      {"count out of range",
       "{\"accountId\":5,\"itemSets\":[{\"blocks\":[{\"items\":"
       "[{\"count\":70000}]}]}]}"},
      {"garbled", "{\"accountId\":5,\"itemSets\":[{\"uid\":"},
      {"trailing text", "{\"accountId\":5}{}"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    fs::remove(path_);
    if (test.content) {
      WriteFile(*test.content);
    }
    ItemSets document = SampleDocument(5);
    Load(document);
    EXPECT_EQ(Json(document), Json(ItemSets()));
  }
  // A directory where the file should be cannot be read.
  fs::remove(path_);
  fs::create_directory(path_);
  ItemSets document = SampleDocument(5);
  Load(document);
  EXPECT_EQ(Json(document), Json(ItemSets()));
}

// Catches a discard that acts while an account is unknown or when the accounts agree, and one
// that leaves the file or the document holding the other account's sets.
TEST_F(LocalItemSetsCache, DiscardEmptiesOnlyAnotherAccountsDocument) {
  const struct {
    std::uint64_t sessionAccount;
    std::uint64_t documentAccount;
    bool discarded;
  } cases[] = {{0, 5, false}, {7, 0, false}, {7, 7, false}, {7, 5, true}};
  for (const auto& test : cases) {
    SCOPED_TRACE(::testing::Message() << test.sessionAccount << " " << test.documentAccount);
    const ItemSets original = SampleDocument(test.documentAccount);
    WriteFile(Json(original));
    ItemSets document = original;
    DiscardForeignLocalItemSets(path_, document, SessionOf(test.sessionAccount));
    EXPECT_EQ(ReadFile(path_), test.discarded ? "" : Json(original));
    EXPECT_EQ(Json(document), test.discarded ? Json(ItemSets()) : Json(original));
  }
  EXPECT_TRUE(Strays().empty());
}

// Catches a file rewritten in place (truncated, then written): a reader holding the old file
// would see it cut short. Replacing it leaves the old file whole under its other name.
TEST_F(LocalItemSetsCache, SaveAndDiscardReplaceTheFileWhole) {
  const std::string old = Json(SampleDocument(5));
  WriteFile(old);
  const std::string held = tree_.Path("held.json");
  fs::create_hard_link(path_, held);
  ItemSets document = SampleDocument(5);
  document.itemSets.clear();
  Save(0, document, SessionOf(5));
  EXPECT_EQ(ReadFile(held), old);
  EXPECT_EQ(ReadFile(path_), Json(document));

  WriteFile(old);  // writes through the new file, not the held one
  fs::remove(held);
  fs::create_hard_link(path_, held);
  document = SampleDocument(5);
  DiscardForeignLocalItemSets(path_, document, SessionOf(7));
  EXPECT_EQ(ReadFile(held), old);
  EXPECT_EQ(ReadFile(path_), "");
  EXPECT_TRUE(Strays().empty());
}

// Catches a failed write reported as done, or one that leaves its temporary file behind or
// disturbs what stands at the path.
TEST_F(LocalItemSetsCache, FailedSaveLeavesNothingBehind) {
  fs::create_directory(path_);
  std::ofstream(path_ + "/keep") << "kept";
  ItemSets document = SampleDocument(5);
  EXPECT_FALSE(SaveLocalItemSets(path_, 0, document, SessionOf(5), plugin_.typeRegistry()));
  EXPECT_TRUE(fs::is_directory(path_));
  EXPECT_EQ(ReadFile(path_ + "/keep"), "kept");
  EXPECT_TRUE(Strays().empty());

  ItemSets elsewhere = SampleDocument(5);
  EXPECT_FALSE(SaveLocalItemSets(LocalItemSetsPathIn(tree_.Path("Missing") + "/"), 0, elsewhere,
                                 SessionOf(5), plugin_.typeRegistry()));
}

// Catches a failed open or read that leaves a partly read document, touches the file, or is
// remembered by the reader so that the next good read is skipped.
TEST_F(LocalItemSetsCache, FailedReadEmptiesTheDocumentAndKeepsTheFile) {
  const ItemSets onDisk = SampleDocument(5);
  WriteFile(Json(onDisk));
  enum class Loader { kPlain, kReader };
  for (const Loader loader : {Loader::kPlain, Loader::kReader}) {
    SCOPED_TRACE(loader == Loader::kPlain ? "plain load" : "reader");
    const auto reached = testing::ForEachSystemCallFailure([&](const FailurePoint& point) {
      LocalItemSetsReader reader;
      const auto load = [&](ItemSets& document) {
        if (loader == Loader::kPlain)
          Load(document);
        else
          reader.Load(path_, document, plugin_.typeRegistry());
      };
      ItemSets document = SampleDocument(7);
      bool struck = false;
      {
        platform::SystemCallFailure armed = point.Arm();
        load(document);
        struck = armed.struck();
      }
      EXPECT_EQ(Json(document), Json(struck ? ItemSets() : onDisk));
      EXPECT_EQ(ReadFile(path_), Json(onDisk));
      EXPECT_TRUE(Strays().empty());
      load(document);
      EXPECT_EQ(Json(document), Json(onDisk));
      return struck;
    });
    EXPECT_EQ(reached, (std::set<SystemCall>{SystemCall::kOpen, SystemCall::kRead}));
  }
}

// Catches a save that reports a failed system call as success, leaves the file cut short, a
// temporary file behind or anything but the old content, or drops a set from memory; and a file
// that the next save does not bring up to date.
TEST_F(LocalItemSetsCache, AnyFailedCallKeepsTheOldFileWhole) {
  const std::string old = Json(SampleDocument(5));
  const auto reached = testing::ForEachSystemCallFailure(
      [&](const FailurePoint& point) {
        WriteFile(old);
        ItemSets document = SampleDocument(5);
        document.itemSets.push_back(document.itemSets[0]);
        document.itemSets[1].uid = "second";
        bool saved = false, struck = false;
        {
          platform::SystemCallFailure armed = point.Arm();
          saved = SaveLocalItemSets(path_, 60, document, SessionOf(5), plugin_.typeRegistry());
          struck = armed.struck();
        }
        EXPECT_NE(saved, struck);
        EXPECT_EQ(ReadFile(path_), struck ? old : Json(document));
        EXPECT_EQ(document.itemSets.size(), 2u);
        EXPECT_TRUE(Strays().empty());
        Save(60, document, SessionOf(5));
        EXPECT_EQ(ReadFile(path_), Json(document));
        return struck;
      },
      platform::kErrorDiskFull);
  for (const SystemCall call : {SystemCall::kOpen, SystemCall::kWrite, SystemCall::kFlush,
                                SystemCall::kClose, SystemCall::kRename})
    EXPECT_TRUE(reached.contains(call)) << platform::SystemCallName(call);
}

}  // namespace
}  // namespace dul::item_sets
