#include "probes/probe_text.h"

namespace mur::probes {
namespace {

std::string_view AfterSpace(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsProbeSpace(static_cast<unsigned char>(text[i]))) ++i;
  return text.substr(i);
}

int DigitAt(std::string_view text, std::size_t index) {
  if (index >= text.size()) return 0;
  const char c = text[index];
  return c >= '0' && c <= '9' ? c - '0' : 0;
}

}  // namespace

bool IsProbeSpace(unsigned char c) { return c == ' ' || (c >= 9 && c <= 13); }

int AccessModeFromText(std::string_view bytes, const LeadBytes& leads) {
  static constexpr std::string_view kKey = "ACCESS_MODE";
  const std::string_view text = UntilZero(bytes);
  const std::size_t at = FindLast(text, kKey, leads);
  if (at == kNotFound) return 0;
  const std::string_view rest = AfterSpace(text.substr(at + kKey.size()));
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

int VersionFromText(std::string_view bytes, const LeadBytes& leads) {
  static constexpr std::string_view kKey = "Ver";
  const std::string_view text = UntilZero(bytes);
  const std::size_t at = FindFirst(text, kKey, leads);
  if (at == kNotFound) return -1;
  const std::string_view rest = AfterSpace(text.substr(at + kKey.size()));
  return DigitAt(rest, 0) * 10 + DigitAt(rest, 2);
}

}  // namespace mur::probes
