// The probes' read of a file as text, block by block.
#pragma once

#include <windows.h>

#include <cstddef>

#include "platform/file.h"
#include "text/buffer.h"

namespace mur::probes {

// Bytes read at a time: memory stays this and a constant, whatever the
// file's size.
inline constexpr std::size_t kReadBlockSize = 256 * 1024;

// Opens `path` for reading, sharing reading, writing and deletion (so only an
// opener that does not share reading keeps it out), and hands its bytes from the start to scan.Feed() in
// blocks of up to kReadBlockSize, until Feed() answers false or the file
// ends. ERROR_SUCCESS when at least one byte was read and every read that
// the scan needed succeeded; ERROR_HANDLE_EOF when the file is empty;
// otherwise the error of the open, the read or the close.
template <class Scan>
DWORD ScanFileText(const wchar_t* path, platform::OpenerPatience* patience, Scan* scan) {
  platform::UniqueHandle file;
  const DWORD opened = platform::OpenFileHandle(path, platform::FileMode::kReadShared, patience, &file);
  if (opened != ERROR_SUCCESS) return opened;
  text::Bytes block;
  if (!block.Resize(kReadBlockSize)) return ERROR_NOT_ENOUGH_MEMORY;
  bool any = false;
  for (;;) {
    std::uint32_t got = 0;
    const DWORD read = platform::ReadBytes(file.get(), block.data(), kReadBlockSize, &got, patience);
    if (read != ERROR_SUCCESS) return read;
    if (got == 0) break;
    any = true;
    if (!scan->Feed(std::string_view(block.data(), got))) break;
  }
  const DWORD closed = file.Close();
  if (closed != ERROR_SUCCESS) return closed;
  return any ? ERROR_SUCCESS : ERROR_HANDLE_EOF;
}

}  // namespace mur::probes
