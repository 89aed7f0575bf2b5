#pragma once
// A shared library opened at run time, with entry points found by name.
#include <string>

namespace tarn::platform {

class DynamicLibrary {
 public:
  DynamicLibrary() = default;
  ~DynamicLibrary();
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;
  DynamicLibrary(DynamicLibrary&& other) noexcept;
  DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;

  // Opens the library at `path`; false (with Error()) when it cannot.
  bool Open(const std::string& path);
  void Close();
  bool IsOpen() const { return handle_ != nullptr; }
  void* Symbol(const char* name) const;
  template <typename Fn>
  Fn Entry(const char* name) const {
    return reinterpret_cast<Fn>(Symbol(name));
  }
  const std::string& Error() const { return error_; }

 private:
  void* handle_ = nullptr;
  std::string error_;
};

}  // namespace tarn::platform
