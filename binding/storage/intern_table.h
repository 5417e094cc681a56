// InternTable: the strings of one storage, each stored once and shared by reference count. A hash
// set keyed by FNV-1a, starting with 8 buckets and doubling whenever it holds more cells than
// buckets. The empty string is never stored: it is the shared, uncounted InternedText::Empty().
// Short cells come from size-class slab pools, long ones from the counting allocator. Once the
// table holds kCellsBeforeRecent cells, a small direct-mapped cache of recently interned member
// names, chosen by a hash of a few words, answers the names a document repeats without computing
// FNV-1a over the whole text; a small table does without it and its memory. With it comes a cache
// of object shapes: the names of the last object placed whole with each member count, which the
// next object of that count usually repeats name for name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "binding/storage/interned_text.h"
#include "binding/storage/slab_pool.h"

namespace Zorv {

class InternTable {
 public:
  static constexpr std::size_t kInitialBuckets = 8;
  static constexpr std::size_t kRecentBits = 7;
  static constexpr std::size_t kRecentCells = std::size_t{2} << kRecentBits;
  static constexpr std::size_t kCellsBeforeRecent = 64;

  // Short cells come from `arena` first when one is given (see SmallArena).
  explicit InternTable(SmallArena* arena = nullptr);
  ~InternTable();
  InternTable(const InternTable&) = delete;
  InternTable& operator=(const InternTable&) = delete;

  // The cell of `text` with one more reference (a new cell with one reference if it was absent).
  InternedText* Intern(std::string_view text);
  // The same for a member name: names repeat far more than values do, so they go through the
  // cache of recent cells, which values would only crowd out.
  InternedText* InternName(std::string_view text);
  // The same for the name at `position` of an object of `count` members placed whole (its names
  // in order): compared first with the name at that position of the last such object.
  InternedText* InternShapeName(std::string_view text, std::size_t count, std::size_t position) {
    if (shapes_ != nullptr && position < kShapeNames) {
      Shape& shape = shapes_[count & (kShapes - 1)];
      InternedText* known = shape.names[position];
      if (shape.count == count && shape.removals == removals_ && known != nullptr &&
          known->length == text.size() && SameText(known->data(), text.data(), text.size())) {
        ++known->references;
        return known;
      }
    }
    return InternShapeNameSlow(text, count, position);
  }
  // The same, for a text whose FNV-1a hash is known (a cell of another table).
  InternedText* Intern(std::string_view text, std::uint32_t hash);
  // Grows the buckets ahead of `cells` cells, so that a bulk copy does not rehash repeatedly.
  void Reserve(std::size_t cells);

  static void AddReference(InternedText* cell) {
    if (cell->length != 0)
      ++cell->references;
  }

  // Drops one reference; the cell leaves the table at zero.
  void Release(InternedText* cell) {
    if (cell->length != 0 && --cell->references == 0)
      Remove(cell);
  }

  // Forgets every cell at once; slab pages go to `pages` for the caller to hand back.
  void Reset(PageChain& pages);

  // The cell of `text`, or null; takes no reference.
  const InternedText* Find(std::string_view text) const;
  std::size_t size() const { return count_; }
  std::size_t bucketCount() const { return bucketCount_; }

 private:
  static constexpr std::size_t kShapes = 8;
  static constexpr std::size_t kShapeNames = 16;
  // The names of the last object of `count` members placed whole; valid while no cell has left
  // the table since (`removals` still matches), as none of them can have been freed.
  struct Shape {
    std::size_t count;
    std::size_t removals;
    InternedText* names[kShapeNames];
  };
  static constexpr std::size_t kCellClasses = 4;
  static constexpr std::size_t kLargeCell = kCellClasses;

  static std::size_t CellClass(std::size_t length);
  // Whether two texts of `size` bytes are equal; up to sixteen bytes compare as two overlapping
  // loads of each, one branch on the size first.
  static bool SameText(const char* a, const char* b, std::size_t size) {
    if (size >= 8) {
      if (size > 16)
        return std::memcmp(a, b, size) == 0;
      return Load<std::uint64_t>(a) == Load<std::uint64_t>(b) &&
             Load<std::uint64_t>(a + size - 8) == Load<std::uint64_t>(b + size - 8);
    }
    if (size >= 4) {
      return Load<std::uint32_t>(a) == Load<std::uint32_t>(b) &&
             Load<std::uint32_t>(a + size - 4) == Load<std::uint32_t>(b + size - 4);
    }
    return size == 0 || (a[0] == b[0] && a[size / 2] == b[size / 2] && a[size - 1] == b[size - 1]);
  }
  template <typename Word>
  static Word Load(const char* bytes) {
    Word word;
    std::memcpy(&word, bytes, sizeof(word));
    return word;
  }
  InternedText* InternShapeNameSlow(std::string_view text, std::size_t count, std::size_t position);
  static std::size_t RecentSlot(std::string_view text);
  InternedText* NewCell(std::string_view text, std::uint32_t hash);
  void FreeCell(InternedText* cell);
  void Remove(InternedText* cell);
  void Rehash(std::size_t bucketCount);
  void ForgetBuckets();
  void StartRecent();

  InternedText** buckets_;
  std::size_t bucketCount_ = kInitialBuckets;
  std::size_t count_ = 0;
  std::size_t largeCells_ = 0;
  InternedText* inlineBuckets_[kInitialBuckets] = {};
  InternedText** recent_ = nullptr;  // kRecentCells cells, two ways per slot, once started
  Shape* shapes_ = nullptr;          // kShapes shapes, started with recent_
  std::size_t removals_ = 0;         // cells that have left the table
  SlabPool cellPools_[kCellClasses];
};

}  // namespace Zorv
