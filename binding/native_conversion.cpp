#include "binding/native_conversion.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "binding/number_text.h"
#include "foundation/base64.h"
#include "foundation/format_text.h"

namespace Zorv::conversion {
namespace {

using dul::FormatText;

struct IntegerRange {
  std::int64_t signedMin;
  std::int64_t signedMax;
  std::uint64_t unsignedMax;
};

IntegerRange RangeOf(BindingTypeKind kind) {
  switch (kind) {
    case BindingTypeKind::kInt8:
      return {-128, 127, 0};
    case BindingTypeKind::kUint8:
      return {0, 0, 255};
    case BindingTypeKind::kInt16:
      return {-32768, 32767, 0};
    case BindingTypeKind::kUint16:
      return {0, 0, 65535};
    case BindingTypeKind::kInt32:
      return {-2147483647 - 1, 2147483647, 0};
    case BindingTypeKind::kUint32:
      return {0, 0, 4294967295u};
    case BindingTypeKind::kUint64:
      return {0, 0, std::numeric_limits<std::uint64_t>::max()};
    default:
      return {std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max(),
              0};
  }
}

double BoundOf(BindingTypeKind kind) {
  return kind == BindingTypeKind::kFloat ? 3.4028234663852886e38 : 1.7976931348623157e308;
}

void FailRequired(BindingResult& result, std::string_view name) {
  result.SetError(FormatText("A value for '%1' is required.", name));
}

void FailInvalidType(BindingResult& result, std::string_view name, std::string_view typeName,
                     const BindingProperty& input) {
  result.SetError(
      FormatText("Couldn't assign value to '%1' of type %2 because the input is of an invalid "
                 "type %3.",
                 name, typeName, input.KindName()));
}

template <class Number>
void FailOutOfRange(BindingResult& result, const Number& value, std::string_view name,
                    std::string_view typeName) {
  result.SetError(
      FormatText("Value %1 for '%2' of type %3 is out of range", value, name, typeName));
}

void FailIncorrectFormat(BindingResult& result, std::string_view text, std::string_view name,
                         std::string_view typeName) {
  result.SetError(
      FormatText("Value %1 for '%2' of type %3 is in an incorrect format", text, name, typeName));
}

// A text parsed as a number: reports the parse's failure, or hands the number on.
template <class Number>
bool AcceptParsed(BindingResult& result, const NumberText<Number>& parsed, std::string_view text,
                  std::string_view name, std::string_view typeName) {
  if (parsed.status == NumberTextStatus::kIncorrectFormat) {
    FailIncorrectFormat(result, text, name, typeName);
    return false;
  }
  if (parsed.status == NumberTextStatus::kOutOfRange) {
    FailOutOfRange(result, text, name, typeName);
    return false;
  }
  return true;
}

// A signed number in [min, max] of `kind`; reports out of range with the number as given.
template <class Number>
bool StoreSigned(BindingResult& result, Number value, std::int64_t& target, std::string_view name,
                 BindingTypeKind kind, std::string_view typeName) {
  const IntegerRange range = RangeOf(kind);
  bool inside;
  if constexpr (std::is_same_v<Number, std::uint64_t>) {
    inside = value <= static_cast<std::uint64_t>(range.signedMax);
  } else if constexpr (std::is_same_v<Number, double>) {
    // Compared as doubles; 2^63 itself is already outside the 64-bit range.
    inside = value >= static_cast<double>(range.signedMin) &&
             value < -static_cast<double>(std::numeric_limits<std::int64_t>::min()) &&
             value <= static_cast<double>(range.signedMax);
  } else {
    inside = value >= range.signedMin && value <= range.signedMax;
  }
  if (!inside) {
    FailOutOfRange(result, value, name, typeName);
    return false;
  }
  target = static_cast<std::int64_t>(value);
  return true;
}

template <class Number>
bool StoreUnsigned(BindingResult& result, Number value, std::uint64_t& target,
                   std::string_view name, BindingTypeKind kind) {
  const std::uint64_t max = RangeOf(kind).unsignedMax;
  bool inside;
  if constexpr (std::is_same_v<Number, std::int64_t>) {
    inside = value >= 0 && static_cast<std::uint64_t>(value) <= max;
  } else if constexpr (std::is_same_v<Number, double>) {
    inside = value >= 0 && value < 18446744073709551616.0 && value <= static_cast<double>(max);
  } else {
    inside = value <= max;
  }
  if (!inside) {
    FailOutOfRange(result, value, name, TypeKindName(kind));
    return false;
  }
  target = static_cast<std::uint64_t>(value);
  return true;
}

bool IsBase64Text(std::string_view text) {
  for (const char c : text) {
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    const bool digit = c >= '0' && c <= '9';
    if (!letter && !digit && c != '+' && c != '/' && c != '=')
      return false;
  }
  return true;
}

void ReadBoolText(BindingResult& result, bool& target, std::string_view text,
                  std::string_view name) {
  if (text == "1" || text == "true" || text == "0" || text == "false") {
    target = text == "1" || text == "true";
    return;
  }
  result.SetError(
      FormatText("Value %1 for '%2' of type bool is in an incorrect format. Options are "
                 "\"true\", \"false\", \"1\", \"0\".",
                 text, name));
}

}  // namespace

void ReadBool(BindingResult& result, bool& target, const BindingProperty& input,
              std::string_view name) {
  switch (input.Kind()) {
    case BindingPropertyKind::kEmpty:
      return FailRequired(result, name);
    case BindingPropertyKind::kBool:
      target = input.GetBool(false);
      return;
    case BindingPropertyKind::kString:
      return ReadBoolText(result, target, input.GetString(), name);
    default:
      result.SetError(FormatText(
          "Couldn't assign value to '%1' of type bool because the input is of an invalid type %2.",
          name, input.KindName()));
  }
}

namespace {

// The signed read with the type name that messages print (an enum's registered name for enums).
void ReadSignedAs(BindingResult& result, std::int64_t& target, const BindingProperty& input,
                  std::string_view name, BindingTypeKind kind, std::string_view typeName) {
  switch (input.Kind()) {
    case BindingPropertyKind::kEmpty:
      return FailRequired(result, name);
    case BindingPropertyKind::kSigned:
      StoreSigned(result, input.GetSigned(0), target, name, kind, typeName);
      return;
    case BindingPropertyKind::kUnsigned:
      StoreSigned(result, input.GetUnsigned(0), target, name, kind, typeName);
      return;
    case BindingPropertyKind::kEnum:
      StoreSigned(result, std::int64_t{input.GetEnum().value}, target, name, kind, typeName);
      return;
    case BindingPropertyKind::kFloat:
      StoreSigned(result, input.GetDouble(0), target, name, kind, typeName);
      return;
    case BindingPropertyKind::kString: {
      const std::string_view text = input.GetString();
      const NumberText<std::int64_t> parsed = ParseSignedText(text);
      if (!AcceptParsed(result, parsed, text, name, typeName))
        return;
      const IntegerRange range = RangeOf(kind);
      if (parsed.value < range.signedMin || parsed.value > range.signedMax) {
        return FailOutOfRange(result, text, name, typeName);
      }
      target = parsed.value;
      return;
    }
    default:
      FailInvalidType(result, name, typeName, input);
  }
}

}  // namespace

void ReadUnsigned(BindingResult& result, std::uint64_t& target, const BindingProperty& input,
                  std::string_view name, BindingTypeKind kind) {
  const std::string_view typeName = TypeKindName(kind);
  switch (input.Kind()) {
    case BindingPropertyKind::kEmpty:
      return FailRequired(result, name);
    case BindingPropertyKind::kSigned:
      StoreUnsigned(result, input.GetSigned(0), target, name, kind);
      return;
    case BindingPropertyKind::kUnsigned:
      StoreUnsigned(result, input.GetUnsigned(0), target, name, kind);
      return;
    case BindingPropertyKind::kEnum:
      StoreUnsigned(result, std::int64_t{input.GetEnum().value}, target, name, kind);
      return;
    case BindingPropertyKind::kFloat:
      StoreUnsigned(result, input.GetDouble(0), target, name, kind);
      return;
    case BindingPropertyKind::kString: {
      const std::string_view text = input.GetString();
      const NumberText<std::uint64_t> parsed = ParseUnsignedText(text);
      if (!AcceptParsed(result, parsed, text, name, typeName))
        return;
      if (parsed.value > RangeOf(kind).unsignedMax) {
        return FailOutOfRange(result, text, name, typeName);
      }
      target = parsed.value;
      return;
    }
    default:
      FailInvalidType(result, name, typeName, input);
  }
}

void ReadSigned(BindingResult& result, std::int64_t& target, const BindingProperty& input,
                std::string_view name, BindingTypeKind kind) {
  ReadSignedAs(result, target, input, name, kind, TypeKindName(kind));
}

void ReadFloating(BindingResult& result, double& target, const BindingProperty& input,
                  std::string_view name, BindingTypeKind kind) {
  const std::string_view typeName = TypeKindName(kind);
  double value = 0;
  switch (input.Kind()) {
    case BindingPropertyKind::kEmpty:
      return FailRequired(result, name);
    case BindingPropertyKind::kSigned:
      value = static_cast<double>(input.GetSigned(0));
      break;
    case BindingPropertyKind::kUnsigned:
      value = static_cast<double>(input.GetUnsigned(0));
      break;
    case BindingPropertyKind::kEnum:
      value = input.GetEnum().value;
      break;
    case BindingPropertyKind::kFloat:
      value = input.GetDouble(0);
      break;
    case BindingPropertyKind::kString: {
      const std::string_view text = input.GetString();
      const NumberText<double> parsed = ParseDoubleText(text);
      if (!AcceptParsed(result, parsed, text, name, typeName))
        return;
      if (std::fabs(parsed.value) > BoundOf(kind))
        return FailOutOfRange(result, text, name, typeName);
      target = parsed.value;
      return;
    }
    default:
      return FailInvalidType(result, name, typeName, input);
  }
  if (std::fabs(value) > BoundOf(kind))
    return FailOutOfRange(result, value, name, typeName);
  target = value;  // a NaN passes the bound test and is stored
}

void ReadString(BindingResult& result, std::string& target, const BindingProperty& input,
                std::string_view name, const BindingTypeRegistry& registry) {
  switch (input.Kind()) {
    case BindingPropertyKind::kEmpty:
      return FailRequired(result, name);
    case BindingPropertyKind::kString:
      target.assign(input.GetString());
      return;
    case BindingPropertyKind::kEnum: {
      const BindingEnumCell cell = input.GetEnum();
      if (const char* valueName = registry.EnumName(cell.typeIdentity, cell.value)) {
        target.assign(valueName);
        return;
      }
      return result.SetError(
          FormatText("%1 is not a valid enumeration value for '%2'.", cell.value, name));
    }
    default:
      result.SetError(
          FormatText("Couldn't assign value to '%1' because the input is not a string.", name));
  }
}

void ReadBlob(BindingResult& result, std::vector<std::uint8_t>& target,
              const BindingProperty& input, std::string_view name) {
  switch (input.Kind()) {
    case BindingPropertyKind::kEmpty:
      return FailRequired(result, name);
    case BindingPropertyKind::kBlob: {
      const auto bytes = input.GetBlob();
      target.assign(bytes.begin(), bytes.end());
      return;
    }
    case BindingPropertyKind::kString: {
      const std::string_view text = input.GetString();
      if (!IsBase64Text(text)) {
        return result.SetError(
            FormatText("Couldn't assign string value to '%1' of type blob because the input has "
                       "invalid base64 characters.",
                       name));
      }
      target = dul::Base64Decode(text);
      return;
    }
    default:
      result.SetError(FormatText(
          "Couldn't assign value to '%1' of type blob because the input is not a blob.", name));
  }
}

namespace {

template <class Number>
void FailNotEnumValue(BindingResult& result, const Number& value,
                      const BindingTypeDescriptor& descriptor, std::string_view name) {
  result.SetError(
      FormatText("%1 is not a valid %2 enumeration value for '%3'.", value, descriptor.name, name));
}

// A number of any width that must be one of the enum's values.
template <class Number>
void AcceptEnumNumber(BindingResult& result, std::int32_t& target, Number value,
                      const BindingTypeDescriptor& descriptor, std::string_view name) {
  const bool fits = std::is_same_v<Number, std::uint64_t>
                        ? static_cast<std::uint64_t>(value) <= 2147483647u
                        : static_cast<std::int64_t>(value) >= -2147483647 - 1 &&
                              static_cast<std::int64_t>(value) <= 2147483647;
  if (!fits || !BindingTypeRegistry::IsEnumValue(descriptor, static_cast<std::int32_t>(value))) {
    return FailNotEnumValue(result, value, descriptor, name);
  }
  target = static_cast<std::int32_t>(value);
}

void ReadEnumText(BindingResult& result, std::int32_t& target, const BindingProperty& input,
                  std::string_view name, const BindingTypeDescriptor& descriptor) {
  const std::string_view text = input.GetString();
  const auto named = descriptor.enumValues.find(text);
  if (named != descriptor.enumValues.end()) {
    target = named->second.value;
    return;
  }
  std::int64_t number = 0;
  ReadSignedAs(result, number, input, name, BindingTypeKind::kInt32, descriptor.name);
  if (!result.ok())
    return;
  if (!BindingTypeRegistry::IsEnumValue(descriptor, static_cast<std::int32_t>(number))) {
    return FailNotEnumValue(result, text, descriptor, name);
  }
  target = static_cast<std::int32_t>(number);
}

}  // namespace

void ReadEnum(BindingResult& result, std::int32_t& target, const BindingProperty& input,
              std::string_view name, const BindingTypeDescriptor& descriptor) {
  switch (input.Kind()) {
    case BindingPropertyKind::kEmpty:
      return FailRequired(result, name);
    case BindingPropertyKind::kSigned:
      return AcceptEnumNumber(result, target, input.GetSigned(0), descriptor, name);
    case BindingPropertyKind::kUnsigned:
      return AcceptEnumNumber(result, target, input.GetUnsigned(0), descriptor, name);
    case BindingPropertyKind::kEnum:
      return AcceptEnumNumber(result, target, std::int64_t{input.GetEnum().value}, descriptor,
                              name);
    case BindingPropertyKind::kString:
      return ReadEnumText(result, target, input, name, descriptor);
    default:
      result.SetError(FormatText(
          "Couldn't assign value to '%1' of enum type because the input is of an invalid type %2.",
          name, input.KindName()));
  }
}

bool AcceptCollection(BindingResult& result, const BindingProperty& input, std::string_view name) {
  if (input.IsEmpty()) {
    FailRequired(result, name);
    return false;
  }
  if (input.Kind() != BindingPropertyKind::kCollection) {
    result.SetError(FormatText(
        "Couldn't assign value to '%1' of type vector because the input not a collection.", name));
    return false;
  }
  return true;
}

bool AcceptStructure(BindingResult& result, const BindingProperty& input, std::string_view name) {
  if (input.Kind() != BindingPropertyKind::kStructure) {
    result.SetError(FormatText(
        "Couldn't assign value to '%1' of type map because the input not a structure.", name));
    return false;
  }
  return true;
}

void FailUnregisteredInput(BindingResult& result, std::string_view name) {
  result.SetError(FormatText(
      "Couldn't assign value to '%1' because the input is an unregistered structure or not a "
      "structure at all.",
      name));
}

void FailUnregisteredOutput(BindingResult& result) {
  result.SetError("Couldn't convert native value because it's an unregistered structure.");
}

void FailSerialization(BindingResult& result, std::string_view readableTypeName) {
  result.SetError(FormatText("Failed to convert type \"%1\" to BindingProperty for serialization",
                             readableTypeName));
}

std::int32_t ReadEnumStorage(const void* source, std::size_t width) {
  switch (width) {
    case 1: {
      std::int8_t value;
      std::memcpy(&value, source, 1);
      return value;
    }
    case 2: {
      std::int16_t value;
      std::memcpy(&value, source, 2);
      return value;
    }
    default: {
      std::uint32_t low;  // 4 and 8 bytes: the low 32 bits (little-endian targets)
      std::memcpy(&low, source, 4);
      return static_cast<std::int32_t>(low);
    }
  }
}

}  // namespace Zorv::conversion
