// The few native (ntdll) functions and structures that the platform layer
// calls, declared here because the Windows headers that MinGW ships do not
// all carry them. Every one of them exists in Windows XP's ntdll.
// Platform-internal: only platform/*_win32.cpp include this.
#pragma once

#include <windows.h>

namespace mur::platform::nt {

using Status = LONG;  // NTSTATUS

constexpr Status kSuccess = 0;
constexpr Status kBufferOverflow = static_cast<Status>(0x80000005L);
constexpr Status kInfoLengthMismatch = static_cast<Status>(0xC0000004L);
constexpr Status kBufferTooSmall = static_cast<Status>(0xC0000023L);

// KEY_INFORMATION_CLASS::KeyNameInformation: the key's full name.
constexpr ULONG kKeyNameInformation = 3;
// OBJECT_INFORMATION_CLASS::ObjectNameInformation.
constexpr ULONG kObjectNameInformation = 1;

struct CountedString {  // UNICODE_STRING
  USHORT length;        // bytes
  USHORT maximum_length;
  WCHAR* buffer;
};

}  // namespace mur::platform::nt

extern "C" {
// The full name (KEY_NAME_INFORMATION: ULONG byte length, then the UTF-16
// name, not terminated) and other facts of an open key.
__declspec(dllimport) LONG NTAPI NtQueryKey(HANDLE key, ULONG info_class, PVOID info, ULONG length,
                                            PULONG result_length);
// Marks the key behind `key` deleted (it goes when its last handle closes);
// fails for a key that has subkeys.
__declspec(dllimport) LONG NTAPI NtDeleteKey(HANDLE key);
// Object facts; ObjectNameInformation gives a UNICODE_STRING followed by the name.
__declspec(dllimport) LONG NTAPI NtQueryObject(HANDLE handle, ULONG info_class, PVOID info, ULONG length,
                                               PULONG result_length);
// Stores a value's type and bytes exactly as given.
__declspec(dllimport) LONG NTAPI NtSetValueKey(HANDLE key, mur::platform::nt::CountedString* name, ULONG title_index,
                                               ULONG type, PVOID data, ULONG size);
__declspec(dllimport) ULONG NTAPI RtlNtStatusToDosError(LONG status);
// Upper case of one UTF-16 unit, by the table the registry folds names with.
__declspec(dllimport) WCHAR NTAPI RtlUpcaseUnicodeChar(WCHAR c);
}
