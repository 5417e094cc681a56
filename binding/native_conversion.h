// Conversion between native values and BindingProperty.
//
//   BindingResult result;
//   ItemSets sets;
//   FromBinding(result, sets, body, "itemSets", registry);   // lenient where numbers are texts
//   if (!result.ok()) return result.ErrorText();
//   ToBinding(result, sets, registry);                       // result.value() is the structure
//
// Native types: bool, the integers of each width, float, double, std::string, BindingProperty
// ("object"), std::vector<std::uint8_t> (a "blob"), registered enums and records, and
// std::vector / string-keyed std::map of any of these. Names in messages are the name given at
// the top, a record field's own name, or a container's name for its elements.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "binding/binding_property.h"
#include "binding/binding_result.h"
#include "binding/binding_shape_of.h"
#include "binding/binding_type_descriptor.h"
#include "binding/binding_type_registry.h"
#include "binding/static_type_info.h"

namespace Zorv {

template <class T>
void FromBinding(BindingResult& result, T& target, const BindingProperty& input,
                 std::string_view name, const BindingTypeRegistry& registry);
template <class T>
void ToBinding(BindingResult& result, const T& value, const BindingTypeRegistry& registry);
// Writes `value` into `target` where it stands, a value of its final tree, so that no level is
// built apart and copied in. A failure goes to `result` (which may own the tree `target` is in):
// after one, `target` is never touched again.
template <class T>
void WriteBinding(BindingResult& result, BindingProperty& target, const T& value,
                  const BindingTypeRegistry& registry);

// The type-independent steps the templates below are made of.
namespace conversion {

void ReadBool(BindingResult& result, bool& target, const BindingProperty& input,
              std::string_view name);
// Reads into a 64-bit number and checks the range of `kind` (an integer kind).
void ReadSigned(BindingResult& result, std::int64_t& target, const BindingProperty& input,
                std::string_view name, BindingTypeKind kind);
void ReadUnsigned(BindingResult& result, std::uint64_t& target, const BindingProperty& input,
                  std::string_view name, BindingTypeKind kind);
// Checks the bounds of `kind` (kFloat or kDouble).
void ReadFloating(BindingResult& result, double& target, const BindingProperty& input,
                  std::string_view name, BindingTypeKind kind);
void ReadString(BindingResult& result, std::string& target, const BindingProperty& input,
                std::string_view name, const BindingTypeRegistry& registry);
void ReadBlob(BindingResult& result, std::vector<std::uint8_t>& target,
              const BindingProperty& input, std::string_view name);
// Reads a number that must be one of the enum's values.
void ReadEnum(BindingResult& result, std::int32_t& target, const BindingProperty& input,
              std::string_view name, const BindingTypeDescriptor& descriptor);
// Fails unless the input is a collection (or, for maps, a structure).
bool AcceptCollection(BindingResult& result, const BindingProperty& input, std::string_view name);
bool AcceptStructure(BindingResult& result, const BindingProperty& input, std::string_view name);
void FailUnregisteredInput(BindingResult& result, std::string_view name);
void FailUnregisteredOutput(BindingResult& result);
// Replaces a failed output conversion's message by the serialisation failure naming the type.
void FailSerialization(BindingResult& result, std::string_view readableTypeName);

// Registered records and enums, through their descriptors.
void ReadRecord(BindingResult& result, void* target, const BindingProperty& input,
                std::string_view name, const BindingTypeDescriptor& descriptor,
                const BindingTypeRegistry& registry);
void WriteRecord(BindingResult& result, BindingProperty& target, const void* source,
                 const BindingTypeDescriptor& descriptor, const BindingTypeRegistry& registry);
std::int32_t ReadEnumStorage(const void* source, std::size_t width);

template <class T>
const BindingTypeDescriptor* DescriptorOf(const BindingTypeRegistry& registry) {
  return registry.FindType(StaticType::HashCode<T>().hash);
}

template <class Element>
void ReadVector(BindingResult& result, std::vector<Element>& target, const BindingProperty& input,
                std::string_view name, const BindingTypeRegistry& registry) {
  target.clear();
  if (!AcceptCollection(result, input, name))
    return;
  target.resize(input.Size());
  const auto elements = input.Elements();
  const BindingTypeDescriptor* record = nullptr;  // looked up once, at the first record read
  for (std::size_t i = 0; i < elements.size() && result.ok(); ++i) {
    if (elements[i].IsEmpty())
      continue;  // keeps the element type's default
    if constexpr (BindingKindOf<Element>() == BindingTypeKind::kStruct) {
      if (record == nullptr && (record = DescriptorOf<Element>(registry)) == nullptr)
        return FailUnregisteredInput(result, name);
      ReadRecord(result, &target[i], elements[i], name, *record, registry);
    } else if constexpr (std::is_same_v<Element, bool>) {
      bool element = false;
      FromBinding(result, element, elements[i], name, registry);
      target[i] = element;
    } else {
      FromBinding(result, target[i], elements[i], name, registry);
    }
  }
}

template <class Value>
void ReadMap(BindingResult& result, std::map<std::string, Value>& target,
             const BindingProperty& input, std::string_view name,
             const BindingTypeRegistry& registry) {
  target.clear();
  if (!AcceptStructure(result, input, name))
    return;
  for (const auto& [key, value] : input.Members()) {
    FromBinding(result, target[std::string(key)], value, name, registry);
    if (!result.ok())
      return;
  }
}

}  // namespace conversion

template <class T>
void FromBinding(BindingResult& result, T& target, const BindingProperty& input,
                 std::string_view name, const BindingTypeRegistry& registry) {
  if (!result.ok())
    return;
  constexpr BindingTypeKind kKind = BindingKindOf<T>();
  if constexpr (kKind == BindingTypeKind::kBool) {
    conversion::ReadBool(result, target, input, name);
  } else if constexpr (kKind == BindingTypeKind::kEnum) {
    const BindingTypeDescriptor* descriptor = conversion::DescriptorOf<T>(registry);
    if (descriptor == nullptr)
      return conversion::FailUnregisteredInput(result, name);
    std::int32_t number = 0;
    conversion::ReadEnum(result, number, input, name, *descriptor);
    if (result.ok())
      target = static_cast<T>(number);
  } else if constexpr (std::is_integral_v<T> && std::is_signed_v<T>) {
    std::int64_t number = 0;
    conversion::ReadSigned(result, number, input, name, kKind);
    if (result.ok())
      target = static_cast<T>(number);
  } else if constexpr (std::is_integral_v<T>) {
    std::uint64_t number = 0;
    conversion::ReadUnsigned(result, number, input, name, kKind);
    if (result.ok())
      target = static_cast<T>(number);
  } else if constexpr (std::is_floating_point_v<T>) {
    double number = 0;
    conversion::ReadFloating(result, number, input, name, kKind);
    if (result.ok())
      target = static_cast<T>(number);
  } else if constexpr (kKind == BindingTypeKind::kString) {
    conversion::ReadString(result, target, input, name, registry);
  } else if constexpr (kKind == BindingTypeKind::kObject) {
    target = input;
  } else if constexpr (kKind == BindingTypeKind::kBlob) {
    conversion::ReadBlob(result, target, input, name);
  } else if constexpr (kKind == BindingTypeKind::kVector) {
    conversion::ReadVector(result, target, input, name, registry);
  } else if constexpr (kKind == BindingTypeKind::kMap) {
    conversion::ReadMap(result, target, input, name, registry);
  } else {
    const BindingTypeDescriptor* descriptor = conversion::DescriptorOf<T>(registry);
    if (descriptor == nullptr)
      return conversion::FailUnregisteredInput(result, name);
    conversion::ReadRecord(result, &target, input, name, *descriptor, registry);
  }
}

template <class T>
void WriteBinding(BindingResult& result, BindingProperty& target, const T& value,
                  const BindingTypeRegistry& registry) {
  constexpr BindingTypeKind kKind = BindingKindOf<T>();
  if constexpr (kKind == BindingTypeKind::kEnum) {
    target = BindingEnumCell{conversion::ReadEnumStorage(&value, sizeof(T)),
                             StaticType::HashCode<T>().hash};
  } else if constexpr (kKind == BindingTypeKind::kVector) {
    using Element = typename T::value_type;
    target.SetCollection();
    target.Reserve(value.size());
    // Records look their descriptor up once for all elements, not once each.
    const BindingTypeDescriptor* record = nullptr;
    if constexpr (BindingKindOf<Element>() == BindingTypeKind::kStruct) {
      if (!value.empty() && (record = conversion::DescriptorOf<Element>(registry)) == nullptr)
        return conversion::FailUnregisteredOutput(result);
    }
    for (std::size_t i = 0; i < value.size(); ++i) {
      if constexpr (BindingKindOf<Element>() == BindingTypeKind::kStruct) {
        conversion::WriteRecord(result, target.PushBack(), &value[i], *record, registry);
        if (!result.ok())
          return;
      } else if constexpr (std::is_same_v<Element, bool>) {
        target.PushBack() = static_cast<bool>(value[i]);
      } else {
        WriteBinding(result, target.PushBack(), value[i], registry);
        if (!result.ok())
          return;
      }
    }
  } else if constexpr (kKind == BindingTypeKind::kMap) {
    target.SetStructure();
    for (const auto& [key, element] : value) {
      WriteBinding(result, target.Member(key), element, registry);
      if (!result.ok())
        return;
    }
  } else if constexpr (kKind == BindingTypeKind::kStruct) {
    const BindingTypeDescriptor* descriptor = conversion::DescriptorOf<T>(registry);
    if (descriptor == nullptr)
      return conversion::FailUnregisteredOutput(result);
    conversion::WriteRecord(result, target, &value, *descriptor, registry);
  } else {
    target = value;  // scalars, strings, blobs and values map onto their own kinds
  }
}

template <class T>
void ToBinding(BindingResult& result, const T& value, const BindingTypeRegistry& registry) {
  WriteBinding(result, result.ResetValue(), value, registry);
}

// Converts a native value for output into a document or file; a failure names the type readably.
template <class T>
BindingResult SerializeToBinding(const T& value, const BindingTypeRegistry& registry) {
  BindingResult result;
  ToBinding(result, value, registry);
  if (!result.ok())
    conversion::FailSerialization(result, ::StaticType::Name<T>().name);
  return result;
}

// The converter object of one record field of native type Field.
template <class Field>
class TypedFieldConverter final : public BindingFieldConverter {
 public:
  void FromBinding(BindingResult& result, void* field, const BindingProperty& input,
                   std::string_view name, const BindingTypeDescriptor*,
                   const BindingTypeRegistry& registry, std::size_t) const override {
    Zorv::FromBinding(result, *static_cast<Field*>(field), input, name, registry);
  }
  void WriteBinding(BindingResult& result, BindingProperty& target, const void* field,
                    const BindingTypeDescriptor*,
                    const BindingTypeRegistry& registry) const override {
    Zorv::WriteBinding(result, target, *static_cast<const Field*>(field), registry);
  }
};

}  // namespace Zorv
