// A growable byte buffer for text that is appended to many times: unlike a string's, its
// new room is not filled with zeros before it is written.
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>

namespace pixmeta::platform {

class ByteBuffer {
 public:
  ByteBuffer() = default;
  ByteBuffer(const ByteBuffer& other) { Append(other.view()); }
  ByteBuffer& operator=(const ByteBuffer& other) {
    if (this != &other) {
      clear();
      Append(other.view());
    }
    return *this;
  }
  ByteBuffer(ByteBuffer&&) noexcept = default;
  ByteBuffer& operator=(ByteBuffer&&) noexcept = default;
  ~ByteBuffer() = default;

  size_t size() const { return size_; }
  size_t capacity() const { return capacity_; }
  bool empty() const { return size_ == 0; }
  std::string_view view() const { return {data_.get(), size_}; }
  const char* data() const { return data_.get(); }
  char* data() { return data_.get(); }
  // Keeps the memory.
  void clear() { size_ = 0; }

  // Where at least n more bytes may be written; End then counts what was.
  char* Room(size_t n) {
    if (capacity_ - size_ < n) Grow(n);
    return data_.get() + size_;
  }
  void End(const char* end) { size_ = static_cast<size_t>(end - data_.get()); }

  void Append(std::string_view bytes) {
    char* out = Room(bytes.size());
    if (!bytes.empty()) std::memcpy(out, bytes.data(), bytes.size());
    size_ += bytes.size();
  }

 private:
  void Grow(size_t n);

  std::unique_ptr<char[]> data_;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

}  // namespace pixmeta::platform
