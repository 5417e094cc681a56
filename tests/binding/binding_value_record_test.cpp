#include "binding/binding_value_record.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "binding/binding_type_builder.h"
#include "binding/binding_type_registry.h"
#include "foundation/allocation_counters.h"

namespace Zorv::Tests {
enum class RecordTestMood : std::int32_t { kCalm = 1 };
}  // namespace Zorv::Tests

DUL_BINDING_TYPE_NAME(enum, Zorv::Tests::RecordTestMood);

namespace Zorv {
namespace {

using Tests::RecordTestMood;

std::uint64_t LiveBytes() {
  const dul::AllocationStats stats = dul::ReadAllocationStats();
  return stats.bytesAllocated - stats.bytesFreed;
}

BindingProperty EveryKind() {
  BindingProperty value;
  value.Member("empty");
  value.Member("yes") = true;
  value.Member("negative") = std::int64_t{-5000000000};
  value.Member("big") = std::uint64_t{1} << 63;
  value.Member("ratio") = -0.5;
  value.Member("text") = std::string_view("a\0b", 3);
  value.Member("none") = "";
  value.Member("bytes") = std::vector<std::uint8_t>{0, 1, 255};
  value.Member("nothing") = std::vector<std::uint8_t>{};
  BindingProperty& list = value.Member("list");
  list.PushBack() = 1;
  list.PushBack().Member("deep").PushBack() = "x";
  list.PushBack().SetCollection();
  value.Member("object").SetStructure();
  return value;
}

// Catches a kind lost or changed on the way to the host and back, nesting and order included.
TEST(BindingValueRecord, EveryKindSurvivesARoundTrip) {
  const BindingProperty value = EveryKind();
  DulBindingValueRecord record = MakeValueRecord(value, nullptr);
  EXPECT_EQ(record.kind, 10u);
  BindingResult result;
  ReadValueRecord(result, record, "body");
  ASSERT_TRUE(result.ok()) << result.ErrorText();
  EXPECT_EQ(result.value(), value);
  ClearValueRecord(record);
}

// Catches member arrays out of name order, names not owned by the record, or texts not copied.
TEST(BindingValueRecord, RecordsOwnCopiesInNameOrder) {
  BindingProperty value;
  value.Member("b") = "bee";
  value.Member("a") = 1;
  value.Member("B") = 2;
  DulBindingValueRecord record = MakeValueRecord(value, nullptr);
  ASSERT_EQ(record.kind, 10u);
  ASSERT_EQ(record.payload.span.length, 3u);
  const auto* members = static_cast<const DulBindingMember*>(record.payload.span.data);
  const char* expectedNames[] = {"B", "a", "b"};
  for (int i = 0; i < 3; ++i) {
    const DulBindingMember member = members[i];
    EXPECT_STREQ(member.name, expectedNames[i]);
    EXPECT_EQ(member.ownsName, 1);
  }
  const DulBindingValueRecord text = DulBindingMember(members[2]).value;
  EXPECT_EQ(text.kind, 6u);
  EXPECT_NE(text.payload.span.data, static_cast<const void*>(value.Find("b").GetString().data()));
  ClearValueRecord(record);
  const DulBindingValueRecord zero{};
  EXPECT_EQ(std::memcmp(&record, &zero, sizeof(record)), 0);
}

// Catches an owned copy that is not freed (or freed twice) when a record is cleared.
TEST(BindingValueRecord, ClearingFreesEverythingTheRecordOwns) {
  const BindingProperty value = EveryKind();
  const std::uint64_t before = LiveBytes();
  DulBindingValueRecord record = MakeValueRecord(value, nullptr);
  EXPECT_GT(LiveBytes(), before);
  ClearValueRecord(record);
  EXPECT_EQ(LiveBytes(), before);
  EXPECT_EQ(record.kind, 0u);
}

// Catches an enum written as a number when its name is known, or as a zero-extended number.
TEST(BindingValueRecord, EnumsBecomeNamesWhenTheRegistryKnowsThem) {
  BindingTypeRegistry registry;
  BeginType<RecordTestMood>(registry, "RecordTestMood")
      .AddEnumValue("Still", 1, "")
      .AddEnumValue("Calm", 1, "");
  const std::uint32_t identity = StaticType::HashCode<RecordTestMood>().hash;

  DulBindingValueRecord named = MakeValueRecord(BindingEnumCell{1, identity}, &registry);
  ASSERT_EQ(named.kind, 6u);
  EXPECT_EQ(
      std::string(static_cast<const char*>(named.payload.span.data), named.payload.span.length),
      "Calm");
  ClearValueRecord(named);

  const BindingProperty unnamed[] = {BindingEnumCell{-3, identity}, BindingEnumCell{1, 12345}};
  for (const BindingProperty& value : unnamed) {
    DulBindingValueRecord record = MakeValueRecord(value, &registry);
    EXPECT_EQ(record.kind, 2u);
    EXPECT_EQ(record.payload.signed64, value.GetEnum().value);
    ClearValueRecord(record);
  }
  DulBindingValueRecord noRegistry = MakeValueRecord(BindingEnumCell{1, identity}, nullptr);
  EXPECT_EQ(noRegistry.kind, 2u);
}

DulBindingValueRecord SpanRecord(std::uint32_t kind, const void* data, std::uint32_t length) {
  DulBindingValueRecord record{};
  record.kind = kind;
  record.payload.span.data = data;
  record.payload.span.length = length;
  return record;
}

// Catches borrowed host data read wrongly, and null pointers with a length being dereferenced
// or accepted.
TEST(BindingValueRecord, HostRecordsAreCheckedBeforeTheyAreRead) {
  const char text[] = "host";
  const std::uint8_t bytes[] = {7, 8};
  BindingResult result;
  ReadValueRecord(result, SpanRecord(5, text, 0), "arg");
  EXPECT_EQ(result.value().GetString(), "host");
  ReadValueRecord(result, SpanRecord(7, bytes, 2), "arg");
  EXPECT_EQ(result.value().GetBlob().size(), 2u);
  ReadValueRecord(result, SpanRecord(6, nullptr, 0), "arg");
  EXPECT_EQ(result.value().Kind(), BindingPropertyKind::kString);
  EXPECT_EQ(result.value().Size(), 0u);

  struct FailCase {
    DulBindingValueRecord record;
    const char* kindName;
  };
  DulBindingValueRecord badElement[] = {SpanRecord(9, nullptr, 4)};
  const FailCase failures[] = {
      {SpanRecord(11, nullptr, 0), ""},          {SpanRecord(0xFFFFFFFF, text, 4), ""},
      {SpanRecord(5, nullptr, 1), "string"},     {SpanRecord(6, nullptr, 3), "string"},
      {SpanRecord(7, nullptr, 2), "blob"},       {SpanRecord(8, nullptr, 2), "blob"},
      {SpanRecord(10, nullptr, 1), "structure"}, {SpanRecord(9, badElement, 1), "collection"},
  };
  for (const FailCase& failure : failures) {
    BindingResult failed;
    ReadValueRecord(failed, failure.record, "items");
    EXPECT_FALSE(failed.ok());
    EXPECT_EQ(failed.ErrorText(),
              std::string("Couldn't assign value to 'items' of type object because the input is "
                          "of an incompatible type '") +
                  failure.kindName + "'.");
  }
}

// Catches a later conversion overwriting the first error of a walk.
TEST(BindingValueRecord, ReadingIntoAFailedResultKeepsTheFirstError) {
  BindingResult result;
  result.SetError("first");
  DulBindingValueRecord record{};
  record.kind = 2;
  ReadValueRecord(result, record, "x");
  EXPECT_EQ(result.ErrorText(), "first");
}

}  // namespace
}  // namespace Zorv
