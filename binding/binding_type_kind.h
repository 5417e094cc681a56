// BindingTypeKind: the shapes a registered field or type can have, and the texts help and
// conversion messages print for them. The numbers are shared with other plugins' help output;
// adding a kind means touching the native conversion's field walk and BindingShapeOf.
#pragma once

#include <cstdint>
#include <string_view>

namespace Zorv {

struct BindingTypeDescriptor;

enum class BindingTypeKind : std::uint8_t {
  kNone = 0,  // not a kind: the element kind of a shape that is no container
  kBool = 1,
  kInt8 = 2,
  kUint8 = 3,
  kInt16 = 4,
  kUint16 = 5,
  kInt32 = 6,
  kUint32 = 7,
  kInt64 = 8,
  kUint64 = 9,
  kFloat = 10,
  kDouble = 11,
  kString = 12,
  kObject = 13,  // a BindingProperty
  kBlob = 14,    // a byte vector
  kVector = 15,
  kEnum = 16,
  kStruct = 17,
  kCallback = 18,
  kMap = 19,  // keyed by strings
};

// "bool", "int8", ... "map" for 1 to 19; the empty text for any other number.
std::string_view TypeKindName(std::uint32_t kind);
inline std::string_view TypeKindName(BindingTypeKind kind) {
  return TypeKindName(static_cast<std::uint32_t>(kind));
}

// What a field holds. elementKind is set for vectors and maps; referenced is the registered
// descriptor of an enum or record, or of the enum or record elements of a container, else null.
struct BindingTypeShape {
  BindingTypeKind kind = BindingTypeKind::kNone;
  BindingTypeKind elementKind = BindingTypeKind::kNone;
  const BindingTypeDescriptor* referenced = nullptr;
};

enum class BindingFieldFlags : std::uint8_t {
  kNone = 0,
  kOmitWhenEmpty = 1,  // on output, the member is left out when its value is empty or zero
  kRequired = 2,       // on input, a missing or empty member is an error
};

constexpr BindingFieldFlags operator|(BindingFieldFlags left, BindingFieldFlags right) {
  return static_cast<BindingFieldFlags>(static_cast<std::uint8_t>(left) |
                                        static_cast<std::uint8_t>(right));
}

constexpr bool HasFlag(BindingFieldFlags flags, BindingFieldFlags flag) {
  return (static_cast<std::uint8_t>(flags) & static_cast<std::uint8_t>(flag)) != 0;
}

}  // namespace Zorv
