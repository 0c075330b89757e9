// Files, as the stores and the probes open them: UTF-16 paths, results as
// Win32 error codes (ERROR_SUCCESS when the call succeeded), every handle
// owned by a UniqueHandle and none of them inheritable, so a program that
// the host starts while a call runs never keeps one of the library's files.
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
  // (writing the record layout's stores).
  kUpdateExclusive,
  // Read and write, others may read but not write, created when absent,
  // never truncated (writing the text layout).
  kUpdateDenyWrite,
  // Read only, must exist; others may read, write and delete meanwhile, so
  // only an opener that does not share reading keeps it out (deciding what a
  // store holds, the probes).
  kReadShared,
};

// How long one call keeps trying a file that another opener holds: an open
// refused by a sharing violation, or a read or write refused by a lock, is
// tried again after a short wait, for about two seconds in all. One per
// call, shared by every file that call opens.
class OpenerPatience {
 public:
  static constexpr unsigned long kBudgetMs = 2000;

  // Whether a call refused with `error` is to be tried again; when it is,
  // the wait has been made.
  bool WaitAgain(DWORD error);

 private:
  bool waiting_ = false;
  DWORD first_wait_ = 0;  // GetTickCount() at the first wait
  DWORD step_ms_ = 0;
};

// Opens `path` in `mode`, waiting on other openers as `patience` allows.
DWORD OpenFileHandle(const wchar_t* path, FileMode mode, OpenerPatience* patience, UniqueHandle* file);

// The file's size, all 64 bits of it.
DWORD FileSize(HANDLE file, std::uint64_t* size);

// Writes all of `size` bytes with one write call at the current position
// (a file opened for writing starts at its beginning); a write that puts
// fewer fails.
DWORD WriteBytes(HANDLE file, const void* data, std::size_t size, OpenerPatience* patience);

// One read of up to `size` bytes at the current position; *got is the count
// read, 0 at the end of the file.
DWORD ReadBytes(HANDLE file, void* buffer, std::uint32_t size, std::uint32_t* got, OpenerPatience* patience);

}  // namespace mur::platform
