// The native (ntdll) functions, structures and status codes that the platform
// layer calls: MinGW's winternl.h and the few it lacks, declared here. Every
// one of them exists in Windows XP's ntdll. Platform-internal: only the
// platform's Windows sources and the seam's table of natives include this.
#pragma once

#include <windows.h>
#include <winternl.h>

#include <cstddef>
#include <string_view>

namespace mur::platform::nt {

constexpr NTSTATUS kSuccess = 0;
constexpr NTSTATUS kBufferOverflow = static_cast<NTSTATUS>(0x80000005L);
constexpr NTSTATUS kNotImplemented = static_cast<NTSTATUS>(0xC0000002L);
constexpr NTSTATUS kInvalidInfoClass = static_cast<NTSTATUS>(0xC0000003L);
constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);
constexpr NTSTATUS kInvalidParameter = static_cast<NTSTATUS>(0xC000000DL);
constexpr NTSTATUS kAccessDenied = static_cast<NTSTATUS>(0xC0000022L);
constexpr NTSTATUS kBufferTooSmall = static_cast<NTSTATUS>(0xC0000023L);
constexpr NTSTATUS kObjectNameInvalid = static_cast<NTSTATUS>(0xC0000033L);
constexpr NTSTATUS kSharingViolation = static_cast<NTSTATUS>(0xC0000043L);
constexpr NTSTATUS kDeletePending = static_cast<NTSTATUS>(0xC0000056L);
constexpr NTSTATUS kNotSupported = static_cast<NTSTATUS>(0xC00000BBL);
constexpr NTSTATUS kInvalidLevel = static_cast<NTSTATUS>(0xC0000148L);

// Whether a query failed because the file system does not answer that
// information class (the status varies with the file system and its age).
inline bool ClassNotAnswered(NTSTATUS status) {
  return status == kInvalidInfoClass || status == kInvalidParameter || status == kNotSupported ||
         status == kInvalidLevel || status == kNotImplemented;
}

// A Win32 error code for a status (ERROR_SUCCESS for success).
inline DWORD ToWin32(NTSTATUS status) {
  return status == kSuccess ? ERROR_SUCCESS : ::RtlNtStatusToDosError(status);
}

// FILE_INFORMATION_CLASS values by number (the XP-era values).
constexpr auto kFileDirectoryInformation = static_cast<FILE_INFORMATION_CLASS>(1);
constexpr auto kFileBasicInformation = static_cast<FILE_INFORMATION_CLASS>(4);
constexpr auto kFileInternalInformation = static_cast<FILE_INFORMATION_CLASS>(6);
constexpr auto kFileNameInformation = static_cast<FILE_INFORMATION_CLASS>(9);
constexpr auto kFileDispositionInformation = static_cast<FILE_INFORMATION_CLASS>(13);
constexpr auto kFileIdFullDirectoryInformation = static_cast<FILE_INFORMATION_CLASS>(38);

// The longest text one counted string holds: its length is 16 bits of bytes.
constexpr std::size_t kMaxCountedUnits = 0xFFFE / sizeof(wchar_t);

// A counted string over `text`, which it points into (nothing is copied);
// false when `text` is too long for one.
inline bool CountedString(std::wstring_view text, UNICODE_STRING* counted) {
  if (text.size() > kMaxCountedUnits) return false;
  counted->Buffer = const_cast<PWSTR>(text.data());
  counted->Length = counted->MaximumLength = static_cast<USHORT>(text.size() * sizeof(wchar_t));
  return true;
}

// KEY_INFORMATION_CLASS::KeyNameInformation: the key's full name.
constexpr ULONG kKeyNameInformation = 3;
// OBJECT_INFORMATION_CLASS::ObjectNameInformation.
constexpr auto kObjectNameInformation = static_cast<OBJECT_INFORMATION_CLASS>(1);

}  // namespace mur::platform::nt

extern "C" {
// A directory's entries, read through its handle (since Windows NT;
// FileIdFullDirectoryInformation since Windows XP).
NTSTATUS NTAPI NtQueryDirectoryFile(HANDLE file, HANDLE event, PVOID apc_routine, PVOID apc_context,
                                    PIO_STATUS_BLOCK io, PVOID buffer, ULONG length,
                                    FILE_INFORMATION_CLASS information_class, BOOLEAN single_entry,
                                    PUNICODE_STRING file_name, BOOLEAN restart_scan);
// The full name (KEY_NAME_INFORMATION: ULONG byte length, then the UTF-16
// name, not terminated) and other facts of an open key.
NTSTATUS NTAPI NtQueryKey(HANDLE key, ULONG info_class, PVOID info, ULONG length, PULONG result_length);
// Opens the key that `attributes` names (an absolute name, links followed).
NTSTATUS NTAPI NtOpenKey(PHANDLE key, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes);
// Marks the key behind `key` deleted (it goes when its last handle closes);
// fails for a key that has subkeys.
NTSTATUS NTAPI NtDeleteKey(HANDLE key);
// Stores a value's type and bytes exactly as given.
NTSTATUS NTAPI NtSetValueKey(HANDLE key, PUNICODE_STRING name, ULONG title_index, ULONG type, PVOID data,
                             ULONG size);
// Upper case of one UTF-16 unit, by the table the registry folds names with.
WCHAR NTAPI RtlUpcaseUnicodeChar(WCHAR c);
}
