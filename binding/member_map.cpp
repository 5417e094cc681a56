#include "binding/member_map.h"

#include <cstring>
#include <new>

#include "binding/binding_storage.h"
#include "runtime/allocation_counters.h"
#include "runtime/fatal_error.h"

namespace Zorv {
namespace {

constexpr std::uint8_t kLargeClass = 2;

BindingStorage::Block ChunkBlock(std::uint8_t sizeClass) {
  static constexpr BindingStorage::Block kBlocks[] = {BindingStorage::Block::kSmallChunk,
                                                      BindingStorage::Block::kMediumChunk,
                                                      BindingStorage::Block::kLargeChunk};
  return kBlocks[sizeClass];
}

std::string_view NameOf(const MemberEntry& entry) {
  return entry.name->view();
}

}  // namespace

MemberMap* MemberMap::Create(BindingStorage& storage) {
  return new (storage.Allocate(BindingStorage::Block::kStructure)) MemberMap(storage);
}

void MemberMap::Destroy() noexcept {
  BindingStorage& storage = *storage_;
  for (std::uint32_t c = 0; c < chunkCount_; ++c) {
    MemberChunk* chunk = chunks_[c];
    for (std::uint16_t i = 0; i < chunk->count; ++i) {
      const MemberEntry& entry = chunk->entries()[i];
      entry.value->ReleaseContents();
      storage.texts().Release(entry.name);
      storage.Free(BindingStorage::Block::kMemberValue, entry.value);
    }
    FreeChunk(chunk);
  }
  if (chunks_ != &loneChunk_)
    dul::CountingFree(chunks_);
  storage.Free(BindingStorage::Block::kStructure, this);
}

void MemberMap::ReleaseHeapParts() noexcept {
  for (std::uint32_t c = 0; c < chunkCount_; ++c) {
    const MemberChunk* chunk = chunks_[c];
    for (std::uint16_t i = 0; i < chunk->count; ++i)
      chunk->entries()[i].value->ReleaseHeapParts();
  }
  if (chunks_ != &loneChunk_)
    dul::CountingFree(chunks_);
}

MemberMap::Position MemberMap::Locate(std::string_view name) const {
  // The last chunk whose first name is not above `name` (or the first chunk).
  std::uint32_t low = 0;
  std::uint32_t high = chunkCount_;
  while (low < high) {
    const std::uint32_t middle = low + (high - low) / 2;
    if (name < NameOf(chunks_[middle]->entries()[0]))
      high = middle;
    else
      low = middle + 1;
  }
  const std::uint32_t chunkIndex = low == 0 ? 0 : low - 1;
  const MemberChunk* chunk = chunks_[chunkIndex];
  std::uint32_t first = 0;
  std::uint32_t last = chunk->count;
  while (first < last) {
    const std::uint32_t middle = first + (last - first) / 2;
    if (NameOf(chunk->entries()[middle]) < name)
      first = middle + 1;
    else
      last = middle;
  }
  const bool found = first < chunk->count && NameOf(chunk->entries()[first]) == name;
  return {chunkIndex, first, found};
}

BindingProperty* MemberMap::Find(std::string_view name) const {
  if (memberCount_ == 0)
    return nullptr;
  const Position position = Locate(name);
  return position.found ? chunks_[position.chunk]->entries()[position.index].value : nullptr;
}

BindingProperty& MemberMap::FindOrInsert(std::string_view name) {
  if (memberCount_ == 0)
    return Append(storage_->texts().Intern(name));
  const MemberChunk* last = chunks_[chunkCount_ - 1];
  const MemberEntry& lastEntry = last->entries()[last->count - 1];
  const int order = name.compare(NameOf(lastEntry));
  if (order == 0)
    return *lastEntry.value;
  if (order > 0)  // names arriving in order, as copies and most documents give them
    return Append(storage_->texts().Intern(name));
  const Position position = Locate(name);
  if (position.found)
    return *chunks_[position.chunk]->entries()[position.index].value;
  const MemberEntry entry{storage_->texts().Intern(name), NewValue()};
  InsertAt(position, entry);
  return *entry.value;
}

void MemberMap::CopyFrom(const MemberMap& source) {
  const bool sameStorage = source.storage_ == storage_;
  InternTable& texts = storage_->texts();
  if (!sameStorage)
    texts.Reserve(texts.size() + source.memberCount_);
  for (std::uint32_t c = 0; c < source.chunkCount_; ++c) {
    const MemberChunk* chunk = source.chunks_[c];
    for (std::uint16_t i = 0; i < chunk->count; ++i) {
      const MemberEntry& entry = chunk->entries()[i];
      InternedText* name = entry.name;
      if (sameStorage)
        InternTable::AddReference(name);
      else
        name = texts.Intern(name->view(), name->hash);
      Append(name).CopyContentsFrom(*entry.value);
    }
  }
}

BindingProperty* MemberMap::NewValue() {
  void* block = storage_->Allocate(BindingStorage::Block::kMemberValue);
  return new (block) BindingProperty(storage_, BindingProperty::ChildTag{});
}

MemberChunk* MemberMap::NewChunk(std::uint8_t sizeClass) {
  const BindingStorage::Block block = ChunkBlock(sizeClass);
  auto* chunk = static_cast<MemberChunk*>(storage_->Allocate(block));
  chunk->count = 0;
  chunk->capacity = static_cast<std::uint16_t>((storage_->BlockSize(block) - sizeof(MemberChunk)) /
                                               sizeof(MemberEntry));
  chunk->sizeClass = sizeClass;
  return chunk;
}

void MemberMap::FreeChunk(MemberChunk* chunk) {
  storage_->Free(ChunkBlock(chunk->sizeClass), chunk);
}

BindingProperty& MemberMap::Append(InternedText* name) {
  BindingProperty* value = NewValue();
  MemberChunk* chunk;
  if (chunkCount_ == 0) {
    chunk = NewChunk(0);
    InsertChunk(0, chunk);
  } else {
    chunk = chunks_[chunkCount_ - 1];
    if (chunk->count == chunk->capacity) {
      if (chunkCount_ == 1 && chunk->sizeClass < kLargeClass) {
        chunk = GrowLoneChunk();
      } else {
        chunk = NewChunk(kLargeClass);
        InsertChunk(chunkCount_, chunk);
      }
    }
  }
  chunk->entries()[chunk->count++] = {name, value};
  ++memberCount_;
  return *value;
}

void MemberMap::InsertAt(Position position, MemberEntry entry) {
  MemberChunk* chunk = chunks_[position.chunk];
  std::uint32_t index = position.index;
  if (chunk->count == chunk->capacity) {
    if (chunkCount_ == 1 && chunk->sizeClass < kLargeClass) {
      chunk = GrowLoneChunk();
    } else {
      MemberChunk* upper = SplitChunk(position.chunk);
      if (index > chunk->count) {
        index -= chunk->count;
        chunk = upper;
      }
    }
  }
  MemberEntry* entries = chunk->entries();
  std::memmove(entries + index + 1, entries + index, (chunk->count - index) * sizeof(MemberEntry));
  entries[index] = entry;
  ++chunk->count;
  ++memberCount_;
}

// Moves the upper half of a full chunk into a new chunk placed after it; returns the new one.
MemberChunk* MemberMap::SplitChunk(std::uint32_t at) {
  MemberChunk* lower = chunks_[at];
  MemberChunk* upper = NewChunk(kLargeClass);
  const std::uint16_t half = lower->count / 2;
  upper->count = static_cast<std::uint16_t>(lower->count - half);
  std::memcpy(upper->entries(), lower->entries() + half, upper->count * sizeof(MemberEntry));
  lower->count = half;
  InsertChunk(at + 1, upper);
  return upper;
}

MemberChunk* MemberMap::GrowLoneChunk() {
  MemberChunk* lone = chunks_[0];
  MemberChunk* grown = NewChunk(static_cast<std::uint8_t>(lone->sizeClass + 1));
  grown->count = lone->count;
  std::memcpy(grown->entries(), lone->entries(), lone->count * sizeof(MemberEntry));
  FreeChunk(lone);
  chunks_[0] = grown;
  return grown;
}

void MemberMap::InsertChunk(std::uint32_t at, MemberChunk* chunk) {
  if (chunkCount_ == chunkCapacity_) {
    const std::uint32_t capacity = chunkCapacity_ < 8 ? 8 : chunkCapacity_ * 2;
    void* grown = chunks_ == &loneChunk_
                      ? dul::CountingAllocate(capacity * sizeof(MemberChunk*))
                      : dul::CountingReallocate(chunks_, capacity * sizeof(MemberChunk*));
    if (grown == nullptr)
      dul::FatalError("grown != nullptr", "Out of memory for binding structures", __FILE__,
                      __LINE__, __func__);
    if (chunks_ == &loneChunk_)
      std::memcpy(grown, &loneChunk_, sizeof(MemberChunk*));
    chunks_ = static_cast<MemberChunk**>(grown);
    chunkCapacity_ = capacity;
  }
  std::memmove(chunks_ + at + 1, chunks_ + at, (chunkCount_ - at) * sizeof(MemberChunk*));
  chunks_[at] = chunk;
  ++chunkCount_;
}

}  // namespace Zorv
