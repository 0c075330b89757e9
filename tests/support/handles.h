// Owners of the handles that the tests open themselves, on the library's own
// owner template: closed on every path, an ASSERT that returns early included.
#pragma once

#include <windows.h>

#include "platform/unique.h"

namespace murtest {

// Kernel handles whose "none" is null: events, semaphores, processes, pipes.
struct KernelHandleTraits {
  using Pointer = HANDLE;
  static HANDLE Invalid() { return nullptr; }
  static unsigned long Close(HANDLE h) { return ::CloseHandle(h) ? 0 : ::GetLastError(); }
};
using Handle = mur::platform::Unique<KernelHandleTraits>;

// Handles from CreateFile and FindFirstFile-like calls, whose "none" is
// INVALID_HANDLE_VALUE.
struct FileHandleTraits {
  using Pointer = HANDLE;
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static unsigned long Close(HANDLE h) { return ::CloseHandle(h) ? 0 : ::GetLastError(); }
};
using FileHandle = mur::platform::Unique<FileHandleTraits>;

struct FindHandleTraits {
  using Pointer = HANDLE;
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static unsigned long Close(HANDLE h) { return ::FindClose(h) ? 0 : ::GetLastError(); }
};
using FindHandle = mur::platform::Unique<FindHandleTraits>;

struct KeyTraits {
  using Pointer = HKEY;
  static HKEY Invalid() { return nullptr; }
  static unsigned long Close(HKEY k) { return static_cast<unsigned long>(::RegCloseKey(k)); }
};
using Key = mur::platform::Unique<KeyTraits>;

struct ModuleTraits {
  using Pointer = HMODULE;
  static HMODULE Invalid() { return nullptr; }
  static unsigned long Close(HMODULE m) { return ::FreeLibrary(m) ? 0 : ::GetLastError(); }
};
using Module = mur::platform::Unique<ModuleTraits>;

}  // namespace murtest
