#include "maintenance/root_paths.h"

#include <array>
#include <cstddef>

namespace mur::maintenance {
namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// The leading components of a path (separators of any length between them)
// and how many there are in all.
struct Components {
  static constexpr std::size_t kKept = 8;
  std::array<std::wstring_view, kKept> first;
  std::size_t count = 0;

  explicit Components(std::wstring_view path) {
    std::size_t i = 0;
    while (i < path.size()) {
      while (i < path.size() && IsSeparator(path[i])) ++i;
      const std::size_t start = i;
      while (i < path.size() && !IsSeparator(path[i])) ++i;
      if (i > start) {
        if (count < kKept) first[count] = std::wstring_view(path.data() + start, i - start);
        ++count;
      }
    }
  }
  // Component `i` (empty past the kept ones) and how many there are from it on.
  std::wstring_view operator[](std::size_t i) const { return i < kKept && i < count ? first[i] : std::wstring_view(); }
  std::size_t From(std::size_t i) const { return i < count ? count - i : 0; }
};

bool SameAscii(std::wstring_view text, const char* keyword) {
  std::size_t i = 0;
  for (; keyword[i] != '\0'; ++i) {
    if (i >= text.size()) return false;
    wchar_t c = text[i];
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    char k = keyword[i];
    if (k >= 'a' && k <= 'z') k = static_cast<char>(k - 'a' + 'A');
    if (c != static_cast<wchar_t>(static_cast<unsigned char>(k))) return false;
  }
  return i == text.size();
}

// `keyword` (any letter case) followed by one or more decimal digits.
bool KeywordAndNumber(std::wstring_view text, const char* keyword) {
  std::size_t n = 0;
  while (keyword[n] != '\0') ++n;
  if (text.size() <= n || !SameAscii(std::wstring_view(text.data(), n), keyword)) return false;
  for (std::size_t i = n; i < text.size(); ++i)
    if (text[i] < L'0' || text[i] > L'9') return false;
  return true;
}

bool IsDriveSpec(std::wstring_view s) {
  return s.size() == 2 && s[1] == L':' && ((s[0] >= L'A' && s[0] <= L'Z') || (s[0] >= L'a' && s[0] <= L'z'));
}

bool RootAfterGlobalRoot(const Components& parts, std::size_t i);

// The path from component `i` on, after a "\\?\", "\\.\" or "\??\" prefix.
bool RootAfterPrefix(const Components& parts, std::size_t i) {
  const std::size_t left = parts.From(i);
  if (left == 0) return true;
  const std::wstring_view head = parts[i];
  if (IsDriveSpec(head)) return left == 1;
  if (SameAscii(head, "UNC")) return left - 1 <= 2;
  if (SameAscii(head, "GLOBALROOT")) return RootAfterGlobalRoot(parts, i + 1);
  return left == 1;  // a device or volume name alone
}

bool RootAfterGlobalRoot(const Components& parts, std::size_t i) {
  const std::size_t left = parts.From(i);
  if (left == 0) return true;
  const std::wstring_view head = parts[i];
  if (SameAscii(head, "??") || SameAscii(head, "GLOBAL??") || SameAscii(head, "DosDevices"))
    return RootAfterPrefix(parts, i + 1);
  if (SameAscii(head, "Device")) {
    const std::wstring_view device = parts[i + 1];
    if (SameAscii(device, "Mup") || SameAscii(device, "LanmanRedirector")) return parts.From(i + 2) <= 2;
    // A device name alone; "Harddisk<N>\Partition<M>" is one name in two.
    if (KeywordAndNumber(device, "Harddisk") && KeywordAndNumber(parts[i + 2], "Partition"))
      return parts.From(i + 1) == 2;
    return parts.From(i + 1) <= 1;
  }
  return left <= 2;
}

}  // namespace

bool NamesARoot(std::wstring_view path) {
  const bool unc = path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]);
  const Components parts(path);
  if (parts.count == 0) return true;  // "", "\", "\\" and the like
  if (unc && (parts[0] == L"?" || parts[0] == L".")) return RootAfterPrefix(parts, 1);
  if (!unc && IsSeparator(path[0]) && parts[0] == L"??") return RootAfterPrefix(parts, 1);
  if (unc) return parts.count <= 2;  // \\server, \\server\share
  if (IsDriveSpec(parts[0])) return parts.count == 1;
  return false;
}

bool IsVolumeOrShareRoot(std::wstring_view path_in_volume, bool remote) {
  const Components parts(path_in_volume);
  return remote ? parts.count <= 2 : parts.count == 0;
}

}  // namespace mur::maintenance
