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
constexpr std::size_t kUnknownShare = SIZE_MAX;

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

BindingStorage::Block ChunkBlock(std::uint8_t sizeClass) {
  return static_cast<BindingStorage::Block>(
      static_cast<std::size_t>(BindingStorage::Block::kChunk2) + sizeClass);
}

std::string_view NameOf(const MemberEntry& entry) {
  return entry.name->view();
}

// The 8 bytes of `name` from `offset` on, big-endian and zero-padded: when two names share their
// first `offset` bytes, different keys order them as the names are ordered.
std::uint64_t NameKey(std::string_view name, std::size_t offset) {
  return name.size() <= offset ? 0 : NamePrefixKey(name.substr(offset));
}

struct NameComparison {
  int order;           // below, equal to or above zero as a sorts before, with or after b
  std::size_t shared;  // bytes before the first difference
};

NameComparison CompareNames(std::string_view a, std::string_view b) {
  const std::size_t common = a.size() < b.size() ? a.size() : b.size();
  std::size_t i = 0;
  for (; i + 8 <= common; i += 8) {
    std::uint64_t left;
    std::uint64_t right;
    std::memcpy(&left, a.data() + i, 8);
    std::memcpy(&right, b.data() + i, 8);
    if (left != right)
      break;
  }
  while (i < common && a[i] == b[i])
    ++i;
  if (i < common)
    return {static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[i]) ? -1 : 1, i};
  return {a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0), i};
}

std::size_t SharedPrefix(std::string_view a, std::string_view b) {
  return CompareNames(a, b).shared;
}

// Whether `name` starts with the first `length` bytes of `other` (which has at least that many).
bool StartsWith(std::string_view name, std::string_view other, std::size_t length) {
  return name.size() >= length && std::memcmp(name.data(), other.data(), length) == 0;
}

std::uint32_t ClampLength(std::size_t length) {
  return static_cast<std::uint32_t>(length < UINT32_MAX ? length : UINT32_MAX);
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
      const MemberEntry& entry = chunk->entries()[i];
      entry.value->ReleaseContents();
      storage.texts().Release(entry.name);
      storage.Free(BindingStorage::Block::kMemberValue, entry.value);
    }
    FreeChunk(chunk);
  }
  if (slots_ != &loneSlot_)
    storage.FreeHeap(slots_);
  storage.Free(BindingStorage::Block::kStructure, this);
}

std::string_view MemberMap::FirstName(std::uint32_t chunk) const {
  return NameOf(slots_[chunk].chunk->entries()[0]);
}

std::uint64_t MemberMap::KeyOf(std::string_view name) const {
  return NameKey(name, sharedPrefix_);
}

std::uint32_t MemberMap::LocateChunk(std::string_view name) const {
  if (chunkCount_ == 1)
    return 0;
  const std::string_view first = FirstName(0);
  if (!StartsWith(name, first, sharedPrefix_))
    return name < first ? 0 : chunkCount_ - 1;
  // The last chunk whose first name is not above `name` (or the first chunk).
  const std::uint64_t key = KeyOf(name);
  std::uint32_t low = 0;
  std::uint32_t high = chunkCount_;
  while (low < high) {
    const std::uint32_t middle = low + (high - low) / 2;
    const std::uint64_t slotKey = slots_[middle].firstKey;
    if (key != slotKey ? key < slotKey : name < FirstName(middle))
      high = middle;
    else
      low = middle + 1;
  }
  return low == 0 ? 0 : low - 1;
}

MemberMap::Position MemberMap::Locate(std::string_view name) const {
  const std::uint32_t chunkIndex = LocateChunk(name);
  const MemberChunk* chunk = slots_[chunkIndex].chunk;
  const MemberEntry* entries = chunk->entries();
  const std::string_view first = NameOf(entries[0]);
  const std::size_t prefix = chunk->prefixLength;
  if (!StartsWith(name, first, prefix)) {
    // Not under the chunk's shared prefix: before all of its names or after all of them.
    const std::uint32_t index = name < first ? 0 : chunk->count;
    return {chunkIndex, index, false};
  }
  const std::uint64_t key = NameKey(name, prefix);
  const std::uint64_t* keys = chunk->keys();
  std::uint32_t low = 0;
  std::uint32_t high = chunk->count;
  while (low < high) {
    const std::uint32_t middle = low + (high - low) / 2;
    const bool before = keys[middle] != key ? keys[middle] < key : NameOf(entries[middle]) < name;
    if (before)
      low = middle + 1;
    else
      high = middle;
  }
  const bool found = low < chunk->count && keys[low] == key && NameOf(entries[low]) == name;
  return {chunkIndex, low, found};
}

BindingProperty* MemberMap::Find(std::string_view name) const {
  if (memberCount_ == 0)
    return nullptr;
  const Position position = Locate(name);
  return position.found ? slots_[position.chunk].chunk->entries()[position.index].value : nullptr;
}

BindingProperty& MemberMap::FindOrInsert(std::string_view name) {
  if (memberCount_ == 0)
    return Append(storage_->texts().InternName(name), 0);
  const MemberChunk* last = slots_[chunkCount_ - 1].chunk;
  const MemberEntry& lastEntry = last->entries()[last->count - 1];
  const NameComparison comparison = CompareNames(name, NameOf(lastEntry));
  if (comparison.order == 0)
    return *lastEntry.value;
  if (comparison.order > 0)  // names arriving in order, as most documents and records give them
    return Append(storage_->texts().InternName(name), comparison.shared);
  const Position position = Locate(name);
  if (position.found)
    return *slots_[position.chunk].chunk->entries()[position.index].value;
  const MemberEntry entry{storage_->texts().InternName(name), NewValue()};
  InsertAt(position, entry);
  return *entry.value;
}

// The copy takes the source's chunks as they are: same sizes, prefixes and keys.
void MemberMap::CopyFrom(const MemberMap& source) {
  const bool sameStorage = source.storage_ == storage_;
  InternTable& texts = storage_->texts();
  if (!sameStorage)
    texts.Reserve(texts.size() + source.memberCount_);
  sharedPrefix_ = source.sharedPrefix_;
  for (std::uint32_t c = 0; c < source.chunkCount_; ++c) {
    const MemberChunk* from = source.slots_[c].chunk;
    MemberChunk* chunk = NewChunk(from->sizeClass);
    chunk->prefixLength = from->prefixLength;
    std::memcpy(chunk->keys(), from->keys(), from->count * sizeof(std::uint64_t));
    InsertChunk(chunkCount_, chunk, source.slots_[c].firstKey);
    for (std::uint16_t i = 0; i < from->count; ++i) {
      const MemberEntry& entry = from->entries()[i];
      InternedText* name = entry.name;
      if (sameStorage)
        InternTable::AddReference(name);
      else
        name = texts.Intern(name->view(), name->hash);
      BindingProperty* value = NewValue();
      chunk->entries()[i] = {name, value};
      chunk->count = static_cast<std::uint16_t>(i + 1);
      ++memberCount_;
      value->CopyContentsFrom(*entry.value);
    }
  }
}

// The names arrive sorted, so every chunk is filled in order and each prefix is what the chunk's
// first and last names share.
void MemberMap::AssignSorted(std::span<const BindingMemberSource> members) {
  const std::size_t count = members.size();
  if (count == 0)
    return;
  InternTable& texts = storage_->texts();
  sharedPrefix_ = ClampLength(SharedPrefix(members.front().name, members.back().name));
  const std::uint8_t sizeClass =
      count < kClassForCount.size() ? kClassForCount[count] : kLargeClass;
  for (std::size_t first = 0; first < count;) {
    MemberChunk* chunk = NewChunk(sizeClass);
    const std::size_t taken = std::min<std::size_t>(chunk->capacity, count - first);
    const std::span<const BindingMemberSource> run = members.subspan(first, taken);
    chunk->prefixLength = taken == count
                              ? sharedPrefix_
                              : ClampLength(SharedPrefix(run.front().name, run.back().name));
    std::uint64_t* keys = chunk->keys();
    MemberEntry* entries = chunk->entries();
    for (std::size_t i = 0; i < taken; ++i) {
      keys[i] = NameKey(run[i].name, chunk->prefixLength);
      entries[i] = {texts.InternShapeName(run[i].name, count, first + i), NewValue()};
      entries[i].value->TakeMember(*run[i].value);
    }
    chunk->count = static_cast<std::uint16_t>(taken);
    memberCount_ += static_cast<std::uint32_t>(taken);
    InsertChunk(chunkCount_, chunk, KeyOf(run.front().name));
    first += taken;
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
  chunk->capacity = kMemberChunkCapacities[sizeClass];
  chunk->sizeClass = sizeClass;
  chunk->prefixLength = 0;
  return chunk;
}

void MemberMap::FreeChunk(MemberChunk* chunk) {
  storage_->Free(ChunkBlock(chunk->sizeClass), chunk);
}

// A new first or last name of the map may share less of the map's prefix (`shared` bytes with the
// name it goes beside): then every slot's key is taken again.
void MemberMap::NarrowSharedPrefix(std::size_t shared) {
  if (shared >= sharedPrefix_)
    return;
  sharedPrefix_ = static_cast<std::uint32_t>(shared);
  for (std::uint32_t c = 0; c < chunkCount_; ++c)
    slots_[c].firstKey = KeyOf(FirstName(c));
}

void MemberMap::NoteEntry(std::uint32_t chunk, std::uint32_t index, std::string_view name) {
  if (index == 0)
    slots_[chunk].firstKey = KeyOf(name);
}

// Puts an entry at `index` of a chunk with room, narrowing the chunk's prefix when a new first or
// last name shares less of it (then every key of the chunk is taken again). `sharedWithNeighbour`
// is what the name shares with the chunk's name beside it, when the caller knows it.
void MemberMap::PlaceEntry(MemberChunk* chunk, std::uint32_t index, MemberEntry entry,
                           std::size_t sharedWithNeighbour) {
  const std::string_view name = entry.name->view();
  MemberEntry* entries = chunk->entries();
  std::uint64_t* keys = chunk->keys();
  if (chunk->count == 0) {
    chunk->prefixLength = ClampLength(name.size());
  } else if (index == 0 || index == chunk->count) {
    const std::size_t shared =
        sharedWithNeighbour != kUnknownShare
            ? sharedWithNeighbour
            : SharedPrefix(name, NameOf(entries[index == 0 ? 0 : chunk->count - 1]));
    if (shared < chunk->prefixLength) {
      chunk->prefixLength = static_cast<std::uint32_t>(shared);
      for (std::uint16_t i = 0; i < chunk->count; ++i)
        keys[i] = NameKey(NameOf(entries[i]), shared);
    }
  }
  const std::size_t moved = chunk->count - index;
  if (moved != 0) {  // appending, as members given in name order are, moves nothing
    std::memmove(keys + index + 1, keys + index, moved * sizeof(std::uint64_t));
    std::memmove(entries + index + 1, entries + index, moved * sizeof(MemberEntry));
  }
  keys[index] = NameKey(name, chunk->prefixLength);
  entries[index] = entry;
  ++chunk->count;
}

BindingProperty& MemberMap::Append(InternedText* name, std::size_t sharedWithLast) {
  const std::string_view text = name->view();
  if (memberCount_ == 0)
    sharedPrefix_ = ClampLength(text.size());
  else
    NarrowSharedPrefix(sharedWithLast);
  BindingProperty* value = NewValue();
  MemberChunk* chunk = chunkCount_ == 0 ? nullptr : slots_[chunkCount_ - 1].chunk;
  if (chunk == nullptr) {
    chunk = NewChunk(0);
    InsertChunk(0, chunk, 0);
  } else if (chunk->count == chunk->capacity) {
    if (chunkCount_ == 1 && chunk->sizeClass < kLargeClass) {
      chunk = GrowLoneChunk();
    } else {
      chunk = NewChunk(kLargeClass);
      InsertChunk(chunkCount_, chunk, 0);
    }
  }
  const std::uint32_t index = chunk->count;
  PlaceEntry(chunk, index, {name, value}, sharedWithLast);
  NoteEntry(chunkCount_ - 1, index, text);
  ++memberCount_;
  return *value;
}

// Inserts inside the map's range (names beyond its last one go through Append).
void MemberMap::InsertAt(Position position, MemberEntry entry) {
  const std::string_view name = entry.name->view();
  std::size_t sharedWithNeighbour = kUnknownShare;
  if (position.chunk == 0 && position.index == 0) {
    sharedWithNeighbour = SharedPrefix(name, FirstName(0));
    NarrowSharedPrefix(sharedWithNeighbour);
  }
  std::uint32_t chunkIndex = position.chunk;
  std::uint32_t index = position.index;
  MemberChunk* chunk = slots_[chunkIndex].chunk;
  if (chunk->count == chunk->capacity) {
    if (chunkCount_ == 1 && chunk->sizeClass < kLargeClass) {
      chunk = GrowLoneChunk();
    } else {
      MemberChunk* upper = SplitChunk(chunkIndex);
      if (index > chunk->count) {
        index -= chunk->count;
        chunk = upper;
        ++chunkIndex;
      }
    }
  }
  PlaceEntry(chunk, index, entry, sharedWithNeighbour);
  NoteEntry(chunkIndex, index, name);
  ++memberCount_;
}

// Moves the upper half of a full chunk into a new chunk placed after it; returns the new one.
// Both halves keep the prefix: their names still share it.
MemberChunk* MemberMap::SplitChunk(std::uint32_t at) {
  MemberChunk* lower = slots_[at].chunk;
  MemberChunk* upper = NewChunk(kLargeClass);
  const std::uint16_t half = lower->count / 2;
  upper->count = static_cast<std::uint16_t>(lower->count - half);
  upper->prefixLength = lower->prefixLength;
  std::memcpy(upper->keys(), lower->keys() + half, upper->count * sizeof(std::uint64_t));
  std::memcpy(upper->entries(), lower->entries() + half, upper->count * sizeof(MemberEntry));
  lower->count = half;
  InsertChunk(at + 1, upper, KeyOf(NameOf(upper->entries()[0])));
  return upper;
}

MemberChunk* MemberMap::GrowLoneChunk() {
  MemberChunk* lone = slots_[0].chunk;
  MemberChunk* grown = NewChunk(static_cast<std::uint8_t>(lone->sizeClass + 1));
  grown->count = lone->count;
  grown->prefixLength = lone->prefixLength;
  std::memcpy(grown->keys(), lone->keys(), lone->count * sizeof(std::uint64_t));
  std::memcpy(grown->entries(), lone->entries(), lone->count * sizeof(MemberEntry));
  FreeChunk(lone);
  slots_[0].chunk = grown;
  return grown;
}

void MemberMap::InsertChunk(std::uint32_t at, MemberChunk* chunk, std::uint64_t firstKey) {
  if (chunkCount_ == chunkCapacity_) {
    const std::uint32_t capacity = chunkCapacity_ < 8 ? 8 : chunkCapacity_ * 2;
    const bool lone = slots_ == &loneSlot_;
    void* grown =
        storage_->ReallocateHeap(lone ? nullptr : slots_, capacity * sizeof(MemberChunkSlot));
    if (lone)
      std::memcpy(grown, &loneSlot_, sizeof(MemberChunkSlot));
    slots_ = static_cast<MemberChunkSlot*>(grown);
    chunkCapacity_ = capacity;
  }
  if (at != chunkCount_)  // appending, as every first chunk is, moves nothing
    std::memmove(slots_ + at + 1, slots_ + at, (chunkCount_ - at) * sizeof(MemberChunkSlot));
  slots_[at] = {chunk, firstKey};
  ++chunkCount_;
}

}  // namespace Zorv
