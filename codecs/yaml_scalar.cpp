#include "codecs/yaml_scalar.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

#include "foundation/format_text.h"

namespace Zorv {
namespace {

using dul::FormatText;

// The name under which tagged numbers are converted, as messages print it.
constexpr std::string_view kConvertedName = "yaml";
constexpr double kTwoToThe63 = 9223372036854775808.0;
constexpr double kTwoToThe64 = 18446744073709551616.0;

bool IsCSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

int HexDigitValue(char c) {
  if (IsDigit(c))
    return c - '0';
  const char lower = static_cast<char>(c | 0x20);
  return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

// A number text without its leading white space and sign.
struct SignedBody {
  bool negative = false;
  bool hexadecimal = false;  // the body followed a "0x" or "0X", which is removed
  std::string_view body;
};

SignedBody SplitNumber(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size() && IsCSpace(text[at]))
    ++at;
  SignedBody split;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
    split.negative = text[at] == '-';
    ++at;
  }
  split.body = text.substr(at);
  if (split.body.size() >= 2 && split.body[0] == '0' && (split.body[1] | 0x20) == 'x') {
    split.hexadecimal = true;
    split.body.remove_prefix(2);
  }
  return split;
}

// For a parse that fell outside the range of doubles: whether it overflowed (the leading
// significant digit's place plus the exponent is positive) rather than underflowed.
bool Overflowed(std::string_view body, bool hexadecimal) {
  long long place = 0;
  bool significant = false;
  bool fraction = false;
  std::size_t at = 0;
  for (; at < body.size(); ++at) {
    const char c = body[at];
    if (c == '.') {
      fraction = true;
      continue;
    }
    if ((hexadecimal ? HexDigitValue(c) : (IsDigit(c) ? 0 : -1)) < 0)
      break;
    significant = significant || c != '0';
    if (significant && !fraction)
      ++place;
    else if (!significant && fraction)
      --place;
  }
  long long exponent = 0;
  if (at + 1 < body.size()) {
    const bool negative = body[at + 1] == '-';
    for (std::size_t digit = at + 1; digit < body.size(); ++digit) {
      if (IsDigit(body[digit]) && exponent < 1000000000)
        exponent = exponent * 10 + (body[digit] - '0');
    }
    exponent = negative ? -exponent : exponent;
  }
  return (hexadecimal ? place * 4 : place) + exponent > 0;
}

enum class WholeInteger { kNotInteger, kStored, kTooLarge };

// Integer texts are read exactly, so that no digit is lost to a double's 53 bits.
WholeInteger ReadWholeInteger(std::string_view text, BindingProperty& target) {
  const SignedBody split = SplitNumber(text);
  if (split.body.empty())
    return WholeInteger::kNotInteger;
  const std::uint64_t radix = split.hexadecimal ? 16 : 10;
  std::uint64_t magnitude = 0;
  bool tooLarge = false;
  for (const char c : split.body) {
    const int digit = split.hexadecimal ? HexDigitValue(c) : (IsDigit(c) ? c - '0' : -1);
    if (digit < 0)
      return WholeInteger::kNotInteger;
    tooLarge |= __builtin_mul_overflow(magnitude, radix, &magnitude);
    tooLarge |= __builtin_add_overflow(magnitude, static_cast<std::uint64_t>(digit), &magnitude);
  }
  constexpr std::uint64_t kSignedLimit = std::uint64_t{1} << 63;
  if (tooLarge || (split.negative && magnitude > kSignedLimit))
    return WholeInteger::kTooLarge;
  if (!split.negative || magnitude == 0)
    target.SetUnsigned(magnitude);
  else
    target.SetSigned(magnitude == kSignedLimit ? std::numeric_limits<std::int64_t>::min()
                                               : -static_cast<std::int64_t>(magnitude));
  return WholeInteger::kStored;
}

// A finite number: whole numbers inside the 64-bit ranges become integers, others (integer
// texts beyond those ranges too) stay floats rather than wrap or round into range.
bool ReadPlainNumber(std::string_view text, BindingProperty& target) {
  const WholeInteger integer = ReadWholeInteger(text, target);
  if (integer == WholeInteger::kStored)
    return true;
  const NumberText<double> parsed = ParseCLocaleDouble(text);
  const double value = parsed.value;
  if (parsed.status != NumberTextStatus::kOk || !std::isfinite(value))
    return false;
  if (integer == WholeInteger::kTooLarge || std::trunc(value) != value) {
    target.SetDouble(value);
  } else if (value < 0) {
    if (value >= -kTwoToThe63)
      target.SetSigned(static_cast<std::int64_t>(value));
    else
      target.SetDouble(value);
  } else if (value < kTwoToThe64) {
    target.SetUnsigned(static_cast<std::uint64_t>(value));
  } else {
    target.SetDouble(value);
  }
  return true;
}

// Only texts that start like this can be finite numbers; letters ("inf", "nan") never are.
bool MayBeNumber(char first) {
  return IsDigit(first) || first == '-' || first == '+' || first == '.' || IsCSpace(first);
}

bool IsNullWord(std::string_view text) {
  if (text.size() == 4)
    return text == "null" || text == "Null" || text == "NULL";
  return text.empty() || text == "~";
}

void ResolveUntagged(BindingProperty& target, std::string_view text) {
  if (IsNullWord(text))
    return;
  if (MayBeNumber(text[0]) && ReadPlainNumber(text, target))
    return;
  bool value = false;
  if (ReadYamlBoolWord(text, value))
    target.SetBool(value);
  else
    target.SetString(text);
}

bool FailNumber(std::string& error, NumberTextStatus status, std::string_view text,
                std::string_view typeName) {
  error = FormatText(status == NumberTextStatus::kIncorrectFormat
                         ? "Value %1 for '%2' of type %3 is in an incorrect format"
                         : "Value %1 for '%2' of type %3 is out of range",
                     text, kConvertedName, typeName);
  return false;
}

bool ReadTaggedInteger(BindingProperty& target, std::string_view text, std::string& error) {
  if (!text.empty() && text[0] == '-') {
    const NumberText<std::int64_t> parsed = ParseSignedText(text);
    if (parsed.status != NumberTextStatus::kOk)
      return FailNumber(error, parsed.status, text, "int64_t");
    target.SetSigned(parsed.value);
    return true;
  }
  const NumberText<std::uint64_t> parsed = ParseUnsignedText(text);
  if (parsed.status != NumberTextStatus::kOk)
    return FailNumber(error, parsed.status, text, "uint64_t");
  target.SetUnsigned(parsed.value);
  return true;
}

bool ReadTaggedFloat(BindingProperty& target, std::string_view text, std::string& error) {
  NumberText<double> parsed = ParseCLocaleDouble(text);
  // Infinity is outside the bounds of a double; a NaN passes them.
  if (parsed.status == NumberTextStatus::kOk && std::isinf(parsed.value))
    parsed.status = NumberTextStatus::kOutOfRange;
  if (parsed.status != NumberTextStatus::kOk)
    return FailNumber(error, parsed.status, text, "double");
  target.SetDouble(parsed.value);
  return true;
}

bool TypeTagged(BindingProperty& target, std::string_view text, std::string_view tag,
                std::string& error) {
  if (tag == kYamlStringTag) {
    target.SetString(text);
    return true;
  }
  if (tag == kYamlIntegerTag)
    return ReadTaggedInteger(target, text, error);
  if (tag == kYamlFloatTag)
    return ReadTaggedFloat(target, text, error);
  if (tag == kYamlBoolTag) {
    bool value = false;
    if (ReadYamlBoolWord(text, value))
      target.SetBool(value);
    return true;
  }
  error = FormatText("Unsupported YAML tag '%1'.", tag);
  return false;
}

}  // namespace

bool TypeYamlScalar(BindingProperty& target, std::string_view text, std::string_view tag,
                    YamlScalarQuoting quoting, std::string& error) {
  if (!tag.empty())
    return TypeTagged(target, text, tag, error);
  if (quoting == YamlScalarQuoting::kQuoted)
    target.SetString(text);
  else
    ResolveUntagged(target, text);
  return true;
}

NumberText<double> ParseCLocaleDouble(std::string_view text) {
  const SignedBody split = SplitNumber(text);
  const std::string_view body = split.body;
  constexpr NumberText<double> kIncorrect{NumberTextStatus::kIncorrectFormat, 0};
  // from_chars takes a minus sign of its own, which must not follow ours; after "0x" the C
  // parse needs a hexadecimal digit or point, else it stops at the "x".
  if (body.empty() || body[0] == '-' || body[0] == '+')
    return kIncorrect;
  if (split.hexadecimal && HexDigitValue(body[0]) < 0 && body[0] != '.')
    return kIncorrect;
  double value = 0;
  const char* const end = body.data() + body.size();
  const std::from_chars_result parsed =
      std::from_chars(body.data(), end, value,
                      split.hexadecimal ? std::chars_format::hex : std::chars_format::general);
  if (parsed.ec == std::errc::invalid_argument || parsed.ptr != end)
    return kIncorrect;
  NumberText<double> result;
  if (parsed.ec == std::errc::result_out_of_range) {
    const bool overflowed = Overflowed(body, split.hexadecimal);
    result.status = overflowed ? NumberTextStatus::kOutOfRange : NumberTextStatus::kOk;
    value = overflowed ? std::numeric_limits<double>::infinity() : 0.0;
  }
  result.value = split.negative ? -value : value;
  return result;
}

bool ReadYamlBoolWord(std::string_view text, bool& value) {
  static constexpr std::string_view kTrueWords[] = {"true", "True", "TRUE", "y",  "Y", "yes",
                                                    "Yes",  "YES",  "on",   "On", "ON"};
  static constexpr std::string_view kFalseWords[] = {"false", "False", "FALSE", "n",   "N",  "no",
                                                     "No",    "NO",    "off",   "Off", "OFF"};
  // Every word starts with one of these letters, in either case.
  if (text.empty() || text.size() > 5 ||
      std::string_view("tfynoTFYNO").find(text[0]) == std::string_view::npos)
    return false;
  for (const std::string_view word : kTrueWords) {
    if (text == word)
      return value = true;
  }
  for (const std::string_view word : kFalseWords) {
    if (text == word) {
      value = false;
      return true;
    }
  }
  return false;
}

}  // namespace Zorv
