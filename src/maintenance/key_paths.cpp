#include "maintenance/key_paths.h"

#include <string>

namespace mur::maintenance {
namespace {

struct FoldedPath {
  std::string text;
  std::string starts;  // starts[i] != 0 when a character starts at byte i
};

// Single-byte letters folded to upper case and trailing backslashes dropped,
// walking the path a character at a time (0x5C can be the trail byte of a
// double-byte character in code page 932).
FoldedPath Fold(std::string_view path, const text::LeadBytes& leads) {
  FoldedPath f;
  std::size_t end_without_separators = 0;
  for (std::size_t i = 0; i < path.size();) {
    const unsigned char c = static_cast<unsigned char>(path[i]);
    const std::size_t width = leads(c) && i + 1 < path.size() ? 2 : 1;
    f.starts.push_back(1);
    f.text.push_back(width == 1 && c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A')
                                                         : static_cast<char>(c));
    if (width == 2) {
      f.starts.push_back(0);
      f.text.push_back(path[i + 1]);
    }
    i += width;
    if (!(width == 1 && c == '\\')) end_without_separators = i;
  }
  f.text.resize(end_without_separators);
  f.starts.resize(end_without_separators);
  return f;
}

}  // namespace

std::optional<std::string> PathBelow(std::string_view ancestor, std::string_view path,
                                     const text::LeadBytes& leads) {
  const FoldedPath a = Fold(ancestor, leads);
  const FoldedPath p = Fold(path, leads);
  const std::size_t n = a.text.size();
  // Folding keeps every byte in place, so positions in p.text are positions in path.
  if (n == 0) return std::string(path.substr(0, p.text.size()));
  if (p.text == a.text) return std::string();
  if (p.text.size() > n && p.text.compare(0, n, a.text) == 0 && p.starts[n] && p.text[n] == '\\')
    return std::string(path.substr(n + 1, p.text.size() - n - 1));
  return std::nullopt;
}

bool DestinationWithinSource(std::string_view source, std::string_view destination,
                             const text::LeadBytes& leads) {
  return PathBelow(source, destination, leads).has_value();
}

}  // namespace mur::maintenance
