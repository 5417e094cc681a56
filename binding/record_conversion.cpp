// The field walk of registered records, in both directions.
#include <array>
#include <cstring>
#include <string_view>

#include "binding/native_conversion.h"
#include "foundation/format_text.h"

namespace Zorv::conversion {
namespace {

using dul::FormatText;

// Reads or writes a field of a scalar shape through its native type; the shape says which.
template <class Visit>
bool VisitScalarField(BindingTypeKind kind, Visit visit) {
  switch (kind) {
    case BindingTypeKind::kBool:
      return visit(static_cast<bool*>(nullptr));
    case BindingTypeKind::kInt8:
      return visit(static_cast<std::int8_t*>(nullptr));
    case BindingTypeKind::kUint8:
      return visit(static_cast<std::uint8_t*>(nullptr));
    case BindingTypeKind::kInt16:
      return visit(static_cast<std::int16_t*>(nullptr));
    case BindingTypeKind::kUint16:
      return visit(static_cast<std::uint16_t*>(nullptr));
    case BindingTypeKind::kInt32:
      return visit(static_cast<std::int32_t*>(nullptr));
    case BindingTypeKind::kUint32:
      return visit(static_cast<std::uint32_t*>(nullptr));
    case BindingTypeKind::kInt64:
      return visit(static_cast<std::int64_t*>(nullptr));
    case BindingTypeKind::kUint64:
      return visit(static_cast<std::uint64_t*>(nullptr));
    case BindingTypeKind::kFloat:
      return visit(static_cast<float*>(nullptr));
    case BindingTypeKind::kDouble:
      return visit(static_cast<double*>(nullptr));
    case BindingTypeKind::kString:
      return visit(static_cast<std::string*>(nullptr));
    case BindingTypeKind::kObject:
      return visit(static_cast<BindingProperty*>(nullptr));
    case BindingTypeKind::kBlob:
      return visit(static_cast<std::vector<std::uint8_t>*>(nullptr));
    default:
      return false;
  }
}

void ReadField(BindingResult& result, void* record, const BindingFieldDescriptor& field,
               const BindingProperty& member, const BindingTypeRegistry& registry) {
  void* target = static_cast<char*>(record) + field.offset;
  if (field.converter != nullptr) {
    return field.converter->FromBinding(result, target, member, field.name, field.shape.referenced,
                                        registry, 0);
  }
  const bool known = VisitScalarField(field.shape.kind, [&](auto* typed) {
    using Field = std::remove_pointer_t<decltype(typed)>;
    FromBinding(result, *static_cast<Field*>(target), member, field.name, registry);
    return true;
  });
  if (!known)
    FailUnregisteredInput(result, field.name);
}

void WriteField(BindingResult& result, BindingProperty& target, const void* record,
                const BindingFieldDescriptor& field, const BindingTypeRegistry& registry) {
  const void* source = static_cast<const char*>(record) + field.offset;
  if (field.converter != nullptr) {
    return field.converter->WriteBinding(result, target, source, field.shape.referenced, registry);
  }
  const bool known = VisitScalarField(field.shape.kind, [&](auto* typed) {
    using Field = std::remove_pointer_t<decltype(typed)>;
    WriteBinding(result, target, *static_cast<const Field*>(source), registry);
    return true;
  });
  if (!known)
    FailUnregisteredOutput(result);
}

// Values that an omit-when-empty field leaves out: empty, false, zero (not NaN), nothing inside.
bool IsOmittable(const BindingProperty& value) {
  switch (value.Kind()) {
    case BindingPropertyKind::kEmpty:
      return true;
    case BindingPropertyKind::kBool:
      return !value.GetBool(false);
    case BindingPropertyKind::kSigned:
      return value.GetSigned(1) == 0;
    case BindingPropertyKind::kUnsigned:
      return value.GetUnsigned(1) == 0;
    case BindingPropertyKind::kFloat:
      return value.GetDouble(1) == 0;
    case BindingPropertyKind::kEnum:
      return value.GetEnum().value == 0;
    default:
      return value.Size() == 0;
  }
}

// The input's member for each field, found in one walk of both in name order rather than by a
// search per field; fields are still read in the order they were added, so the first failure
// reported stays the same.
class MatchedMembers {
 public:
  MatchedMembers(const BindingProperty& input, const BindingTypeDescriptor& descriptor) {
    walked_ = descriptor.fields.size() <= kMostFields;
    if (!walked_)
      return;
    const BindingMemberRange<const BindingProperty> members = input.Members();
    auto member = members.begin();
    for (const std::uint32_t index : descriptor.fieldsByName) {
      const std::string_view name = descriptor.fields[index].name;
      while (member != members.end() && (*member).name < name)
        ++member;
      found_[index] =
          member != members.end() && (*member).name == name ? &(*member).value : nullptr;
    }
  }

  const BindingProperty& Of(std::size_t index, const BindingProperty& input,
                            const BindingFieldDescriptor& field) const {
    if (!walked_)
      return input.Find(field.name);
    return found_[index] != nullptr ? *found_[index] : BindingProperty::EmptyValue();
  }

 private:
  static constexpr std::size_t kMostFields = 32;
  bool walked_ = false;
  std::array<const BindingProperty*, kMostFields> found_{};
};

}  // namespace

void ReadRecord(BindingResult& result, void* target, const BindingProperty& input,
                std::string_view name, const BindingTypeDescriptor& descriptor,
                const BindingTypeRegistry& registry) {
  if (!result.ok())
    return;
  if (input.Kind() != BindingPropertyKind::kStructure) {
    return result.SetError(
        FormatText("Couldn't assign value to '%1' of type %2 because the input not a structure.",
                   name, descriptor.name));
  }
  const MatchedMembers matched(input, descriptor);
  for (std::size_t i = 0; i < descriptor.fields.size(); ++i) {
    const BindingFieldDescriptor& field = descriptor.fields[i];
    const BindingProperty& member = matched.Of(i, input, field);
    if (member.IsEmpty()) {
      if (!HasFlag(field.flags, BindingFieldFlags::kRequired))
        continue;
      return result.SetError(
          FormatText("Couldn't assign value to '%1' of type %2 because the input structure "
                     "doesn't have required field '%3'.",
                     name, descriptor.name, field.name));
    }
    ReadField(result, target, field, member, registry);
    if (!result.ok())
      return;
  }
}

void WriteRecord(BindingResult& result, BindingProperty& target, const void* source,
                 const BindingTypeDescriptor& descriptor, const BindingTypeRegistry& registry) {
  const std::size_t count = descriptor.fields.size();
  target.ReserveMembers(count);
  // In name order into an empty structure, each member lands after the last: no search, no
  // entries moved. A structure that held members already, or a repeated name, goes by name.
  const bool fresh = target.Size() == 0 && !descriptor.repeatsFieldName;
  for (std::size_t position = 0; position < count; ++position) {
    const BindingFieldDescriptor& field = descriptor.fields[descriptor.fieldsByName[position]];
    const auto member = [&]() -> BindingProperty& {
      return fresh ? target.AppendMember(field.name, {count, position}) : target.Member(field.name);
    };
    if (!HasFlag(field.flags, BindingFieldFlags::kOmitWhenEmpty)) {
      WriteField(result, member(), source, field, registry);
      if (!result.ok())
        return;
      continue;
    }
    // Whether it is left out is known only once converted: built apart, moved in when kept.
    BindingResult converted;
    WriteField(converted, converted.ResetValue(), source, field, registry);
    if (!converted.ok())
      return result.SetError(std::string(converted.ErrorText()));
    if (!IsOmittable(converted.value()))
      member() = std::move(converted.value());
  }
}

}  // namespace Zorv::conversion
