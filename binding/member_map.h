// MemberMap: the block of a "structure" value, its members ordered by the byte-wise (unsigned
// char) order of their names. Each member (name and value) is a cell of its own, so a reference to
// the value survives later insertions. The order is kept in chunks of cell pointers, a one-level
// B-tree: a lookup is a binary search over the chunks' first names, then within one chunk, and an
// insertion moves at most one chunk's pointers. A lone chunk grows through twelve sizes (2 to 84
// members) before chunks split; a map built from sorted members in one go, or reserved for a known
// count, takes the smallest size that holds them.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <span>
#include <string_view>
#include <type_traits>

#include "binding/storage/interned_text.h"

namespace Zorv {

class BindingProperty;
class BindingStorage;
struct BindingMemberShape;
struct BindingMemberSource;
struct MemberCell;

// A run of members in name order: `capacity` cell pointers follow the header.
struct alignas(8) MemberChunk {
  std::uint16_t count;
  std::uint16_t capacity;
  std::uint8_t sizeClass;

  MemberCell** cells() { return reinterpret_cast<MemberCell**>(this + 1); }
  MemberCell* const* cells() const { return reinterpret_cast<MemberCell* const*>(this + 1); }
};
static_assert(sizeof(MemberChunk) == 8);

// The capacities of the chunk sizes, smallest first, and the bytes of a chunk of `capacity`
// members.
inline constexpr std::uint16_t kMemberChunkCapacities[] = {2,  4,  8,  12, 16, 20,
                                                           24, 32, 40, 48, 64, 84};
constexpr std::size_t MemberChunkBytes(std::size_t capacity) {
  return sizeof(MemberChunk) + capacity * sizeof(MemberCell*);
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

// A chunk of the map; the chunk-level search reads the first name of each.
struct MemberChunkSlot {
  MemberChunk* chunk;
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
    // The cell type depends on Value, so that MemberCell need only be complete where used.
    using Cell = std::conditional_t<std::is_const_v<Value>, const MemberCell, MemberCell>;
    Cell& cell = *slot_->chunk->cells()[index_];
    return {cell.name->view(), cell.value};
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
  // Inserts a member whose name sorts after every present one (no search, no order check); the
  // name is interned through the shape of its record.
  BindingProperty& AppendInOrder(std::string_view name, const BindingMemberShape& shape);
  // Rebuilds the members of `source`, in order, into this empty map.
  void CopyFrom(const MemberMap& source);
  // Fills this empty map with members whose names are in strictly ascending byte order, moving
  // each value in.
  void AssignSorted(std::span<const BindingMemberSource> members);
  // Readies this empty map for `count` members, so that as many appended in name order take one
  // chunk of the right size instead of growing through the smaller ones.
  void Reserve(std::size_t count);

  const MemberChunkSlot* slotsBegin() const { return slots_; }
  // A reserved map's lone chunk may still be empty: then there is nothing to walk.
  const MemberChunkSlot* slotsEnd() const { return slots_ + (memberCount_ != 0 ? chunkCount_ : 0); }

 private:
  struct Position {
    std::uint32_t chunk;
    std::uint32_t index;
    bool found;
  };

  explicit MemberMap(BindingStorage& storage)
      : storage_(&storage), slots_(&loneSlot_), loneSlot_{nullptr} {}

  std::string_view FirstName(std::uint32_t chunk) const;
  Position Locate(std::string_view name) const;
  std::uint32_t LocateChunk(std::string_view name) const;
  MemberCell* NewCell(InternedText* name);
  MemberChunk* NewChunk(std::uint8_t sizeClass);
  void FreeChunk(MemberChunk* chunk);
  // Appends a member whose name sorts after every present one; takes over a reference of the name.
  BindingProperty& Append(InternedText* name);
  void InsertAt(Position position, MemberCell* cell);
  static void PlaceCell(MemberChunk* chunk, std::uint32_t index, MemberCell* cell);
  void InsertChunk(std::uint32_t at, MemberChunk* chunk);
  MemberChunk* GrowLoneChunk();
  MemberChunk* SplitChunk(std::uint32_t at);

  BindingStorage* storage_;  // back pointer: the storage the map's blocks come from
  MemberChunkSlot* slots_;   // &loneSlot_ until a second chunk is needed, then a heap array
                             // of at least 8 slots, doubled whenever full
  MemberChunkSlot loneSlot_;
  std::uint32_t chunkCount_ = 0;
  std::uint32_t memberCount_ = 0;
};

}  // namespace Zorv
