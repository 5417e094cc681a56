// WalkRecordWith: a depth-first walk of a value record from the other side of the host boundary
// (binding_value_record.h), calling a visitor exactly as WalkValueWith would for the value that
// ReadValueRecord reads from the record, without building that value. It takes only records
// whose structures list their members in strictly ascending byte order of their names, as
// MakeValueRecord makes them; for any other record (members out of order or repeated, an unknown
// kind, a null text, array or name) it stops part way and returns false, and the caller reads the
// record into a value instead.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "binding/binding_value_record.h"
#include "contract/host_contract.h"

namespace Zorv {

template <typename Visitor>
bool WalkRecordWith(const DulBindingValueRecord& record, Visitor& visitor);

namespace record_walk {

template <typename Visitor>
bool WalkElements(const DulBindingValueRecord* elements, std::uint32_t count, Visitor& visitor) {
  visitor.StartArray(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    visitor.BeginElement();
    if (!WalkRecordWith(elements[i], visitor))
      return false;
    visitor.EndElement();
  }
  visitor.EndArray();
  return true;
}

template <typename Visitor>
bool WalkMembers(const DulBindingMember* members, std::uint32_t count, Visitor& visitor) {
  visitor.StartObject(count);
  std::string_view previous;
  for (std::uint32_t i = 0; i < count; ++i) {
    const DulBindingMember member = members[i];  // packed: read as a whole
    if (member.name == nullptr)
      return false;
    const std::string_view name(member.name);
    if (i != 0 && !(previous < name))
      return false;
    previous = name;
    visitor.Key(name);
    const DulBindingValueRecord value = member.value;
    if (!WalkRecordWith(value, visitor))
      return false;
    visitor.EndMember();
  }
  visitor.EndObject();
  return true;
}

}  // namespace record_walk

template <typename Visitor>
bool WalkRecordWith(const DulBindingValueRecord& record, Visitor& visitor) {
  const void* data = record.payload.span.data;
  const std::uint32_t length = record.payload.span.length;
  switch (record.kind) {
    case kRecordEmpty:
      visitor.Null();
      return true;
    case kRecordBool:
      visitor.Bool(record.payload.boolean != 0);
      return true;
    case kRecordSigned:
      visitor.Int64(record.payload.signed64);
      return true;
    case kRecordUnsigned:
      visitor.Uint64(record.payload.unsigned64);
      return true;
    case kRecordFloat:
      visitor.Double(record.payload.float64);
      return true;
    case kRecordBorrowedText:
    case kRecordText:
    case kRecordBorrowedBytes:
    case kRecordBytes: {
      const std::optional<std::string_view> bytes = ValueRecordBytes(record);
      if (!bytes)
        return false;
      if (record.kind <= kRecordText)
        visitor.String(*bytes);
      else
        visitor.Blob({reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size()});
      return true;
    }
    case kRecordCollection:
    case kRecordStructure:
      if (data == nullptr && length != 0)
        return false;
      return record.kind == kRecordCollection
                 ? record_walk::WalkElements(static_cast<const DulBindingValueRecord*>(data),
                                             length, visitor)
                 : record_walk::WalkMembers(static_cast<const DulBindingMember*>(data), length,
                                            visitor);
    default:
      return false;
  }
}

}  // namespace Zorv
