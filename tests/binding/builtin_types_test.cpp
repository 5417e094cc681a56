#include "binding/builtin_types.h"

#include <cstddef>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "binding/binding_type_registry.h"
#include "binding/static_type_info.h"

namespace Zorv {
namespace {

struct BuiltinCase {
  const char* name;
  const char* secondTag;  // null for "$builtin" alone
  std::size_t fieldCount;
  std::size_t valueCount;
};

constexpr BuiltinCase kBuiltins[] = {
    {"BindingHelpFormat", "help", 0, 2},         {"BindingFullTypeIdentifier", "help", 2, 0},
    {"BindingFullArgumentHelp", "help", 4, 0},   {"BindingFullFunctionHelp", "help", 9, 0},
    {"BindingFullEnumValueHelp", "help", 3, 0},  {"BindingFullFieldHelp", "help", 5, 0},
    {"BindingFullTypeHelp", "help", 7, 0},       {"BindingFullEventHelp", "help", 5, 0},
    {"BindingFullApiHelp", "help", 3, 0},        {"BindingAsyncState", "async", 0, 6},
    {"BindingGenericEvent", nullptr, 1, 0},      {"BindingCallbackEvent", nullptr, 2, 0},
    {"BindingGenericAsyncEvent", "async", 2, 0}, {"BindingAsyncFailureEvent", "async", 2, 0},
    {"BindingAsyncCancelEvent", "async", 1, 0},
};

// Catches a built-in type missing from a new registry, or registered with wrong tags or members.
TEST(BuiltinTypes, FreshRegistryKnowsEveryBuiltin) {
  BindingTypeRegistry registry;
  EXPECT_TRUE(registry.ready());
  for (const BuiltinCase& builtin : kBuiltins) {
    const BindingTypeDescriptor* type = registry.FindType(builtin.name);
    ASSERT_NE(type, nullptr) << builtin.name;
    std::vector<std::string> tags = {"$builtin"};
    if (builtin.secondTag != nullptr) {
      tags.emplace_back(builtin.secondTag);
    }
    EXPECT_EQ(type->tags, tags) << builtin.name;
    EXPECT_FALSE(type->description.empty()) << builtin.name;
    EXPECT_EQ(type->fields.size(), builtin.fieldCount) << builtin.name;
    EXPECT_EQ(type->enumValues.size(), builtin.valueCount) << builtin.name;
    EXPECT_EQ(registry.FindType(type->hash), type) << builtin.name;
  }
  EXPECT_STREQ(registry.EnumName(StaticType::HashCode<BindingAsyncState>().hash, 2), "Cancelling");
  EXPECT_EQ(registry.FindType("BindingAsyncState")->size, 4u);
}

// Catches the callback event not registered, or not tied to its payload record.
TEST(BuiltinTypes, OnCallbackCarriesTheCallbackEvent) {
  BindingTypeRegistry registry;
  const BindingEventDescriptor* event = registry.FindEvent("OnCallback");
  ASSERT_NE(event, nullptr);
  EXPECT_EQ(event->description, "Fired when a callback is invoked.");
  EXPECT_EQ(event->tags, std::vector<std::string>{"$builtin"});
  EXPECT_EQ(event->payloadType, registry.FindType("BindingCallbackEvent"));
  EXPECT_NE(event->payloadType, nullptr);
}

// Catches value members that lose the identity of BindingProperty or references between records.
TEST(BuiltinTypes, MembersReferToTheirTypes) {
  BindingTypeRegistry registry;
  const BindingFieldDescriptor& data = registry.FindType("BindingGenericAsyncEvent")->fields[1];
  EXPECT_EQ(data.name, "data");
  EXPECT_EQ(data.shape.kind, BindingTypeKind::kObject);
  EXPECT_EQ(data.identity->hash, StaticType::HashCode<BindingProperty>().hash);
  const BindingGenericAsyncEvent sample;
  EXPECT_EQ(data.offset, static_cast<std::size_t>(reinterpret_cast<const char*>(&sample.data) -
                                                  reinterpret_cast<const char*>(&sample)));

  const BindingFieldDescriptor& parameters = registry.FindType("BindingCallbackEvent")->fields[1];
  EXPECT_EQ(parameters.shape.kind, BindingTypeKind::kVector);
  EXPECT_EQ(parameters.shape.elementKind, BindingTypeKind::kObject);

  const BindingFieldDescriptor& fields = registry.FindType("BindingFullTypeHelp")->fields[5];
  EXPECT_EQ(fields.name, "fields");
  EXPECT_EQ(fields.shape.elementKind, BindingTypeKind::kStruct);
  EXPECT_EQ(fields.shape.referenced, registry.FindType("BindingFullFieldHelp"));
}

// Catches a second run of the built-in registration duplicating fields, values, tags or events.
TEST(BuiltinTypes, RegisteringTwiceChangesNothing) {
  BindingTypeRegistry registry;
  RegisterBuiltins(registry);
  for (const BuiltinCase& builtin : kBuiltins) {
    const BindingTypeDescriptor* type = registry.FindType(builtin.name);
    ASSERT_NE(type, nullptr) << builtin.name;
    EXPECT_EQ(type->tags.size(), builtin.secondTag != nullptr ? 2u : 1u) << builtin.name;
    EXPECT_EQ(type->fields.size(), builtin.fieldCount) << builtin.name;
    EXPECT_EQ(type->enumValues.size(), builtin.valueCount) << builtin.name;
  }
  EXPECT_NE(registry.FindEvent("OnCallback"), nullptr);
}

}  // namespace
}  // namespace Zorv
