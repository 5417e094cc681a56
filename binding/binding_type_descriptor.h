// The descriptions of registered records and enums that the native conversion walks and help
// output prints. The registry owns them and never removes them; once a type's registration is
// done its descriptor does not change, so a found descriptor is read without a lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "binding/binding_field_converter.h"
#include "binding/binding_type_kind.h"
#include "binding/static_type_info.h"

namespace Zorv {

class BindingTypeRegistry;
struct BindingTypeDescriptor;

// The default value given at registration. The first word, when not zero, marks a default and
// holds it; the second carries the rest of a default wider than one word. No field sets one yet.
struct BindingFieldDefault {
  std::uintptr_t first = 0;
  std::uintptr_t second = 0;
};

struct BindingFieldDescriptor {
  std::string name;
  std::uint32_t nameHash = 0;  // FNV-1a of the name
  std::string description;
  const StaticTypeInfo* identity = nullptr;  // of the field's native type
  std::size_t offset = 0;                    // inside the native record, in bytes
  BindingTypeShape shape;
  BindingFieldDefault defaultValue;
  BindingFieldFlags flags = BindingFieldFlags::kNone;
  std::unique_ptr<BindingFieldConverter> converter;  // may be null until conversion is attached
  const BindingTypeDescriptor* owner = nullptr;
  bool custom = false;  // converted only through the converter object
};

struct BindingEnumValue {
  std::int32_t value = 0;
  std::string name;
  std::string description;
  const BindingTypeDescriptor* owner = nullptr;
};

struct BindingTypeDescriptor {
  std::size_t size = 0;  // of the native type; for an enum the width of its storage
  bool isEnum = false;
  std::string name;
  std::uint32_t hash = 0;
  const StaticTypeInfo* identity = nullptr;
  std::string description;
  std::vector<std::string> tags;
  std::vector<BindingFieldDescriptor> fields;  // in the order they were added
  // Indexes into `fields` in byte order of their names (equal names in the order added), so that
  // a record's members can be written in the order a structure keeps them.
  std::vector<std::uint32_t> fieldsByName;
  bool repeatsFieldName = false;  // two fields share a name: their members cannot simply append
  // Ordered by name, byte by byte; several names may share one number.
  std::map<std::string, BindingEnumValue, std::less<>> enumValues;
  const BindingTypeRegistry* registry = nullptr;

  // The first name in name order whose value is the given one, or null.
  const char* EnumValueName(std::int32_t value) const;
  bool HasEnumValue(std::int32_t value) const { return EnumValueName(value) != nullptr; }
};

}  // namespace Zorv
