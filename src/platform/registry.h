// Registry keys, as the key tree copy needs them: UTF-16 names and paths,
// value data as stored, results as Win32 error codes (ERROR_SUCCESS when the
// call succeeded), every key that this layer opens or creates owned by a
// UniqueKey. A path is read by the registry itself (runs of backslashes
// separate, case folds by Unicode rules, links and the 32-bit view of a
// 32-bit process apply).
#pragma once

#include <windows.h>

#include <cstdint>

#include "platform/file.h"
#include "platform/unique.h"
#include "text/buffer.h"

namespace mur::platform {

// An open registry key; null owns nothing. Never a predefined root.
struct KeyTraits {
  using Pointer = HKEY;
  static HKEY Invalid() { return nullptr; }
  static unsigned long Close(HKEY key);
};
using UniqueKey = Unique<KeyTraits>;

// What a key is opened for. Every access lets the key's name be queried.
enum class KeyAccess {
  kInspect,      // the name only
  kRead,         // values and subkeys listed
  kReadDelete,   // as kRead, and the key deleted through the handle
  kCreateBelow,  // subkeys created
  kWrite,        // as kRead, and values set and subkeys created
};

// Opens parent\path (links followed). An empty path is refused with
// ERROR_INVALID_PARAMETER (ReopenKey opens a key itself).
DWORD OpenKey(HKEY parent, const wchar_t* path, KeyAccess access, UniqueKey* key);

// Opens parent\path with its last key as itself: when that key is a link,
// the link key, never its target (links before it are followed).
DWORD OpenKeyNoFollow(HKEY parent, const wchar_t* path, KeyAccess access, UniqueKey* key);

// A handle of its own to the key that `key` refers to: an open key, or a
// predefined root such as HKEY_CURRENT_USER.
DWORD ReopenKey(HKEY key, KeyAccess access, UniqueKey* reopened);

// Creates the subkey `name` (one component) of `parent`: non-volatile, no
// class, default security. When it exists already it is opened instead, and
// *created is false. Either way the handle may set values and create
// subkeys, and it may delete the key, but for an existing key that refuses
// deletion to the caller: that one is opened without it (DeleteKey through
// the handle then fails with ERROR_ACCESS_DENIED). A key that would be
// created without the right to delete it is not created: ERROR_ACCESS_DENIED.
DWORD CreateKey(HKEY parent, const wchar_t* name, UniqueKey* key, bool* created);

// Deletes the key that `key` refers to (a link key as the link), through
// that handle: it must have no subkeys, and have been opened with
// kReadDelete or by CreateKey (with deletion).
DWORD DeleteKey(HKEY key);

// The key's full name as the registry resolves it ("\REGISTRY\..."): the
// same for every handle to one key, whatever path or link led to it.
DWORD QueryKeyName(HKEY key, text::Wide* name);

// The full name of the key that the link key `key` (opened as itself) leads
// to: its SymbolicLinkValue, read through that handle. ERROR_FILE_NOT_FOUND
// when the key holds no such value of type REG_LINK (it is no link).
DWORD QueryLinkTarget(HKEY key, text::Wide* target);

// Opens the key of the full name `name` ("\REGISTRY\..."), links on the way
// followed: ERROR_FILE_NOT_FOUND when it leads to no key, whatever part of it
// is missing or ill formed. The name is opened as it stands: the 32-bit
// view's redirection, where it applies, may send it elsewhere than the
// registry's own following of a link holding it would.
DWORD OpenKeyByFullName(std::wstring_view name, KeyAccess access, UniqueKey* key);

// Opens the key that the link key `link` (opened as itself) leads to, by the
// full name it holds (OpenKeyByFullName): ERROR_FILE_NOT_FOUND when `link` is
// no link or leads to no key.
DWORD OpenLinkTarget(HKEY link, KeyAccess access, UniqueKey* target);

// One UTF-16 unit in upper case, by the table that the registry compares
// key names with.
wchar_t UpcaseKeyNameUnit(wchar_t unit);

// Room for the value names, value data and subkey names of keys, reused from
// key to key: sized from each key's own maxima and grown when an item turns
// out larger. No size limit of the library's own.
struct EnumBuffers {
  text::Wide value_name;
  text::Buffer<BYTE> data;
  text::Wide subkey_name;
};

// What the registry tells of a key without listing it: the numbers of its
// subkeys and values, and when it last changed (a value set or deleted, a
// subkey created or deleted right below it; a change further down does not
// count), by the registry's clock (ReadClock). That clock moves in ticks (of
// about 15.6 ms on Windows), so two changes within one tick leave one time:
// two equal readings saw no change between them only when the clock had
// passed the key's last write before the first of them (a later change is
// then stamped later).
struct KeyState {
  DWORD subkeys = 0;
  DWORD values = 0;
  std::uint64_t last_write = 0;  // FILETIME units
};
inline bool operator==(const KeyState& a, const KeyState& b) {
  return a.subkeys == b.subkeys && a.values == b.values && a.last_write == b.last_write;
}
inline bool operator!=(const KeyState& a, const KeyState& b) { return !(a == b); }

DWORD QueryKeyState(HKEY key, KeyState* state);

// The registry's clock: the system time, by which the registry stamps a key's
// last write (FILETIME units), read now.
std::uint64_t ReadClock();

// Waits a moment (a millisecond, or up to a tick of the clock) for the
// registry's clock to move on.
void WaitForClock();

// QueryKeyState, and makes `buffers` large enough for the key's longest names
// and largest data.
DWORD PrepareEnum(HKEY key, EnumBuffers* buffers, KeyState* state);

// One value as stored: type and data byte for byte (a string without its
// terminator, odd lengths, any type). Points into the EnumBuffers it was
// read into; name is zero-terminated, name_length counts its characters.
struct ValueRef {
  const wchar_t* name = nullptr;
  DWORD name_length = 0;
  DWORD type = 0;
  const BYTE* data = nullptr;
  DWORD size = 0;
};

// The value at `index` (ERROR_NO_MORE_ITEMS past the last).
DWORD EnumValue(HKEY key, DWORD index, EnumBuffers* buffers, ValueRef* value);
DWORD SetValue(HKEY key, const ValueRef& value);

// The name of the subkey at `index`, zero-terminated in buffers->subkey_name
// (ERROR_NO_MORE_ITEMS past the last).
DWORD EnumKey(HKEY key, DWORD index, EnumBuffers* buffers, const wchar_t** name);

// Watching the values of a key, one key at a time per event: CreateWatchEvent
// makes the event (reused from key to key); WatchValues watches `key` (opened
// with kRead or kReadDelete) from now until the handle closes, and
// ValuesChanged then tells whether one of its values was set or deleted
// since (true as well when that cannot be told). A subkey created or deleted
// below it is no change here.
DWORD CreateWatchEvent(UniqueHandle* event);
DWORD WatchValues(HKEY key, HANDLE event);
bool ValuesChanged(HANDLE event);

}  // namespace mur::platform
