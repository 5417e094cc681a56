#include "contract/request_method.h"

#include <gtest/gtest.h>

namespace dul {
namespace {

// Catches a method given the wrong record code by either side, a name matched without regard to
// case, and an unknown name that does not travel as a named method (8).
TEST(RequestMethod, NamesAndCodesGoBothWays) {
  for (std::uint32_t code = 1; code <= 7; ++code)
    EXPECT_EQ(MethodCodeOf(MethodName(code)), code) << MethodName(code);
  EXPECT_EQ(MethodCodeOf("DELETE"), 1u);
  EXPECT_EQ(MethodCodeOf("PUT"), 7u);
  EXPECT_EQ(MethodCodeOf("get"), 8u);
  EXPECT_EQ(MethodCodeOf("PROPFIND"), 8u);
  EXPECT_EQ(MethodName(8), "");
}

}  // namespace
}  // namespace dul
