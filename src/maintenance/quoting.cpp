#include "maintenance/quoting.h"

namespace mur::maintenance {

int QuotingClass(std::string_view command, const text::LeadBytes& leads) {
  static constexpr std::string_view kQuote = "\"";
  const bool opening = text::FindFirst(command, kQuote, leads) == kOpeningQuoteIndex;
  // Positions as signed numbers: "none" is -1, and so is the empty command's
  // last index.
  const std::size_t last = text::FindLast(command, kQuote, leads);
  const long long last_index = last == text::kNotFound ? -1 : static_cast<long long>(last);
  const bool closing = last_index == static_cast<long long>(command.size()) - 1;
  if (opening) return closing ? 1 : 2;
  return closing ? 3 : 4;
}

}  // namespace mur::maintenance
