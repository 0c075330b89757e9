// Directory trees through open handles, as tree removal needs them.
//
// One directory is opened by path (the parent of a tree's top); everything
// below it is reached relative to an open directory handle by a single true
// UTF-16 name, exactly as the listing gave it: no separators, no trimming of
// trailing dots or spaces, no code-page conversion. Relative opens ask not to
// follow a reparse point, but for OpenChildTarget, whose purpose is to follow
// one and see where it leads (it opens nothing for change). Every call
// returns a Win32 error code
// (ERROR_SUCCESS on success); every handle is owned by a UniqueHandle.
//
// An entry can vanish between a listing and an open: OpenChildDirectory and
// DeleteChildFile then answer ERROR_FILE_NOT_FOUND when no entry has the name
// any more, and ERROR_DELETE_PENDING when the entry is there but already being
// deleted (the status that Win32 would report as ERROR_ACCESS_DENIED, like a
// refusal).
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/file.h"
#include "text/buffer.h"

namespace mur::platform {

// What a listing, or a query of an open handle, says about one object.
struct FileFacts {
  std::uint32_t attributes = 0;  // FILE_ATTRIBUTE_* bits
  std::uint64_t id = 0;          // the file system's file id; 0 when it reports none
};

// One entry of a listing block. `name` points into the block.
struct ListedEntry {
  std::wstring_view name;
  FileFacts facts;
};

// The absolute form of `path` (GetFullPathNameW: "." and ".." resolved,
// trailing dots and spaces of the last component trimmed, "\\?\" paths left
// as they are).
DWORD FullPath(const wchar_t* path, text::Wide* full);

// Opens the directory `path` names for listing, following links on the way
// as the Win32 path functions do.
DWORD OpenDirectoryForListing(const wchar_t* path, UniqueHandle* dir);

// Opens the directory `name` of `parent` for listing, for reading its
// attributes and, where the platform grants it, for deletion (*can_delete
// tells which). A reparse point is opened itself, not its target, where the
// platform honours that request.
DWORD OpenChildDirectory(HANDLE parent, std::wstring_view name, UniqueHandle* dir, bool* can_delete);

// Opens the directory `name` of `parent` following a link, as the path
// functions would reach it, for reading its facts and path only (no access
// to its contents, no deletion).
DWORD OpenChildTarget(HANDLE parent, std::wstring_view name, UniqueHandle* dir);

// Deletes the non-directory `name` of `parent` in one open (delete on close)
// and one close; a reparse point is deleted itself. A read-only file, or one
// held open without delete sharing, is refused.
DWORD DeleteChildFile(HANDLE parent, std::wstring_view name);

// Whether a relative open's answer says the entry is gone or going: no longer
// there, or already being deleted by someone else.
inline bool EntryGone(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_DELETE_PENDING; }

// The attributes and file id of an open handle; the id is 0 on a file system
// that does not report one.
DWORD QueryFacts(HANDLE handle, FileFacts* facts);

// The open directory's path within its volume (FileNameInformation: "\" for
// the root of a local volume; "\server\share\..." on a network redirector)
// and whether the volume is a remote one.
DWORD QueryPathInVolume(HANDLE dir, text::Wide* path, bool* remote);

// Marks the open object for deletion when its last handle closes; a
// directory must be empty. The handle needs delete access.
DWORD MarkForDeletion(HANDLE handle);

// Listing blocks: ReadDirectory fills `block` (8-byte aligned, at least
// kMinListingBlock bytes) with the next entries of `dir`, "." and ".."
// included; `restart` starts from the first entry, and a non-empty `mask`
// (on a restart only) lists just the entries of that name. *filled is the
// byte count written (0 only where the file system answers success with
// nothing, which the caller must not ask again forever); ERROR_NO_MORE_FILES
// after the last entry.
// *with_ids (true at a restart) says whether the entries carry file ids: a
// file system that cannot list them is listed without, and *with_ids is then
// false for the rest of that listing.
constexpr std::uint32_t kMinListingBlock = 1024;
DWORD ReadDirectory(HANDLE dir, void* block, std::uint32_t bytes, bool restart, std::wstring_view mask,
                    std::uint32_t* filled, bool* with_ids);

// The entry at *offset of a block that ReadDirectory filled with `filled`
// bytes (`with_ids` as it reported), and *offset moved past it; false at the
// end of the block (or at a malformed entry, which ends it). Without ids the
// entry's id is 0.
bool NextListedEntry(const void* block, std::uint32_t filled, bool with_ids, std::uint32_t* offset,
                     ListedEntry* entry);

}  // namespace mur::platform
