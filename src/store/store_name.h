// Names of users and sections as the stores accept them.
#pragma once

#include <cstddef>
#include <string_view>

namespace mur::store {

inline constexpr std::size_t kMaxStoreNameBytes = 20;

// 1 to 20 bytes of narrow text (20 bytes hold 10 double-byte characters).
inline bool IsValidStoreName(std::string_view name) {
  return !name.empty() && name.size() <= kMaxStoreNameBytes;
}

}  // namespace mur::store
