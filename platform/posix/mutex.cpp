#include "platform/mutex.h"

#include <pthread.h>

#include <new>

namespace dul::platform {
namespace {
static_assert(sizeof(pthread_mutex_t) <= 64 && alignof(pthread_mutex_t) <= 8);
pthread_mutex_t* Native(unsigned char* storage) {
  return std::launder(reinterpret_cast<pthread_mutex_t*>(storage));
}
}  // namespace

Mutex::Mutex() {
  ::pthread_mutex_init(new (storage_) pthread_mutex_t, nullptr);
}
Mutex::~Mutex() {
  ::pthread_mutex_destroy(Native(storage_));
}
void Mutex::Lock() {
  ::pthread_mutex_lock(Native(storage_));
}
void Mutex::Unlock() {
  ::pthread_mutex_unlock(Native(storage_));
}

}  // namespace dul::platform
