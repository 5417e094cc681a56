#include "platform/shared_library.h"

#include <windows.h>

#include "platform/win32/wide_text.h"

namespace dul::platform {

SharedLibrary::~SharedLibrary() {
  Close();
}

bool SharedLibrary::Open(const std::string& path) {
  Close();
  const auto wide = win32::WideFromUtf8(path);
  handle_ = wide ? ::LoadLibraryW(wide->c_str()) : nullptr;
  if (handle_ == nullptr)
    error_ = "cannot load " + path + " (error " + std::to_string(::GetLastError()) + ")";
  return handle_ != nullptr;
}

void* SharedLibrary::FindFunction(const char* name) const {
  if (handle_ == nullptr)
    return nullptr;
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(handle_), name));
}

void SharedLibrary::Close() {
  if (handle_ != nullptr)
    ::FreeLibrary(static_cast<HMODULE>(handle_));
  handle_ = nullptr;
}

}  // namespace dul::platform
