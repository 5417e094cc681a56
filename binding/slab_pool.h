// SlabPool: fixed-size blocks carved from 4 KiB pages of the PageSource. Each page (a slab) opens
// with a header that counts its blocks in use, names its first free block and how many blocks
// from its start have ever been handed out; a freed block keeps the 16-bit index of the next free
// one in its first two bytes. Blocks never handed out are taken in order and not touched before,
// so a new slab costs no pass over its page. The slab of a block is found by clearing the low 12
// bits of its address. One pool belongs to one storage and is not locked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "binding/page_source.h"

namespace Zorv {

class SlabPool {
 public:
  static constexpr std::size_t kHeaderBytes = 32;
  static constexpr std::size_t kLargestBlock = (PageSource::kPageSize - kHeaderBytes) / 2 / 8 * 8;

  // `blockSize` is rounded up to a multiple of 8 (so every block is 8-byte aligned).
  explicit SlabPool(std::size_t blockSize);
  ~SlabPool();
  SlabPool(const SlabPool&) = delete;
  SlabPool& operator=(const SlabPool&) = delete;

  // A block of blockSize() bytes with unspecified content. Ends the process when no page can be
  // obtained: no caller could go on without the memory.
  void* Allocate() {
    Slab* slab = partial_ != nullptr ? partial_ : AddSlab();
    unsigned char* block;
    if (slab->firstFree != kNoBlock) {
      block = BlockAt(slab, slab->firstFree);
      std::memcpy(&slab->firstFree, block, sizeof(slab->firstFree));
    } else {
      block = BlockAt(slab, slab->handedOut++);
    }
    if (++slab->blocksInUse == blocksPerSlab_)
      MoveSlab(slab, partial_, full_);
    return block;
  }

  void Free(void* block) {
    Slab* slab = SlabOf(block);
    const auto offset = static_cast<std::size_t>(static_cast<unsigned char*>(block) -
                                                 reinterpret_cast<unsigned char*>(slab));
    const auto index = static_cast<std::uint16_t>((offset - kHeaderBytes) / blockSize_);
    std::memcpy(block, &slab->firstFree, sizeof(slab->firstFree));
    slab->firstFree = index;
    if (slab->blocksInUse-- == blocksPerSlab_)
      MoveSlab(slab, full_, partial_);
    if (slab->blocksInUse == 0)
      RetireSlab(slab);
  }

  // Forgets every block at once and adds all pages to `pages`, for the caller to hand back.
  void Reset(PageChain& pages);

  std::size_t blockSize() const { return blockSize_; }
  std::size_t blocksPerSlab() const { return blocksPerSlab_; }

 private:
  struct Slab {
    Slab* previous;
    Slab* next;
    std::uint16_t blocksInUse;
    std::uint16_t firstFree;  // kNoBlock when no freed block waits
    std::uint16_t handedOut;  // blocks from the start that have ever been handed out
  };
  static_assert(sizeof(Slab) <= kHeaderBytes);
  static constexpr std::uint16_t kNoBlock = 0xFFFF;

  static Slab* SlabOf(void* block) {
    return reinterpret_cast<Slab*>(reinterpret_cast<std::uintptr_t>(block) &
                                   ~static_cast<std::uintptr_t>(PageSource::kPageSize - 1));
  }
  unsigned char* BlockAt(Slab* slab, std::uint16_t index) const {
    return reinterpret_cast<unsigned char*>(slab) + kHeaderBytes + std::size_t{index} * blockSize_;
  }
  static void Unlink(Slab* slab, Slab*& list);
  static void Link(Slab* slab, Slab*& list);
  static void MoveSlab(Slab* slab, Slab*& from, Slab*& to) {
    Unlink(slab, from);
    Link(slab, to);
  }

  Slab* AddSlab();
  void RetireSlab(Slab* slab);

  Slab* partial_ = nullptr;  // slabs with at least one free block
  Slab* full_ = nullptr;
  Slab* spare_ = nullptr;  // one empty slab held back, so a lone block freed and taken again
                           // does not go to the page source each time
  std::uint16_t blockSize_;
  std::uint16_t blocksPerSlab_;
};

}  // namespace Zorv
