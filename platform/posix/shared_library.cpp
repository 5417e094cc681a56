#include "platform/shared_library.h"

#include <dlfcn.h>

namespace dul::platform {

SharedLibrary::~SharedLibrary() {
  Close();
}

bool SharedLibrary::Open(const std::string& path) {
  Close();
  handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    const char* reason = ::dlerror();
    error_ = reason != nullptr ? reason : "cannot load " + path;
  }
  return handle_ != nullptr;
}

void* SharedLibrary::FindFunction(const char* name) const {
  return handle_ != nullptr ? ::dlsym(handle_, name) : nullptr;
}

void SharedLibrary::Close() {
  if (handle_ != nullptr)
    ::dlclose(handle_);
  handle_ = nullptr;
}

}  // namespace dul::platform
