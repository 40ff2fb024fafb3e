#include "platform/byte_buffer.h"

#include <algorithm>

namespace pixmeta::platform {

void ByteBuffer::Grow(size_t n) {
  const size_t capacity = std::max({size_ + n, 2 * capacity_, size_t{256}});
  auto data = std::make_unique_for_overwrite<char[]>(capacity);
  if (size_ > 0) std::memcpy(data.get(), data_.get(), size_);
  data_ = std::move(data);
  capacity_ = capacity;
}

}  // namespace pixmeta::platform
