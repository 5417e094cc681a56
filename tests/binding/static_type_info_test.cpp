#include "binding/static_type_info.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace Zorv::Client::ItemSets::Api {
struct ItemSet;
}
namespace Zorv {
struct RemotingRequest;
}
namespace Zorv::Tests {
enum class SampleState : std::int32_t { kIdle, kBusy };
}

DUL_BINDING_TYPE_NAME(struct, Zorv::Client::ItemSets::Api::ItemSet);
DUL_BINDING_TYPE_NAME(struct, Zorv::RemotingRequest);
DUL_BINDING_TYPE_NAME(enum, Zorv::Tests::SampleState);

namespace {

struct IdentityCase {
  const char* spelled;
  std::uint32_t actual;
  std::uint32_t expected;
};

// Catches a spelling that drifts from the identity texts other plugins and hosts hash.
TEST(StaticTypeIdentity, SpelledTypesHashToTheirIdentityTexts) {
  using StaticType::HashCode;
  const IdentityCase cases[] = {
      {"void", HashCode<void>().hash, 0x1BE7EF8Eu},
      {"int", HashCode<int>().hash, 0x1C4DE261u},
      {"short", HashCode<short>().hash, 0x64DBF0F4u},
      {"unsigned __int64", HashCode<std::uint64_t>().hash, 0xC647E802u},
      {"std::string", HashCode<std::string>().hash, 0x2757680Bu},
      {"std::vector<int>", HashCode<std::vector<int>>().hash, 0xA1B32994u},
      {"blob", HashCode<std::vector<std::uint8_t>>().hash, 0x3CA48210u},
      {"ItemSet", HashCode<Zorv::Client::ItemSets::Api::ItemSet>().hash, 0x43F1F53Eu},
      {"RemotingRequest", HashCode<Zorv::RemotingRequest>().hash, 0xB1E221A2u},
      {"BindingProperty", HashCode<Zorv::BindingProperty>().hash, 0x9809D409u},
      {"enum SampleState", HashCode<Zorv::Tests::SampleState>().hash, 0xAE134E4Au},
  };
  for (const IdentityCase& identity : cases) {
    EXPECT_EQ(identity.actual, identity.expected) << identity.spelled;
  }
}

// Catches a 64-bit integer that gets a second identity from how the target spells int64_t.
TEST(StaticTypeIdentity, SixtyFourBitIntegersHaveOneIdentity) {
  EXPECT_EQ(StaticType::HashCode<std::int64_t>().hash, StaticType::HashCode<long long>().hash);
  EXPECT_EQ(StaticType::HashCode<std::uint64_t>().hash,
            StaticType::HashCode<unsigned long long>().hash);
  EXPECT_NE(StaticType::HashCode<std::int64_t>().hash, StaticType::HashCode<std::int32_t>().hash);
}

// Catches nested containers losing the blank between closing brackets or the pair's const.
TEST(StaticTypeIdentity, NestedContainersCloseWithBlanks) {
  EXPECT_EQ(StaticType::kSpelling<std::vector<std::vector<int>>>.view(),
            "class std::vector<class std::vector<int,class std::allocator<int> >,"
            "class std::allocator<class std::vector<int,class std::allocator<int> > > >");
  const std::string text(StaticType::kSpelling<std::map<std::string, int>>.view());
  EXPECT_NE(text.find("struct std::pair<class std::basic_string<char,struct "
                      "std::char_traits<char>,class std::allocator<char> > const ,int> > >"),
            std::string::npos)
      << text;
  EXPECT_EQ(StaticType::kIdentityText<std::vector<int>>.view(),
            "unsigned int __cdecl StaticType::HashCode<class std::vector<int,class "
            "std::allocator<int> >>(void)");
}

// Catches a display buffer too short for "#" and all eight digits, or a name not pointing at it.
TEST(StaticTypeIdentity, DisplayNameIsTheHashInHex) {
  const Zorv::StaticTypeInfo& info = StaticType::HashCode<void>();
  EXPECT_STREQ(info.name, "#1BE7EF8E");
  EXPECT_EQ(info.name, info.buffer);
  EXPECT_STREQ(StaticType::HashCode<Zorv::RemotingRequest>().name, "#B1E221A2");
}

// Catches a readable name with a hash of its own instead of the type's identity.
TEST(StaticTypeIdentity, ReadableNameKeepsTheIdentity) {
  using Zorv::Client::ItemSets::Api::ItemSet;
  EXPECT_STREQ(StaticType::Name<ItemSet>().name,
               "const char *__cdecl StaticType::Name<struct "
               "Zorv::Client::ItemSets::Api::ItemSet>(void)");
  EXPECT_EQ(StaticType::Name<ItemSet>().hash, StaticType::HashCode<ItemSet>().hash);
  EXPECT_STREQ(StaticType::HashCode<Zorv::BindingProperty>().name,
               "const char *__cdecl StaticType::Name<class Zorv::BindingProperty>(void)");
}

}  // namespace
