// Fault seam of the platform layer.
//
// The operating-system calls that tests make fail (those named in Op) first
// ask Tripped(). In the shipped MUR.dll no hooks are installed and that is one
// pointer test. The test build, MUR_seam.dll, links seam_controls.cpp, which
// installs hooks at load and exports the controls: fail the Nth call of one
// operation with a chosen error code, delay every call of one, count the
// calls, and count the handles that the platform's owners hold open.
#pragma once

namespace mur::platform::seam {

enum Op : int {
  // Files: the stores and the probes.
  kOpenFile = 1,
  kFileSize,
  kWriteFile,
  kReadFile,
  kCloseHandle,  // the close of a file's or a directory's handle
  // Directory tree removal (platform/directory.h).
  kFullPath = 10,          // FullPath
  kOpenDirectoryPath,      // OpenDirectoryForListing, the one open by path
  kOpenChildDirectory,     // OpenChildDirectory
  kDeleteChildFile,        // DeleteChildFile
  kQueryDirectory,         // ReadDirectory
  kQueryFileInformation,   // QueryFacts, QueryPathInVolume
  kSetDisposition,         // MarkForDeletion
  kOpenChildTarget,        // OpenChildTarget
  // These stand in for one native query inside a call: an armed query is not
  // made and answers the armed value as its NTSTATUS.
  kQueryFileId,            // QueryFacts's file id query
  kListWithIds,            // ReadDirectory's query for entries with file ids
  // An armed ReadDirectory answers success with no bytes, no query made.
  kEmptyListingRead,
  // Registry key tree copy (kRegDeleteKey deletes through a key's handle,
  // kRegQueryKeyName asks a key's full name, kRegQueryLinkTarget reads the
  // target of a link key).
  kRegOpenKey = 30,
  kRegCreateKey,
  kRegQueryInfoKey,
  kRegEnumValue,
  kRegSetValue,
  kRegEnumKey,
  kRegDeleteKey,
  kRegCloseKey,
  kRegQueryKeyName,
  kRegQueryLinkTarget,
  // Every Buffer allocation (text/buffer.h).
  kAllocate = 50,
  kOpCount
};

struct Hooks {
  // Counts a call of `op`, after its delay if one is set; true when this call
  // is the armed one, which then fails with *error.
  bool (*trip)(Op op, unsigned long* error);
  void (*opened)();
  void (*closed)();
};

// Null unless the seam controls are linked in (seam.cpp holds it).
extern const Hooks* g_hooks;

inline bool Tripped(Op op, unsigned long* error) { return g_hooks && g_hooks->trip(op, error); }

// Bookkeeping of the handles that the platform's owners hold.
inline void Opened() {
  if (g_hooks) g_hooks->opened();
}
inline void Closed() {
  if (g_hooks) g_hooks->closed();
}

}  // namespace mur::platform::seam
