#include "binding/binding_type_builder.h"

#include <algorithm>
#include <utility>

namespace Zorv {

BindingTypeBuilder BeginType(BindingTypeRegistry& registry, std::size_t size, std::string_view name,
                             const StaticTypeInfo& identity, bool isEnum) {
  dul::platform::MutexLock lock(registry.mutex_);
  const auto found = registry.typesByName_.find(name);
  if (found != registry.typesByName_.end()) {
    return BindingTypeBuilder(registry, *found->second, true);
  }
  auto descriptor = std::make_unique<BindingTypeDescriptor>();
  descriptor->size = size;
  descriptor->isEnum = isEnum;
  descriptor->name = name;
  descriptor->hash = identity.hash;
  descriptor->identity = &identity;
  descriptor->registry = &registry;
  BindingTypeDescriptor& entered = *descriptor;
  registry.typesByName_.emplace(entered.name, std::move(descriptor));
  // A second type under an identity already taken keeps the first one findable by identity.
  if (identity.hash != StaticType::kVoidHash) {
    registry.typesByIdentity_.emplace(identity.hash, &entered);
  }
  return BindingTypeBuilder(registry, entered, false);
}

BindingTypeBuilder& BindingTypeBuilder::AddField(BindingFieldRegistration field) {
  if (alreadyRegistered_) {
    return *this;
  }
  BindingFieldDescriptor entered;
  entered.name = field.name;
  entered.nameHash = dul::Fnv1a(field.name);
  entered.description = field.description;
  entered.identity = field.identity;
  entered.offset = field.offset;
  entered.shape = field.shape;
  if (field.defaultValue.first != 0) {
    entered.defaultValue = field.defaultValue;
  }
  entered.flags = field.flags;
  entered.converter = std::move(field.converter);
  entered.owner = &descriptor_;
  entered.custom = field.custom;
  dul::platform::MutexLock lock(registry_.mutex_);
  const auto later =
      std::upper_bound(descriptor_.fieldsByName.begin(), descriptor_.fieldsByName.end(),
                       entered.name, [this](const std::string& name, std::uint32_t index) {
                         return name < descriptor_.fields[index].name;
                       });
  if (later != descriptor_.fieldsByName.begin() &&
      descriptor_.fields[*(later - 1)].name == entered.name)
    descriptor_.repeatsFieldName = true;
  descriptor_.fieldsByName.insert(later, static_cast<std::uint32_t>(descriptor_.fields.size()));
  descriptor_.fields.push_back(std::move(entered));
  return *this;
}

BindingTypeBuilder& BindingTypeBuilder::AddEnumValue(std::string_view name, std::int32_t value,
                                                     std::string_view description) {
  if (alreadyRegistered_) {
    return *this;
  }
  dul::platform::MutexLock lock(registry_.mutex_);
  auto found = descriptor_.enumValues.find(name);
  if (found == descriptor_.enumValues.end()) {
    found = descriptor_.enumValues.emplace(std::string(name), BindingEnumValue{}).first;
    found->second.name = name;
    found->second.owner = &descriptor_;
  }
  found->second.value = value;
  found->second.description = description;
  return *this;
}

BindingTypeBuilder& BindingTypeBuilder::SetDescription(std::string_view description) {
  if (alreadyRegistered_) {
    return *this;
  }
  dul::platform::MutexLock lock(registry_.mutex_);
  descriptor_.description = description;
  return *this;
}

BindingTypeBuilder& BindingTypeBuilder::AddTag(std::string_view tag) {
  if (alreadyRegistered_) {
    return *this;
  }
  dul::platform::MutexLock lock(registry_.mutex_);
  descriptor_.tags.emplace_back(tag);
  return *this;
}

}  // namespace Zorv
