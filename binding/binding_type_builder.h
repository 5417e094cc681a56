// BindingTypeBuilder: fills the descriptor of a record or enum that BeginType entered in the
// registry. A builder for a name that was already registered does nothing, so registering a
// type twice keeps the first registration.
//
//   BeginType<BindingAsyncCancelEvent>(registry, "BindingAsyncCancelEvent")
//       .SetDescription("Represents a cancelled asynchronous operation.")
//       .AddTag("$builtin")
//       .AddField("asyncToken", "Asynchronous operation token",
//                 &BindingAsyncCancelEvent::asyncToken);
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <type_traits>
#include <utility>

#include "binding/binding_field_converter_factory.h"
#include "binding/binding_shape_of.h"
#include "binding/binding_type_registry.h"

namespace Zorv {

// The offset of a member inside its record, measured on a default-constructed record: offsetof
// is not usable on records holding maps, which are not standard-layout.
template <class Record, class Field>
std::size_t MemberOffset(Field Record::*member) {
  const Record record{};
  return static_cast<std::size_t>(reinterpret_cast<const unsigned char*>(&(record.*member)) -
                                  reinterpret_cast<const unsigned char*>(&record));
}

// Names a record member for AddField; the same as writing &Record::member.
#define DUL_BINDING_FIELD(Record, member) (&Record::member)

// Everything a field is registered with, for fields whose shape is given by hand.
struct BindingFieldRegistration {
  std::string_view name;
  std::string_view description;
  std::size_t offset = 0;
  const StaticTypeInfo* identity = nullptr;
  BindingTypeShape shape;
  BindingFieldDefault defaultValue;
  BindingFieldFlags flags = BindingFieldFlags::kNone;
  std::unique_ptr<BindingFieldConverter> converter;
  bool custom = false;
};

class BindingTypeBuilder {
 public:
  BindingTypeBuilder(BindingTypeRegistry& registry, BindingTypeDescriptor& descriptor,
                     bool alreadyRegistered)
      : registry_(registry), descriptor_(descriptor), alreadyRegistered_(alreadyRegistered) {}
  BindingTypeBuilder(BindingTypeBuilder&&) = default;
  BindingTypeBuilder(const BindingTypeBuilder&) = delete;
  BindingTypeBuilder& operator=(const BindingTypeBuilder&) = delete;

  bool alreadyRegistered() const { return alreadyRegistered_; }
  const BindingTypeDescriptor& descriptor() const { return descriptor_; }

  BindingTypeBuilder& AddField(BindingFieldRegistration field);

  // Registers a member with the identity, shape and converter of its native type. A referenced
  // enum or record must have been registered before.
  template <class Record, class Field>
  BindingTypeBuilder& AddField(std::string_view name, std::string_view description,
                               Field Record::*member,
                               BindingFieldFlags flags = BindingFieldFlags::kNone) {
    if (alreadyRegistered_) {
      return *this;
    }
    BindingTypeShape shape{BindingKindOf<Field>(), BindingElementKindOf<Field>(), nullptr};
    using Referenced = typename BindingReferencedType<Field>::type;
    if constexpr (!std::is_void_v<Referenced>) {
      shape.referenced = registry_.FindType(StaticType::HashCode<Referenced>().hash);
    }
    BindingFieldRegistration field;
    field.name = name;
    field.description = description;
    field.offset = MemberOffset(member);
    field.identity = &StaticType::HashCode<Field>();
    field.shape = shape;
    field.flags = flags;
    field.converter = MakeFieldConverter<Field>();
    return AddField(std::move(field));
  }

  // Inserts the value, or replaces the number and description of the value of that name.
  BindingTypeBuilder& AddEnumValue(std::string_view name, std::int32_t value,
                                   std::string_view description);
  BindingTypeBuilder& SetDescription(std::string_view description);
  BindingTypeBuilder& AddTag(std::string_view tag);

 private:
  BindingTypeRegistry& registry_;
  BindingTypeDescriptor& descriptor_;
  bool alreadyRegistered_;
};

// Enters a type in the registry under its name, or finds the one registered under it before.
// identity is of the native type; with the identity of void the type is found by name only.
[[nodiscard]] BindingTypeBuilder BeginType(BindingTypeRegistry& registry, std::size_t size,
                                           std::string_view name, const StaticTypeInfo& identity,
                                           bool isEnum);

template <class T>
[[nodiscard]] BindingTypeBuilder BeginType(BindingTypeRegistry& registry, std::string_view name) {
  static_assert(std::is_class_v<T> || std::is_enum_v<T>, "only records and enums are registered");
  return BeginType(registry, sizeof(T), name, StaticType::HashCode<T>(), std::is_enum_v<T>);
}

}  // namespace Zorv
