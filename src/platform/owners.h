// An array of handles of one kind, each owned as a Unique of the same traits
// would own it: closed when it is taken off the end, when the array is cut
// shorter, and, last first, when the array goes. For the walks' stacks, whose
// depth only the tree bounds.
#pragma once

#include <cstddef>
#include <utility>

#include "platform/unique.h"
#include "text/buffer.h"

namespace mur::platform {

template <class Traits>
class Owners {
 public:
  using Pointer = typename Traits::Pointer;
  using Owner = Unique<Traits>;

  Owners() = default;
  Owners(const Owners&) = delete;
  Owners& operator=(const Owners&) = delete;
  ~Owners() { Truncate(0); }

  std::size_t size() const { return items_.size(); }
  Pointer operator[](std::size_t i) const { return items_[i]; }
  Pointer back() const { return items_[items_.size() - 1]; }

  // Room for `n` handles in all, so that as many pushes cannot fail.
  [[nodiscard]] bool Reserve(std::size_t n) { return items_.Reserve(n); }
  // Takes `owner` over at the end; false, with `owner` closed, when memory
  // runs out.
  bool Push(Owner owner) {
    if (!items_.Append(owner.get())) return false;
    owner.release();
    return true;
  }
  // Hands the last handle back to an owner of its own, which closes it.
  Owner Pop() {
    Owner last(back());
    items_.Truncate(items_.size() - 1);
    return last;
  }
  // Closes every handle past the first `n`, last first.
  void Truncate(std::size_t n) {
    while (items_.size() > n) Pop();
  }

 private:
  text::Buffer<Pointer> items_;
};

}  // namespace mur::platform
