#include "binding/member_map.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <new>

#include "binding/binding_property.h"
#include "binding/binding_storage.h"

namespace Zorv {
namespace {

constexpr std::uint8_t kLargeClass = std::size(kMemberChunkCapacities) - 1;
constexpr std::uint32_t kFirstSlotArray = 8;

// The smallest chunk size that holds `count` members, for every count up to the largest size.
constexpr auto kClassForCount = [] {
  std::array<std::uint8_t, kMemberChunkCapacities[kLargeClass] + 1> classes{};
  std::uint8_t sizeClass = 0;
  for (std::size_t count = 0; count < classes.size(); ++count) {
    if (count > kMemberChunkCapacities[sizeClass])
      ++sizeClass;
    classes[count] = sizeClass;
  }
  return classes;
}();

static_assert(kClassForCount[2] == 0 && kClassForCount[3] == 1 &&
              kClassForCount[84] == kLargeClass);

std::uint8_t ClassForCount(std::size_t count) {
  return count < kClassForCount.size() ? kClassForCount[count] : kLargeClass;
}

BindingStorage::Block ChunkBlock(std::uint8_t sizeClass) {
  return static_cast<BindingStorage::Block>(
      static_cast<std::size_t>(BindingStorage::Block::kChunk2) + sizeClass);
}

std::string_view NameOf(const MemberCell* cell) {
  return cell->name->view();
}

// Byte order of names; most neighbours differ in their first byte.
bool NameBefore(std::string_view a, std::string_view b) {
  if (!a.empty() && !b.empty() && a[0] != b[0])
    return static_cast<unsigned char>(a[0]) < static_cast<unsigned char>(b[0]);
  return a < b;
}

}  // namespace

MemberMap* MemberMap::Create(BindingStorage& storage) {
  return new (storage.Allocate(BindingStorage::Block::kStructure)) MemberMap(storage);
}

void MemberMap::Destroy() noexcept {
  BindingStorage& storage = *storage_;
  for (std::uint32_t c = 0; c < chunkCount_; ++c) {
    MemberChunk* chunk = slots_[c].chunk;
    for (std::uint16_t i = 0; i < chunk->count; ++i) {
      MemberCell* cell = chunk->cells()[i];
      cell->value.ReleaseContents();
      storage.texts().Release(cell->name);
      storage.Free(BindingStorage::Block::kMemberCell, cell);
    }
    FreeChunk(chunk);
  }
  if (slots_ != &loneSlot_)
    storage.FreeHeap(slots_);
  storage.Free(BindingStorage::Block::kStructure, this);
}

std::string_view MemberMap::FirstName(std::uint32_t chunk) const {
  return NameOf(slots_[chunk].chunk->cells()[0]);
}

// The last chunk whose first name is not above `name` (or the first chunk).
std::uint32_t MemberMap::LocateChunk(std::string_view name) const {
  std::uint32_t low = 1;
  std::uint32_t high = chunkCount_;
  while (low < high) {
    const std::uint32_t middle = low + (high - low) / 2;
    if (NameBefore(name, FirstName(middle)))
      high = middle;
    else
      low = middle + 1;
  }
  return low - 1;
}

MemberMap::Position MemberMap::Locate(std::string_view name) const {
  const std::uint32_t chunkIndex = chunkCount_ == 1 ? 0 : LocateChunk(name);
  const MemberChunk* chunk = slots_[chunkIndex].chunk;
  MemberCell* const* cells = chunk->cells();
  std::uint32_t low = 0;
  std::uint32_t high = chunk->count;
  while (low < high) {
    const std::uint32_t middle = low + (high - low) / 2;
    if (NameBefore(NameOf(cells[middle]), name))
      low = middle + 1;
    else
      high = middle;
  }
  const bool found = low < chunk->count && NameOf(cells[low]) == name;
  return {chunkIndex, low, found};
}

BindingProperty* MemberMap::Find(std::string_view name) const {
  if (memberCount_ == 0)
    return nullptr;
  const Position position = Locate(name);
  return position.found ? &slots_[position.chunk].chunk->cells()[position.index]->value : nullptr;
}

BindingProperty& MemberMap::FindOrInsert(std::string_view name) {
  if (memberCount_ == 0)
    return Append(storage_->texts().InternName(name));
  const MemberChunk* last = slots_[chunkCount_ - 1].chunk;
  MemberCell* lastCell = last->cells()[last->count - 1];
  const std::string_view lastName = NameOf(lastCell);
  if (NameBefore(lastName, name))  // names arriving in order, as most documents and records give
    return Append(storage_->texts().InternName(name));
  if (lastName == name)
    return lastCell->value;
  const Position position = Locate(name);
  if (position.found)
    return slots_[position.chunk].chunk->cells()[position.index]->value;
  MemberCell* cell = NewCell(storage_->texts().InternName(name));
  InsertAt(position, cell);
  return cell->value;
}

BindingProperty& MemberMap::AppendInOrder(std::string_view name, const BindingMemberShape& shape) {
  return Append(storage_->texts().InternShapeName(name, shape.count, shape.position));
}

// The copy takes the source's chunks as they are: same sizes and fill.
void MemberMap::CopyFrom(const MemberMap& source) {
  const bool sameStorage = source.storage_ == storage_;
  InternTable& texts = storage_->texts();
  if (!sameStorage)
    texts.Reserve(texts.size() + source.memberCount_);
  for (std::uint32_t c = 0; c < source.chunkCount_; ++c) {
    const MemberChunk* from = source.slots_[c].chunk;
    MemberChunk* chunk = NewChunk(from->sizeClass);
    InsertChunk(chunkCount_, chunk);
    for (std::uint16_t i = 0; i < from->count; ++i) {
      const MemberCell* original = from->cells()[i];
      InternedText* name = original->name;
      if (sameStorage)
        InternTable::AddReference(name);
      else
        name = texts.Intern(name->view(), name->hash);
      MemberCell* cell = NewCell(name);
      chunk->cells()[i] = cell;
      chunk->count = static_cast<std::uint16_t>(i + 1);
      ++memberCount_;
      cell->value.CopyContentsFrom(original->value);
    }
  }
}

// The names arrive sorted, so every chunk is filled in order.
void MemberMap::AssignSorted(std::span<const BindingMemberSource> members) {
  const std::size_t count = members.size();
  InternTable& texts = storage_->texts();
  if (chunkCount_ != 0) {  // an empty chunk that Reserve made: the members bring their own
    FreeChunk(slots_[0].chunk);
    chunkCount_ = 0;
  }
  const std::uint8_t sizeClass = ClassForCount(count);
  for (std::size_t first = 0; first < count;) {
    MemberChunk* chunk = NewChunk(sizeClass);
    const std::size_t taken = std::min<std::size_t>(chunk->capacity, count - first);
    MemberCell** cells = chunk->cells();
    for (std::size_t i = 0; i < taken; ++i) {
      const BindingMemberSource& member = members[first + i];
      cells[i] = NewCell(texts.InternShapeName(member.name, count, first + i));
      cells[i]->value.TakeMember(*member.value);
    }
    chunk->count = static_cast<std::uint16_t>(taken);
    memberCount_ += static_cast<std::uint32_t>(taken);
    InsertChunk(chunkCount_, chunk);
    first += taken;
  }
}

void MemberMap::Reserve(std::size_t count) {
  if (chunkCount_ == 0 && count != 0)
    InsertChunk(0, NewChunk(ClassForCount(count)));
}

MemberCell* MemberMap::NewCell(InternedText* name) {
  auto* cell = static_cast<MemberCell*>(storage_->Allocate(BindingStorage::Block::kMemberCell));
  cell->name = name;
  new (&cell->value) BindingProperty(storage_, BindingProperty::ChildTag{});
  return cell;
}

MemberChunk* MemberMap::NewChunk(std::uint8_t sizeClass) {
  auto* chunk = static_cast<MemberChunk*>(storage_->Allocate(ChunkBlock(sizeClass)));
  chunk->count = 0;
  chunk->capacity = kMemberChunkCapacities[sizeClass];
  chunk->sizeClass = sizeClass;
  return chunk;
}

void MemberMap::FreeChunk(MemberChunk* chunk) {
  storage_->Free(ChunkBlock(chunk->sizeClass), chunk);
}

void MemberMap::PlaceCell(MemberChunk* chunk, std::uint32_t index, MemberCell* cell) {
  MemberCell** cells = chunk->cells();
  const std::size_t moved = chunk->count - index;
  if (moved != 0)  // appending, as members given in name order are, moves nothing
    std::memmove(cells + index + 1, cells + index, moved * sizeof(MemberCell*));
  cells[index] = cell;
  ++chunk->count;
}

BindingProperty& MemberMap::Append(InternedText* name) {
  MemberCell* cell = NewCell(name);
  MemberChunk* chunk = chunkCount_ == 0 ? nullptr : slots_[chunkCount_ - 1].chunk;
  if (chunk == nullptr) {
    chunk = NewChunk(0);
    InsertChunk(0, chunk);
  } else if (chunk->count == chunk->capacity) {
    if (chunkCount_ == 1 && chunk->sizeClass < kLargeClass) {
      chunk = GrowLoneChunk();
    } else {
      chunk = NewChunk(kLargeClass);
      InsertChunk(chunkCount_, chunk);
    }
  }
  chunk->cells()[chunk->count++] = cell;
  ++memberCount_;
  return cell->value;
}

// Inserts inside the map's range (names beyond its last one go through Append).
void MemberMap::InsertAt(Position position, MemberCell* cell) {
  std::uint32_t index = position.index;
  MemberChunk* chunk = slots_[position.chunk].chunk;
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
  PlaceCell(chunk, index, cell);
  ++memberCount_;
}

// Moves the upper half of a full chunk into a new chunk placed after it; returns the new one.
MemberChunk* MemberMap::SplitChunk(std::uint32_t at) {
  MemberChunk* lower = slots_[at].chunk;
  MemberChunk* upper = NewChunk(kLargeClass);
  const std::uint16_t half = lower->count / 2;
  upper->count = static_cast<std::uint16_t>(lower->count - half);
  std::memcpy(upper->cells(), lower->cells() + half, upper->count * sizeof(MemberCell*));
  lower->count = half;
  InsertChunk(at + 1, upper);
  return upper;
}

MemberChunk* MemberMap::GrowLoneChunk() {
  MemberChunk* lone = slots_[0].chunk;
  MemberChunk* grown = NewChunk(static_cast<std::uint8_t>(lone->sizeClass + 1));
  grown->count = lone->count;
  std::memcpy(grown->cells(), lone->cells(), lone->count * sizeof(MemberCell*));
  FreeChunk(lone);
  slots_[0].chunk = grown;
  return grown;
}

void MemberMap::InsertChunk(std::uint32_t at, MemberChunk* chunk) {
  const bool lone = slots_ == &loneSlot_;
  const std::uint32_t capacity = lone ? 1 : std::max(kFirstSlotArray, std::bit_ceil(chunkCount_));
  if (chunkCount_ == capacity) {
    const std::uint32_t grown = lone ? kFirstSlotArray : capacity * 2;
    void* block =
        storage_->ReallocateHeap(lone ? nullptr : slots_, grown * sizeof(MemberChunkSlot));
    if (lone)
      std::memcpy(block, &loneSlot_, sizeof(MemberChunkSlot));
    slots_ = static_cast<MemberChunkSlot*>(block);
  }
  if (at != chunkCount_)  // appending, as every first chunk is, moves nothing
    std::memmove(slots_ + at + 1, slots_ + at, (chunkCount_ - at) * sizeof(MemberChunkSlot));
  slots_[at] = {chunk};
  ++chunkCount_;
}

}  // namespace Zorv
