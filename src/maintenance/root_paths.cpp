#include "maintenance/root_paths.h"

#include <vector>

namespace mur::maintenance {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsDriveSpec(const std::string& s) {
  const char c = s.size() == 2 ? s[0] : '\0';
  return ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) && s[1] == ':';
}

// The path's components, separators of any length between them.
std::vector<std::string> Components(const std::string& path, std::size_t from) {
  std::vector<std::string> parts;
  std::string part;
  for (std::size_t i = from; i < path.size(); ++i) {
    if (IsSeparator(path[i])) {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += path[i];
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

}  // namespace

bool NamesARoot(const std::string& path) {
  const bool unc = path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]);
  std::vector<std::string> parts = Components(path, 0);
  if (parts.empty()) return true;  // "", "\", "\\" and the like
  if (unc && (parts[0] == "?" || parts[0] == ".")) {
    parts.erase(parts.begin());
    if (parts.empty()) return true;
    if (IsDriveSpec(parts[0])) return parts.size() == 1;
    if (parts[0] == "UNC" || parts[0] == "unc") parts.erase(parts.begin());
    return parts.size() <= 2;
  }
  if (unc) return parts.size() <= 2;  // \\server, \\server\share
  if (IsDriveSpec(parts[0])) return parts.size() == 1;
  return false;
}

}  // namespace mur::maintenance
