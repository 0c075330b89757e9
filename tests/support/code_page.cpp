#include "support/code_page.h"

#include <windows.h>

namespace murtest {

bool Cp932() { return ::GetACP() == 932; }

std::wstring FromUtf8(const char* utf8) {
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
  std::wstring wide(n > 0 ? n : 1, L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide.data(), n);
  wide.resize(n > 0 ? n - 1 : 0);
  return wide;
}

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
