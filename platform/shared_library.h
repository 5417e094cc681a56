// Loading a shared library and finding its exported functions (the development host's need).
#pragma once

#include <string>

namespace dul::platform {

class SharedLibrary {
 public:
  SharedLibrary() = default;
  ~SharedLibrary();
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  // Loads the library; false with a readable reason in error() when it cannot be loaded.
  bool Open(const std::string& path);
  void* FindFunction(const char* name) const;
  void Close();
  const std::string& error() const { return error_; }

 private:
  void* handle_ = nullptr;
  std::string error_;
};

}  // namespace dul::platform
