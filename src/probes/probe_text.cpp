#include "probes/probe_text.h"

#include "text/search.h"

namespace mur::probes {
namespace {

using text::kNotFound;

// What follows `at` in `text`, white space skipped.
std::string_view RestAfter(std::string_view text, std::size_t at) {
  text.remove_prefix(at);
  while (!text.empty() && IsProbeSpace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  return text;
}

int DigitAt(std::string_view text, std::size_t index) {
  if (index >= text.size()) return 0;
  const char c = text[index];
  return c >= '0' && c <= '9' ? c - '0' : 0;
}

}  // namespace

bool IsProbeSpace(unsigned char c) { return c == ' ' || (c >= 9 && c <= 13); }

int AccessModeFromText(std::string_view bytes, const text::LeadBytes& leads) {
  static constexpr std::string_view kKey = "ACCESS_MODE";
  const std::string_view text = text::UntilZero(bytes);
  const std::size_t at = text::FindLast(text, kKey, leads);
  if (at == kNotFound) return 0;
  const std::string_view rest = RestAfter(text, at + kKey.size());
  if (rest.empty()) return 0;
  switch (rest[0]) {
    case '1':
      return 1;
    case '2':
      return 2;
    default:
      return 0;
  }
}

int VersionFromText(std::string_view bytes, const text::LeadBytes& leads) {
  static constexpr std::string_view kKey = "Ver";
  const std::string_view text = text::UntilZero(bytes);
  const std::size_t at = text::FindFirst(text, kKey, leads);
  if (at == kNotFound) return -1;
  const std::string_view rest = RestAfter(text, at + kKey.size());
  return DigitAt(rest, 0) * 10 + DigitAt(rest, 2);
}

}  // namespace mur::probes
