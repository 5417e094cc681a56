// MemberMap: the block of a "structure" value, its members ordered by the byte-wise (unsigned
// char) order of their names. Each member's value is a block of its own, so a reference to it
// survives later insertions. The order is kept in chunks of (name, value pointer) entries, a
// one-level B-tree: a lookup is a binary search over the chunks' first names, then within one
// chunk, and an insertion moves at most one chunk's entries. A lone chunk grows through three
// sizes before chunks split.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string_view>

#include "binding/binding_property.h"
#include "binding/interned_text.h"

namespace Zorv {

struct MemberEntry {
  InternedText* name;
  BindingProperty* value;
};

struct alignas(8) MemberChunk {
  std::uint16_t count;
  std::uint16_t capacity;
  std::uint8_t sizeClass;
  // `capacity` entries follow the header.

  MemberEntry* entries() { return reinterpret_cast<MemberEntry*>(this + 1); }
  const MemberEntry* entries() const { return reinterpret_cast<const MemberEntry*>(this + 1); }
};
static_assert(sizeof(MemberChunk) == 8);

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
  explicit BindingMemberIterator(MemberChunk* const* chunk) : chunk_(chunk) {}

  BindingMemberView<Value> operator*() const {
    const MemberEntry& entry = (*chunk_)->entries()[index_];
    return {entry.name->view(), *entry.value};
  }
  BindingMemberIterator& operator++() {
    if (++index_ == (*chunk_)->count) {
      ++chunk_;
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
    return chunk_ == other.chunk_ && index_ == other.index_;
  }

 private:
  MemberChunk* const* chunk_ = nullptr;
  std::size_t index_ = 0;
};

template <typename Value>
class BindingMemberRange {
 public:
  BindingMemberRange() = default;
  BindingMemberRange(MemberChunk* const* first, MemberChunk* const* last)
      : first_(first), last_(last) {}

  BindingMemberIterator<Value> begin() const { return BindingMemberIterator<Value>(first_); }
  BindingMemberIterator<Value> end() const { return BindingMemberIterator<Value>(last_); }
  bool empty() const { return first_ == last_; }

 private:
  MemberChunk* const* first_ = nullptr;
  MemberChunk* const* last_ = nullptr;
};

class MemberMap {
 public:
  static MemberMap* Create(BindingStorage& storage);
  // Releases every member, block by block, then the map itself.
  void Destroy() noexcept;
  // Frees only what the pools do not hold, just before the whole storage is reset.
  void ReleaseHeapParts() noexcept;

  std::size_t size() const { return memberCount_; }
  BindingProperty* Find(std::string_view name) const;
  // The member of that name, inserted as "empty" (name interned) when absent.
  BindingProperty& FindOrInsert(std::string_view name);
  // Rebuilds the members of `source`, in order, into this empty map.
  void CopyFrom(const MemberMap& source);

  MemberChunk* const* chunksBegin() const { return chunks_; }
  MemberChunk* const* chunksEnd() const { return chunks_ + chunkCount_; }

 private:
  struct Position {
    std::uint32_t chunk;
    std::uint32_t index;
    bool found;
  };

  explicit MemberMap(BindingStorage& storage)
      : storage_(&storage), chunks_(&loneChunk_), loneChunk_(nullptr) {}

  Position Locate(std::string_view name) const;
  BindingProperty* NewValue();
  MemberChunk* NewChunk(std::uint8_t sizeClass);
  void FreeChunk(MemberChunk* chunk);
  // Appends a member whose name sorts after every present one; takes over a reference of it.
  BindingProperty& Append(InternedText* name);
  void InsertAt(Position position, MemberEntry entry);
  void InsertChunk(std::uint32_t at, MemberChunk* chunk);
  MemberChunk* GrowLoneChunk();
  MemberChunk* SplitChunk(std::uint32_t at);

  BindingStorage* storage_;  // back pointer: the storage the map's blocks come from
  MemberChunk** chunks_;     // &loneChunk_ until a second chunk is needed
  MemberChunk* loneChunk_;
  std::uint32_t chunkCount_ = 0;
  std::uint32_t chunkCapacity_ = 1;
  std::uint32_t memberCount_ = 0;
};

inline BindingMemberRange<BindingProperty> BindingProperty::Members() {
  if (kind_ != BindingPropertyKind::kStructure)
    return {};
  return {payload_.structure->chunksBegin(), payload_.structure->chunksEnd()};
}

inline BindingMemberRange<const BindingProperty> BindingProperty::Members() const {
  if (kind_ != BindingPropertyKind::kStructure)
    return {};
  return {payload_.structure->chunksBegin(), payload_.structure->chunksEnd()};
}

}  // namespace Zorv
