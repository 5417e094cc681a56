// Routes C++ new and delete of whatever links this file through the counting allocator.
#include <cstddef>
#include <cstdint>
#include <new>

#include "foundation/allocation_counters.h"

namespace {

void* AllocateOrThrow(std::size_t bytes) {
  for (;;) {
    if (void* block = dul::CountingAllocate(bytes))
      return block;
    std::new_handler handler = std::get_new_handler();
    if (handler == nullptr)
      throw std::bad_alloc();
    handler();
  }
}

// Over-aligned blocks keep the address of the underlying block just before the aligned one.
void* AllocateAligned(std::size_t bytes, std::align_val_t alignment) {
  const auto align = static_cast<std::size_t>(alignment);
  auto* raw = static_cast<unsigned char*>(AllocateOrThrow(bytes + align + sizeof(void*)));
  const auto start = reinterpret_cast<std::uintptr_t>(raw + sizeof(void*));
  auto* aligned = reinterpret_cast<unsigned char*>((start + align - 1) & ~(align - 1));
  reinterpret_cast<void**>(aligned)[-1] = raw;
  return aligned;
}

void FreeAligned(void* block) {
  if (block != nullptr)
    dul::CountingFree(static_cast<void**>(block)[-1]);
}

}  // namespace

void* operator new(std::size_t bytes) {
  return AllocateOrThrow(bytes);
}
void* operator new[](std::size_t bytes) {
  return AllocateOrThrow(bytes);
}
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept {
  return dul::CountingAllocate(bytes);
}
void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept {
  return dul::CountingAllocate(bytes);
}
void operator delete(void* block) noexcept {
  dul::CountingFree(block);
}
void operator delete[](void* block) noexcept {
  dul::CountingFree(block);
}
void operator delete(void* block, std::size_t) noexcept {
  dul::CountingFree(block);
}
void operator delete[](void* block, std::size_t) noexcept {
  dul::CountingFree(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
  dul::CountingFree(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
  dul::CountingFree(block);
}

void* operator new(std::size_t bytes, std::align_val_t alignment) {
  return AllocateAligned(bytes, alignment);
}
void* operator new[](std::size_t bytes, std::align_val_t alignment) {
  return AllocateAligned(bytes, alignment);
}
void operator delete(void* block, std::align_val_t) noexcept {
  FreeAligned(block);
}
void operator delete[](void* block, std::align_val_t) noexcept {
  FreeAligned(block);
}
void operator delete(void* block, std::size_t, std::align_val_t) noexcept {
  FreeAligned(block);
}
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept {
  FreeAligned(block);
}
