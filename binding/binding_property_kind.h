// BindingPropertyKind: the ten kinds of a BindingProperty. Adding a kind means touching every
// switch over it: copy, clear, Size, AsBool, the host record mapping and the codecs' writers.
#pragma once

#include <cstdint>
#include <string_view>

namespace Zorv {

enum class BindingPropertyKind : std::uint8_t {
  kEmpty = 0,
  kBool = 1,
  kSigned = 2,
  kUnsigned = 3,
  kFloat = 4,
  kString = 5,
  kBlob = 6,
  kEnum = 7,
  kCollection = 8,
  kStructure = 9,
};

// The name conversion messages print for a kind number; numbers above 9 give the empty text.
std::string_view BindingPropertyKindName(std::uint32_t kind);
inline std::string_view BindingPropertyKindName(BindingPropertyKind kind) {
  return BindingPropertyKindName(static_cast<std::uint32_t>(kind));
}

}  // namespace Zorv
