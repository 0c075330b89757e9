#include "support/scratch.h"

#include "support/handles.h"

#include <winioctl.h>

#include <atomic>
#include <stdexcept>

namespace murtest {

ScratchDir::ScratchDir(bool with_data) {
  static std::atomic<unsigned> counter{0};
  char temp[MAX_PATH];
  if (!::GetTempPathA(MAX_PATH, temp)) throw std::runtime_error("GetTempPath");
  for (;;) {
    path_ = std::string(temp) + "murtest_" + std::to_string(::GetCurrentProcessId()) + "_" +
            std::to_string(++counter) + "_" + std::to_string(::GetTickCount());
    if (::CreateDirectoryA(path_.c_str(), nullptr)) break;
    if (::GetLastError() != ERROR_ALREADY_EXISTS) throw std::runtime_error("CreateDirectory " + path_);
  }
  if (with_data && !::CreateDirectoryA((path_ + "\\data").c_str(), nullptr))
    throw std::runtime_error("CreateDirectory data");
}

ScratchDir::~ScratchDir() { RemoveTreeForTest(path_); }

bool FileExists(const std::string& path) {
  return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadAll(const std::string& path) {
  const FileHandle h(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
  if (!h) throw std::runtime_error("cannot read " + path);
  std::string bytes;
  char buf[65536];
  DWORD got = 0;
  while (::ReadFile(h.get(), buf, sizeof buf, &got, nullptr) && got > 0) bytes.append(buf, got);
  return bytes;
}

void WriteAll(const std::string& path, const std::string& bytes) {
  FileHandle h(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  if (!h) throw std::runtime_error("cannot write " + path);
  DWORD put = 0;
  const BOOL ok = ::WriteFile(h.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
  if (h.Close() != 0 || !ok || put != bytes.size()) throw std::runtime_error("short write " + path);
}

std::string ReadHead(const std::string& path, std::size_t n) {
  const FileHandle h(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
  if (!h) throw std::runtime_error("cannot read " + path);
  std::string bytes(n, '\0');
  DWORD got = 0, total = 0;
  while (total < n && ::ReadFile(h.get(), &bytes[total], static_cast<DWORD>(n - total), &got, nullptr) && got > 0)
    total += got;
  bytes.resize(total);
  return bytes;
}

std::uint64_t SizeOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
    throw std::runtime_error("no attributes " + path);
  return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

void ExtendTo(const std::string& path, std::uint64_t size) {
  const FileHandle h(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr));
  if (!h) throw std::runtime_error("cannot open " + path);
  DWORD ignored = 0;
  ::DeviceIoControl(h.get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(size);
  if (!::SetFilePointerEx(h.get(), at, nullptr, FILE_BEGIN) || !::SetEndOfFile(h.get()))
    throw std::runtime_error("cannot extend " + path);
}

FILETIME LastWrite(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
    throw std::runtime_error("no attributes " + path);
  return data.ftLastWriteTime;
}

bool OpenableExclusively(const std::string& path) {
  return static_cast<bool>(
      FileHandle(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr)));
}

void RemoveTreeForTest(const std::string& path) {
  const DWORD attrs = ::GetFileAttributesA(path.c_str());
  if (attrs == INVALID_FILE_ATTRIBUTES) return;
  if (!(attrs & FILE_ATTRIBUTE_DIRECTORY) || (attrs & FILE_ATTRIBUTE_REPARSE_POINT)) {
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!::DeleteFileA(path.c_str())) ::RemoveDirectoryA(path.c_str());
    return;
  }
  WIN32_FIND_DATAA entry;
  const FindHandle find(::FindFirstFileA((path + "\\*").c_str(), &entry));
  if (find) {
    do {
      const std::string name = entry.cFileName;
      if (name != "." && name != "..") RemoveTreeForTest(path + "\\" + name);
    } while (::FindNextFileA(find.get(), &entry));
  }
  ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  ::RemoveDirectoryA(path.c_str());
}

HeldFile::HeldFile(const std::string& path, DWORD access, DWORD share)
    : handle_(::CreateFileA(path.c_str(), access, share, nullptr, OPEN_ALWAYS, 0, nullptr)) {}

}  // namespace murtest
