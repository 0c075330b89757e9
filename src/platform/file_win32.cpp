#include "platform/file.h"

#include <windows.h>

#include "platform/seam.h"

namespace mur::platform {
namespace {

void CloseRaw(HANDLE h) {
  ::CloseHandle(h);
  seam::HandleClosed();
}

}  // namespace

File::File(File&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    other.handle_ = nullptr;
  }
  return *this;
}

File::~File() { Close(); }

File File::Open(const std::string& path, FileMode mode) {
  if (seam::TripSettingLastError(seam::kOpenFile)) return File();
  DWORD access = GENERIC_READ | GENERIC_WRITE;
  DWORD share = 0;
  DWORD disposition = OPEN_ALWAYS;
  switch (mode) {
    case FileMode::kUpdateExclusive:
      break;
    case FileMode::kAppendDenyWrite:
      share = FILE_SHARE_READ;
      break;
    case FileMode::kReadExclusive:
      access = GENERIC_READ;
      disposition = OPEN_EXISTING;
      break;
  }
  SECURITY_ATTRIBUTES inheritable = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE h = ::CreateFileA(path.c_str(), access, share, &inheritable, disposition,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return File();
  seam::HandleOpened();
  if (mode == FileMode::kAppendDenyWrite &&
      ::SetFilePointer(h, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER &&
      ::GetLastError() != NO_ERROR) {
    CloseRaw(h);
    return File();
  }
  return File(h);
}

std::optional<std::uint64_t> File::Size() {
  if (!handle_ || seam::TripSettingLastError(seam::kFileSize)) return std::nullopt;
  DWORD high = 0;
  const DWORD low = ::GetFileSize(handle_, &high);
  if (low == INVALID_FILE_SIZE) return std::nullopt;
  return (static_cast<std::uint64_t>(high) << 32) | low;
}

bool File::Write(const void* data, std::size_t size) {
  if (!handle_ || size > MAXDWORD || seam::TripSettingLastError(seam::kWriteFile)) return false;
  DWORD written = 0;
  return ::WriteFile(handle_, data, static_cast<DWORD>(size), &written, nullptr) != FALSE;
}

std::optional<std::uint32_t> File::Read(void* buffer, std::uint32_t size) {
  if (!handle_ || seam::TripSettingLastError(seam::kReadFile)) return std::nullopt;
  DWORD got = 0;
  if (!::ReadFile(handle_, buffer, size, &got, nullptr)) return std::nullopt;
  return got;
}

bool File::Close() {
  if (!handle_) return true;
  HANDLE h = handle_;
  handle_ = nullptr;
  // An armed close still releases the handle, as a real failing close does.
  const bool closed = ::CloseHandle(h) != FALSE;
  seam::HandleClosed();
  return !seam::TripSettingLastError(seam::kCloseFile) && closed;
}

}  // namespace mur::platform
