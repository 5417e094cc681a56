// Construction, assignment, copy and release of BindingProperty; element and member access is
// in binding_property_access.cpp.
#include "binding/binding_property.h"

#include <cstring>
#include <new>

#include "binding/binding_storage.h"
#include "foundation/allocation_counters.h"
#include "foundation/fatal_error.h"

namespace Zorv {
namespace {

// Kinds with a payload in a storage block or cell (the empty string's cell is the shared one).
bool HoldsBlocks(BindingPropertyKind kind) {
  return kind >= BindingPropertyKind::kString;
}

// A heap block not yet linked into any storage: the bytes may lie in the tree that the caller
// clears before it stores them.
std::uint8_t* CopyBytes(std::span<const std::uint8_t> bytes) {
  if (bytes.empty())
    return nullptr;
  auto* copy = static_cast<std::uint8_t*>(BindingStorage::NewUnlinkedHeap(bytes.size()));
  std::memcpy(copy, bytes.data(), bytes.size());
  return copy;
}

// Element arrays up to kLargestPooledElements come from the pools, in the sizes of
// kElementCapacities; longer ones are heap blocks. The capacity alone tells which.
bool IsPooled(std::size_t capacity) {
  return capacity <= BindingStorage::kLargestPooledElements;
}

// The pool for arrays of `wanted` values (at most kLargestPooledElements).
std::size_t ElementClass(std::size_t wanted) {
  std::size_t sizeClass = 0;
  while (BindingStorage::kElementCapacities[sizeClass] < wanted)
    ++sizeClass;
  return sizeClass;
}

std::size_t PooledCapacity(std::size_t wanted) {
  return BindingStorage::kElementCapacities[ElementClass(wanted)];
}

BindingStorage::Block PooledElements(std::size_t capacity) {
  return static_cast<BindingStorage::Block>(
      static_cast<std::size_t>(BindingStorage::Block::kElements1) + ElementClass(capacity));
}

// Element counts are 32-bit, on every target.
bool FitsInCount(std::uint64_t count) {
  return count <= UINT32_MAX;
}

}  // namespace

BindingProperty::BindingProperty(const char* text) {
  StoreString(text != nullptr ? std::string_view(text) : std::string_view());
}

BindingProperty::BindingProperty(std::string_view text) {
  StoreString(text);
}

BindingProperty::BindingProperty(std::span<const std::uint8_t> bytes) {
  StoreBlob(bytes);
}

BindingProperty::BindingProperty(BindingEnumCell cell) {
  StoreEnum(cell);
}

BindingProperty::BindingProperty(const BindingProperty& other) {
  CopyContentsFrom(other);
}

BindingProperty::BindingProperty(BindingProperty&& other) noexcept {
  if (!other.UsesStorage()) {
    payload_ = other.payload_;
    kind_ = other.kind_;
  } else if (!other.child_) {
    payload_ = other.payload_;
    kind_ = other.kind_;
    storage_ = other.storage_;
    other.storage_ = nullptr;
  } else {
    CopyContentsFrom(other);
    other.ReleaseContents();
  }
  other.kind_ = BindingPropertyKind::kEmpty;
  other.payload_.bits = 0;
}

BindingProperty::~BindingProperty() {
  if (child_)
    ReleaseContents();
  else
    delete storage_;  // frees the whole tree at once
}

BindingProperty& BindingProperty::operator=(const BindingProperty& other) {
  if (this == &other)
    return *this;
  if (other.storage_ != nullptr && other.storage_ == storage_) {
    // One of the two may contain the other: copy aside before releasing anything.
    BindingProperty copy(storage_, ChildTag{});
    copy.CopyContentsFrom(other);
    TakeSameStorage(copy);
    return *this;
  }
  Clear();
  CopyContentsFrom(other);
  return *this;
}

BindingProperty& BindingProperty::operator=(BindingProperty&& other) noexcept {
  if (this == &other)
    return *this;
  if (!other.UsesStorage() || other.storage_ == storage_) {
    TakeSameStorage(other);
  } else if (!other.child_ && !child_) {
    // Root to root: the storage goes with the tree.
    delete storage_;
    payload_ = other.payload_;
    kind_ = other.kind_;
    storage_ = other.storage_;
    other.storage_ = nullptr;
    other.kind_ = BindingPropertyKind::kEmpty;
    other.payload_.bits = 0;
  } else {
    Clear();
    CopyContentsFrom(other);
    other.Clear();
  }
  return *this;
}

// Takes the payload of `source`, which is in this value's storage or needs none. The payload is
// detached before anything is released, so `source` may lie inside this value.
void BindingProperty::TakeSameStorage(BindingProperty& source) noexcept {
  const bool inStorage = source.UsesStorage();
  const Payload payload = source.payload_;
  const BindingPropertyKind kind = source.kind_;
  source.kind_ = BindingPropertyKind::kEmpty;
  source.payload_.bits = 0;
  if (inStorage)
    ReleaseContents();
  else
    Clear();  // nothing taken lives in the storage: a root may reset it at once
  payload_ = payload;
  kind_ = kind;
}

void BindingProperty::ClearPayload() noexcept {
  if (child_)
    ReleaseContents();
  else
    ClearAndResetStorage();
}

// A root's storage holds nothing but the root's own tree, so it can be emptied in one go.
void BindingProperty::ClearAndResetStorage() noexcept {
  if (storage_ != nullptr && HoldsBlocks(kind_))
    storage_->Reset();
  kind_ = BindingPropertyKind::kEmpty;
  payload_.bits = 0;
}

void BindingProperty::ReleaseContents() noexcept {
  switch (kind_) {
    case BindingPropertyKind::kString:
      if (payload_.text->length != 0)
        storage_->texts().Release(payload_.text);
      break;
    case BindingPropertyKind::kBlob:
      storage_->FreeHeap(payload_.blob->bytes);
      storage_->Free(BindingStorage::Block::kBlob, payload_.blob);
      break;
    case BindingPropertyKind::kEnum:
      storage_->Free(BindingStorage::Block::kEnum, payload_.enumCell);
      break;
    case BindingPropertyKind::kCollection: {
      BindingElementBlock* block = payload_.collection;
      for (std::uint32_t i = 0; i < block->size; ++i)
        block->elements[i].ReleaseContents();
      FreeElements(block->elements, block->capacity);
      storage_->Free(BindingStorage::Block::kCollection, block);
      break;
    }
    case BindingPropertyKind::kStructure:
      payload_.structure->Destroy();
      break;
    default:
      break;
  }
  kind_ = BindingPropertyKind::kEmpty;
  payload_.bits = 0;
}

void BindingProperty::FreeElements(BindingProperty* elements, std::size_t capacity) noexcept {
  if (elements == nullptr)
    return;
  if (IsPooled(capacity))
    storage_->Free(PooledElements(capacity), elements);
  else
    storage_->FreeHeap(elements);
}

BindingStorage& BindingProperty::EnsureStorage() {
  if (storage_ == nullptr)
    storage_ = new BindingStorage();
  return *storage_;
}

void BindingProperty::StoreString(std::string_view text) {
  payload_.text = text.empty() ? InternedText::Empty() : EnsureStorage().texts().Intern(text);
  kind_ = BindingPropertyKind::kString;
}

void BindingProperty::StoreBlob(std::span<const std::uint8_t> bytes) {
  StoreBlobBytes(CopyBytes(bytes), bytes.size());
}

void BindingProperty::StoreBlobBytes(std::uint8_t* bytes, std::size_t size) {
  BindingStorage& storage = EnsureStorage();
  auto* block = static_cast<BindingByteBlock*>(storage.Allocate(BindingStorage::Block::kBlob));
  block->bytes = bytes;
  block->size = size;
  if (bytes != nullptr)
    storage.LinkHeap(bytes);
  payload_.blob = block;
  kind_ = BindingPropertyKind::kBlob;
}

void BindingProperty::StoreEnum(BindingEnumCell cell) {
  void* block = EnsureStorage().Allocate(BindingStorage::Block::kEnum);
  payload_.enumCell = new (block) BindingEnumCell(cell);
  kind_ = BindingPropertyKind::kEnum;
}

void BindingProperty::BecomeCollection() {
  void* block = EnsureStorage().Allocate(BindingStorage::Block::kCollection);
  payload_.collection = new (block) BindingElementBlock{nullptr, 0, 0};
  kind_ = BindingPropertyKind::kCollection;
}

void BindingProperty::BecomeStructure() {
  payload_.structure = MemberMap::Create(EnsureStorage());
  kind_ = BindingPropertyKind::kStructure;
}

void BindingProperty::CopyContentsFrom(const BindingProperty& source) {
  switch (source.kind_) {
    case BindingPropertyKind::kString:
      if (source.payload_.text->length != 0 && source.storage_ == storage_) {
        InternTable::AddReference(source.payload_.text);
        payload_.text = source.payload_.text;
        kind_ = BindingPropertyKind::kString;
      } else {
        StoreString(source.payload_.text->view());
      }
      break;
    case BindingPropertyKind::kBlob:
      StoreBlob(source.GetBlob());
      break;
    case BindingPropertyKind::kEnum:
      StoreEnum(*source.payload_.enumCell);
      break;
    case BindingPropertyKind::kCollection:
      BecomeCollection();
      CopyElementsFrom(*source.payload_.collection);
      break;
    case BindingPropertyKind::kStructure:
      BecomeStructure();
      payload_.structure->CopyFrom(*source.payload_.structure);
      break;
    default:
      payload_ = source.payload_;
      kind_ = source.kind_;
      break;
  }
}

void BindingProperty::CopyElementsFrom(const BindingElementBlock& source) {
  GrowElements(source.size);
  BindingElementBlock& target = *payload_.collection;
  BindingProperty* elements = target.elements;
  BindingStorage* storage = storage_;
  for (std::uint32_t i = 0; i < source.size; ++i) {
    const BindingProperty& from = source.elements[i];
    if (HoldsBlocks(from.kind_)) {
      target.size = i;
      new (elements + i) BindingProperty(storage, ChildTag{});
      elements[i].CopyContentsFrom(from);
    } else {
      new (elements + i) BindingProperty(storage, ChildTag{}, from);
    }
  }
  target.size = source.size;
}

// Elements move bitwise: no block refers to a value's own address.
void BindingProperty::GrowElements(std::size_t capacity) {
  BindingElementBlock& block = *payload_.collection;
  if (capacity <= block.capacity)
    return;
  if (!FitsInCount(capacity) || capacity > SIZE_MAX / sizeof(BindingProperty))
    dul::FatalError("capacity", "Binding collection too large", __FILE__, __LINE__, __func__);
  void* grown;
  if (IsPooled(capacity)) {
    capacity = PooledCapacity(capacity);
    grown = storage_->Allocate(PooledElements(capacity));
  } else if (!IsPooled(block.capacity)) {
    grown = storage_->ReallocateHeap(block.elements, capacity * sizeof(BindingProperty));
    block.elements = static_cast<BindingProperty*>(grown);
    block.capacity = static_cast<std::uint32_t>(capacity);
    return;
  } else {
    grown = storage_->AllocateHeap(capacity * sizeof(BindingProperty));
  }
  if (block.size != 0)
    std::memcpy(grown, static_cast<void*>(block.elements), block.size * sizeof(BindingProperty));
  FreeElements(block.elements, block.capacity);
  block.elements = static_cast<BindingProperty*>(grown);
  block.capacity = static_cast<std::uint32_t>(capacity);
}

BindingProperty& BindingProperty::SetBool(bool value) {
  Clear();
  payload_.boolean = value;
  kind_ = BindingPropertyKind::kBool;
  return *this;
}

BindingProperty& BindingProperty::SetSigned(std::int64_t value) {
  Clear();
  StoreInteger(value);
  return *this;
}

BindingProperty& BindingProperty::SetUnsigned(std::uint64_t value) {
  Clear();
  StoreInteger(value);
  return *this;
}

BindingProperty& BindingProperty::SetDouble(double value) {
  Clear();
  payload_.float64 = value;
  kind_ = BindingPropertyKind::kFloat;
  return *this;
}

BindingProperty& BindingProperty::SetEnum(BindingEnumCell cell) {
  Clear();
  StoreEnum(cell);
  return *this;
}

// The text may lie in this very value (v = v.Find("a").GetString()): the new cell is made before
// the old payload goes.
BindingProperty& BindingProperty::SetString(std::string_view text) {
  if (text.empty() || !UsesStorage()) {
    Clear();
    StoreString(text);
  } else if (!child_ && kind_ >= BindingPropertyKind::kCollection) {
    const std::string aside(text);  // a whole tree goes: reset the storage rather than walk it
    Clear();
    StoreString(aside);
  } else {
    InternedText* cell = storage_->texts().Intern(text);
    ReleaseContents();
    payload_.text = cell;
    kind_ = BindingPropertyKind::kString;
  }
  return *this;
}

BindingProperty& BindingProperty::SetBlob(std::span<const std::uint8_t> bytes) {
  std::uint8_t* copy = CopyBytes(bytes);
  Clear();
  StoreBlobBytes(copy, bytes.size());
  return *this;
}

}  // namespace Zorv
