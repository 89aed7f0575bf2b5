#pragma once
// Big-endian reads from an IFO file's bytes that never leave the buffer: a
// read past the end yields 0 and marks the reader failed, so a parser can
// read a whole record and check once.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tarn::dvdreader {

class IfoBytes {
 public:
  IfoBytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  size_t size() const { return size_; }
  bool failed() const { return failed_; }
  // True when [offset, offset + length) lies inside the buffer.
  bool Holds(uint64_t offset, uint64_t length) const {
    return offset <= size_ && length <= size_ - offset;
  }

  uint8_t U8(uint64_t offset) { return Holds(offset, 1) ? data_[offset] : Fail(); }
  uint16_t U16(uint64_t offset) {
    if (!Holds(offset, 2)) return Fail();
    return static_cast<uint16_t>(data_[offset] << 8 | data_[offset + 1]);
  }
  uint32_t U32(uint64_t offset) {
    if (!Holds(offset, 4)) return Fail();
    return static_cast<uint32_t>(data_[offset]) << 24 | static_cast<uint32_t>(data_[offset + 1]) << 16 |
           static_cast<uint32_t>(data_[offset + 2]) << 8 | data_[offset + 3];
  }
  bool StartsWith(std::string_view text) const {
    return Holds(0, text.size()) && std::string_view(reinterpret_cast<const char*>(data_), text.size()) == text;
  }

 private:
  uint8_t Fail() {
    failed_ = true;
    return 0;
  }

  const uint8_t* data_;
  size_t size_;
  bool failed_ = false;
};

}  // namespace tarn::dvdreader
