// The BindingTypeShape of a native field type, worked out at compile time: which kind the
// conversion walk treats it as, the kind of its elements, and which registered type it refers to.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <type_traits>
#include <vector>

#include "binding/binding_type_kind.h"

namespace Zorv {

class BindingProperty;

template <class T>
struct BindingContainerTraits {
  using Element = void;
  static constexpr bool kIsVector = false;
  static constexpr bool kIsMap = false;
};

template <class Element_>
struct BindingContainerTraits<std::vector<Element_>> {
  using Element = Element_;
  static constexpr bool kIsVector = true;
  static constexpr bool kIsMap = false;
};

template <class Key, class Value>
struct BindingContainerTraits<std::map<Key, Value>> {
  static_assert(std::is_same_v<Key, std::string>, "only string-keyed maps cross the boundary");
  using Element = Value;
  static constexpr bool kIsVector = false;
  static constexpr bool kIsMap = true;
};

template <class T>
constexpr BindingTypeKind BindingIntegerKindOf() {
  constexpr bool kSigned = std::is_signed_v<T>;
  if constexpr (sizeof(T) == 1) {
    return kSigned ? BindingTypeKind::kInt8 : BindingTypeKind::kUint8;
  } else if constexpr (sizeof(T) == 2) {
    return kSigned ? BindingTypeKind::kInt16 : BindingTypeKind::kUint16;
  } else if constexpr (sizeof(T) == 4) {
    return kSigned ? BindingTypeKind::kInt32 : BindingTypeKind::kUint32;
  } else {
    static_assert(sizeof(T) == 8, "integers are 1, 2, 4 or 8 bytes wide");
    return kSigned ? BindingTypeKind::kInt64 : BindingTypeKind::kUint64;
  }
}

template <class T>
constexpr BindingTypeKind BindingKindOf() {
  using Traits = BindingContainerTraits<T>;
  if constexpr (std::is_same_v<T, bool>) {
    return BindingTypeKind::kBool;
  } else if constexpr (std::is_enum_v<T>) {
    return BindingTypeKind::kEnum;
  } else if constexpr (std::is_integral_v<T>) {
    return BindingIntegerKindOf<T>();
  } else if constexpr (std::is_same_v<T, float>) {
    return BindingTypeKind::kFloat;
  } else if constexpr (std::is_same_v<T, double>) {
    return BindingTypeKind::kDouble;
  } else if constexpr (std::is_same_v<T, std::string>) {
    return BindingTypeKind::kString;
  } else if constexpr (std::is_same_v<T, BindingProperty>) {
    return BindingTypeKind::kObject;
  } else if constexpr (std::is_same_v<T, std::vector<std::uint8_t>>) {
    return BindingTypeKind::kBlob;
  } else if constexpr (Traits::kIsVector) {
    return BindingTypeKind::kVector;
  } else if constexpr (Traits::kIsMap) {
    return BindingTypeKind::kMap;
  } else {
    static_assert(std::is_class_v<T>, "this type has no binding kind");
    return BindingTypeKind::kStruct;
  }
}

template <class T>
constexpr BindingTypeKind BindingElementKindOf() {
  constexpr BindingTypeKind kKind = BindingKindOf<T>();
  if constexpr (kKind == BindingTypeKind::kVector || kKind == BindingTypeKind::kMap) {
    return BindingKindOf<typename BindingContainerTraits<T>::Element>();
  } else {
    return BindingTypeKind::kNone;
  }
}

constexpr bool IsRegisteredKind(BindingTypeKind kind) {
  return kind == BindingTypeKind::kEnum || kind == BindingTypeKind::kStruct;
}

// The registered type a field of type T refers to: itself for an enum or record, the element
// type for a container of enums or records, else void.
template <class T>
struct BindingReferencedType {
  using Element = typename BindingContainerTraits<T>::Element;
  using type = std::conditional_t<
      IsRegisteredKind(BindingKindOf<T>()), T,
      std::conditional_t<IsRegisteredKind(BindingElementKindOf<T>()), Element, void>>;
};

}  // namespace Zorv
