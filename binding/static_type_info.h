// StaticTypeInfo: the 32-bit identity of a native type that crosses the binding boundary, and the
// name it is shown under. The identity is the FNV-1a hash of the type's identity text
//
//   "unsigned int __cdecl StaticType::HashCode<" + spelling + ">(void)"
//
// with the spelling of type_spelling.h, so it is the same on every compiler and target. Both the
// hash and the display text are constants of the build; nothing is computed at run time.
//
//   const Zorv::StaticTypeInfo& info = StaticType::HashCode<std::vector<int>>();
//   registry.FindType(info.hash);
//
// StaticType::Name<T>() has the same hash but the readable text
// "const char *__cdecl StaticType::Name<" + spelling + ">(void)" as its name, for messages.
#pragma once

#include <cstdint>

#include "binding/type_spelling.h"
#include "foundation/fnv1a.h"

namespace Zorv {

class BindingProperty;

struct StaticTypeInfo {
  std::uint32_t hash;
  // The display name: the buffer below, or for StaticType::Name the readable identity text.
  const char* name;
  // "#" and the hash as eight upper-case hexadecimal digits, with its terminator.
  char buffer[10];
};

}  // namespace Zorv

DUL_BINDING_TYPE_NAME(class, Zorv::BindingProperty);

namespace StaticType {

// Types whose identity shows the readable name instead of "#XXXXXXXX".
template <class T>
struct UsesReadableName : std::false_type {};
template <>
struct UsesReadableName<Zorv::BindingProperty> : std::true_type {};

template <class T>
inline constexpr auto kIdentityText =
    FixedText("unsigned int __cdecl StaticType::HashCode<") + kSpelling<T> + FixedText(">(void)");

template <class T>
inline constexpr auto kReadableText =
    FixedText("const char *__cdecl StaticType::Name<") + kSpelling<T> + FixedText(">(void)");

template <class T>
inline constexpr std::uint32_t kHash = dul::Fnv1a(kIdentityText<T>.view());

constexpr Zorv::StaticTypeInfo MakeStaticTypeInfo(std::uint32_t hash, const char* name) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  Zorv::StaticTypeInfo info{hash, name, {}};
  info.buffer[0] = '#';
  for (int digit = 0; digit < 8; ++digit) {
    info.buffer[1 + digit] = kDigits[(hash >> (28 - 4 * digit)) & 0xFu];
  }
  return info;
}

// The name pointer refers to the object's own buffer, so the object is its own initialiser's
// argument; it is still a constant of the build.
template <class T>
inline constexpr Zorv::StaticTypeInfo kHexInfo = MakeStaticTypeInfo(kHash<T>, kHexInfo<T>.buffer);

template <class T>
inline constexpr Zorv::StaticTypeInfo kReadableInfo = MakeStaticTypeInfo(kHash<T>,
                                                                         kReadableText<T>.chars);

// The identity of T, shown as "#XXXXXXXX" (or readable, for the types listed above).
template <class T>
constexpr const Zorv::StaticTypeInfo& HashCode() {
  if constexpr (UsesReadableName<T>::value) {
    return kReadableInfo<T>;
  } else {
    return kHexInfo<T>;
  }
}

// The identity of T with its readable name, for messages that name the type.
template <class T>
constexpr const Zorv::StaticTypeInfo& Name() {
  return kReadableInfo<T>;
}

// The identity of void, which marks a registered type that can be found by name only.
inline constexpr std::uint32_t kVoidHash = kHash<void>;

}  // namespace StaticType
