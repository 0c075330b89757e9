// Byte-text searches that step over double-byte characters. Platform-free:
// the lead-byte rule of the code page in force is a parameter.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace mur::probes {

// The byte values that open a double-byte character in a code page.
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

inline constexpr std::size_t kNotFound = std::string_view::npos;

// The first position at or after `from` where `key` occurs bytewise, whatever
// the character boundaries; kNotFound when there is none.
std::size_t FindBytes(std::string_view text, std::string_view key, std::size_t from = 0);

// The text as the searches see it: up to its first zero byte.
std::string_view UntilZero(std::string_view bytes);

// The first occurrence of `key` that starts on a character boundary (never on
// the trail byte of a double-byte character). `key` must not be empty.
std::size_t FindFirst(std::string_view text, std::string_view key, const LeadBytes& leads);

// The occurrence found by searching, again and again, the text that follows
// the previous match (each remainder starting a fresh character sequence),
// until no match is left; kNotFound when the first search fails.
std::size_t FindLast(std::string_view text, std::string_view key, const LeadBytes& leads);

}  // namespace mur::probes
