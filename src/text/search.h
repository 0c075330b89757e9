// Byte-text searches that step over double-byte characters. Platform-free:
// the lead-byte rule of the code page in force is a parameter.
#pragma once

#include <cstddef>
#include <string_view>

#include "text/lead_bytes.h"

namespace mur::text {

inline constexpr std::size_t kNotFound = std::string_view::npos;

// The first position at or after `from` where `key` occurs bytewise, whatever
// the character boundaries; kNotFound when there is none.
std::size_t FindBytes(std::string_view text, std::string_view key, std::size_t from = 0);

// The first position at or after `from` that holds a zero byte or the byte
// `c`; kNotFound when there is none. It looks by the fastest path that the
// processor and the system allow.
std::size_t FindZeroOr(std::string_view text, char c, std::size_t from = 0);

// The paths FindZeroOr can take: a byte at a time, and 16 or 32 bytes at a
// time where the processor has SSE2 or AVX2 (and the system saves the AVX2
// registers). FindZeroOrBy looks by the one named, and finds nothing where
// it is not available.
enum class SearchPath { kScalar, kSse2, kAvx2 };
bool PathAvailable(SearchPath path);
std::size_t FindZeroOrBy(SearchPath path, std::string_view text, char c, std::size_t from = 0);

// The text as the searches see it: up to its first zero byte.
std::string_view UntilZero(std::string_view bytes);

// The first occurrence of `key` that starts on a character boundary (never on
// the trail byte of a double-byte character). `key` must not be empty.
std::size_t FindFirst(std::string_view text, std::string_view key, const LeadBytes& leads);

// The occurrence found by searching, again and again, the text that follows
// the previous match (each remainder starting a fresh character sequence),
// until no match is left; kNotFound when the first search fails.
std::size_t FindLast(std::string_view text, std::string_view key, const LeadBytes& leads);

// Finds, in a text that arrives in consecutive blocks and ends at its first
// zero byte, the occurrences of `key` that start on a character boundary,
// exactly as FindFirst and FindLast find them in the whole text up to that
// byte, whatever the blocks' sizes. The key's bytes must not be zero or lead
// bytes and the key must not overlap itself (no proper beginning of it is
// also its end), as holds for the probes' ASCII keys. Up to kMaxKey - 1
// bytes of the text are carried from block to block.
class BlockSearch {
 public:
  static constexpr std::size_t kMaxKey = 16;

  // `key` (1 to kMaxKey bytes; a longer one is never found) and `leads` must
  // outlive the search.
  BlockSearch(std::string_view key, const LeadBytes& leads);

  // Take the next block: the offset in it just past the last occurrence that
  // ends in it, kNotFound when none does. An occurrence may have begun in an
  // earlier block, so the offset is 1 to block.size(). *text_size is where
  // the text ends in the block: at its first zero byte, or its size when it
  // holds none; after a zero byte no block is to be given.
  std::size_t LastEnd(std::string_view block, std::size_t* text_size) { return Scan(block, true, text_size); }
  // The same for the first occurrence that ends in the block, after which no
  // block is to be given either: when one is found, the block after it is not
  // looked at, and *text_size is the block's size.
  std::size_t FirstEnd(std::string_view block, std::size_t* text_size) { return Scan(block, false, text_size); }

 private:
  std::size_t Scan(std::string_view block, bool last, std::size_t* text_size);
  std::size_t EndInCarry(std::string_view block);
  void Carry(std::string_view block, bool block_starts);

  std::string_view key_;
  const LeadBytes* leads_;
  char carry_[kMaxKey] = {};  // the text's last bytes, fewer than the key's
  std::size_t carry_size_ = 0;
  bool carry_starts_ = true;  // whether carry_[0] starts a character
  bool next_starts_ = true;   // whether the next block's first byte does
};

}  // namespace mur::text
