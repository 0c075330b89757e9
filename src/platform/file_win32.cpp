#include "platform/file.h"

#include "seam/seam.h"

namespace mur::platform {
namespace {

// The first wait is short, as most holders (a scanner, a second seeder) let
// go within milliseconds; each further wait doubles, up to this.
constexpr DWORD kLongestStepMs = 50;

bool HeldByAnotherOpener(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

}  // namespace

bool OpenerPatience::WaitAgain(DWORD error) {
  if (!HeldByAnotherOpener(error)) return false;
  unsigned long armed = 0;
  if (seam::Tripped(seam::kWaitForOpener, &armed)) return false;
  const DWORD now = ::GetTickCount();
  if (!waiting_) {
    waiting_ = true;
    first_wait_ = now;
    step_ms_ = 1;
  }
  const DWORD spent = now - first_wait_;  // unsigned: right across the counter's wrap
  if (spent >= kBudgetMs) return false;
  const DWORD left = kBudgetMs - spent;
  ::Sleep(step_ms_ < left ? step_ms_ : left);
  step_ms_ = step_ms_ * 2 < kLongestStepMs ? step_ms_ * 2 : kLongestStepMs;
  return true;
}

unsigned long HandleTraits::Close(HANDLE handle) {
  // An armed close still releases the handle, as a real failing close does.
  return seam::Close(seam::kCloseHandle, seam::CloseFault::kFails, [handle]() -> unsigned long {
    return ::CloseHandle(handle) ? ERROR_SUCCESS : ::GetLastError();
  });
}

DWORD OpenFileHandle(const wchar_t* path, FileMode mode, OpenerPatience* patience, UniqueHandle* file) {
  file->reset();
  DWORD access = GENERIC_READ | GENERIC_WRITE;
  DWORD share = 0;
  DWORD disposition = OPEN_ALWAYS;
  seam::Op op = seam::kOpenFileForWriting;
  switch (mode) {
    case FileMode::kUpdateExclusive:
      break;
    case FileMode::kUpdateDenyWrite:
      share = FILE_SHARE_READ;
      break;
    case FileMode::kReadShared:
      access = GENERIC_READ;
      share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
      disposition = OPEN_EXISTING;
      op = seam::kOpenFileForReading;
      break;
  }
  DWORD opened;
  do {
    // No security attributes: the handle is not inheritable.
    opened = seam::Open(op, path, [&]() -> DWORD {
      const HANDLE h = ::CreateFileW(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (h == INVALID_HANDLE_VALUE) return ::GetLastError();
      file->reset(h);
      return ERROR_SUCCESS;
    });
  } while (opened != ERROR_SUCCESS && patience->WaitAgain(opened));
  return opened;
}

DWORD FileSize(HANDLE file, std::uint64_t* size) {
  unsigned long armed = 0;
  if (seam::Tripped(seam::kFileSize, &armed)) return armed;
  LARGE_INTEGER got{};
  if (!::GetFileSizeEx(file, &got)) return ::GetLastError();
  *size = static_cast<std::uint64_t>(got.QuadPart);
  return ERROR_SUCCESS;
}

DWORD WriteBytes(HANDLE file, const void* data, std::size_t size, OpenerPatience* patience) {
  if (size > MAXDWORD) return ERROR_INVALID_PARAMETER;
  for (;;) {
    unsigned long armed = 0;
    if (seam::Tripped(seam::kWriteFile, &armed)) return armed;
    DWORD written = 0;
    if (::WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr))
      return written == size ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
    const DWORD error = ::GetLastError();
    if (!patience->WaitAgain(error)) return error;
  }
}

DWORD ReadBytes(HANDLE file, void* buffer, std::uint32_t size, std::uint32_t* got, OpenerPatience* patience) {
  for (;;) {
    unsigned long armed = 0;
    if (seam::Tripped(seam::kReadFile, &armed)) return armed;
    DWORD read = 0;
    if (::ReadFile(file, buffer, size, &read, nullptr)) {
      *got = read;
      return ERROR_SUCCESS;
    }
    const DWORD error = ::GetLastError();
    if (!patience->WaitAgain(error)) return error;
  }
}

}  // namespace mur::platform
