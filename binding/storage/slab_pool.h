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
#include <iterator>

#include "binding/storage/page_source.h"

namespace Zorv {

// The first few kilobytes of one storage's blocks, shared by all of its pools, so that a small
// tree takes a little heap rather than a page for every block size it uses. Blocks are cut in
// order and never handed back one by one (each pool keeps its own freed ones); Reset frees it all.
class SmallArena {
 public:
  static constexpr std::size_t kLargestBlock = 1024;

  SmallArena() = default;
  ~SmallArena() { Reset(); }
  SmallArena(const SmallArena&) = delete;
  SmallArena& operator=(const SmallArena&) = delete;

  // `bytes` (a multiple of 8, at most kLargestBlock) of the arena, or null once it is used up.
  void* Take(std::size_t bytes) {
    if (static_cast<std::size_t>(end_ - cursor_) < bytes && !AddChunk())
      return nullptr;
    void* block = cursor_;
    cursor_ += bytes;
    return block;
  }
  bool Owns(const void* block) const {
    const auto address = reinterpret_cast<std::uintptr_t>(block);
    for (std::size_t i = 0; i < chunkCount_; ++i) {
      if (address - reinterpret_cast<std::uintptr_t>(chunks_[i]) < kChunkBytes[i])
        return true;
    }
    return false;
  }
  void Reset();

 private:
  static constexpr std::size_t kChunkBytes[] = {1024, 2048, 4096, 8192};
  static constexpr std::size_t kChunks = std::size(kChunkBytes);

  bool AddChunk();

  unsigned char* chunks_[kChunks] = {};
  std::size_t chunkCount_ = 0;
  unsigned char* cursor_ = nullptr;
  unsigned char* end_ = nullptr;
};

class SlabPool {
 public:
  static constexpr std::size_t kHeaderBytes = 32;
  static constexpr std::size_t kLargestBlock = (PageSource::kPageSize - kHeaderBytes) / 2 / 8 * 8;

  // `blockSize` is rounded up to a multiple of 8 (so every block is 8-byte aligned).
  explicit constexpr SlabPool(std::size_t blockSize)
      : blockSize_(static_cast<std::uint16_t>((blockSize + 7) / 8 * 8)),
        blocksPerSlab_(
            static_cast<std::uint16_t>((PageSource::kPageSize - kHeaderBytes) / blockSize_)) {}
  // Hands back whatever pages the pool still holds (none after a Reset).
  ~SlabPool() {
    if (partial_ != nullptr || full_ != nullptr || spare_ != nullptr)
      ReturnAllPages();
  }
  SlabPool(const SlabPool&) = delete;
  SlabPool& operator=(const SlabPool&) = delete;

  // Lets the pool take its first blocks from `arena` (one of the same storage) before any page.
  void ShareArena(SmallArena* arena) {
    if (blockSize_ <= SmallArena::kLargestBlock)
      arena_ = arena;
  }

  // A block of blockSize() bytes with unspecified content. Ends the process when no page can be
  // obtained: no caller could go on without the memory.
  void* Allocate() {
    if (partial_ == nullptr) {
      if (void* block = TakeOutsideSlabs())
        return block;
      AddSlab();
    }
    Slab* slab = partial_;
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
    if (arena_ != nullptr && arena_->Owns(block)) {
      std::memcpy(block, &arenaFree_, sizeof(arenaFree_));
      arenaFree_ = block;
      return;
    }
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

  void* TakeOutsideSlabs();
  Slab* AddSlab();
  void ReturnAllPages();
  void RetireSlab(Slab* slab);

  Slab* partial_ = nullptr;  // slabs with at least one free block
  Slab* full_ = nullptr;
  Slab* spare_ = nullptr;  // one empty slab held back, so a lone block freed and taken again
                           // does not go to the page source each time
  SmallArena* arena_ = nullptr;
  void* arenaFree_ = nullptr;  // freed arena blocks, linked through their first word
  std::uint16_t blockSize_;
  std::uint16_t blocksPerSlab_;
};

}  // namespace Zorv
