// Conversion between BindingProperty and DulBindingValueRecord, the flat form in which values
// cross the host boundary.
#pragma once

#include <optional>
#include <string_view>

#include "binding/binding_property.h"
#include "binding/binding_result.h"
#include "contract/host_contract.h"

namespace Zorv {

class BindingTypeRegistry;

// The kinds of DulBindingValueRecord: borrowed texts and bytes (5, 7) point at data the record
// does not own.
enum RecordKind : std::uint32_t {
  kRecordEmpty = 0,
  kRecordBool = 1,
  kRecordSigned = 2,
  kRecordUnsigned = 3,
  kRecordFloat = 4,
  kRecordBorrowedText = 5,
  kRecordText = 6,
  kRecordBorrowedBytes = 7,
  kRecordBytes = 8,
  kRecordCollection = 9,
  kRecordStructure = 10,
};

// The record of `value`, owning copies of every text, byte array, element array, member array and
// member name (kinds 6, 8, 9 and 10; names flagged ownsName = 1), all in one block from the
// counting allocator; free it with ClearValueRecord. Members come in name order. An enum becomes
// the name of its value (kind 6) when `registry` is given and knows one, else kind 2,
// sign-extended.
DulBindingValueRecord MakeValueRecord(const BindingProperty& value,
                                      const BindingTypeRegistry* registry);

// Frees what a record made by MakeValueRecord owns and zeroes it.
void ClearValueRecord(DulBindingValueRecord& record);

// Reads a record from the host into `result`, building elements and members in record order; does
// nothing when `result` has already failed. A record of an unknown kind, or whose text, bytes or
// array pointer is null with a non-zero length, fails with "Couldn't assign value to '<name>' of
// type object because the input is of an incompatible type '<kind>'."; a null pointer with length
// 0 is the empty text, blob or container.
void ReadValueRecord(BindingResult& result, const DulBindingValueRecord& record,
                     std::string_view name);

// The text or bytes a record of kind 5 to 8 holds: a borrowed text (5) runs to its terminator,
// whatever its length word holds; the others hold `length` bytes. Nothing for any other kind, or
// for a null pointer with a non-zero length word.
std::optional<std::string_view> ValueRecordBytes(const DulBindingValueRecord& record);

// The name of a record kind in conversion messages: "bool" (1) ... "structure" (10), else "".
std::string_view ValueRecordKindName(std::uint32_t kind);

}  // namespace Zorv
