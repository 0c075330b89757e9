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
FoldedPath Fold(std::string_view path, const probes::LeadBytes& leads) {
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

bool DestinationWithinSource(std::string_view source, std::string_view destination,
                             const probes::LeadBytes& leads) {
  const FoldedPath s = Fold(source, leads);
  const FoldedPath d = Fold(destination, leads);
  if (s.text.empty() || d.text == s.text) return true;
  const std::size_t n = s.text.size();
  return d.text.size() > n && d.text.compare(0, n, s.text) == 0 && d.starts[n] && d.text[n] == '\\';
}

}  // namespace mur::maintenance
