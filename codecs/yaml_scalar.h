// Typing of YAML scalars: the four supported tags, quoted scalars as strings, and for plain and
// block scalars the null words, numbers and boolean words, else a string.
//
//   std::string error;
//   if (!TypeYamlScalar(target, "0x1A", {}, YamlScalarQuoting::kUnquoted, error)) ...  // 26
//
// Numbers are read as the C locale reads them, whatever the process locale is.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "binding/binding_property.h"
#include "binding/number_text.h"

namespace Zorv {

inline constexpr std::string_view kYamlStringTag = "tag:yaml.org,2002:str";
inline constexpr std::string_view kYamlIntegerTag = "tag:yaml.org,2002:int";
inline constexpr std::string_view kYamlFloatTag = "tag:yaml.org,2002:float";
inline constexpr std::string_view kYamlBoolTag = "tag:yaml.org,2002:bool";

enum class YamlScalarQuoting { kUnquoted, kQuoted };

// Stores the typed scalar in `target` (which must be "empty"). `tag` is empty when the scalar
// has none. On failure returns false with the message in `error`.
bool TypeYamlScalar(BindingProperty& target, std::string_view text, std::string_view tag,
                    YamlScalarQuoting quoting, std::string& error);

// A whole-text floating-point parse with the C locale's rules (leading white space, a sign,
// decimal or "0x" hexadecimal digits, "inf", "nan"), independent of the process locale.
// Overflow is out of range; underflow gives zero and is in range.
NumberText<double> ParseCLocaleDouble(std::string_view text);

// The true/false words ("yes", "Off" ...): false when `text` is none of them, else sets `value`.
bool ReadYamlBoolWord(std::string_view text, bool& value);

}  // namespace Zorv
