// Names of users and sections as the stores accept them.
#pragma once

#include <cstddef>
#include <string_view>

#include "text/lead_bytes.h"

namespace mur::store {

inline constexpr std::size_t kMaxStoreNameBytes = 20;

// 1 to 20 bytes of narrow text (20 bytes hold 10 double-byte characters)
// whose last character is whole: a lead byte with nothing after it would
// make a reader of the code page take the separator that follows the name
// in the file for its second half.
inline bool IsValidStoreName(std::string_view name, const text::LeadBytes& leads) {
  if (name.empty() || name.size() > kMaxStoreNameBytes) return false;
  std::size_t i = 0;
  while (i < name.size()) i += leads(static_cast<unsigned char>(name[i])) ? 2 : 1;
  return i == name.size();
}

// Why IsValidStoreName refuses `name` (empty when it does not).
inline std::string_view StoreNameProblem(std::string_view name, const text::LeadBytes& leads) {
  if (name.empty()) return "the name is empty";
  if (name.size() > kMaxStoreNameBytes) return "the name is longer than 20 bytes";
  if (!IsValidStoreName(name, leads)) return "the name ends in a lead byte with nothing after it";
  return {};
}

}  // namespace mur::store
