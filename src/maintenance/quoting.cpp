#include "maintenance/quoting.h"

namespace mur::maintenance {

QuotePositions FindQuotes(std::string_view command, const text::LeadBytes& leads) {
  static constexpr std::string_view kQuote = "\"";
  const std::size_t first = text::FindFirst(command, kQuote, leads);
  const std::size_t last = text::FindLast(command, kQuote, leads);
  return {first == text::kNotFound ? -1 : static_cast<long long>(first),
          last == text::kNotFound ? -1 : static_cast<long long>(last)};
}

int QuotingClass(std::string_view command, const text::LeadBytes& leads) {
  return QuotingClass(FindQuotes(command, leads), command.size());
}

int QuotingClass(const QuotePositions& quotes, std::size_t size) {
  const bool opening = quotes.first == static_cast<long long>(kOpeningQuoteIndex);
  // Positions as signed numbers: "none" is -1, and so is the empty command's
  // last index.
  const bool closing = quotes.last == static_cast<long long>(size) - 1;
  if (opening) return closing ? 1 : 2;
  return closing ? 3 : 4;
}

}  // namespace mur::maintenance
