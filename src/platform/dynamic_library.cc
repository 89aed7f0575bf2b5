#include "platform/dynamic_library.h"

#include <dlfcn.h>

#include <utility>

namespace tarn::platform {

DynamicLibrary::~DynamicLibrary() { Close(); }

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), error_(std::move(other.error_)) {}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, nullptr);
    error_ = std::move(other.error_);
  }
  return *this;
}

bool DynamicLibrary::Open(const std::string& path) {
  Close();
  handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char* e = ::dlerror();
    error_ = e ? e : "cannot load " + path;
    return false;
  }
  error_.clear();
  return true;
}

void DynamicLibrary::Close() {
  if (handle_) ::dlclose(handle_);
  handle_ = nullptr;
}

void* DynamicLibrary::Symbol(const char* name) const {
  return handle_ ? ::dlsym(handle_, name) : nullptr;
}

}  // namespace tarn::platform
