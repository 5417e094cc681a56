// Reading BindingProperty values and reaching their elements and members.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <string>

#include "binding/binding_property.h"
#include "binding/binding_storage.h"
#include "foundation/fatal_error.h"

namespace Zorv {
namespace {

constinit const BindingProperty gEmptyValue;

// Byte order of names; most neighbours differ in their first byte.
bool NameBefore(std::string_view a, std::string_view b) {
  if (!a.empty() && !b.empty() && a[0] != b[0])
    return static_cast<unsigned char>(a[0]) < static_cast<unsigned char>(b[0]);
  return a < b;
}

bool SameMembers(const MemberMap& left, const MemberMap& right) {
  if (left.size() != right.size())
    return false;
  const BindingMemberRange<const BindingProperty> a(left.slotsBegin(), left.slotsEnd());
  const BindingMemberRange<const BindingProperty> b(right.slotsBegin(), right.slotsEnd());
  auto other = b.begin();
  for (const auto& [name, value] : a) {
    const auto [otherName, otherValue] = *other;
    if (name != otherName || !(value == otherValue))
      return false;
    ++other;
  }
  return true;
}

}  // namespace

const BindingProperty& BindingProperty::EmptyValue() {
  return gEmptyValue;
}

std::size_t BindingProperty::Size() const {
  switch (kind_) {
    case BindingPropertyKind::kEmpty:
      return 0;
    case BindingPropertyKind::kString:
      return payload_.text->length;
    case BindingPropertyKind::kBlob:
      return payload_.blob->size;
    case BindingPropertyKind::kCollection:
      return payload_.collection->size;
    case BindingPropertyKind::kStructure:
      return payload_.structure->size();
    default:
      return 1;
  }
}

bool BindingProperty::AsBool() const {
  switch (kind_) {
    case BindingPropertyKind::kBool:
      return payload_.boolean;
    case BindingPropertyKind::kSigned:
      return payload_.signed64 != 0;
    case BindingPropertyKind::kUnsigned:
      return payload_.unsigned64 != 0;
    case BindingPropertyKind::kFloat:
      return payload_.float64 != 0 && !std::isnan(payload_.float64);
    case BindingPropertyKind::kString:
      return payload_.text->view() == "true" || payload_.text->view() == "1";
    case BindingPropertyKind::kEnum:
      return payload_.enumCell->value != 0;
    case BindingPropertyKind::kBlob:
    case BindingPropertyKind::kCollection:
    case BindingPropertyKind::kStructure:
      return Size() != 0;
    default:
      return false;
  }
}

BindingProperty& BindingProperty::At(std::size_t index) {
  SetCollection();
  BindingElementBlock& block = *payload_.collection;
  if (index >= block.size) {
    if (index >= UINT32_MAX)
      dul::FatalError("index", "Binding collection too large", __FILE__, __LINE__, __func__);
    if (index >= block.capacity)
      GrowElements(std::max<std::size_t>(index + 1, std::size_t{block.capacity} * 2));
    while (block.size <= index)
      new (block.elements + block.size++) BindingProperty(storage_, ChildTag{});
  }
  return block.elements[index];
}

const BindingProperty& BindingProperty::At(std::size_t index) const {
  if (kind_ != BindingPropertyKind::kCollection || index >= payload_.collection->size)
    return gEmptyValue;
  return payload_.collection->elements[index];
}

BindingProperty& BindingProperty::PushBack() {
  SetCollection();
  BindingElementBlock& block = *payload_.collection;
  if (block.size == block.capacity)
    GrowElements(block.capacity < 4 ? 4 : std::size_t{block.capacity} * 2);
  return *new (block.elements + block.size++) BindingProperty(storage_, ChildTag{});
}

void BindingProperty::Reserve(std::size_t capacity) {
  SetCollection();
  GrowElements(capacity);
}

// A collection appended to again grows geometrically, so that repeated appends stay linear.
void BindingProperty::AppendElements(std::span<BindingProperty> values) {
  SetCollection();
  if (values.empty())
    return;
  BindingElementBlock& block = *payload_.collection;
  std::size_t wanted = std::size_t{block.size} + values.size();
  if (wanted > block.capacity && block.size != 0)
    wanted = std::max(wanted, std::size_t{block.capacity} * 2);
  GrowElements(wanted);
  for (BindingProperty& value : values) {
    BindingProperty* element =
        new (block.elements + block.size) BindingProperty(storage_, ChildTag{});
    element->TakeMember(value);
    ++block.size;
  }
}

void BindingProperty::SetCollection() {
  if (kind_ == BindingPropertyKind::kCollection)
    return;
  Clear();
  BecomeCollection();
}

BindingProperty& BindingProperty::Member(std::string_view name) {
  if (kind_ == BindingPropertyKind::kStructure)
    return payload_.structure->FindOrInsert(name);
  if (UsesStorage()) {
    // The name may lie in what is about to be released (v.Member(v.GetString())).
    const std::string aside(name);
    Clear();
    BecomeStructure();
    return payload_.structure->FindOrInsert(aside);
  }
  Clear();
  BecomeStructure();
  return payload_.structure->FindOrInsert(name);
}

BindingProperty& BindingProperty::AppendMember(std::string_view name, BindingMemberShape shape) {
  if (kind_ != BindingPropertyKind::kStructure)
    return Member(name);
  return payload_.structure->AppendInOrder(name, shape);
}

const BindingProperty& BindingProperty::Find(std::string_view name) const {
  if (kind_ != BindingPropertyKind::kStructure)
    return gEmptyValue;
  const BindingProperty* member = payload_.structure->Find(name);
  return member != nullptr ? *member : gEmptyValue;
}

bool BindingProperty::Contains(std::string_view name) const {
  return kind_ == BindingPropertyKind::kStructure && payload_.structure->Find(name) != nullptr;
}

void BindingProperty::AssignMembers(std::span<const BindingMemberSource> members) {
  for (std::size_t i = 1; i < members.size(); ++i) {
    if (!NameBefore(members[i - 1].name, members[i].name)) {
      if (kind_ != BindingPropertyKind::kStructure || payload_.structure->size() != 0) {
        Clear();
        BecomeStructure();
      }
      for (const BindingMemberSource& member : members)
        payload_.structure->FindOrInsert(member.name) = std::move(*member.value);
      return;
    }
  }
  AssignSortedMembers(members);
}

void BindingProperty::AssignSortedMembers(std::span<const BindingMemberSource> members) {
  if (kind_ != BindingPropertyKind::kStructure || payload_.structure->size() != 0) {
    Clear();
    BecomeStructure();
  }
  payload_.structure->AssignSorted(members);
}

void BindingProperty::ReserveMembers(std::size_t count) {
  SetStructure();
  payload_.structure->Reserve(count);
}

void BindingProperty::SetStructure() {
  if (kind_ == BindingPropertyKind::kStructure)
    return;
  Clear();
  BecomeStructure();
}

bool operator==(const BindingProperty& left, const BindingProperty& right) {
  if (left.kind_ != right.kind_)
    return false;
  switch (left.kind_) {
    case BindingPropertyKind::kEmpty:
      return true;
    case BindingPropertyKind::kBool:
      return left.payload_.boolean == right.payload_.boolean;
    case BindingPropertyKind::kSigned:
    case BindingPropertyKind::kUnsigned:
      return left.payload_.unsigned64 == right.payload_.unsigned64;
    case BindingPropertyKind::kFloat:
      return left.payload_.float64 == right.payload_.float64;
    case BindingPropertyKind::kString:
      return left.GetString() == right.GetString();
    case BindingPropertyKind::kBlob: {
      const auto a = left.GetBlob();
      const auto b = right.GetBlob();
      return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size()) == 0);
    }
    case BindingPropertyKind::kEnum:
      return left.GetEnum() == right.GetEnum();
    case BindingPropertyKind::kCollection: {
      const auto a = left.Elements();
      const auto b = right.Elements();
      return std::equal(a.begin(), a.end(), b.begin(), b.end());
    }
    case BindingPropertyKind::kStructure:
      return SameMembers(*left.payload_.structure, *right.payload_.structure);
  }
  return false;
}

}  // namespace Zorv
