// The frame every export runs in. Narrow text exists only here: a path
// argument is converted once from the system's ANSI code page to UTF-16 and
// the operation sees only that; a name or command that is data, not a path,
// stays the caller's bytes. Nothing inside throws: every failure, an
// exhausted allocation included, comes back as the export's failure value.
#pragma once

#include <windows.h>

#include <cstring>
#include <string_view>

#include "platform/codepage.h"
#include "text/buffer.h"

namespace mur::exports {

// The caller's bytes, read in place during the call (null is the empty text).
inline std::string_view NarrowArg(const char* text) {
  return text ? std::string_view(text, std::strlen(text)) : std::string_view();
}

// Runs body(path) with `narrow_path` in UTF-16; `failure_value` when the
// conversion fails.
template <class Body>
int WithWidePath(const char* narrow_path, int failure_value, Body body) {
  text::Wide path;
  if (platform::WideFromSystem(narrow_path, &path) != ERROR_SUCCESS) return failure_value;
  return body(path.view());
}

// Runs body(first, second) with both paths in UTF-16 (a null path is empty
// text); the conversion's error code when one fails.
template <class Body>
int WithWidePaths(const char* first, const char* second, Body body) {
  text::Wide a, b;
  DWORD result = platform::WideFromSystem(first, &a);
  if (result == ERROR_SUCCESS) result = platform::WideFromSystem(second, &b);
  if (result != ERROR_SUCCESS) return static_cast<int>(result);
  return body(a.c_str(), b.c_str());
}

}  // namespace mur::exports
