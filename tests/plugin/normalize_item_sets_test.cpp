#include "plugin/normalize_item_sets.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace dul::item_sets {
namespace {

using Zorv::Client::ItemSets::Api::ItemSet;
using Zorv::Client::ItemSets::Api::ItemSets;

bool IsLowerHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

// Catches bytes reordered into the textual GUID order, uppercase digits and misplaced hyphens.
TEST(NormalizeItemSets, UuidTextKeepsTheBytesInTheirOrder) {
  std::array<std::uint8_t, 16> bytes{};
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<std::uint8_t>(i * 0x11);
  }
  EXPECT_EQ(FormatUuidText(bytes), "00112233-4455-6677-8899-aabbccddeeff");
}

// Catches uids that repeat between sets, have the wrong length or form, lack the version nibble
// where the in-memory order puts it, or overwrite a uid that was already there.
TEST(NormalizeItemSets, GivesEachSetWithoutUidADistinctVersionFourUid) {
  ItemSets document;
  document.itemSets.resize(3);
  document.itemSets[1].uid = "x";
  NormalizeItemSets(document);
  const std::string& first = document.itemSets[0].uid;
  const std::string& third = document.itemSets[2].uid;
  EXPECT_NE(first, third);
  EXPECT_EQ(document.itemSets[1].uid, "x");
  for (const std::string& uid : {first, third}) {
    ASSERT_EQ(uid.size(), 36u) << uid;
    for (std::size_t i = 0; i < uid.size(); ++i) {
      const bool hyphen = i == 8 || i == 13 || i == 18 || i == 23;
      EXPECT_TRUE(hyphen ? uid[i] == '-' : IsLowerHex(uid[i])) << uid;
    }
    // The version sits in the high nibble of byte 7, the variant in byte 8.
    EXPECT_EQ(uid[16], '4') << uid;
    EXPECT_NE(std::string("89ab").find(uid[19]), std::string::npos) << uid;
  }
}

// Catches a mode filled in over an existing one, or the map key filled in with it.
TEST(NormalizeItemSets, EmptyModeBecomesAnyAndMapIsLeft) {
  ItemSets document;
  document.itemSets.resize(2);
  document.itemSets[1].mode = "ARAM";
  NormalizeItemSets(document);
  EXPECT_EQ(document.itemSets[0].mode, "any");
  EXPECT_EQ(document.itemSets[1].mode, "ARAM");
  EXPECT_EQ(document.itemSets[0].map, "");
}

// Catches map 1 dropped without map 11 present, only its first occurrence dropped, and the
// order of the other maps disturbed.
TEST(NormalizeItemSets, DropsRetiredMapOnlyBesideItsSuccessor) {
  const struct {
    std::vector<std::int32_t> before;
    std::vector<std::int32_t> after;
  } cases[] = {
      {{1, 11, 1, 12}, {11, 12}},
      {{12, 1, 11}, {12, 11}},
      {{1, 12}, {1, 12}},
      {{11}, {11}},
      {{1}, {1}},
      {{}, {}},
  };
  for (const auto& test : cases) {
    ItemSets document;
    document.itemSets.resize(1);
    document.itemSets[0].associatedMaps = test.before;
    NormalizeItemSets(document);
    EXPECT_EQ(document.itemSets[0].associatedMaps, test.after)
        << ::testing::PrintToString(test.before);
  }
}

}  // namespace
}  // namespace dul::item_sets
