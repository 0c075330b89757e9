// Scratch product directories for the Windows tests: a fresh directory of its
// own under the temporary folder, removed with everything in it afterwards.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "support/handles.h"

namespace murtest {

class ScratchDir {
 public:
  // Creates a unique directory; with `with_data`, also its `data` folder.
  explicit ScratchDir(bool with_data = true);
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& path() const { return path_; }
  std::string data(const std::string& file) const { return path_ + "\\data\\" + file; }

 private:
  std::string path_;
};

// Whole-file helpers of the tests' own (plain Win32, shared reading).
bool FileExists(const std::string& path);
std::string ReadAll(const std::string& path);
void WriteAll(const std::string& path, const std::string& bytes);
FILETIME LastWrite(const std::string& path);
// The first `n` bytes (fewer when the file is shorter) and the whole size.
std::string ReadHead(const std::string& path, std::size_t n);
std::uint64_t SizeOf(const std::string& path);
// Sets the file's end at `size`, marked sparse where the file system keeps
// holes: what it held stays, and what it gains reads as zero bytes.
void ExtendTo(const std::string& path, std::uint64_t size);
// True when the file can be opened with no sharing at all, i.e. nobody,
// the library included, still holds a handle to it.
bool OpenableExclusively(const std::string& path);
void RemoveTreeForTest(const std::string& path);

// Holds a file open with the given sharing until destroyed.
class HeldFile {
 public:
  HeldFile(const std::string& path, DWORD access, DWORD share);
  bool ok() const { return static_cast<bool>(handle_); }

 private:
  FileHandle handle_;
};

}  // namespace murtest
