// The byte values that open a double-byte character in a code page.
// Platform-free: the platform layer builds the table of the code page in force.
#pragma once

#include <array>

namespace mur::text {

class LeadBytes {
 public:
  // A single-byte code page: no lead bytes.
  LeadBytes() = default;
  // Builds the table from a predicate over the 256 byte values.
  template <class IsLead>
  static LeadBytes From(IsLead is_lead) {
    LeadBytes t;
    for (int b = 0; b < 256; ++b) {
      t.lead_[b] = is_lead(static_cast<unsigned char>(b));
      t.any_ = t.any_ || t.lead_[b];
    }
    return t;
  }
  // Code page 932 (Shift-JIS): 0x81 to 0x9F and 0xE0 to 0xFC.
  static LeadBytes CodePage932() {
    return From([](unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); });
  }
  bool operator()(unsigned char b) const { return lead_[b]; }
  bool any() const { return any_; }

 private:
  std::array<bool, 256> lead_{};
  bool any_ = false;
};

}  // namespace mur::text
