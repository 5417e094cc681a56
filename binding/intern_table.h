// InternTable: the strings of one storage, each stored once and shared by reference count. A hash
// set keyed by FNV-1a, starting with 8 buckets and doubling whenever it holds more cells than
// buckets. The empty string is never stored: it is the shared, uncounted InternedText::Empty().
// Short cells come from size-class slab pools, long ones from the counting allocator. Once the
// table holds kCellsBeforeRecent cells, a small direct-mapped cache of recently interned member
// names, chosen by a hash of a few words, answers the names a document repeats without computing
// FNV-1a over the whole text; a small table does without it and its memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "binding/interned_text.h"
#include "binding/slab_pool.h"

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
  static constexpr std::size_t kCellClasses = 4;
  static constexpr std::size_t kLargeCell = kCellClasses;

  static std::size_t CellClass(std::size_t length);
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
  SlabPool cellPools_[kCellClasses];
};

}  // namespace Zorv
