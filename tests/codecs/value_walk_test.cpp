#include <gtest/gtest.h>

#include <string>

#include "codecs/value_visitor.h"

namespace Zorv {
namespace {

// Records the walk as one line of tokens.
class TraceVisitor : public ValueVisitor {
 public:
  void Null() override { trace += "null "; }
  void Int64(std::int64_t value) override { trace += std::to_string(value) + " "; }
  void String(std::string_view text) override { trace += "'" + std::string(text) + "' "; }
  void StartArray(std::size_t count) override { trace += "[" + std::to_string(count) + " "; }
  void BeginElement() override { trace += "< "; }
  void EndElement() override { trace += "> "; }
  void EndArray() override { trace += "] "; }
  void StartObject(std::size_t count) override { trace += "{" + std::to_string(count) + " "; }
  void Key(std::string_view name) override { trace += std::string(name) + ": "; }
  void EndMember() override { trace += "; "; }
  void EndObject() override { trace += "} "; }
  std::string trace;
};

// Catches a walk that misorders members, misses an element bracket or an end of a container.
TEST(ValueWalk, VisitsContainersInOrderWithTheirBrackets) {
  BindingProperty value;
  value.Member("b").PushBack() = std::int64_t{1};
  value.Member("b").PushBack();
  value.Member("a") = "x";
  value.Member("c").SetStructure();
  TraceVisitor visitor;
  WalkValue(value, visitor);
  EXPECT_EQ(visitor.trace, "{3 a: 'x' ; b: [2 < 1 > < null > ] ; c: {0 } ; } ");
}

// Catches a walk that loses its place when unwinding many levels at once.
TEST(ValueWalk, UnwindsDeepNestingInOrder) {
  constexpr std::size_t kDepth = 20000;
  BindingProperty value;
  BindingProperty* level = &value;
  for (std::size_t i = 0; i < kDepth; ++i) level = &level->PushBack();
  TraceVisitor visitor;
  WalkValue(value, visitor);
  std::string expected;
  for (std::size_t i = 0; i < kDepth; ++i) expected += "[1 < ";
  expected += "null ";
  for (std::size_t i = 0; i < kDepth; ++i) expected += "> ] ";
  EXPECT_EQ(visitor.trace, expected);
}

}  // namespace
}  // namespace Zorv
