// Text in the system code page, converted as the narrow Windows functions
// convert it.
#pragma once

#include <optional>
#include <string>

namespace murtest {

// Whether the run's system code page is 932 (otherwise the tests run in 1252).
bool Cp932();
// UTF-8 text as UTF-16.
std::wstring FromUtf8(const char* utf8);
// `narrow` (system code page) as UTF-16, as the narrow functions convert it.
std::wstring FromSystem(const std::string& narrow);
// `text` in the system code page, when every character of it has a spelling
// there (no best-fit substitutes).
std::optional<std::string> SystemSpelling(const std::wstring& text);
// `text` in the system code page as the narrow functions convert it: a
// character without a spelling there becomes its best-fit substitute (or the
// default character).
std::string BestFitSpelling(const std::wstring& text);

}  // namespace murtest
