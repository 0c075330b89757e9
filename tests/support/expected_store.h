// The stores' seeded bytes, written out from the record layout's tables
// independently of the library's encoder.
#pragma once

#include <cstdint>
#include <string>

namespace murtest {

inline std::string Le(std::uint32_t v, int size) {
  std::string s;
  for (int i = 0; i < size; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  return s;
}

inline std::string Header() { return Le(1, 4) + std::string(1020, '\0'); }

inline std::string UserRecord(const std::string& name) {
  return Le(0, 1) + Le(10000, 4) + Le(10, 4) + Le(0, 4) + name + Le(0, 1) + Le(1, 1) + Le(1, 1) +
         Le(0, 2) + Le(0, 4);
}

inline std::string SectionRecord(const std::string& name) {
  return Le(10, 4) + Le(0, 4) + name + Le(0, 1);
}

inline std::string Index(std::uint32_t record_length) {
  return Le(1, 4) + Le(0, 1) + Le(0, 4) + Le(record_length, 4) + Le(1024, 4);
}

}  // namespace murtest
