// BindingResult: what a conversion, codec or request binding writes into: a value and a success
// flag. A result starts successful and empty; assigning a value sets it successful; SetError makes
// it a failure whose value is the structure {"error": message}.
//
//   BindingResult result;
//   ReadValueRecord(result, record, "body");
//   if (!result.ok()) return Fail(result.ErrorText());
//
// First error wins: every conversion step must check ok() first and return at once when it is
// false, so that the first failure of a walk is the one reported (SetError itself replaces).
#pragma once

#include <string_view>
#include <type_traits>
#include <utility>

#include "binding/binding_property.h"

namespace Zorv {

class [[nodiscard]] BindingResult {
 public:
  BindingResult() = default;
  BindingResult(const BindingResult&) = delete;
  BindingResult& operator=(const BindingResult&) = delete;
  BindingResult(BindingResult&&) noexcept = default;
  BindingResult& operator=(BindingResult&&) noexcept = default;

  bool ok() const { return success_; }

  // The value; on failure the structure holding "error".
  const BindingProperty& value() const { return value_; }
  BindingProperty& value() { return value_; }
  // Moves the value out, leaving the result successful and empty.
  BindingProperty TakeValue();

  // Empties the value, marks success and hands the value over to be built in place.
  BindingProperty& ResetValue();

  // Stores a value (anything a BindingProperty is assigned from) and marks success.
  template <typename Value>
  requires(!std::is_same_v<std::remove_cvref_t<Value>, BindingResult> &&
           std::is_assignable_v<BindingProperty&, Value&&>) BindingResult&
  operator=(Value&& value) {
    value_ = std::forward<Value>(value);
    success_ = true;
    return *this;
  }

  // Marks failure: the value becomes the structure {"error": message}.
  void SetError(std::string_view message);
  // The message of a failure; empty on success.
  std::string_view ErrorText() const;

 private:
  BindingProperty value_;
  bool success_ = true;
};

}  // namespace Zorv
