// BindingStorage: where a root value and its children keep everything that is not a scalar: the
// intern table of their strings and one slab pool per kind of block. It belongs to exactly one
// root value (see binding_property.h for the lifetime rule) and is never locked.
#pragma once

#include <cstddef>
#include <cstdint>

#include "binding/intern_table.h"
#include "binding/slab_pool.h"

namespace Zorv {

class BindingStorage {
 public:
  enum class Block : std::uint8_t {
    kBlob,
    kEnum,
    kCollection,
    kStructure,
    kMemberValue,
    kSmallChunk,
    kMediumChunk,
    kLargeChunk,
  };
  static constexpr std::size_t kBlockKinds = 8;

  BindingStorage();
  ~BindingStorage();
  BindingStorage(const BindingStorage&) = delete;
  BindingStorage& operator=(const BindingStorage&) = delete;

  InternTable& texts() { return texts_; }
  const InternTable& texts() const { return texts_; }

  void* Allocate(Block block) { return pools_[static_cast<std::size_t>(block)].Allocate(); }
  void Free(Block block, void* address) { pools_[static_cast<std::size_t>(block)].Free(address); }
  std::size_t BlockSize(Block block) const {
    return pools_[static_cast<std::size_t>(block)].blockSize();
  }

  // Counts the counting-allocator blocks that hang off this storage's blocks (blob bytes, element
  // arrays, member slot arrays), so that clearing a tree without any below its root need not walk
  // it.
  void NoteHeapPart() { ++heapParts_; }
  void ForgetHeapPart() { --heapParts_; }
  std::size_t heapParts() const { return heapParts_; }

  // Forgets every string and block at once and hands all pages back: the root's whole tree is
  // gone and whatever lived outside the pools has been freed already.
  void Reset();

 private:
  InternTable texts_;
  SlabPool pools_[kBlockKinds];
  std::size_t heapParts_ = 0;
};

}  // namespace Zorv
