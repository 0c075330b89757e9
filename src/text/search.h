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

// The text as the searches see it: up to its first zero byte.
std::string_view UntilZero(std::string_view bytes);

// The first occurrence of `key` that starts on a character boundary (never on
// the trail byte of a double-byte character). `key` must not be empty.
std::size_t FindFirst(std::string_view text, std::string_view key, const LeadBytes& leads);

// The occurrence found by searching, again and again, the text that follows
// the previous match (each remainder starting a fresh character sequence),
// until no match is left; kNotFound when the first search fails.
std::size_t FindLast(std::string_view text, std::string_view key, const LeadBytes& leads);

}  // namespace mur::text
