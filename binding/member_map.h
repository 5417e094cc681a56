// MemberMap: the block of a "structure" value, its members ordered by the byte-wise (unsigned
// char) order of their names. Each member's value is a block of its own, so a reference to it
// survives later insertions. The order is kept in chunks of (name, value pointer) entries, a
// one-level B-tree: a lookup is a binary search over the chunks' first names, then within one
// chunk, and an insertion moves at most one chunk's entries. A lone chunk grows through twelve
// sizes (2 to 84 members) before chunks split; a map built from sorted members in one go takes the
// smallest size that holds them.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <span>
#include <string_view>

#include "binding/storage/interned_text.h"

namespace Zorv {

class BindingProperty;
class BindingStorage;
struct BindingMemberSource;

struct MemberEntry {
  InternedText* name;
  BindingProperty* value;
};

// A run of members in name order. All names of a chunk share their first prefixLength bytes, and
// keys[i] holds the 8 bytes of name i that follow (big-endian, zero-padded), so a search inside
// a chunk compares numbers and reads a name only when two keys are equal.
struct alignas(8) MemberChunk {
  std::uint16_t count;
  std::uint16_t capacity;
  std::uint8_t sizeClass;
  std::uint32_t prefixLength;
  // `capacity` keys follow the header, then `capacity` entries.

  std::uint64_t* keys() { return reinterpret_cast<std::uint64_t*>(this + 1); }
  const std::uint64_t* keys() const { return reinterpret_cast<const std::uint64_t*>(this + 1); }
  MemberEntry* entries() { return reinterpret_cast<MemberEntry*>(keys() + capacity); }
  const MemberEntry* entries() const {
    return reinterpret_cast<const MemberEntry*>(keys() + capacity);
  }
};
static_assert(sizeof(MemberChunk) == 16);

// The capacities of the chunk sizes, smallest first, and the bytes of a chunk of `capacity`
// members: header, keys and entries.
inline constexpr std::uint16_t kMemberChunkCapacities[] = {2,  4,  8,  12, 16, 20,
                                                           24, 32, 40, 48, 64, 84};
constexpr std::size_t MemberChunkBytes(std::size_t capacity) {
  return sizeof(MemberChunk) + capacity * (sizeof(std::uint64_t) + sizeof(MemberEntry));
}

// The first 8 bytes of `name`, big-endian and zero-padded, so that keys order as names do. Short
// names are read with overlapping loads, never beyond their end.
inline std::uint64_t NamePrefixKey(std::string_view name) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(name.data());
  const std::size_t size = name.size();
  if (size >= 8) {
    std::uint64_t word;
    std::memcpy(&word, bytes, 8);
    return std::endian::native == std::endian::little ? __builtin_bswap64(word) : word;
  }
  if (size >= 4) {
    std::uint32_t first;
    std::uint32_t last;
    std::memcpy(&first, bytes, 4);
    std::memcpy(&last, bytes + size - 4, 4);
    if constexpr (std::endian::native == std::endian::little) {
      first = __builtin_bswap32(first);
      last = __builtin_bswap32(last);
    }
    return (std::uint64_t{first} << 32) | (std::uint64_t{last} << (64 - 8 * size));
  }
  if (size == 0)
    return 0;
  return (std::uint64_t{bytes[0]} << 56) |
         (std::uint64_t{bytes[size / 2]} << (56 - 8 * (size / 2))) |
         (std::uint64_t{bytes[size - 1]} << (64 - 8 * size));
}

// A chunk and the key of its first name, taken after the prefix that every name of the map
// shares; the chunk-level search reads only these slots.
struct MemberChunkSlot {
  MemberChunk* chunk;
  std::uint64_t firstKey;
};

// One member as iteration yields it; `Value` is BindingProperty or const BindingProperty.
template <typename Value>
struct BindingMemberView {
  std::string_view name;
  Value& value;
};

template <typename Value>
class BindingMemberIterator {
 public:
  using value_type = BindingMemberView<Value>;
  using difference_type = std::ptrdiff_t;
  using iterator_category = std::input_iterator_tag;

  BindingMemberIterator() = default;
  explicit BindingMemberIterator(const MemberChunkSlot* slot) : slot_(slot) {}

  BindingMemberView<Value> operator*() const {
    const MemberEntry& entry = slot_->chunk->entries()[index_];
    return {entry.name->view(), *entry.value};
  }
  BindingMemberIterator& operator++() {
    if (++index_ == slot_->chunk->count) {
      ++slot_;
      index_ = 0;
    }
    return *this;
  }
  BindingMemberIterator operator++(int) {
    BindingMemberIterator before = *this;
    ++*this;
    return before;
  }
  bool operator==(const BindingMemberIterator& other) const {
    return slot_ == other.slot_ && index_ == other.index_;
  }

 private:
  const MemberChunkSlot* slot_ = nullptr;
  std::size_t index_ = 0;
};

template <typename Value>
class BindingMemberRange {
 public:
  BindingMemberRange() = default;
  BindingMemberRange(const MemberChunkSlot* first, const MemberChunkSlot* last)
      : first_(first), last_(last) {}

  BindingMemberIterator<Value> begin() const { return BindingMemberIterator<Value>(first_); }
  BindingMemberIterator<Value> end() const { return BindingMemberIterator<Value>(last_); }
  bool empty() const { return first_ == last_; }

 private:
  const MemberChunkSlot* first_ = nullptr;
  const MemberChunkSlot* last_ = nullptr;
};

class MemberMap {
 public:
  static MemberMap* Create(BindingStorage& storage);
  // Releases every member, block by block, then the map itself.
  void Destroy() noexcept;

  std::size_t size() const { return memberCount_; }
  BindingProperty* Find(std::string_view name) const;
  // The member of that name, inserted as "empty" (name interned) when absent.
  BindingProperty& FindOrInsert(std::string_view name);
  // Rebuilds the members of `source`, in order, into this empty map.
  void CopyFrom(const MemberMap& source);
  // Fills this empty map with members whose names are in strictly ascending byte order, moving
  // each value in.
  void AssignSorted(std::span<const BindingMemberSource> members);

  const MemberChunkSlot* slotsBegin() const { return slots_; }
  const MemberChunkSlot* slotsEnd() const { return slots_ + chunkCount_; }

 private:
  struct Position {
    std::uint32_t chunk;
    std::uint32_t index;
    bool found;
  };

  explicit MemberMap(BindingStorage& storage)
      : storage_(&storage), slots_(&loneSlot_), loneSlot_{nullptr, 0} {}

  std::string_view FirstName(std::uint32_t chunk) const;
  std::uint64_t KeyOf(std::string_view name) const;
  void NarrowSharedPrefix(std::size_t shared);
  void NoteEntry(std::uint32_t chunk, std::uint32_t index, std::string_view name);

  Position Locate(std::string_view name) const;
  std::uint32_t LocateChunk(std::string_view name) const;
  BindingProperty* NewValue();
  MemberChunk* NewChunk(std::uint8_t sizeClass);
  void FreeChunk(MemberChunk* chunk);
  // Appends a member whose name sorts after every present one, sharing `sharedWithLast` bytes
  // with the last one; takes over a reference of the name.
  BindingProperty& Append(InternedText* name, std::size_t sharedWithLast);
  void InsertAt(Position position, MemberEntry entry);
  static void PlaceEntry(MemberChunk* chunk, std::uint32_t index, MemberEntry entry,
                         std::size_t sharedWithNeighbour);
  void InsertChunk(std::uint32_t at, MemberChunk* chunk, std::uint64_t firstKey);
  MemberChunk* GrowLoneChunk();
  MemberChunk* SplitChunk(std::uint32_t at);

  BindingStorage* storage_;  // back pointer: the storage the map's blocks come from
  MemberChunkSlot* slots_;   // &loneSlot_ until a second chunk is needed
  MemberChunkSlot loneSlot_;
  std::uint32_t chunkCount_ = 0;
  std::uint32_t chunkCapacity_ = 1;
  std::uint32_t memberCount_ = 0;
  std::uint32_t sharedPrefix_ = 0;  // every name of the map starts with the same this many bytes
};

}  // namespace Zorv
