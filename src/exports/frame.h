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

// Runs body(path) with `narrow_path` in UTF-16; `failure_value`, with *code
// the conversion's error, when the conversion fails.
template <class Body>
int WithWidePath(const char* narrow_path, int failure_value, DWORD* code, Body body) {
  text::Wide path;
  *code = platform::WideFromSystem(narrow_path, &path);
  return *code == ERROR_SUCCESS ? body(path.view()) : failure_value;
}

// Runs body(first, second) with both paths in UTF-16 (a null path is empty
// text); the conversion's error code, also *code, when one fails.
template <class Body>
int WithWidePaths(const char* first, const char* second, DWORD* code, Body body) {
  text::Wide a, b;
  *code = platform::WideFromSystem(first, &a);
  if (*code == ERROR_SUCCESS) *code = platform::WideFromSystem(second, &b);
  return *code == ERROR_SUCCESS ? body(a.c_str(), b.c_str()) : static_cast<int>(*code);
}

}  // namespace mur::exports
