// BindingTypeRegistry: the records, enums and events a plugin exposes, described once at start
// and looked up by the native conversion, the host value mapping and help output. One registry
// per plugin; it is created with the built-in types already in it.
//
//   BeginType<ItemSet>(registry, "ItemSet").SetDescription("...").AddField(...);
//   const BindingTypeDescriptor* type = registry.FindType(StaticType::HashCode<ItemSet>().hash);
//
// Registration and lookups take the registry's mutex. Descriptors are never removed, and a
// registered type is not changed by a second registration under its name.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "binding/binding_type_descriptor.h"
#include "foundation/fnv1a.h"
#include "platform/mutex.h"

namespace Zorv {

class BindingTypeBuilder;

struct BindingEventDescriptor {
  std::string name;
  const StaticTypeInfo* payloadIdentity = nullptr;
  const BindingTypeDescriptor* payloadType = nullptr;  // null when the payload is not registered
  std::string description;
  std::vector<std::string> tags;
};

class BindingTypeRegistry {
 public:
  // Registers the built-in types and the event "OnCallback"; the registry is then ready.
  BindingTypeRegistry();
  ~BindingTypeRegistry();
  BindingTypeRegistry(const BindingTypeRegistry&) = delete;
  BindingTypeRegistry& operator=(const BindingTypeRegistry&) = delete;

  bool ready() const { return ready_; }

  const BindingTypeDescriptor* FindType(std::string_view name) const;
  // Types registered with the identity of void are not found here, only by name.
  const BindingTypeDescriptor* FindType(std::uint32_t identity) const;

  // The name of an enum's value, the first in name order that has it; null when the type is
  // not a registered enum or no name has the value.
  const char* EnumName(std::uint32_t identity, std::int32_t value) const;
  static bool IsEnumValue(const BindingTypeDescriptor& descriptor, std::int32_t value);

  // Registers an event whose payload has the given identity; an event already registered under
  // the name is kept as it is. Returns whether this call registered it.
  bool RegisterEvent(std::string_view name, const StaticTypeInfo& payload,
                     std::string_view description, std::vector<std::string> tags);
  const BindingEventDescriptor* FindEvent(std::string_view name) const;

  // The function descriptors of request routing join the types and events here.

 private:
  friend class BindingTypeBuilder;
  friend BindingTypeBuilder BeginType(BindingTypeRegistry& registry, std::size_t size,
                                      std::string_view name, const StaticTypeInfo& identity,
                                      bool isEnum);

  template <class Value>
  using NameIndex =
      std::unordered_map<std::string, std::unique_ptr<Value>, dul::Fnv1aHash, std::equal_to<>>;

  const BindingTypeDescriptor* FindTypeLocked(std::uint32_t identity) const;

  mutable dul::platform::Mutex mutex_;
  NameIndex<BindingTypeDescriptor> typesByName_;
  std::unordered_map<std::uint32_t, BindingTypeDescriptor*> typesByIdentity_;
  NameIndex<BindingEventDescriptor> eventsByName_;
  bool ready_ = false;
};

}  // namespace Zorv
