// An owned, growable array of plain values that reports a failed allocation
// as a result instead of throwing. Platform-free.
//
// The library's text (narrow bytes, UTF-16 names) and data live in Buffers.
// The element past the last one is always a zero value, so a Buffer of
// characters is also a zero-terminated string (c_str()).
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <type_traits>

#include "seam/seam.h"

namespace mur::text {

template <class T>
class Buffer {
  static_assert(std::is_trivially_copyable_v<T>, "a Buffer holds plain values");

 public:
  Buffer() = default;
  Buffer(Buffer&& other) noexcept : data_(other.data_), size_(other.size_), capacity_(other.capacity_) {
    other.data_ = nullptr;
    other.size_ = other.capacity_ = 0;
  }
  Buffer& operator=(Buffer&& other) noexcept {
    if (this != &other) {
      std::free(data_);
      data_ = other.data_;
      size_ = other.size_;
      capacity_ = other.capacity_;
      other.data_ = nullptr;
      other.size_ = other.capacity_ = 0;
    }
    return *this;
  }
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;
  ~Buffer() { std::free(data_); }

  T* data() { return data_; }
  const T* data() const { return data_; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T& operator[](std::size_t i) { return data_[i]; }
  const T& operator[](std::size_t i) const { return data_[i]; }
  T* begin() { return data_; }
  T* end() { return data_ + size_; }
  const T* begin() const { return data_; }
  const T* end() const { return data_ + size_; }

  // The contents followed by a zero value (an empty string when nothing was
  // ever allocated).
  const T* c_str() const {
    static constexpr T kNothing{};
    return data_ ? data_ : &kNothing;
  }
  std::basic_string_view<T> view() const { return {c_str(), size_}; }

  // Room for `n` values without another allocation.
  [[nodiscard]] bool Reserve(std::size_t n) {
    if (n <= capacity_ && data_) return true;
    if (n > kMaxSize) return false;
    unsigned long armed = 0;
    if (seam::Tripped(seam::kAllocate, &armed)) return false;
    T* grown = static_cast<T*>(std::realloc(data_, (n + 1) * sizeof(T)));
    if (!grown) return false;
    data_ = grown;
    capacity_ = n;
    data_[size_] = T();
    return true;
  }

  // New values are zero. Growing past the room there is takes at least twice
  // that room, so that growing a step at a time costs linear time.
  [[nodiscard]] bool Resize(std::size_t n) {
    if (n > size_) {
      if (!Reserve(n > capacity_ ? Grown(n) : n)) return false;
      std::memset(static_cast<void*>(data_ + size_), 0, (n - size_) * sizeof(T));
      size_ = n;
      data_[size_] = T();
    } else {
      Truncate(n);
    }
    return true;
  }

  [[nodiscard]] bool Append(const T* values, std::size_t n) {
    if (n == 0) return Reserve(size_);
    if (n > kMaxSize - size_) return false;
    if (size_ + n > capacity_ || !data_) {
      // `values` may point into this buffer: keep its place across the move.
      const bool inside = data_ && values >= data_ && values < data_ + size_;
      const std::size_t offset = inside ? static_cast<std::size_t>(values - data_) : 0;
      if (!Reserve(Grown(size_ + n))) return false;
      if (inside) values = data_ + offset;
    }
    std::memmove(static_cast<void*>(data_ + size_), values, n * sizeof(T));
    size_ += n;
    data_[size_] = T();
    return true;
  }
  [[nodiscard]] bool Append(std::basic_string_view<T> values) { return Append(values.data(), values.size()); }
  [[nodiscard]] bool Append(T value) { return Append(&value, 1); }
  [[nodiscard]] bool Assign(const T* values, std::size_t n) {
    Clear();
    return Append(values, n);
  }
  [[nodiscard]] bool Assign(std::basic_string_view<T> values) { return Assign(values.data(), values.size()); }

  void Truncate(std::size_t n) {
    if (n < size_) {
      size_ = n;
      data_[size_] = T();
    }
  }
  void Clear() { Truncate(0); }

 private:
  static constexpr std::size_t kMaxSize = (static_cast<std::size_t>(-1) / 2) / sizeof(T) - 1;
  std::size_t Grown(std::size_t needed) const {
    const std::size_t doubled = capacity_ < kMaxSize / 2 ? capacity_ * 2 : kMaxSize;
    return needed > doubled ? needed : doubled;
  }

  T* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;  // values, not counting the zero after the last
};

// Narrow text (bytes in a code page) and UTF-16 text.
using Bytes = Buffer<char>;
using Wide = Buffer<wchar_t>;

}  // namespace mur::text
