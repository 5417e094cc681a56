#include "binding/binding_type_registry.h"

#include <utility>

#include "binding/builtin_types.h"

namespace Zorv {

const char* BindingTypeDescriptor::EnumValueName(std::int32_t value) const {
  for (const auto& [name, enumValue] : enumValues) {
    if (enumValue.value == value) {
      return name.c_str();
    }
  }
  return nullptr;
}

BindingTypeRegistry::BindingTypeRegistry() {
  RegisterBuiltins(*this);
  ready_ = true;
}

BindingTypeRegistry::~BindingTypeRegistry() = default;

const BindingTypeDescriptor* BindingTypeRegistry::FindType(std::string_view name) const {
  dul::platform::MutexLock lock(mutex_);
  const auto found = typesByName_.find(name);
  return found == typesByName_.end() ? nullptr : found->second.get();
}

const BindingTypeDescriptor* BindingTypeRegistry::FindType(std::uint32_t identity) const {
  dul::platform::MutexLock lock(mutex_);
  return FindTypeLocked(identity);
}

const BindingTypeDescriptor* BindingTypeRegistry::FindTypeLocked(std::uint32_t identity) const {
  const auto found = typesByIdentity_.find(identity);
  return found == typesByIdentity_.end() ? nullptr : found->second;
}

const char* BindingTypeRegistry::EnumName(std::uint32_t identity, std::int32_t value) const {
  const BindingTypeDescriptor* type = FindType(identity);
  if (type == nullptr || !type->isEnum) {
    return nullptr;
  }
  return type->EnumValueName(value);
}

bool BindingTypeRegistry::IsEnumValue(const BindingTypeDescriptor& descriptor, std::int32_t value) {
  return descriptor.HasEnumValue(value);
}

bool BindingTypeRegistry::RegisterEvent(std::string_view name, const StaticTypeInfo& payload,
                                        std::string_view description,
                                        std::vector<std::string> tags) {
  dul::platform::MutexLock lock(mutex_);
  if (eventsByName_.find(name) != eventsByName_.end()) {
    return false;
  }
  auto event = std::make_unique<BindingEventDescriptor>();
  event->name = name;
  event->payloadIdentity = &payload;
  event->payloadType = FindTypeLocked(payload.hash);
  event->description = description;
  event->tags = std::move(tags);
  eventsByName_.emplace(event->name, std::move(event));
  return true;
}

const BindingEventDescriptor* BindingTypeRegistry::FindEvent(std::string_view name) const {
  dul::platform::MutexLock lock(mutex_);
  const auto found = eventsByName_.find(name);
  return found == eventsByName_.end() ? nullptr : found->second.get();
}

}  // namespace Zorv
