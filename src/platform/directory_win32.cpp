#include "platform/directory.h"

#include <windows.h>

#include "platform/seam.h"

namespace mur::platform {
namespace {

DirEntry FromAttributes(std::string name, DWORD attributes) {
  DirEntry e;
  e.name = std::move(name);
  e.directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  e.hidden = (attributes & FILE_ATTRIBUTE_HIDDEN) != 0;
  e.system = (attributes & FILE_ATTRIBUTE_SYSTEM) != 0;
  e.reparse_point = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  return e;
}

}  // namespace

DirListing::DirListing(DirListing&& other) noexcept
    : handle_(other.handle_), first_pending_(other.first_pending_), first_(std::move(other.first_)) {
  other.handle_ = nullptr;
}

DirListing& DirListing::operator=(DirListing&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    first_pending_ = other.first_pending_;
    first_ = std::move(other.first_);
    other.handle_ = nullptr;
  }
  return *this;
}

DirListing::~DirListing() { Close(); }

DirListing DirListing::Open(const std::string& pattern) {
  DirListing listing;
  if (seam::TrippedSettingLastError(seam::kFindFirst)) return listing;
  WIN32_FIND_DATAA data;
  HANDLE h = ::FindFirstFileA(pattern.c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return listing;
  seam::Opened();
  listing.handle_ = h;
  listing.first_pending_ = true;
  listing.first_ = FromAttributes(data.cFileName, data.dwFileAttributes);
  return listing;
}

bool DirListing::Next(DirEntry* entry) {
  if (!handle_) return false;
  if (first_pending_) {
    first_pending_ = false;
    *entry = std::move(first_);
    return true;
  }
  if (seam::TrippedSettingLastError(seam::kFindNext)) return false;
  WIN32_FIND_DATAA data;
  if (!::FindNextFileA(handle_, &data)) return false;
  *entry = FromAttributes(data.cFileName, data.dwFileAttributes);
  return true;
}

void DirListing::Close() {
  if (!handle_) return;
  ::FindClose(handle_);
  seam::Closed();
  handle_ = nullptr;
}

std::optional<DirEntry> PathAttributes(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  return FromAttributes(path, attributes);
}

std::optional<std::string> FullPath(const std::string& path) {
  char buffer[MAX_PATH + 1];
  char* file_part = nullptr;
  const DWORD n = ::GetFullPathNameA(path.c_str(), sizeof buffer, buffer, &file_part);
  if (n == 0 || n >= sizeof buffer) return std::nullopt;
  return std::string(buffer, n);
}

bool RemoveFile(const std::string& path) {
  return !seam::TrippedSettingLastError(seam::kDeleteFile) && ::DeleteFileA(path.c_str()) != FALSE;
}

bool RemoveEmptyDirectory(const std::string& path) {
  return !seam::TrippedSettingLastError(seam::kRemoveDirectory) && ::RemoveDirectoryA(path.c_str()) != FALSE;
}

}  // namespace mur::platform
