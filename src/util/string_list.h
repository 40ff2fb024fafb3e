// An ordered list of text lines, kept as one text: every line is followed by CR LF, and the
// start of each line is recorded, so the joined text costs nothing and a line may itself
// hold line breaks. Lists of report lines and the lists the listings fill are this type.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "platform/byte_buffer.h"

namespace pixmeta {

class StringList {
 public:
  void Add(std::string_view line) { AddJoined({line}); }
  // One line made of the parts, in order. Inline, so that the parts of a call are copied
  // without loops and literal parts by plain stores.
  void AddJoined(std::initializer_list<std::string_view> parts) {
    size_t length = 2;
    for (const std::string_view part : parts) length += part.size();
    char* out = text_.Room(length);
    for (const std::string_view part : parts) out = CopyShort(out, part);
    *out++ = '\r';
    *out++ = '\n';
    text_.End(out);
    starts_.push_back(text_.size());
  }
  void AddAll(const StringList& other);
  // Keeps the memory for the next use.
  void Clear();

  size_t Count() const { return starts_.size() - 1; }
  bool Empty() const { return starts_.size() == 1; }
  std::string_view operator[](size_t i) const {
    return {text_.data() + starts_[i], starts_[i + 1] - starts_[i] - 2};
  }

  // The text after the first "=" of the first line whose text before its first "=" equals
  // key, ignoring letter case; empty when there is none. The view lasts until the list
  // changes.
  std::string_view ValueOf(std::string_view key) const;

  // All lines joined, each ended by CR LF; the view lasts until the list changes.
  std::string_view Text() const { return text_.view(); }

  class Iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = std::string_view;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = std::string_view;
    Iterator() = default;
    Iterator(const StringList* list, size_t i) : list_(list), i_(i) {}
    std::string_view operator*() const { return (*list_)[i_]; }
    Iterator& operator++() {
      ++i_;
      return *this;
    }
    Iterator operator++(int) {
      Iterator before = *this;
      ++i_;
      return before;
    }
    bool operator==(const Iterator& other) const { return i_ == other.i_; }

   private:
    const StringList* list_ = nullptr;
    size_t i_ = 0;
  };
  Iterator begin() const { return {this, 0}; }
  Iterator end() const { return {this, Count()}; }

 private:
  // Copies bytes to out, the short ones (names, numbers) without a call; returns the end.
  static char* CopyShort(char* out, std::string_view bytes) {
    const size_t n = bytes.size();
    const char* in = bytes.data();
    if (n >= 8 && n <= 16) {
      // Two eight-byte moves that overlap in the middle.
      uint64_t head;
      uint64_t tail;
      std::memcpy(&head, in, 8);
      std::memcpy(&tail, in + n - 8, 8);
      std::memcpy(out, &head, 8);
      std::memcpy(out + n - 8, &tail, 8);
    } else if (n >= 4 && n < 8) {
      uint32_t head;
      uint32_t tail;
      std::memcpy(&head, in, 4);
      std::memcpy(&tail, in + n - 4, 4);
      std::memcpy(out, &head, 4);
      std::memcpy(out + n - 4, &tail, 4);
    } else if (n > 0 && n < 4) {
      out[0] = in[0];
      out[n / 2] = in[n / 2];
      out[n - 1] = in[n - 1];
    } else if (n > 16) {
      std::memcpy(out, in, n);
    }
    return out + n;
  }

  platform::ByteBuffer text_;
  // Where each line starts, and last where the next one will: line i ends two bytes (its
  // CR LF) before start i + 1.
  std::vector<size_t> starts_{0};
};

}  // namespace pixmeta
