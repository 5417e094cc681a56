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

// Record lengths are 32-bit; nothing longer can be described to the host.
std::uint32_t RecordLength(std::uint64_t length) {
  if (length > UINT32_MAX)
    dul::FatalError("length <= UINT32_MAX", "Value too large for a host record", __FILE__, __LINE__,
                    __func__);
  return static_cast<std::uint32_t>(length);
}

constexpr std::size_t kArrayAlignment = 8;

constexpr std::size_t AlignedArrayBytes(std::size_t count, std::size_t size) {
  return (count * size + kArrayAlignment - 1) & ~(kArrayAlignment - 1);
}

const char* EnumNameOf(BindingEnumCell cell, const BindingTypeRegistry* registry) {
  return registry != nullptr ? registry->EnumName(cell.typeIdentity, cell.value) : nullptr;
}

// A record tree lives in one block from the counting allocator: every element and member array
// first (the root's own array at the start, each at a multiple of 8 bytes), then every text, byte
// array and member name. One allocation and one free per record instead of one per part.
class RecordBlockWriter {
 public:
  explicit RecordBlockWriter(const BindingTypeRegistry* registry) : registry_(registry) {}

  DulBindingValueRecord Write(const BindingProperty& value) {
    Measure(value);
    if (arrayBytes_ + textBytes_ != 0) {
      block_ = static_cast<char*>(dul::CountingAllocate(arrayBytes_ + textBytes_));
      if (block_ == nullptr)
        dul::FatalError("block != nullptr", "Out of memory for host records", __FILE__, __LINE__,
                        __func__);
    }
    nextArray_ = block_;
    nextText_ = block_ + arrayBytes_;
    DulBindingValueRecord record;
    WriteRecord(value, record);
    return record;
  }

 private:
  void Measure(const BindingProperty& value) {
    switch (value.Kind()) {
      case BindingPropertyKind::kString:
        textBytes_ += value.Size() + 1;
        break;
      case BindingPropertyKind::kBlob:
        textBytes_ += value.GetBlob().size();
        break;
      case BindingPropertyKind::kEnum:
        if (const char* name = EnumNameOf(value.GetEnum(), registry_))
          textBytes_ += std::strlen(name) + 1;
        break;
      case BindingPropertyKind::kCollection:
        arrayBytes_ += AlignedArrayBytes(value.Size(), sizeof(DulBindingValueRecord));
        for (const BindingProperty& element : value.Elements())
          Measure(element);
        break;
      case BindingPropertyKind::kStructure:
        arrayBytes_ += AlignedArrayBytes(value.Size(), sizeof(DulBindingMember));
        for (const auto& [name, member] : value.Members()) {
          textBytes_ += name.size() + 1;
          Measure(member);
        }
        break;
      default:
        break;
    }
  }

  void* TakeArray(std::size_t count, std::size_t size) {
    if (count == 0)
      return nullptr;
    void* array = nextArray_;
    nextArray_ += AlignedArrayBytes(count, size);
    return array;
  }

  const char* CopyText(std::string_view text) {
    char* copy = nextText_;
    std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
    nextText_ += text.size() + 1;
    return copy;
  }

  static void WriteSpan(DulBindingValueRecord& record, std::uint32_t kind, const void* data,
                        std::size_t length) {
    record.kind = kind;
    record.payload.span.data = data;
    record.payload.span.length = RecordLength(length);
  }

  void WriteBlob(std::span<const std::uint8_t> bytes, DulBindingValueRecord& record) {
    const void* copy = nullptr;
    if (!bytes.empty()) {
      copy = std::memcpy(nextText_, bytes.data(), bytes.size());
      nextText_ += bytes.size();
    }
    WriteSpan(record, kRecordBytes, copy, bytes.size());
  }

  void WriteEnum(BindingEnumCell cell, DulBindingValueRecord& record) {
    if (const char* name = EnumNameOf(cell, registry_)) {
      const std::string_view text(name);
      WriteSpan(record, kRecordText, CopyText(text), text.size());
      return;
    }
    record.kind = kRecordSigned;
    record.payload.signed64 = cell.value;
  }

  void WriteElements(std::span<const BindingProperty> elements, DulBindingValueRecord& record) {
    auto* array = static_cast<DulBindingValueRecord*>(
        TakeArray(elements.size(), sizeof(DulBindingValueRecord)));
    for (std::size_t i = 0; i < elements.size(); ++i)
      WriteRecord(elements[i], array[i]);
    WriteSpan(record, kRecordCollection, array, elements.size());
  }

  void WriteMembers(const BindingProperty& value, DulBindingValueRecord& record) {
    auto* array = static_cast<DulBindingMember*>(TakeArray(value.Size(), sizeof(DulBindingMember)));
    std::size_t index = 0;
    for (const auto& [name, member] : value.Members()) {
      DulBindingMember entry;
      entry.name = CopyText(name);
      DulBindingValueRecord memberRecord;
      WriteRecord(member, memberRecord);
      entry.value = memberRecord;  // a copy: the member is packed
      entry.ownsName = 1;
      array[index++] = entry;
    }
    WriteSpan(record, kRecordStructure, array, index);
  }

  void WriteRecord(const BindingProperty& value, DulBindingValueRecord& record) {
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
      case BindingPropertyKind::kBlob:
        WriteBlob(value.GetBlob(), record);
        break;
      case BindingPropertyKind::kEnum:
        WriteEnum(value.GetEnum(), record);
        break;
      case BindingPropertyKind::kCollection:
        WriteElements(value.Elements(), record);
        break;
      case BindingPropertyKind::kStructure:
        WriteMembers(value, record);
        break;
    }
  }

  const BindingTypeRegistry* registry_;
  std::size_t arrayBytes_ = 0;
  std::size_t textBytes_ = 0;
  char* block_ = nullptr;
  char* nextArray_ = nullptr;
  char* nextText_ = nullptr;
};

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
  return RecordBlockWriter(registry).Write(value);
}

void ClearValueRecord(DulBindingValueRecord& record) {
  // Whatever the record owns is in the one block that its own text or array starts.
  const bool ownsBlock = record.kind == kRecordText || record.kind == kRecordBytes ||
                         record.kind == kRecordCollection || record.kind == kRecordStructure;
  if (ownsBlock && record.payload.span.data != nullptr)
    dul::CountingFree(const_cast<void*>(record.payload.span.data));
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
