#include "platform/directory.h"

#include <cstddef>
#include <cstring>

#include "platform/grow.h"
#include "platform/ntdll.h"
#include "seam/seam.h"

namespace mur::platform {
namespace {

using nt::kFileBasicInformation;
using nt::kFileDirectoryInformation;
using nt::kFileDispositionInformation;
using nt::kFileIdFullDirectoryInformation;
using nt::kFileInternalInformation;
using nt::kFileNameInformation;

constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr ULONG kFileRemoteDevice = 0x10;              // FILE_REMOTE_DEVICE
constexpr ULONG kFileDeviceNetworkFileSystem = 0x14;  // FILE_DEVICE_NETWORK_FILE_SYSTEM

// FILE_ID_FULL_DIR_INFORMATION.
struct IdFullDirEntry {
  ULONG next_entry_offset;
  ULONG file_index;
  LARGE_INTEGER creation_time;
  LARGE_INTEGER last_access_time;
  LARGE_INTEGER last_write_time;
  LARGE_INTEGER change_time;
  LARGE_INTEGER end_of_file;
  LARGE_INTEGER allocation_size;
  ULONG file_attributes;
  ULONG file_name_length;  // bytes
  ULONG ea_size;
  LARGE_INTEGER file_id;
  WCHAR file_name[1];
};
static_assert(offsetof(IdFullDirEntry, file_id) == 72 && offsetof(IdFullDirEntry, file_name) == 80,
              "FILE_ID_FULL_DIR_INFORMATION layout");
constexpr std::uint32_t kEntryHeader = offsetof(IdFullDirEntry, file_name);

// FILE_DIRECTORY_INFORMATION: the same up to the name's length, then the name.
constexpr std::uint32_t kPlainEntryHeader = offsetof(IdFullDirEntry, ea_size);

// One open of `name` relative to `parent`; never a path: the caller hands a
// single component.
NTSTATUS OpenRelative(HANDLE parent, std::wstring_view name, ACCESS_MASK access, ULONG options, HANDLE* out) {
  UNICODE_STRING counted;
  if (!nt::CountedString(name, &counted)) return nt::kObjectNameInvalid;
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &counted, 0, parent, nullptr);
  IO_STATUS_BLOCK io;
  return ::NtOpenFile(out, access, &attributes, &io, kShareAll, options);
}

// A relative open's status as a Win32 code: an entry being deleted keeps a
// code of its own (Win32 folds it into ERROR_ACCESS_DENIED).
DWORD OpenError(NTSTATUS status) {
  return status == nt::kDeletePending ? ERROR_DELETE_PENDING : nt::ToWin32(status);
}

}  // namespace

DWORD FullPath(const wchar_t* path, text::Wide* full) {
  full->Clear();
  unsigned long armed = 0;
  if (seam::Tripped(seam::kFullPath, &armed)) return armed;
  DWORD capacity = MAX_PATH;
  return WhileItGrows([&]() -> DWORD {
    if (!full->Resize(capacity)) return ERROR_NOT_ENOUGH_MEMORY;
    const DWORD n = ::GetFullPathNameW(path, capacity, full->data(), nullptr);
    if (n == 0) return ::GetLastError();
    if (n < capacity) {
      full->Truncate(n);
      return ERROR_SUCCESS;
    }
    capacity = n;  // the size needed, terminating zero included
    return kGrownForAnotherTry;
  });
}

DWORD OpenDirectoryForListing(const wchar_t* path, UniqueHandle* dir) {
  dir->reset();
  return seam::Open(seam::kOpenDirectoryPath, path, [&]() -> DWORD {
    const HANDLE h = ::CreateFileW(path, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE, kShareAll, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return ::GetLastError();
    dir->reset(h);
    return ERROR_SUCCESS;
  });
}

DWORD OpenChildDirectory(HANDLE parent, std::wstring_view name, UniqueHandle* dir, bool* can_delete) {
  dir->reset();
  *can_delete = false;
  return seam::Open(seam::kOpenChildDirectory, name, [&]() -> DWORD {
    constexpr ACCESS_MASK kList = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
    constexpr ULONG kOptions = FILE_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT;
    HANDLE h = nullptr;
    NTSTATUS status = OpenRelative(parent, name, kList | DELETE, kOptions, &h);
    if (status == nt::kSharingViolation || status == nt::kAccessDenied) {
      // Someone holds it without delete sharing (the process's current
      // directory, for one), or deletion is not ours to do: its contents may
      // still go.
      status = OpenRelative(parent, name, kList, kOptions, &h);
    } else if (status == nt::kSuccess) {
      *can_delete = true;
    }
    if (status != nt::kSuccess) return OpenError(status);
    dir->reset(h);
    return ERROR_SUCCESS;
  });
}

DWORD OpenChildTarget(HANDLE parent, std::wstring_view name, UniqueHandle* dir) {
  dir->reset();
  return seam::Open(seam::kOpenChildTarget, name, [&]() -> DWORD {
    HANDLE h = nullptr;
    const NTSTATUS status = OpenRelative(parent, name, FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                         FILE_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT, &h);
    if (status != nt::kSuccess) return nt::ToWin32(status);
    dir->reset(h);
    return ERROR_SUCCESS;
  });
}

DWORD DeleteChildFile(HANDLE parent, std::wstring_view name) {
  UniqueHandle file;
  const DWORD opened = seam::Open(seam::kDeleteChildFile, name, [&]() -> DWORD {
    HANDLE h = nullptr;
    const NTSTATUS status = OpenRelative(parent, name, DELETE,
                                         FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT | FILE_DELETE_ON_CLOSE, &h);
    if (status != nt::kSuccess) return OpenError(status);
    file.reset(h);
    return ERROR_SUCCESS;
  });
  if (opened != ERROR_SUCCESS) return opened;
  return file.Close();  // the file goes when this, its only handle, closes
}

DWORD QueryFacts(HANDLE handle, FileFacts* facts) {
  unsigned long armed = 0;
  if (seam::Tripped(seam::kQueryFileInformation, &armed)) return armed;
  IO_STATUS_BLOCK io;
  FILE_BASIC_INFORMATION basic;
  NTSTATUS status = ::NtQueryInformationFile(handle, &io, &basic, sizeof basic, kFileBasicInformation);
  if (status != nt::kSuccess) return nt::ToWin32(status);
  LARGE_INTEGER id;  // FILE_INTERNAL_INFORMATION
  id.QuadPart = 0;
  unsigned long stood_in = 0;
  status = seam::Tripped(seam::kQueryFileId, &stood_in)
               ? static_cast<NTSTATUS>(stood_in)
               : ::NtQueryInformationFile(handle, &io, &id, sizeof id, kFileInternalInformation);
  // A file system without file ids: the handle has none (0).
  if (nt::ClassNotAnswered(status)) {
    id.QuadPart = 0;
  } else if (status != nt::kSuccess) {
    return nt::ToWin32(status);
  }
  facts->attributes = basic.FileAttributes;
  facts->id = static_cast<std::uint64_t>(id.QuadPart);
  return ERROR_SUCCESS;
}

DWORD QueryPathInVolume(HANDLE dir, text::Wide* path, bool* remote) {
  path->Clear();
  unsigned long armed = 0;
  if (seam::Tripped(seam::kQueryFileInformation, &armed)) return armed;
  IO_STATUS_BLOCK io;
  FILE_FS_DEVICE_INFORMATION device;
  NTSTATUS status = ::NtQueryVolumeInformationFile(dir, &io, &device, sizeof device, FileFsDeviceInformation);
  if (status != nt::kSuccess) return nt::ToWin32(status);
  *remote = (device.Characteristics & kFileRemoteDevice) != 0 || device.DeviceType == kFileDeviceNetworkFileSystem;
  // FILE_NAME_INFORMATION: a length, then the name. Grown to the length
  // reported when the first try is short.
  text::Buffer<ULONG> block;
  std::size_t name_bytes = 512;
  return WhileItGrows([&]() -> DWORD {
    const std::size_t units = (sizeof(ULONG) + name_bytes + sizeof(ULONG) - 1) / sizeof(ULONG);
    if (units > 0x10000 || !block.Resize(units)) return ERROR_NOT_ENOUGH_MEMORY;
    const ULONG size = static_cast<ULONG>(units * sizeof(ULONG));
    status = ::NtQueryInformationFile(dir, &io, block.data(), size, kFileNameInformation);
    const ULONG length = block[0];
    if (status == nt::kBufferOverflow && length > name_bytes) {
      name_bytes = length;
      return kGrownForAnotherTry;
    }
    if (status != nt::kSuccess) return nt::ToWin32(status);
    if (length > size - sizeof(ULONG)) return ERROR_INVALID_DATA;
    const auto* name = reinterpret_cast<const wchar_t*>(block.data() + 1);
    return path->Assign(name, length / sizeof(wchar_t)) ? ERROR_SUCCESS : ERROR_NOT_ENOUGH_MEMORY;
  });
}

DWORD MarkForDeletion(HANDLE handle) {
  unsigned long armed = 0;
  if (seam::Tripped(seam::kSetDisposition, &armed)) return armed;
  IO_STATUS_BLOCK io;
  FILE_DISPOSITION_INFORMATION disposition;
  disposition.DoDeleteFile = TRUE;
  return nt::ToWin32(
      ::NtSetInformationFile(handle, &io, &disposition, sizeof disposition, kFileDispositionInformation));
}

DWORD ReadDirectory(HANDLE dir, void* block, std::uint32_t bytes, bool restart, std::wstring_view mask,
                    std::uint32_t* filled, bool* with_ids) {
  *filled = 0;
  unsigned long armed = 0;
  if (seam::Tripped(seam::kQueryDirectory, &armed)) return armed;
  UNICODE_STRING counted;
  const bool masked = restart && !mask.empty();
  if (masked && !nt::CountedString(mask, &counted)) return ERROR_INVALID_NAME;
  IO_STATUS_BLOCK io;
  io.Information = 0;
  auto query = [&](FILE_INFORMATION_CLASS information_class) -> NTSTATUS {
    // The seam can stand in for a read's answer: none at all, or a listing
    // with file ids that the file system refuses.
    unsigned long stood_in = 0;
    if (seam::Tripped(seam::kEmptyListingRead, &stood_in)) {
      io.Information = 0;
      return nt::kSuccess;
    }
    if (information_class == kFileIdFullDirectoryInformation && seam::Tripped(seam::kListWithIds, &stood_in))
      return static_cast<NTSTATUS>(stood_in);
    return ::NtQueryDirectoryFile(dir, nullptr, nullptr, nullptr, &io, block, bytes, information_class, FALSE,
                                  masked ? &counted : nullptr, restart ? TRUE : FALSE);
  };
  NTSTATUS status = query(*with_ids ? kFileIdFullDirectoryInformation : kFileDirectoryInformation);
  if (*with_ids && restart && nt::ClassNotAnswered(status)) {
    // A file system without file ids in its listings.
    *with_ids = false;
    status = query(kFileDirectoryInformation);
  }
  if (status != nt::kSuccess) return nt::ToWin32(status);
  *filled = io.Information <= bytes ? static_cast<std::uint32_t>(io.Information) : bytes;
  return ERROR_SUCCESS;
}

bool NextListedEntry(const void* block, std::uint32_t filled, bool with_ids, std::uint32_t* offset,
                     ListedEntry* entry) {
  const std::uint32_t header = with_ids ? kEntryHeader : kPlainEntryHeader;
  const std::uint32_t at = *offset;
  if (at >= filled || filled - at < header || at % 8 != 0) return false;
  const auto* base = static_cast<const unsigned char*>(block) + at;
  const auto* e = reinterpret_cast<const IdFullDirEntry*>(base);
  if (e->file_name_length > filled - at - header || e->file_name_length % sizeof(wchar_t) != 0) return false;
  entry->name = std::wstring_view(reinterpret_cast<const wchar_t*>(base + header), e->file_name_length / sizeof(wchar_t));
  entry->facts.attributes = e->file_attributes;
  entry->facts.id = with_ids ? static_cast<std::uint64_t>(e->file_id.QuadPart) : 0;
  // The last entry of a block has no successor.
  *offset = e->next_entry_offset == 0 || e->next_entry_offset > filled - at ? filled : at + e->next_entry_offset;
  return true;
}

}  // namespace mur::platform
