// murhost's arguments: texts (the word -null- passes a null pointer),
// registry roots and integers, and its one way to fail (exit code 2).
#pragma once

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace murhost {

inline int Fail(const std::string& message) {
  std::fprintf(stderr, "murhost: %s\n", message.c_str());
  return 2;
}

inline const char* Text(const std::string& arg) { return arg == "-null-" ? nullptr : arg.c_str(); }

inline bool ParseRoot(const std::string& text, HKEY* root) {
  struct Named { const char* a; const char* b; HKEY key; };
  static const Named kRoots[] = {
      {"HKCR", "HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
      {"HKCU", "HKEY_CURRENT_USER", HKEY_CURRENT_USER},
      {"HKLM", "HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
      {"HKU", "HKEY_USERS", HKEY_USERS},
  };
  for (const Named& n : kRoots) {
    if (_stricmp(text.c_str(), n.a) == 0 || _stricmp(text.c_str(), n.b) == 0) {
      *root = n.key;
      return true;
    }
  }
  char* end = nullptr;
  const unsigned long long value = std::strtoull(text.c_str(), &end, 0);
  if (text.empty() || *end) return false;
  *root = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(value));
  return true;
}

// An integer argument.
inline bool ParseInt(const std::string& text, int* value) {
  char* end = nullptr;
  const long parsed = std::strtol(text.c_str(), &end, 0);
  if (text.empty() || *end) return false;
  *value = static_cast<int>(parsed);
  return true;
}

}  // namespace murhost
