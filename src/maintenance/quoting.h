// Which of the two quotes around the uninstall log's path a command has.
#pragma once

#include <string_view>

#include "text/search.h"

namespace mur::maintenance {

// In the model command "C:\WINDOWS\IsUn0411.exe -f" + path, the opening quote
// of the path stands at this index.
inline constexpr std::size_t kOpeningQuoteIndex = 26;

// The indexes of the first and the last double quote (each a character of
// its own, double-byte characters stepped over); -1 for none.
struct QuotePositions {
  long long first;
  long long last;
};
QuotePositions FindQuotes(std::string_view command, const text::LeadBytes& leads);

// 1: both quotes, 2: opening only, 3: closing only, 4: neither. The opening
// quote is the first double quote, at index 26; the closing one is the last
// double quote, as the last byte (for the empty command, -1 == -1 holds).
// Both searches step over double-byte characters.
int QuotingClass(std::string_view command, const text::LeadBytes& leads);
// The same, from the quotes FindQuotes found in a command of `size` bytes.
int QuotingClass(const QuotePositions& quotes, std::size_t size);

}  // namespace mur::maintenance
