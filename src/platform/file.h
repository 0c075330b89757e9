// Files, as the library's operations open them. The only code that touches
// the operating system's file functions; every handle is owned by a File and
// closed on every path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace mur::platform {

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

class File {
 public:
  File() = default;
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File();

  // Opens `path` (narrow text in the system code page). Check IsOpen().
  static File Open(const std::string& path, FileMode mode);

  bool IsOpen() const { return handle_ != nullptr; }

  // The file's size; nullopt when the size cannot be read. A low half of
  // 0xFFFFFFFF always counts as a failed read, whatever the high half.
  std::optional<std::uint64_t> Size();

  // One write call at the current position (the end, for kAppendDenyWrite).
  bool Write(const void* data, std::size_t size);

  // One read call of up to `size` bytes; the count read, or nullopt.
  std::optional<std::uint32_t> Read(void* buffer, std::uint32_t size);

  // Closes the handle; false when the platform reports a failed close (the
  // handle is released either way). Closing a closed File is a no-op (true).
  bool Close();

 private:
  explicit File(void* handle) : handle_(handle) {}
  void* handle_ = nullptr;
};

}  // namespace mur::platform
