#include "binding/binding_type_registry.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "binding/binding_type_builder.h"

namespace Zorv::Tests {

enum class RegistryColour : std::int16_t { kRed = 1, kGreen = 2 };

struct RegistryRecord {
  std::int8_t tiny = 0;
  std::uint64_t big = 0;
  double ratio = 0;
  std::string label;
  RegistryColour colour = RegistryColour::kRed;
  std::vector<RegistryColour> colours;
  std::vector<std::uint8_t> bytes;
  std::map<std::string, std::vector<int>> groups;
};

struct RegistryOuter {
  std::vector<RegistryRecord> records;
};

}  // namespace Zorv::Tests

DUL_BINDING_TYPE_NAME(enum, Zorv::Tests::RegistryColour);
DUL_BINDING_TYPE_NAME(struct, Zorv::Tests::RegistryRecord);
DUL_BINDING_TYPE_NAME(struct, Zorv::Tests::RegistryOuter);

namespace Zorv {
namespace {

using Tests::RegistryColour;
using Tests::RegistryOuter;
using Tests::RegistryRecord;

void RegisterColour(BindingTypeRegistry& registry) {
  BeginType<RegistryColour>(registry, "RegistryColour")
      .AddEnumValue("Red", 1, "")
      .AddEnumValue("Green", 2, "");
}

// Catches a second registration under a taken name adding to or replacing the first.
TEST(BindingTypeRegistry, SecondRegistrationKeepsTheFirst) {
  BindingTypeRegistry registry;
  BeginType<RegistryRecord>(registry, "Record")
      .SetDescription("first")
      .AddField("tiny", "", &RegistryRecord::tiny);
  BindingTypeBuilder again = BeginType(registry, 4, "Record", StaticType::HashCode<int>(), true);
  again.SetDescription("second").AddTag("late").AddEnumValue("A", 1, "");
  again.AddField("big", "", &RegistryRecord::big);

  EXPECT_TRUE(again.alreadyRegistered());
  const BindingTypeDescriptor* type = registry.FindType("Record");
  ASSERT_NE(type, nullptr);
  EXPECT_EQ(&again.descriptor(), type);
  EXPECT_EQ(type->description, "first");
  EXPECT_EQ(type->size, sizeof(RegistryRecord));
  EXPECT_FALSE(type->isEnum);
  EXPECT_TRUE(type->tags.empty());
  EXPECT_TRUE(type->enumValues.empty());
  ASSERT_EQ(type->fields.size(), 1u);
  EXPECT_EQ(type->fields[0].name, "tiny");
  EXPECT_EQ(registry.FindType(StaticType::HashCode<RegistryRecord>().hash), type);
  EXPECT_EQ(registry.FindType(StaticType::HashCode<int>().hash), nullptr);
}

// Catches types registered with the identity of void colliding in the identity index.
TEST(BindingTypeRegistry, VoidIdentityTypesAreFoundByNameOnly) {
  BindingTypeRegistry registry;
  const StaticTypeInfo& none = StaticType::HashCode<void>();
  static_cast<void>(BeginType(registry, 8, "Opaque", none, false));
  static_cast<void>(BeginType(registry, 8, "OtherOpaque", none, false));
  ASSERT_NE(registry.FindType("Opaque"), nullptr);
  ASSERT_NE(registry.FindType("OtherOpaque"), nullptr);
  EXPECT_EQ(registry.FindType("Opaque")->hash, StaticType::kVoidHash);
  EXPECT_EQ(registry.FindType(StaticType::kVoidHash), nullptr);
  EXPECT_EQ(registry.FindType("opaque"), nullptr);
}

// Catches an enum value added twice ending up as two entries or keeping the first number.
TEST(BindingTypeRegistry, EnumValueAddedTwiceKeepsTheLastNumber) {
  BindingTypeRegistry registry;
  BeginType<RegistryColour>(registry, "RegistryColour")
      .AddEnumValue("A", 1, "one")
      .AddEnumValue("A", 2, "two");
  const BindingTypeDescriptor* type = registry.FindType("RegistryColour");
  ASSERT_NE(type, nullptr);
  ASSERT_EQ(type->enumValues.size(), 1u);
  const BindingEnumValue& value = type->enumValues.at("A");
  EXPECT_EQ(value.value, 2);
  EXPECT_EQ(value.name, "A");
  EXPECT_EQ(value.description, "two");
  EXPECT_EQ(value.owner, type);
  EXPECT_TRUE(BindingTypeRegistry::IsEnumValue(*type, 2));
  EXPECT_FALSE(BindingTypeRegistry::IsEnumValue(*type, 1));
}

// Catches EnumName picking by insertion order, by case-folded order, or answering for a record.
TEST(BindingTypeRegistry, EnumNameReturnsTheFirstNameInByteOrder) {
  BindingTypeRegistry registry;
  BeginType<RegistryColour>(registry, "RegistryColour")
      .AddEnumValue("b", 7, "")
      .AddEnumValue("a", 7, "")
      .AddEnumValue("B", 7, "")
      .AddEnumValue("z", 9, "");
  const std::uint32_t identity = StaticType::HashCode<RegistryColour>().hash;
  EXPECT_STREQ(registry.EnumName(identity, 7), "B");
  EXPECT_STREQ(registry.EnumName(identity, 9), "z");
  EXPECT_EQ(registry.EnumName(identity, 8), nullptr);
  EXPECT_EQ(registry.EnumName(StaticType::HashCode<RegistryRecord>().hash, 7), nullptr);
  BeginType<RegistryRecord>(registry, "Record").AddEnumValue("a", 7, "");
  EXPECT_EQ(registry.EnumName(StaticType::HashCode<RegistryRecord>().hash, 7), nullptr);
}

std::size_t OffsetIn(const RegistryRecord& record, const void* member) {
  return static_cast<std::size_t>(static_cast<const char*>(member) -
                                  reinterpret_cast<const char*>(&record));
}

struct ShapeCase {
  const char* field;
  BindingTypeKind kind;
  BindingTypeKind elementKind;
  const char* referenced;
  std::size_t offset;
};

// Catches a field whose shape, referenced type or offset disagrees with its native member.
TEST(BindingTypeBuilder, FieldShapesComeFromTheNativeMembers) {
  using K = BindingTypeKind;
  using R = RegistryRecord;
  BindingTypeRegistry registry;
  RegisterColour(registry);
  BeginType<R>(registry, "Record")
      .AddField("tiny", "", &R::tiny, BindingFieldFlags::kRequired)
      .AddField("big", "", &R::big)
      .AddField("ratio", "", &R::ratio)
      .AddField("label", "", &R::label, BindingFieldFlags::kOmitWhenEmpty)
      .AddField("colour", "", &R::colour)
      .AddField("colours", "", &R::colours)
      .AddField("bytes", "", &R::bytes)
      .AddField("groups", "", &R::groups);
  BeginType<RegistryOuter>(registry, "Outer").AddField("records", "", &RegistryOuter::records);

  const R sample;
  const ShapeCase cases[] = {
      {"tiny", K::kInt8, K::kNone, nullptr, OffsetIn(sample, &sample.tiny)},
      {"big", K::kUint64, K::kNone, nullptr, OffsetIn(sample, &sample.big)},
      {"ratio", K::kDouble, K::kNone, nullptr, OffsetIn(sample, &sample.ratio)},
      {"label", K::kString, K::kNone, nullptr, OffsetIn(sample, &sample.label)},
      {"colour", K::kEnum, K::kNone, "RegistryColour", OffsetIn(sample, &sample.colour)},
      {"colours", K::kVector, K::kEnum, "RegistryColour", OffsetIn(sample, &sample.colours)},
      {"bytes", K::kBlob, K::kNone, nullptr, OffsetIn(sample, &sample.bytes)},
      {"groups", K::kMap, K::kVector, nullptr, OffsetIn(sample, &sample.groups)},
  };
  const BindingTypeDescriptor* record = registry.FindType("Record");
  ASSERT_NE(record, nullptr);
  ASSERT_EQ(record->fields.size(), std::size(cases));
  for (std::size_t index = 0; index < std::size(cases); ++index) {
    const ShapeCase& expected = cases[index];
    const BindingFieldDescriptor& field = record->fields[index];
    EXPECT_EQ(field.name, expected.field);
    EXPECT_EQ(field.nameHash, dul::Fnv1a(expected.field));
    EXPECT_EQ(field.shape.kind, expected.kind) << expected.field;
    EXPECT_EQ(field.shape.elementKind, expected.elementKind) << expected.field;
    EXPECT_EQ(field.shape.referenced,
              expected.referenced ? registry.FindType(expected.referenced) : nullptr)
        << expected.field;
    EXPECT_EQ(field.offset, expected.offset) << expected.field;
    EXPECT_EQ(field.owner, record);
  }
  EXPECT_EQ(record->fields[0].flags, BindingFieldFlags::kRequired);
  EXPECT_EQ(record->fields[3].flags, BindingFieldFlags::kOmitWhenEmpty);
  EXPECT_EQ(record->fields[4].identity, &StaticType::HashCode<RegistryColour>());
  EXPECT_EQ(registry.FindType("RegistryColour")->size, 2u);

  const BindingFieldDescriptor& records = registry.FindType("Outer")->fields.at(0);
  EXPECT_EQ(records.shape.kind, K::kVector);
  EXPECT_EQ(records.shape.elementKind, K::kStruct);
  EXPECT_EQ(records.shape.referenced, record);
}

// Catches a default cell taken over when its first word says there is none.
TEST(BindingTypeBuilder, DefaultCellIsKeptOnlyWhenItsFirstWordIsSet) {
  BindingTypeRegistry registry;
  BindingTypeBuilder builder = BeginType<RegistryRecord>(registry, "Record");
  BindingFieldRegistration unset;
  unset.name = "unset";
  unset.defaultValue = {0, 5};
  builder.AddField(std::move(unset));
  BindingFieldRegistration set;
  set.name = "set";
  set.defaultValue = {3, 5};
  builder.AddField(std::move(set));
  const auto& fields = registry.FindType("Record")->fields;
  EXPECT_EQ(fields[0].defaultValue.second, 0u);
  EXPECT_EQ(fields[1].defaultValue.first, 3u);
  EXPECT_EQ(fields[1].defaultValue.second, 5u);
}

// Catches an event registered twice replacing the first, or a payload type left unresolved.
TEST(BindingTypeRegistry, EventsKeepTheirFirstRegistration) {
  BindingTypeRegistry registry;
  static_cast<void>(BeginType<RegistryRecord>(registry, "Record"));
  const StaticTypeInfo& payload = StaticType::HashCode<RegistryRecord>();
  EXPECT_TRUE(registry.RegisterEvent("OnRecord", payload, "first", {"tag"}));
  EXPECT_FALSE(registry.RegisterEvent("OnRecord", StaticType::HashCode<int>(), "second", {}));
  const BindingEventDescriptor* event = registry.FindEvent("OnRecord");
  ASSERT_NE(event, nullptr);
  EXPECT_EQ(event->description, "first");
  EXPECT_EQ(event->payloadIdentity, &payload);
  EXPECT_EQ(event->payloadType, registry.FindType("Record"));
  EXPECT_EQ(event->tags, std::vector<std::string>{"tag"});
  EXPECT_EQ(registry.FindEvent("OnOther"), nullptr);
}

// Catches a kind name table that is shifted or answers for numbers outside it.
TEST(BindingTypeKind, NamesFollowTheKindNumbers) {
  const char* const names[] = {"",         "bool",   "int8",  "uint8",  "int16", "uint16",
                               "int32",    "uint32", "int64", "uint64", "float", "double",
                               "string",   "object", "blob",  "vector", "enum",  "struct",
                               "callback", "map",    ""};
  for (std::uint32_t kind = 0; kind < std::size(names); ++kind) {
    EXPECT_EQ(TypeKindName(kind), names[kind]) << kind;
  }
  EXPECT_EQ(TypeKindName(0xFFFFFFFFu), "");
  EXPECT_EQ(TypeKindName(BindingTypeKind::kMap), "map");
}

}  // namespace
}  // namespace Zorv
