#include "plugin/item_sets_types.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "binding/native_conversion.h"
#include "binding/static_type_info.h"
#include "codecs/json_reader.h"
#include "codecs/json_writer.h"
#include "plugin/item_sets_api.h"
#include "tests/plugin/item_sets_test_plugin.h"

namespace dul::item_sets {
namespace {

using namespace Zorv::Client::ItemSets::Api;
using Zorv::BindingResult;
using Zorv::BindingTypeDescriptor;

struct RegisteredType {
  const char* name;
  std::uint32_t identity;
  std::size_t size;
  bool isEnum;
  std::vector<std::string> fields;
};

template <class T>
RegisteredType Expect(const char* name, std::vector<std::string> fields) {
  return {name, StaticType::HashCode<T>().hash, sizeof(T), std::is_enum_v<T>, std::move(fields)};
}

// Catches a misspelt registered name or wire name, a field left out or out of declaration order,
// a record under the wrong identity and a type missing one of the default tags.
TEST(ItemSetTypes, RegistersEachRecordUnderThePrefixWithItsWireNamesAndTags) {
  testing::ItemSetTypesPlugin plugin;
  const std::vector<RegisteredType> expected = {
      Expect<ItemSetItem>("DulItemSetsItemSetItem", {"id", "count"}),
      Expect<ItemSetBlock>("DulItemSetsItemSetBlock",
                           {"type", "hideIfSummonerSpell", "showIfSummonerSpell", "items"}),
      Expect<PreferredItemSlot>("DulItemSetsPreferredItemSlot", {"id", "preferredItemSlot"}),
      Expect<ItemSet>("DulItemSetsItemSet",
                      {"uid", "title", "mode", "map", "type", "sortrank", "startedFrom",
                       "associatedChampions", "associatedMaps", "blocks", "preferredItemSlots"}),
      Expect<ItemSets>("DulItemSetsItemSets", {"timestamp", "accountId", "itemSets"}),
      Expect<GameDataChampion>("DulItemSetsGameDataChampion", {"alias"}),
      Expect<LoginSessionState>("DulItemSetsLoginSessionStates", {}),
      Expect<LoginSession>("DulItemSetsLoginSession", {"state", "summonerId", "accountId"}),
  };
  for (const RegisteredType& type : expected) {
    SCOPED_TRACE(type.name);
    const BindingTypeDescriptor* descriptor = plugin.typeRegistry().FindType(type.name);
    ASSERT_NE(descriptor, nullptr);
    EXPECT_EQ(plugin.typeRegistry().FindType(type.identity), descriptor);
    EXPECT_EQ(descriptor->size, type.size);
    EXPECT_EQ(descriptor->isEnum, type.isEnum);
    EXPECT_EQ(descriptor->tags, (std::vector<std::string>{"Plugins", "Plugin dul-item-sets"}));
    std::vector<std::string> fields;
    for (const auto& field : descriptor->fields) {
      fields.push_back(field.name);
      EXPECT_EQ(field.flags, Zorv::BindingFieldFlags::kNone) << field.name;
      EXPECT_TRUE(field.description.empty()) << field.name;
    }
    EXPECT_EQ(fields, type.fields);
  }
}

// Catches a record registered before the element type of one of its vectors (or before the
// session-state enum), which leaves the field without the descriptor it converts through.
TEST(ItemSetTypes, FieldsOfRegisteredTypesNameTheirDescriptors) {
  testing::ItemSetTypesPlugin plugin;
  const Zorv::BindingTypeRegistry& registry = plugin.typeRegistry();
  const struct {
    const char* record;
    std::size_t field;
    const char* referenced;
  } links[] = {
      {"DulItemSetsItemSetBlock", 3, "DulItemSetsItemSetItem"},
      {"DulItemSetsItemSet", 9, "DulItemSetsItemSetBlock"},
      {"DulItemSetsItemSet", 10, "DulItemSetsPreferredItemSlot"},
      {"DulItemSetsItemSets", 2, "DulItemSetsItemSet"},
      {"DulItemSetsLoginSession", 0, "DulItemSetsLoginSessionStates"},
  };
  for (const auto& link : links) {
    SCOPED_TRACE(link.record);
    const BindingTypeDescriptor* record = registry.FindType(link.record);
    ASSERT_NE(record, nullptr);
    ASSERT_GT(record->fields.size(), link.field);
    EXPECT_EQ(record->fields[link.field].shape.referenced, registry.FindType(link.referenced));
  }
}

// Catches a wrong number or name of a session state, and a second registration that adds
// duplicate fields, tags or values.
TEST(ItemSetTypes, SessionStatesAndSecondRegistration) {
  testing::ItemSetTypesPlugin plugin;
  RegisterItemSetTypes(plugin);
  const BindingTypeDescriptor* states =
      plugin.typeRegistry().FindType("DulItemSetsLoginSessionStates");
  ASSERT_NE(states, nullptr);
  std::vector<std::pair<std::string, std::int32_t>> values;
  for (const auto& [name, value] : states->enumValues) {
    values.emplace_back(name, value.value);
  }
  EXPECT_EQ(values, (std::vector<std::pair<std::string, std::int32_t>>{
                        {"ERROR", 3}, {"IN_PROGRESS", 0}, {"LOGGING_OUT", 2}, {"SUCCEEDED", 1}}));
  EXPECT_EQ(states->tags.size(), 2u);
  EXPECT_EQ(plugin.typeRegistry().FindType("DulItemSetsItemSet")->fields.size(), 11u);
  EXPECT_EQ(plugin.typeRegistry().FindType("DulItemSetsItemSet")->tags.size(), 2u);
}

class ItemSetJson : public ::testing::Test {
 protected:
  template <class T>
  std::string Write(const T& value) {
    const BindingResult converted = Zorv::SerializeToBinding(value, plugin.typeRegistry());
    EXPECT_TRUE(converted.ok()) << converted.ErrorText();
    return Zorv::WriteJson(converted.value(), &plugin.typeRegistry(), nullptr);
  }
  // Reads `json` into `target`; returns the conversion message, empty on success.
  template <class T>
  std::string Read(const std::string& json, T& target) {
    BindingResult parsed = Zorv::ParseJson(json);
    EXPECT_TRUE(parsed.ok()) << json;
    BindingResult result;
    Zorv::FromBinding(result, target, parsed.value(), "body", plugin.typeRegistry());
    return std::string(result.ErrorText());
  }

  testing::ItemSetTypesPlugin plugin;
};

// Catches members written in field order instead of byte order, a field dropped on the way out
// or in, and empty values left out of the text.
TEST_F(ItemSetJson, DocumentRoundTripsWithMembersInByteOrder) {
  ItemSets document;
  document.timestamp = 18446744073709551615ull;
  document.accountId = 7;
  ItemSet set;
  set.uid = "u";
  set.title = "T";
  set.sortrank = -2147483647 - 1;
  set.associatedChampions = {103, 2147483647};
  set.associatedMaps = {11};
  set.blocks.push_back(ItemSetBlock{"Start", "h", "s", {ItemSetItem{"1055", 65535}}});
  set.preferredItemSlots.push_back(PreferredItemSlot{"3031", -32768});
  document.itemSets = {set, ItemSet{}};
  const std::string json = Write(document);
  EXPECT_EQ(json,
            "{\"accountId\":7,\"itemSets\":[{\"associatedChampions\":[103,2147483647],"
            "\"associatedMaps\":[11],\"blocks\":[{\"hideIfSummonerSpell\":\"h\",\"items\":"
            "[{\"count\":65535,\"id\":\"1055\"}],\"showIfSummonerSpell\":\"s\",\"type\":\"Start\"}]"
            ",\"map\":\"\",\"mode\":\"\",\"preferredItemSlots\":[{\"id\":\"3031\","
            "\"preferredItemSlot\":-32768}],\"sortrank\":-2147483648,\"startedFrom\":\"blank\","
            "\"title\":\"T\",\"type\":\"custom\",\"uid\":\"u\"},{\"associatedChampions\":[],"
            "\"associatedMaps\":[],\"blocks\":[],\"map\":\"\",\"mode\":\"\",\"preferredItemSlots\""
            ":[],\"sortrank\":0,\"startedFrom\":\"blank\",\"title\":\"\",\"type\":\"custom\","
            "\"uid\":\"\"}],\"timestamp\":18446744073709551615}");
  ItemSets read;
  EXPECT_EQ(Read(json, read), "");
  EXPECT_EQ(Write(read), json);
}

// Catches absent keys read as something other than the record defaults, and null array
// elements that are not left at the element default.
TEST_F(ItemSetJson, AbsentKeysAndNullElementsKeepDefaults) {
  ItemSets document;
  EXPECT_EQ(Read("{\"accountId\":3}", document), "");
  EXPECT_EQ(document.timestamp, 0u);
  EXPECT_TRUE(document.itemSets.empty());

  ItemSet set;
  EXPECT_EQ(Read("{\"title\":\"x\",\"type\":null,\"associatedMaps\":[5,null,6]}", set), "");
  EXPECT_EQ(set.type, "custom");
  EXPECT_EQ(set.startedFrom, "blank");
  EXPECT_EQ(set.associatedMaps, (std::vector<std::int32_t>{5, 0, 6}));
}

// Catches integer fields that accept values outside their width, or reject ones inside it.
TEST_F(ItemSetJson, IntegerFieldsCheckTheirRange) {
  const struct {
    const char* json;
    const char* error;
  } cases[] = {
      {"{\"count\":65535}", ""},
      {"{\"count\":70000}", "Value 70000 for 'count' of type uint16 is out of range"},
      {"{\"count\":-1}", "Value -1 for 'count' of type uint16 is out of range"},
  };
  for (const auto& test : cases) {
    ItemSetItem item;
    EXPECT_EQ(Read(test.json, item), test.error) << test.json;
  }
  PreferredItemSlot slot;
  EXPECT_EQ(Read("{\"preferredItemSlot\":-5}", slot), "");
  EXPECT_EQ(slot.preferredItemSlot, -5);
  ItemSet set;
  EXPECT_EQ(Read("{\"blocks\":{}}", set),
            "Couldn't assign value to 'blocks' of type vector because the input not a collection.");
}

// Catches a session state that is read only by name or only by number, or that accepts a value
// the enum does not have.
TEST_F(ItemSetJson, SessionStateReadsAsNameOrNumber) {
  const struct {
    const char* state;
    bool accepted;
  } cases[] = {{"\"LOGGING_OUT\"", true}, {"2", true}, {"7", false}, {"\"LOGGED_OUT\"", false}};
  for (const auto& test : cases) {
    LoginSession session;
    const std::string error =
        Read(std::string("{\"accountId\":9,\"state\":") + test.state + "}", session);
    EXPECT_EQ(error.empty(), test.accepted) << test.state << ": " << error;
    if (test.accepted) {
      EXPECT_EQ(session.state, LoginSessionState::LOGGING_OUT);
    }
  }
  LoginSession session;
  session.state = LoginSessionState::SUCCEEDED;
  EXPECT_EQ(Write(session), "{\"accountId\":0,\"state\":\"SUCCEEDED\",\"summonerId\":0}");
}

}  // namespace
}  // namespace dul::item_sets
