// One move-only owner for every kind of handle (files, directories, registry
// keys), parameterised by a traits type:
//
//   struct Traits {
//     using Pointer = ...;               // the raw handle type
//     static Pointer Invalid();          // the value that owns nothing
//     static unsigned long Close(Pointer);  // 0, or the close's error code
//   };
//
// put() hands the address of the owner's slot to a function that fills an
// out-parameter, so an open call fills the owner directly. Platform-free.
#pragma once

namespace mur::platform {

template <class Traits>
class Unique {
 public:
  using Pointer = typename Traits::Pointer;

  Unique() = default;
  explicit Unique(Pointer value) : value_(value) {}
  Unique(Unique&& other) noexcept : value_(other.release()) {}
  Unique& operator=(Unique&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  Unique(const Unique&) = delete;
  Unique& operator=(const Unique&) = delete;
  ~Unique() { reset(); }

  Pointer get() const { return value_; }
  explicit operator bool() const { return value_ != Traits::Invalid(); }

  // Closes what is owned, then lends the empty slot to an out-parameter.
  Pointer* put() {
    reset();
    return &value_;
  }
  Pointer release() {
    const Pointer value = value_;
    value_ = Traits::Invalid();
    return value;
  }
  // Closes what is owned (a failed close is not reported) and owns `value`.
  void reset(Pointer value = Traits::Invalid()) {
    const Pointer old = value_;
    value_ = value;
    if (old != Traits::Invalid()) Traits::Close(old);
  }
  // Closes now and reports the close's outcome: 0, or its error code. The
  // handle is released either way; closing an empty owner succeeds.
  unsigned long Close() {
    const Pointer old = release();
    return old != Traits::Invalid() ? Traits::Close(old) : 0;
  }

 private:
  Pointer value_ = Traits::Invalid();
};

}  // namespace mur::platform
