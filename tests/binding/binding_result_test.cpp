#include "binding/binding_result.h"

#include <gtest/gtest.h>

#include <string>

namespace Zorv {
namespace {

// Catches a failure that keeps the old value beside the error or is not reported as one.
TEST(BindingResult, ErrorReplacesTheValueWithAnErrorStructure) {
  BindingResult result;
  EXPECT_TRUE(result.ok());
  EXPECT_TRUE(result.value().IsEmpty());
  result = "partial";
  result.SetError("first");
  EXPECT_FALSE(result.ok());
  EXPECT_EQ(result.ErrorText(), "first");
  ASSERT_EQ(result.value().Kind(), BindingPropertyKind::kStructure);
  EXPECT_EQ(result.value().Size(), 1u);
  EXPECT_EQ(result.value().Find("error").GetString(), "first");
}

// Catches an assignment that keeps the failure flag, and a re-report of the result's own
// message that reads it after it was freed.
TEST(BindingResult, AssigningAValueRestoresSuccess) {
  BindingResult result;
  result.SetError(std::string(300, 'e'));
  result.SetError(result.ErrorText());
  EXPECT_EQ(result.ErrorText(), std::string(300, 'e'));
  result = 7;
  EXPECT_TRUE(result.ok());
  EXPECT_EQ(result.ErrorText(), "");
  EXPECT_EQ(result.value().GetSigned(0), 7);

  BindingProperty tree;
  tree.Member("a") = 1;
  result = tree;
  EXPECT_EQ(result.value(), tree);
  result.SetError("late");
  BindingProperty& fresh = result.ResetValue();
  EXPECT_TRUE(result.ok());
  EXPECT_TRUE(fresh.IsEmpty());
}

}  // namespace
}  // namespace Zorv
