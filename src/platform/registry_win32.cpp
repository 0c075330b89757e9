#include "platform/registry.h"

#include <cstring>
#include <cwchar>
#include <string_view>

#include "platform/grow.h"
#include "platform/ntdll.h"
#include "seam/seam.h"

namespace mur::platform {
namespace {

REGSAM Mask(KeyAccess access) {
  switch (access) {
    case KeyAccess::kInspect:
      return KEY_QUERY_VALUE;
    case KeyAccess::kRead:
      return KEY_READ;
    case KeyAccess::kReadDelete:
      return KEY_READ | DELETE;
    case KeyAccess::kCreateBelow:
      return KEY_QUERY_VALUE | KEY_CREATE_SUB_KEY;
    case KeyAccess::kWrite:
      return KEY_READ | KEY_WRITE;
  }
  return KEY_READ;
}

// Keys that CreateKey creates or opens may also be deleted (a failed copy
// deletes what it created); an existing key that refuses deletion is opened
// without it.
constexpr REGSAM kCreatedMask = KEY_READ | KEY_WRITE | DELETE;
constexpr REGSAM kCreatedMaskWithoutDelete = KEY_READ | KEY_WRITE;

// Takes ownership of a key that the registry just opened for us.
DWORD Own(LONG result, HKEY h, UniqueKey* key) {
  if (result != ERROR_SUCCESS) return static_cast<DWORD>(result);
  key->reset(h);
  return ERROR_SUCCESS;
}

// The registry takes a path as one counted string: a longer one would be cut
// to a leading part of it, which names another key.
constexpr std::size_t kMaxPathUnits = 0xFFFE / sizeof(wchar_t) - 1;

DWORD Open(HKEY parent, const wchar_t* path, DWORD options, KeyAccess access, UniqueKey* key) {
  key->reset();
  if (!path || !*path) return ERROR_INVALID_PARAMETER;
  if (std::wcslen(path) > kMaxPathUnits) return ERROR_FILENAME_EXCED_RANGE;
  return seam::Open(seam::kRegOpenKey, path, [&]() -> DWORD {
    HKEY h = nullptr;
    const LONG result = ::RegOpenKeyExW(parent, path, options, Mask(access), &h);
    return Own(result, h, key);
  });
}

// The name from ObjectNameInformation: a counted string followed by its text.
DWORD QueryObjectName(HKEY key, text::Wide* name) {
  text::Buffer<ULONG_PTR> info;
  ULONG size = 1024;
  return WhileItGrows([&]() -> DWORD {
    if (!info.Resize(size / sizeof(ULONG_PTR) + 1)) return ERROR_NOT_ENOUGH_MEMORY;
    const ULONG capacity = static_cast<ULONG>(info.size() * sizeof(ULONG_PTR));
    ULONG needed = 0;
    const NTSTATUS status = ::NtQueryObject(key, nt::kObjectNameInformation, info.data(), capacity, &needed);
    if (status == nt::kSuccess) {
      // The counted string's text must lie inside what was filled in.
      const auto* counted = reinterpret_cast<const UNICODE_STRING*>(info.data());
      const auto* begin = reinterpret_cast<const char*>(info.data());
      const auto* text = reinterpret_cast<const char*>(counted->Buffer);
      if (counted->Length == 0 || !text || text < begin + sizeof(UNICODE_STRING) ||
          text > begin + capacity || counted->Length > begin + capacity - text)
        return ERROR_INVALID_DATA;
      return name->Assign(counted->Buffer, counted->Length / sizeof(wchar_t)) ? ERROR_SUCCESS
                                                                              : ERROR_NOT_ENOUGH_MEMORY;
    }
    if (status == nt::kBufferOverflow || status == nt::kBufferTooSmall || status == nt::kInfoLengthMismatch) {
      size = needed > capacity ? needed : capacity * 2;
      return kGrownForAnotherTry;
    }
    return nt::ToWin32(status);
  });
}

// Whether `name` is a key's full name: it starts at \REGISTRY\.
bool IsFullKeyName(std::wstring_view name) {
  static constexpr std::wstring_view kRoot = L"\\REGISTRY\\";
  if (name.size() <= kRoot.size()) return false;
  for (std::size_t i = 0; i < kRoot.size(); ++i)
    if (::RtlUpcaseUnicodeChar(name[i]) != kRoot[i]) return false;
  return true;
}

}  // namespace

unsigned long KeyTraits::Close(HKEY key) {
  return seam::Close(seam::kRegCloseKey, seam::CloseFault::kCounted,
                     [key]() -> unsigned long { return static_cast<unsigned long>(::RegCloseKey(key)); });
}

DWORD OpenKey(HKEY parent, const wchar_t* path, KeyAccess access, UniqueKey* key) {
  return Open(parent, path, 0, access, key);
}

DWORD OpenKeyNoFollow(HKEY parent, const wchar_t* path, KeyAccess access, UniqueKey* key) {
  return Open(parent, path, REG_OPTION_OPEN_LINK, access, key);
}

DWORD ReopenKey(HKEY key, KeyAccess access, UniqueKey* reopened) {
  reopened->reset();
  return seam::Open(seam::kRegOpenKey, [&]() -> DWORD {
    HKEY h = nullptr;
    LONG result = ::RegOpenKeyExW(key, L"", 0, Mask(access), &h);
    if (result == ERROR_SUCCESS && h == key) {
      // A predefined root opened with an empty path comes back as itself, not
      // as a handle of its own. Creating its empty subpath opens the key the
      // root stands for (it exists: nothing is created).
      result = ::RegCreateKeyExW(key, L"", 0, nullptr, REG_OPTION_NON_VOLATILE, Mask(access), nullptr, &h,
                                 nullptr);
    }
    return Own(result, h, reopened);
  });
}

DWORD CreateKey(HKEY parent, const wchar_t* name, UniqueKey* key, bool* created) {
  key->reset();
  *created = false;
  if (!name || !*name) return ERROR_INVALID_PARAMETER;
  if (std::wcslen(name) > kMaxPathUnits) return ERROR_FILENAME_EXCED_RANGE;
  return seam::Open(seam::kRegCreateKey, name, [&]() -> DWORD {
    HKEY h = nullptr;
    DWORD disposition = 0;
    LONG result = ::RegCreateKeyExW(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, kCreatedMask, nullptr, &h,
                                    &disposition);
    if (result == ERROR_ACCESS_DENIED) {
      // A key that exists and grants writing but not deletion is written to
      // all the same. A new key is made only where it may be deleted again:
      // when none exists, the denial stands.
      const LONG existing = ::RegOpenKeyExW(parent, name, 0, kCreatedMaskWithoutDelete, &h);
      if (existing != ERROR_FILE_NOT_FOUND) result = existing;
      disposition = REG_OPENED_EXISTING_KEY;
    }
    if (result == ERROR_SUCCESS) *created = disposition == REG_CREATED_NEW_KEY;
    return Own(result, h, key);
  });
}

DWORD DeleteKey(HKEY key) {
  unsigned long armed = 0;
  if (seam::Tripped(seam::kRegDeleteKey, &armed)) return armed;
  const NTSTATUS status = ::NtDeleteKey(key);
  return nt::ToWin32(status);
}

// KeyNameInformation is documented from Windows Vista on; a system that does
// not know the class answers STATUS_INVALID_PARAMETER (or
// STATUS_INVALID_INFO_CLASS), both ERROR_INVALID_PARAMETER, and the object
// name, which every version gives, stands in. So it does for an answer that
// is not a full name (one that does not start at \REGISTRY\).
DWORD QueryKeyName(HKEY key, text::Wide* name) {
  name->Clear();
  text::Buffer<ULONG> info;
  ULONG size = 512;
  return WhileItGrows([&]() -> DWORD {
    if (!info.Resize(size / sizeof(ULONG) + 1)) return ERROR_NOT_ENOUGH_MEMORY;
    const ULONG capacity = static_cast<ULONG>(info.size() * sizeof(ULONG));
    ULONG needed = 0;
    DWORD error = 0;
    if (!seam::Tripped(seam::kRegQueryKeyName, &error)) {
      const NTSTATUS status = ::NtQueryKey(key, nt::kKeyNameInformation, info.data(), capacity, &needed);
      if (status == nt::kSuccess) {
        // KEY_NAME_INFORMATION: the name's length in bytes, then the name.
        const ULONG bytes = info[0];
        if (bytes > capacity - sizeof(ULONG)) return ERROR_INVALID_DATA;
        const std::wstring_view full(reinterpret_cast<const wchar_t*>(info.data() + 1), bytes / sizeof(wchar_t));
        if (!IsFullKeyName(full)) return QueryObjectName(key, name);
        return name->Assign(full) ? ERROR_SUCCESS : ERROR_NOT_ENOUGH_MEMORY;
      }
      if (status == nt::kBufferOverflow || status == nt::kBufferTooSmall) {
        size = needed > capacity ? needed : capacity * 2;
        return kGrownForAnotherTry;
      }
      error = nt::ToWin32(status);
    }
    if (error == ERROR_INVALID_PARAMETER) return QueryObjectName(key, name);
    return error;
  });
}

DWORD QueryLinkTarget(HKEY key, text::Wide* target) {
  target->Clear();
  unsigned long armed = 0;
  if (seam::Tripped(seam::kRegQueryLinkTarget, &armed)) return armed;
  text::Buffer<BYTE> data;
  DWORD size = 512;
  return WhileItGrows([&]() -> DWORD {
    if (!data.Resize(size)) return ERROR_NOT_ENOUGH_MEMORY;
    DWORD type = 0;
    size = static_cast<DWORD>(data.size());
    const LONG result = ::RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, data.data(), &size);
    if (result == ERROR_MORE_DATA) {
      if (size <= data.size()) size = static_cast<DWORD>(data.size() * 2);
      return kGrownForAnotherTry;
    }
    if (result != ERROR_SUCCESS) return static_cast<DWORD>(result);
    if (type != REG_LINK) return ERROR_FILE_NOT_FOUND;
    if (size > data.size()) return ERROR_INVALID_DATA;
    // UTF-16 without a terminator; trailing zeros, when there, are no part of it.
    std::size_t units = size / sizeof(wchar_t);
    if (!target->Resize(units)) return ERROR_NOT_ENOUGH_MEMORY;
    std::memcpy(target->data(), data.data(), units * sizeof(wchar_t));
    while (units > 0 && (*target)[units - 1] == L'\0') --units;
    target->Truncate(units);
    return ERROR_SUCCESS;
  });
}

DWORD OpenKeyByFullName(std::wstring_view name, KeyAccess access, UniqueKey* key) {
  key->reset();
  if (name.empty() || name.size() > kMaxPathUnits) return ERROR_FILE_NOT_FOUND;
  return seam::Open(seam::kRegOpenKey, name, [&]() -> DWORD {
    UNICODE_STRING counted;
    nt::CountedString(name, &counted);  // fits: the length was checked above
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &counted, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
    HANDLE h = nullptr;
    const NTSTATUS status = ::NtOpenKey(&h, Mask(access), &attributes);
    if (status != nt::kSuccess) {
      const DWORD error = nt::ToWin32(status);
      return error == ERROR_PATH_NOT_FOUND || error == ERROR_BAD_PATHNAME || error == ERROR_INVALID_NAME
                 ? ERROR_FILE_NOT_FOUND
                 : error;
    }
    key->reset(static_cast<HKEY>(h));
    return ERROR_SUCCESS;
  });
}

DWORD OpenLinkTarget(HKEY link, KeyAccess access, UniqueKey* target) {
  target->reset();
  text::Wide name;
  const DWORD result = QueryLinkTarget(link, &name);
  if (result != ERROR_SUCCESS) return result;
  return OpenKeyByFullName(name.view(), access, target);
}

wchar_t UpcaseKeyNameUnit(wchar_t unit) { return ::RtlUpcaseUnicodeChar(unit); }

namespace {

// The longest names and largest data of a key's items.
struct ItemSizes {
  DWORD subkey_name = 0;
  DWORD value_name = 0;
  DWORD data = 0;
};

// A FILETIME as the clock the copy compares (the seam may coarsen it).
std::uint64_t ClockTime(const FILETIME& t) {
  return seam::Clock((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
}

DWORD QueryInfo(HKEY key, KeyState* state, ItemSizes* sizes) {
  unsigned long armed = 0;
  if (seam::Tripped(seam::kRegQueryInfoKey, &armed)) return armed;
  FILETIME written{};
  const LONG result =
      ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &state->subkeys, sizes ? &sizes->subkey_name : nullptr,
                         nullptr, &state->values, sizes ? &sizes->value_name : nullptr,
                         sizes ? &sizes->data : nullptr, nullptr, &written);
  state->last_write = ClockTime(written);
  return static_cast<DWORD>(result);
}

}  // namespace

DWORD QueryKeyState(HKEY key, KeyState* state) { return QueryInfo(key, state, nullptr); }

// The clock that the registry stamps a key's last write with, coarse as it
// is: the precise system time would tell apart what the stamps do not.
std::uint64_t ReadClock() {
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  return ClockTime(now);
}

void WaitForClock() {
  unsigned long armed = 0;
  if (seam::Tripped(seam::kRegWaitForClock, &armed)) return;
  ::Sleep(1);
}

DWORD PrepareEnum(HKEY key, EnumBuffers* buffers, KeyState* state) {
  ItemSizes max;
  const DWORD result = QueryInfo(key, state, &max);
  if (result != ERROR_SUCCESS) return result;
  // Names are counted in characters without their terminating zero.
  if (buffers->value_name.size() < max.value_name + 1 && !buffers->value_name.Resize(max.value_name + 1))
    return ERROR_NOT_ENOUGH_MEMORY;
  if (buffers->data.size() < max.data && !buffers->data.Resize(max.data)) return ERROR_NOT_ENOUGH_MEMORY;
  if (buffers->subkey_name.size() < max.subkey_name + 1 && !buffers->subkey_name.Resize(max.subkey_name + 1))
    return ERROR_NOT_ENOUGH_MEMORY;
  return ERROR_SUCCESS;
}

DWORD EnumValue(HKEY key, DWORD index, EnumBuffers* buffers, ValueRef* value) {
  // Never hand the registry an empty buffer, whether or not PrepareEnum ran.
  if (buffers->value_name.size() < 2 && !buffers->value_name.Resize(256)) return ERROR_NOT_ENOUGH_MEMORY;
  if (buffers->data.empty() && !buffers->data.Resize(256)) return ERROR_NOT_ENOUGH_MEMORY;
  return WhileItGrows([&]() -> DWORD {
    unsigned long armed = 0;
    if (seam::Tripped(seam::kRegEnumValue, &armed)) return armed;
    DWORD name_size = static_cast<DWORD>(buffers->value_name.size());
    DWORD data_size = static_cast<DWORD>(buffers->data.size());
    DWORD type = 0;
    const LONG result = ::RegEnumValueW(key, index, buffers->value_name.data(), &name_size, nullptr, &type,
                                        buffers->data.data(), &data_size);
    if (result == ERROR_MORE_DATA) {
      // An item grew since the buffers were sized. The data's size comes
      // back; when the data fits, the name is what is short.
      const bool grown = data_size > buffers->data.size()
                             ? buffers->data.Resize(data_size)
                             : buffers->value_name.Resize(buffers->value_name.size() * 2 + 256);
      return grown ? kGrownForAnotherTry : ERROR_NOT_ENOUGH_MEMORY;
    }
    if (result != ERROR_SUCCESS) return static_cast<DWORD>(result);
    if (name_size >= buffers->value_name.size() || data_size > buffers->data.size()) return ERROR_INVALID_DATA;
    buffers->value_name[name_size] = L'\0';
    value->name = buffers->value_name.data();
    value->name_length = name_size;
    value->type = type;
    value->data = buffers->data.data();
    value->size = data_size;
    return ERROR_SUCCESS;
  });
}

// Through the native call, which stores the bytes as given: RegSetValueEx
// adds a terminator to string data that lacks one when the memory after it
// happens to hold a zero.
DWORD SetValue(HKEY key, const ValueRef& value) {
  unsigned long armed = 0;
  if (seam::Tripped(seam::kRegSetValue, std::wstring_view(value.name, value.name_length), &armed)) return armed;
  UNICODE_STRING name;
  if (!nt::CountedString(std::wstring_view(value.name, value.name_length), &name)) return ERROR_INVALID_PARAMETER;
  const NTSTATUS status =
      ::NtSetValueKey(key, &name, 0, value.type, const_cast<BYTE*>(value.data), value.size);
  return nt::ToWin32(status);
}

DWORD EnumKey(HKEY key, DWORD index, EnumBuffers* buffers, const wchar_t** name) {
  // A key name has at most 255 characters.
  if (buffers->subkey_name.size() < 2 && !buffers->subkey_name.Resize(256)) return ERROR_NOT_ENOUGH_MEMORY;
  return WhileItGrows([&]() -> DWORD {
    unsigned long armed = 0;
    if (seam::Tripped(seam::kRegEnumKey, &armed)) return armed;
    DWORD size = static_cast<DWORD>(buffers->subkey_name.size());
    const LONG result =
        ::RegEnumKeyExW(key, index, buffers->subkey_name.data(), &size, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_MORE_DATA)
      return buffers->subkey_name.Resize(buffers->subkey_name.size() * 2 + 256) ? kGrownForAnotherTry
                                                                              : ERROR_NOT_ENOUGH_MEMORY;
    if (result != ERROR_SUCCESS) return static_cast<DWORD>(result);
    if (size >= buffers->subkey_name.size()) return ERROR_INVALID_DATA;
    // A name is handed on zero-terminated: one holding a zero of its own
    // (which only the native functions can make) would name another key.
    if (std::wmemchr(buffers->subkey_name.data(), L'\0', size)) return ERROR_INVALID_NAME;
    buffers->subkey_name[size] = L'\0';
    *name = buffers->subkey_name.data();
    return ERROR_SUCCESS;
  });
}

DWORD CreateWatchEvent(UniqueHandle* event) {
  event->reset();
  return seam::Open(seam::kRegWatchValues, [&]() -> DWORD {
    // Manual reset: it stays signaled until the next watch begins.
    const HANDLE h = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!h) return ::GetLastError();
    event->reset(h);
    return ERROR_SUCCESS;
  });
}

DWORD WatchValues(HKEY key, HANDLE event) {
  unsigned long armed = 0;
  if (seam::Tripped(seam::kRegWatchValues, &armed)) return armed;
  // Signaled by the close of the key it watched last, if by nothing else.
  if (!::ResetEvent(event)) return ::GetLastError();
  return static_cast<DWORD>(::RegNotifyChangeKeyValue(key, FALSE, REG_NOTIFY_CHANGE_LAST_SET, event, TRUE));
}

bool ValuesChanged(HANDLE event) { return ::WaitForSingleObject(event, 0) != WAIT_TIMEOUT; }

}  // namespace mur::platform
