#include "support/code_page.h"

#include <windows.h>

namespace murtest {

std::wstring FromSystem(const std::string& narrow) {
  if (narrow.empty()) return std::wstring();
  std::wstring wide(narrow.size(), L'\0');
  const int n = ::MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()), wide.data(),
                                      static_cast<int>(wide.size()));
  wide.resize(n > 0 ? n : 0);
  return wide;
}

std::optional<std::string> SystemSpelling(const std::wstring& text) {
  std::string narrow(text.size() * 2 + 1, '\0');
  BOOL defaulted = FALSE;
  const int n = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()),
                                      narrow.data(), static_cast<int>(narrow.size()), nullptr, &defaulted);
  if (n <= 0 && !text.empty()) return std::nullopt;
  narrow.resize(n);
  if (defaulted || FromSystem(narrow) != text) return std::nullopt;
  return narrow;
}

std::string BestFitSpelling(const std::wstring& text) {
  std::string narrow(text.size() * 2 + 1, '\0');
  const int n = ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), narrow.data(),
                                      static_cast<int>(narrow.size()), nullptr, nullptr);
  narrow.resize(n > 0 ? n : 0);
  return narrow;
}

}  // namespace murtest
