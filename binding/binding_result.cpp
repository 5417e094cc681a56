#include "binding/binding_result.h"

#include <string>

namespace Zorv {

BindingProperty BindingResult::TakeValue() {
  BindingProperty taken(std::move(value_));
  value_.Clear();
  success_ = true;
  return taken;
}

BindingProperty& BindingResult::ResetValue() {
  value_.Clear();
  success_ = true;
  return value_;
}

void BindingResult::SetError(std::string_view message) {
  const std::string aside(message);  // the message may be this result's own earlier error
  value_.Clear();
  success_ = false;
  value_.Member("error") = std::string_view(aside);
}

std::string_view BindingResult::ErrorText() const {
  return success_ ? std::string_view() : value_.Find("error").GetString();
}

}  // namespace Zorv
