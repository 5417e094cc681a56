#include "platform/mutex.h"

#include <windows.h>

#include <new>

namespace dul::platform {
namespace {
static_assert(sizeof(CRITICAL_SECTION) <= 64 && alignof(CRITICAL_SECTION) <= 8);
CRITICAL_SECTION* Native(unsigned char* storage) {
  return std::launder(reinterpret_cast<CRITICAL_SECTION*>(storage));
}
}  // namespace

Mutex::Mutex() {
  ::InitializeCriticalSection(new (storage_) CRITICAL_SECTION);
}
Mutex::~Mutex() {
  ::DeleteCriticalSection(Native(storage_));
}
void Mutex::Lock() {
  ::EnterCriticalSection(Native(storage_));
}
void Mutex::Unlock() {
  ::LeaveCriticalSection(Native(storage_));
}

}  // namespace dul::platform
