// ParseJson: JSON text into a BindingProperty.
//
//   BindingResult parsed = ParseJson(body.c_str());
//   if (!parsed.ok()) return Fail(parsed.ErrorText());   // "Error: Invalid value. at offset 3."
//
// Numbers become "unsigned" (non-negative integers), "signed" (negative integers) or "float"
// (anything with a fraction or exponent, or beyond 64 bits). A member named twice is merged: a
// later scalar replaces, a later null leaves the earlier value, a later object merges into the
// earlier one and a later array appends to it. Text of blanks only reads as "empty" with
// success. Nesting deeper than kMaxJsonDepth fails like any other syntax error. On failure
// nothing of the partly built value is kept.
#pragma once

#include <cstddef>
#include <string_view>

#include "binding/binding_result.h"

namespace Zorv {

inline constexpr std::size_t kMaxJsonDepth = 512;

// Reads the NUL-terminated `text` (null reads as empty).
BindingResult ParseJson(const char* text);

// Reads the whole of `text`, which need not be NUL-terminated: a NUL before its end fails as a
// second root value would, rather than ending the document silently.
BindingResult ParseJson(std::string_view text);

}  // namespace Zorv
