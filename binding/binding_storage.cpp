#include "binding/binding_storage.h"

#include "binding/binding_property.h"
#include "binding/member_map.h"

namespace Zorv {

BindingStorage::BindingStorage()
    : pools_{SlabPool(sizeof(BindingByteBlock)),
             SlabPool(sizeof(BindingEnumCell)),
             SlabPool(sizeof(BindingElementBlock)),
             SlabPool(sizeof(MemberMap)),
             SlabPool(sizeof(BindingProperty)),
             SlabPool(128),
             SlabPool(512),
             SlabPool(SlabPool::kLargestBlock)} {}

BindingStorage::~BindingStorage() {
  Reset();
}

void BindingStorage::Reset() {
  heapParts_ = 0;
  PageChain pages;
  texts_.Reset(pages);
  for (SlabPool& pool : pools_)
    pool.Reset(pages);
  PageSource::Instance().ReturnPages(pages);
}

}  // namespace Zorv
