// Files, as the stores and the probes open them: UTF-16 paths, results as
// Win32 error codes (ERROR_SUCCESS when the call succeeded), every handle
// owned by a UniqueHandle.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "platform/unique.h"

namespace mur::platform {

// A kernel handle (file or directory); null owns nothing.
struct HandleTraits {
  using Pointer = HANDLE;
  static HANDLE Invalid() { return nullptr; }
  static unsigned long Close(HANDLE handle);
};
using UniqueHandle = Unique<HandleTraits>;

enum class FileMode {
  // Read and write, no sharing, created when absent, never truncated
  // (the record layout's stores).
  kUpdateExclusive,
  // Read and write, others may read but not write, created when absent,
  // never truncated, every write appended at the end (the text layout).
  kAppendDenyWrite,
  // Read only, must exist, no sharing (whole-file reads).
  kReadExclusive,
};

DWORD OpenFileHandle(const wchar_t* path, FileMode mode, UniqueHandle* file);

// The file's size. A low half of 0xFFFFFFFF always counts as a failed read,
// whatever the high half.
DWORD FileSize(HANDLE file, std::uint64_t* size);

// One write call at the current position (the end, for kAppendDenyWrite).
DWORD WriteBytes(HANDLE file, const void* data, std::size_t size);

// One read call of up to `size` bytes; *got is the count read.
DWORD ReadBytes(HANDLE file, void* buffer, std::uint32_t size, std::uint32_t* got);

}  // namespace mur::platform
