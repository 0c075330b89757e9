#include "platform/file.h"

#include "platform/seam.h"

namespace mur::platform {

unsigned long HandleTraits::Close(HANDLE handle) {
  // An armed close still releases the handle, as a real failing close does.
  return seam::Close(seam::kCloseHandle, seam::CloseFault::kFails, [handle]() -> unsigned long {
    return ::CloseHandle(handle) ? ERROR_SUCCESS : ::GetLastError();
  });
}

DWORD OpenFileHandle(const wchar_t* path, FileMode mode, UniqueHandle* file) {
  file->reset();
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
  const DWORD opened = seam::Open(seam::kOpenFile, [&]() -> DWORD {
    const HANDLE h = ::CreateFileW(path, access, share, &inheritable, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return ::GetLastError();
    file->reset(h);
    return ERROR_SUCCESS;
  });
  if (opened != ERROR_SUCCESS) return opened;
  if (mode == FileMode::kAppendDenyWrite &&
      ::SetFilePointer(file->get(), 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER) {
    const DWORD error = ::GetLastError();
    if (error != NO_ERROR) {
      file->reset();
      return error;
    }
  }
  return ERROR_SUCCESS;
}

DWORD FileSize(HANDLE file, std::uint64_t* size) {
  unsigned long armed = 0;
  if (seam::Tripped(seam::kFileSize, &armed)) return armed;
  DWORD high = 0;
  const DWORD low = ::GetFileSize(file, &high);
  if (low == INVALID_FILE_SIZE) {
    const DWORD error = ::GetLastError();
    return error != NO_ERROR ? error : ERROR_FILE_TOO_LARGE;
  }
  *size = (static_cast<std::uint64_t>(high) << 32) | low;
  return ERROR_SUCCESS;
}

DWORD WriteBytes(HANDLE file, const void* data, std::size_t size) {
  if (size > MAXDWORD) return ERROR_INVALID_PARAMETER;
  unsigned long armed = 0;
  if (seam::Tripped(seam::kWriteFile, &armed)) return armed;
  DWORD written = 0;
  if (!::WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr)) return ::GetLastError();
  return ERROR_SUCCESS;
}

DWORD ReadBytes(HANDLE file, void* buffer, std::uint32_t size, std::uint32_t* got) {
  unsigned long armed = 0;
  if (seam::Tripped(seam::kReadFile, &armed)) return armed;
  DWORD read = 0;
  if (!::ReadFile(file, buffer, size, &read, nullptr)) return ::GetLastError();
  *got = read;
  return ERROR_SUCCESS;
}

}  // namespace mur::platform
