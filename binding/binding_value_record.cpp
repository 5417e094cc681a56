#include "binding/binding_value_record.h"

#include <cstdint>
#include <cstring>
#include <optional>

#include "binding/binding_type_registry.h"
#include "binding/member_map.h"
#include "foundation/allocation_counters.h"
#include "foundation/fatal_error.h"
#include "foundation/format_text.h"

namespace Zorv {
namespace {

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

void* AllocateOrFail(std::size_t count, std::size_t size) {
  if (count == 0)
    return nullptr;
  if (count > SIZE_MAX / size)
    dul::FatalError("count", "Host record too large", __FILE__, __LINE__, __func__);
  void* block = dul::CountingAllocate(count * size);
  if (block == nullptr)
    dul::FatalError("block != nullptr", "Out of memory for host records", __FILE__, __LINE__,
                    __func__);
  return block;
}

// Record lengths are 32-bit; nothing longer can be described to the host.
std::uint32_t RecordLength(std::uint64_t length) {
  if (length > UINT32_MAX)
    dul::FatalError("length <= UINT32_MAX", "Value too large for a host record", __FILE__, __LINE__,
                    __func__);
  return static_cast<std::uint32_t>(length);
}

char* CopyText(std::string_view text) {
  auto* copy = static_cast<char*>(AllocateOrFail(text.size() + 1, 1));
  std::memcpy(copy, text.data(), text.size());
  copy[text.size()] = '\0';
  return copy;
}

void WriteSpan(DulBindingValueRecord& record, std::uint32_t kind, const void* data,
               std::size_t length) {
  record.kind = kind;
  record.payload.span.data = data;
  record.payload.span.length = RecordLength(length);
}

void WriteRecord(const BindingProperty& value, DulBindingValueRecord& record,
                 const BindingTypeRegistry* registry);

void WriteEnum(BindingEnumCell cell, DulBindingValueRecord& record,
               const BindingTypeRegistry* registry) {
  const char* name =
      registry != nullptr ? registry->EnumName(cell.typeIdentity, cell.value) : nullptr;
  if (name != nullptr) {
    const std::string_view text(name);
    WriteSpan(record, kRecordText, CopyText(text), text.size());
    return;
  }
  record.kind = kRecordSigned;
  record.payload.signed64 = cell.value;
}

void WriteElements(std::span<const BindingProperty> elements, DulBindingValueRecord& record,
                   const BindingTypeRegistry* registry) {
  auto* array = static_cast<DulBindingValueRecord*>(
      AllocateOrFail(elements.size(), sizeof(DulBindingValueRecord)));
  for (std::size_t i = 0; i < elements.size(); ++i)
    WriteRecord(elements[i], array[i], registry);
  WriteSpan(record, kRecordCollection, array, elements.size());
}

void WriteMembers(const BindingProperty& value, DulBindingValueRecord& record,
                  const BindingTypeRegistry* registry) {
  auto* array =
      static_cast<DulBindingMember*>(AllocateOrFail(value.Size(), sizeof(DulBindingMember)));
  std::size_t index = 0;
  for (const auto& [name, member] : value.Members()) {
    DulBindingValueRecord memberRecord;
    WriteRecord(member, memberRecord, registry);
    DulBindingMember entry;
    entry.name = CopyText(name);
    entry.value = memberRecord;  // a copy: the member is packed
    entry.ownsName = 1;
    array[index++] = entry;
  }
  WriteSpan(record, kRecordStructure, array, index);
}

void WriteRecord(const BindingProperty& value, DulBindingValueRecord& record,
                 const BindingTypeRegistry* registry) {
  std::memset(&record, 0, sizeof(record));
  switch (value.Kind()) {
    case BindingPropertyKind::kEmpty:
      break;
    case BindingPropertyKind::kBool:
      record.kind = kRecordBool;
      record.payload.boolean = value.GetBool(false) ? 1 : 0;
      break;
    case BindingPropertyKind::kSigned:
      record.kind = kRecordSigned;
      record.payload.signed64 = value.GetSigned(0);
      break;
    case BindingPropertyKind::kUnsigned:
      record.kind = kRecordUnsigned;
      record.payload.unsigned64 = value.GetUnsigned(0);
      break;
    case BindingPropertyKind::kFloat:
      record.kind = kRecordFloat;
      record.payload.float64 = value.GetDouble(0);
      break;
    case BindingPropertyKind::kString:
      WriteSpan(record, kRecordText, CopyText(value.GetString()), value.Size());
      break;
    case BindingPropertyKind::kBlob: {
      const auto bytes = value.GetBlob();
      void* copy = AllocateOrFail(bytes.size(), 1);
      if (!bytes.empty())
        std::memcpy(copy, bytes.data(), bytes.size());
      WriteSpan(record, kRecordBytes, copy, bytes.size());
      break;
    }
    case BindingPropertyKind::kEnum:
      WriteEnum(value.GetEnum(), record, registry);
      break;
    case BindingPropertyKind::kCollection:
      WriteElements(value.Elements(), record, registry);
      break;
    case BindingPropertyKind::kStructure:
      WriteMembers(value, record, registry);
      break;
  }
}

// Reads one record into the empty `target`; on failure names the kind of the offending record.
bool ReadRecord(const DulBindingValueRecord& record, BindingProperty& target,
                std::uint32_t& failedKind);

bool ReadElements(const DulBindingValueRecord* elements, std::uint32_t count,
                  BindingProperty& target, std::uint32_t& failedKind) {
  target.SetCollection();
  target.Reserve(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    if (!ReadRecord(elements[i], target.PushBack(), failedKind))
      return false;
  }
  return true;
}

bool ReadMembers(const DulBindingMember* members, std::uint32_t count, BindingProperty& target,
                 std::uint32_t& failedKind) {
  target.SetStructure();
  for (std::uint32_t i = 0; i < count; ++i) {
    const DulBindingMember member = members[i];
    if (member.name == nullptr) {
      failedKind = kRecordStructure;
      return false;
    }
    const DulBindingValueRecord value = member.value;
    BindingProperty& slot = target.Member(member.name);
    slot.Clear();  // a repeated name: the later record wins
    if (!ReadRecord(value, slot, failedKind))
      return false;
  }
  return true;
}

bool ReadRecord(const DulBindingValueRecord& record, BindingProperty& target,
                std::uint32_t& failedKind) {
  const void* data = record.payload.span.data;
  const std::uint32_t length = record.payload.span.length;
  const bool textOrBytes = record.kind >= kRecordBorrowedText && record.kind <= kRecordBytes;
  const std::optional<std::string_view> bytes = ValueRecordBytes(record);
  const bool arrayKind = record.kind == kRecordCollection || record.kind == kRecordStructure;
  if ((textOrBytes && !bytes) || (arrayKind && data == nullptr && length != 0)) {
    failedKind = record.kind;
    return false;
  }
  switch (record.kind) {
    case kRecordEmpty:
      return true;
    case kRecordBool:
      target = record.payload.boolean != 0;
      return true;
    case kRecordSigned:
      target.SetSigned(record.payload.signed64);
      return true;
    case kRecordUnsigned:
      target.SetUnsigned(record.payload.unsigned64);
      return true;
    case kRecordFloat:
      target.SetDouble(record.payload.float64);
      return true;
    case kRecordBorrowedText:
    case kRecordText:
      target.SetString(*bytes);
      return true;
    case kRecordBorrowedBytes:
    case kRecordBytes:
      target.SetBlob({reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size()});
      return true;
    case kRecordCollection:
      return ReadElements(static_cast<const DulBindingValueRecord*>(data), length, target,
                          failedKind);
    case kRecordStructure:
      return ReadMembers(static_cast<const DulBindingMember*>(data), length, target, failedKind);
    default:
      failedKind = record.kind;
      return false;
  }
}

}  // namespace

std::optional<std::string_view> ValueRecordBytes(const DulBindingValueRecord& record) {
  const auto* data = static_cast<const char*>(record.payload.span.data);
  const std::uint32_t length = record.payload.span.length;
  if (record.kind < kRecordBorrowedText || record.kind > kRecordBytes ||
      (data == nullptr && length != 0))
    return std::nullopt;
  if (data == nullptr)
    return std::string_view();
  // A borrowed text carries no length: it runs to its terminator, whatever the length word holds.
  if (record.kind == kRecordBorrowedText)
    return std::string_view(data);
  return std::string_view(data, length);
}

std::string_view ValueRecordKindName(std::uint32_t kind) {
  static constexpr std::string_view kNames[] = {"",      "bool",       "signed",   "unsigned",
                                                "float", "string",     "string",   "blob",
                                                "blob",  "collection", "structure"};
  return kind < std::size(kNames) ? kNames[kind] : std::string_view();
}

DulBindingValueRecord MakeValueRecord(const BindingProperty& value,
                                      const BindingTypeRegistry* registry) {
  DulBindingValueRecord record;
  WriteRecord(value, record, registry);
  return record;
}

void ClearValueRecord(DulBindingValueRecord& record) {
  void* data = const_cast<void*>(record.payload.span.data);
  const std::uint32_t length = record.payload.span.length;
  switch (record.kind) {
    case kRecordText:
    case kRecordBytes:
      dul::CountingFree(data);
      break;
    case kRecordCollection: {
      auto* elements = static_cast<DulBindingValueRecord*>(data);
      for (std::uint32_t i = 0; elements != nullptr && i < length; ++i)
        ClearValueRecord(elements[i]);
      dul::CountingFree(data);
      break;
    }
    case kRecordStructure: {
      auto* members = static_cast<DulBindingMember*>(data);
      for (std::uint32_t i = 0; members != nullptr && i < length; ++i) {
        const DulBindingMember member = members[i];
        DulBindingValueRecord value = member.value;
        ClearValueRecord(value);
        if (member.ownsName != 0)
          dul::CountingFree(const_cast<char*>(member.name));
      }
      dul::CountingFree(data);
      break;
    }
    default:
      break;
  }
  std::memset(&record, 0, sizeof(record));
}

void ReadValueRecord(BindingResult& result, const DulBindingValueRecord& record,
                     std::string_view name) {
  if (!result.ok())
    return;
  std::uint32_t failedKind = 0;
  if (!ReadRecord(record, result.ResetValue(), failedKind)) {
    result.SetError(dul::FormatText(
        "Couldn't assign value to '%1' of type object because the input is of an incompatible "
        "type '%2'.",
        name, ValueRecordKindName(failedKind)));
  }
}

}  // namespace Zorv
