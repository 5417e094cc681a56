#include "binding/storage/intern_table.h"

#include <cstring>

#include "foundation/allocation_counters.h"
#include "foundation/fatal_error.h"
#include "foundation/fnv1a.h"

namespace Zorv {
namespace {

constexpr std::size_t kCellBytes[] = {32, 64, 128, 256};

void* AllocateOrFail(std::size_t bytes) {
  void* block = dul::CountingAllocate(bytes);
  if (block == nullptr)
    dul::FatalError("block != nullptr", "Out of memory for binding strings", __FILE__, __LINE__,
                    __func__);
  return block;
}

// Up to eight bytes of a text as one word, read with overlapping loads so that no byte outside
// the text is touched; every byte of a text of up to eight bytes takes part.
std::uint64_t WordOf(const char* text, std::size_t size) {
  std::uint64_t word = 0;
  if (size >= 8) {
    std::memcpy(&word, text, 8);
  } else if (size >= 4) {
    std::uint32_t head;
    std::uint32_t tail;
    std::memcpy(&head, text, 4);
    std::memcpy(&tail, text + size - 4, 4);
    word = (std::uint64_t{tail} << 32) | head;
  } else if (size != 0) {
    word = static_cast<unsigned char>(text[0]) |
           (std::uint64_t{static_cast<unsigned char>(text[size / 2])} << 8) |
           (std::uint64_t{static_cast<unsigned char>(text[size - 1])} << 16);
  }
  return word;
}

}  // namespace

InternTable::InternTable(SmallArena* arena)
    : buckets_(inlineBuckets_),
      cellPools_{SlabPool(kCellBytes[0]), SlabPool(kCellBytes[1]), SlabPool(kCellBytes[2]),
                 SlabPool(kCellBytes[3])} {
  for (SlabPool& pool : cellPools_)
    pool.ShareArena(arena);
}

InternTable::~InternTable() {
  PageChain pages;
  Reset(pages);
  PageSource::Instance().ReturnPages(pages);
}

std::size_t InternTable::CellClass(std::size_t length) {
  const std::size_t bytes = sizeof(InternedText) + length + 1;
  for (std::size_t cellClass = 0; cellClass < kCellClasses; ++cellClass) {
    if (bytes <= kCellBytes[cellClass])
      return cellClass;
  }
  return kLargeCell;
}

// The length and the first and last eight bytes, mixed; a slot only has to be a good guess.
std::size_t InternTable::RecentSlot(std::string_view text) {
  const std::size_t size = text.size();
  const std::uint64_t head = WordOf(text.data(), size);
  const std::uint64_t tail = size > 8 ? WordOf(text.data() + size - 8, 8) : 0;
  const std::uint64_t mixed =
      (head * 0x9E3779B97F4A7C15u) ^ (tail * 0xC2B2AE3D27D4EB4Fu) ^ (size * 0x165667B1u);
  return static_cast<std::size_t>(mixed >> (64 - kRecentBits));
}

InternedText* InternTable::Intern(std::string_view text) {
  return Intern(text, dul::Fnv1a(text));
}

InternedText* InternTable::InternName(std::string_view text) {
  if (text.empty())
    return InternedText::Empty();
  if (recent_ == nullptr) {
    if (count_ < kCellsBeforeRecent)
      return Intern(text, dul::Fnv1a(text));
    StartRecent();
  }
  // Two ways per slot: a new cell goes first and the one it displaces second.
  InternedText** ways = &recent_[RecentSlot(text) * 2];
  for (int way = 0; way < 2; ++way) {
    InternedText* recent = ways[way];
    if (recent != nullptr && recent->length == text.size() &&
        SameText(recent->data(), text.data(), text.size())) {
      ++recent->references;
      return recent;
    }
  }
  ways[1] = ways[0];
  ways[0] = Intern(text, dul::Fnv1a(text));
  return ways[0];
}

InternedText* InternTable::InternShapeNameSlow(std::string_view text, std::size_t count,
                                               std::size_t position) {
  InternedText* cell = InternName(text);
  if (shapes_ == nullptr || position >= kShapeNames || cell->length == 0)
    return cell;
  Shape& shape = shapes_[count & (kShapes - 1)];
  if (shape.count != count || shape.removals != removals_) {
    shape.count = count;
    shape.removals = removals_;
    std::memset(shape.names, 0, sizeof(shape.names));
  }
  shape.names[position] = cell;
  return cell;
}

InternedText* InternTable::Intern(std::string_view text, std::uint32_t hash) {
  if (text.empty())
    return InternedText::Empty();
  for (InternedText* cell = buckets_[hash & (bucketCount_ - 1)]; cell != nullptr;
       cell = cell->next) {
    if (cell->hash == hash && cell->view() == text) {
      ++cell->references;
      return cell;
    }
  }
  InternedText* cell = NewCell(text, hash);
  InternedText*& bucket = buckets_[hash & (bucketCount_ - 1)];
  cell->next = bucket;
  bucket = cell;
  if (++count_ > bucketCount_)
    Rehash(bucketCount_ * 2);
  return cell;
}

const InternedText* InternTable::Find(std::string_view text) const {
  if (text.empty())
    return InternedText::Empty();
  const std::uint32_t hash = dul::Fnv1a(text);
  for (const InternedText* cell = buckets_[hash & (bucketCount_ - 1)]; cell != nullptr;
       cell = cell->next) {
    if (cell->hash == hash && cell->view() == text)
      return cell;
  }
  return nullptr;
}

InternedText* InternTable::NewCell(std::string_view text, std::uint32_t hash) {
  const std::size_t cellClass = CellClass(text.size());
  void* block;
  if (cellClass == kLargeCell) {
    if (text.size() > SIZE_MAX - sizeof(InternedText) - 1)
      dul::FatalError("length", "Binding string too long", __FILE__, __LINE__, __func__);
    block = AllocateOrFail(sizeof(InternedText) + text.size() + 1);
    ++largeCells_;
  } else {
    block = cellPools_[cellClass].Allocate();
  }
  auto* cell = static_cast<InternedText*>(block);
  cell->next = nullptr;
  cell->hash = hash;
  cell->references = 1;
  cell->length = text.size();
  auto* bytes = reinterpret_cast<char*>(cell + 1);
  std::memcpy(bytes, text.data(), text.size());
  bytes[text.size()] = '\0';
  return cell;
}

void InternTable::FreeCell(InternedText* cell) {
  const std::size_t cellClass = CellClass(cell->length);
  if (cellClass == kLargeCell) {
    dul::CountingFree(cell);
    --largeCells_;
  } else {
    cellPools_[cellClass].Free(cell);
  }
}

void InternTable::Remove(InternedText* cell) {
  InternedText** link = &buckets_[cell->hash & (bucketCount_ - 1)];
  while (*link != cell)
    link = &(*link)->next;
  *link = cell->next;
  ++removals_;
  if (recent_ != nullptr) {
    InternedText** ways = &recent_[RecentSlot(cell->view()) * 2];
    for (int way = 0; way < 2; ++way) {
      if (ways[way] == cell)
        ways[way] = nullptr;
    }
  }
  FreeCell(cell);
  if (--count_ == 0)
    ForgetBuckets();
}

void InternTable::Reserve(std::size_t cells) {
  std::size_t buckets = bucketCount_;
  while (buckets < cells)
    buckets *= 2;
  if (buckets != bucketCount_)
    Rehash(buckets);
}

void InternTable::Rehash(std::size_t grown) {
  auto** buckets = static_cast<InternedText**>(AllocateOrFail(grown * sizeof(InternedText*)));
  std::memset(buckets, 0, grown * sizeof(InternedText*));
  for (std::size_t bucket = 0; bucket < bucketCount_; ++bucket) {
    InternedText* cell = buckets_[bucket];
    while (cell != nullptr) {
      InternedText* next = cell->next;
      InternedText*& target = buckets[cell->hash & (grown - 1)];
      cell->next = target;
      target = cell;
      cell = next;
    }
  }
  if (buckets_ != inlineBuckets_)
    dul::CountingFree(buckets_);
  buckets_ = buckets;
  bucketCount_ = grown;
}

// Back to the eight inline buckets, so an emptied table holds no memory of its own.
void InternTable::ForgetBuckets() {
  if (buckets_ != inlineBuckets_)
    dul::CountingFree(buckets_);
  buckets_ = inlineBuckets_;
  bucketCount_ = kInitialBuckets;
  std::memset(inlineBuckets_, 0, sizeof(inlineBuckets_));
  dul::CountingFree(recent_);
  recent_ = nullptr;
  dul::CountingFree(shapes_);
  shapes_ = nullptr;
}

void InternTable::StartRecent() {
  recent_ = static_cast<InternedText**>(AllocateOrFail(kRecentCells * sizeof(InternedText*)));
  std::memset(recent_, 0, kRecentCells * sizeof(InternedText*));
  shapes_ = static_cast<Shape*>(AllocateOrFail(kShapes * sizeof(Shape)));
  std::memset(shapes_, 0, kShapes * sizeof(Shape));
}

void InternTable::Reset(PageChain& pages) {
  for (std::size_t bucket = 0; largeCells_ != 0 && bucket < bucketCount_; ++bucket) {
    for (InternedText* cell = buckets_[bucket]; cell != nullptr;) {
      InternedText* next = cell->next;
      if (CellClass(cell->length) == kLargeCell) {
        dul::CountingFree(cell);
        --largeCells_;
      }
      cell = next;
    }
  }
  ForgetBuckets();
  count_ = 0;
  for (SlabPool& pool : cellPools_)
    pool.Reset(pages);
}

}  // namespace Zorv
